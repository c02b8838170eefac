// CMeshTextureFactory: the renderer's texture factory for meshes - CTexture files repacked to 32-bit ARGB.
#pragma once

#include "scene/mesh/TextureFactory.h"

class CMeshTextureFactory : public CTextureFactory {
 public:
  static constexpr uint32_t kAlpha = 0xFF000000u;
  static constexpr uint32_t kRed = 0xFF0000u;
  static constexpr uint32_t kGreen = 0xFF00u;
  static constexpr uint32_t kBlue = 0xFFu;

  // Loads a CTexture (".texture", or Targa / bitmap as its flags say); the mesh drawing code
  // reads texels as ARGB words, so pixels in any other layout are repacked.
  Result LoadTexture(const char* path, bool loadPixels) const override;
  // ".texture" files with JPEG levels for 4-byte pixels.
  bool SaveTexture(CTextureProperties& texture, const char* path) const override;
  // Raw (uncompressed) pixels: light maps come back exactly as they were baked.
  std::vector<uint8_t> EncodePixels(const char* name, const uint32_t* argb, uint32_t width,
                                    uint32_t height) const override;
  bool DecodePixels(const uint8_t* data, size_t size, std::vector<uint32_t>& argb, uint32_t& width,
                    uint32_t& height) const override;
};
