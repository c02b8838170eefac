// LightMapPageFile: the file form of one light-map page - a texture file holding one 256 x 256
// image of 32-bit ARGB pixels named "LightMap", written and read through the renderer's texture
// factory, so that the texture reader loads it like any other texture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/lighting/LightMapFaceRecord.h"

class LightMapPageFile {
 public:
  static constexpr const char* kImageName = "LightMap";

  // Empty (logged) without a texture factory that can write.
  static std::vector<uint8_t> Encode(const LightMapPage& page);
  // Fills page's pixels; false (logged) for anything but a texture of one whole page.
  static bool Decode(const uint8_t* data, size_t size, LightMapPage& page);
  static bool Read(const char* path, LightMapPage& page);
};
