// LightMapPageFile: the file form of one light-map page - a 256 x 256 image of 32-bit
// 0xAARRGGBB pixels named "LightMap" behind a header that states its size and channel masks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/lighting/LightMapFaceRecord.h"

class LightMapPageFile {
 public:
  static constexpr size_t kNameSize = 32;
  static constexpr size_t kHeaderSize = 7 * 4 + kNameSize;
  static constexpr uint32_t kRedMask = 0xFF0000;
  static constexpr uint32_t kGreenMask = 0xFF00;
  static constexpr uint32_t kBlueMask = 0xFF;
  static constexpr uint32_t kAlphaMask = 0xFF000000;

  static std::vector<uint8_t> Encode(const LightMapPage& page);
  // Fills page's pixels; false (logged) for anything but a whole page of this form.
  static bool Decode(const uint8_t* data, size_t size, LightMapPage& page);
  static bool Read(const char* path, LightMapPage& page);
};
