// CTextureFactory: loads the texture files a mesh names; the renderer, which owns the texture format, supplies it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "scene/mesh/TextureProperties.h"

// Meshes load and write their textures, and the light maps their pages, through this so that the
// scene needs nothing of the renderer's texture objects. Without a registered factory meshes keep
// null textures and write none, and light-map pages neither read nor write.
class CTextureFactory {
 public:
  struct Result {
    std::unique_ptr<CTextureProperties> texture;  // null when the file did not load
    bool converted = false;  // the pixels were repacked to 32-bit ARGB, so the mesh file is stale
  };

  virtual ~CTextureFactory() = default;

  // The texture at path, its pixels read when loadPixels is set. Pixels in memory come back as
  // 4 bytes per pixel with alpha 0xFF000000, red 0xFF0000, green 0xFF00 and blue 0xFF.
  virtual Result LoadTexture(const char* path, bool loadPixels) const = 0;
  // Writes a texture of this factory's making to path in the texture file format, its pixels read
  // again first when they are not in memory; false when it could not.
  virtual bool SaveTexture(CTextureProperties& texture, const char* path) const { return false; }
  // The texture file image of one level of 0xAARRGGBB pixels, row by row, with the image name;
  // empty when it cannot be made.
  virtual std::vector<uint8_t> EncodePixels(const char* name, const uint32_t* argb, uint32_t width,
                                            uint32_t height) const {
    return {};
  }
  // The top level of a texture file image as 0xAARRGGBB pixels, row by row; false (logged) for
  // bytes that are not a texture file.
  virtual bool DecodePixels(const uint8_t* data, size_t size, std::vector<uint32_t>& argb, uint32_t& width,
                            uint32_t& height) const {
    return false;
  }

  // The factory meshes use from now on (null for none); not owned, so it must outlive every load.
  static void Register(const CTextureFactory* factory);
  static const CTextureFactory* Get();

 protected:
  CTextureFactory() = default;
  CTextureFactory(const CTextureFactory&) = default;
  CTextureFactory& operator=(const CTextureFactory&) = default;
};
