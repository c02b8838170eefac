// CTexture: a named texture image with its pixel format and the flag word the scene code reads.
#pragma once

#include <cstdint>
#include <string>

#include "scene/mesh/TextureProperties.h"

class CTexture : public CTextureProperties {
 public:
  // Flag bits the scene and collision code test.
  static constexpr uint32_t kTranslucent = 0x4;
  static constexpr uint32_t kTranslucentAdd = 0x8;
  static constexpr uint32_t kUnlit = 0x200;
  static constexpr uint32_t kNoSections = 0x400;         // never part of world mesh sections
  static constexpr uint32_t kBitmapSource = 0x800000;    // loaded from a bitmap; kept out of sections too

  CTexture() = default;
  virtual ~CTexture() = default;
  CTexture(const CTexture&) = delete;
  CTexture& operator=(const CTexture&) = delete;

  std::string name;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bytesPerPixel = 0;
  uint32_t alphaMask = 0;
  uint32_t redMask = 0;
  uint32_t greenMask = 0;
  uint32_t blueMask = 0;
  uint32_t flags = 0;
  uint8_t dataPresent = 0;  // non-zero once the image is in memory
  bool deviceLoaded = false;

  uint32_t GetFlags() const override { return flags; }
};
