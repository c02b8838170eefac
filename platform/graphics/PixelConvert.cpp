// Frame format conversion to x8r8g8b8 for presenting.
#include "platform/graphics/PixelConvert.h"

#include <cstring>

namespace {

uint32_t Widen5(uint32_t v) { return (v << 3) | (v >> 2); }
uint32_t Widen6(uint32_t v) { return (v << 2) | (v >> 4); }

uint32_t From555(uint16_t p) {
  return 0xFF000000u | (Widen5((p >> 10) & 31) << 16) | (Widen5((p >> 5) & 31) << 8) | Widen5(p & 31);
}
uint32_t From565(uint16_t p) {
  return 0xFF000000u | (Widen5((p >> 11) & 31) << 16) | (Widen6((p >> 5) & 63) << 8) | Widen5(p & 31);
}

}  // namespace

namespace plat {

bool ConvertToXrgb8888(const void* pixels, int width, int height, int pitch, int bitsPerPixel, uint32_t* out) {
  if (!pixels || !out || width <= 0 || height <= 0) return false;
  const int bytesPerPixel = bitsPerPixel == 32 ? 4 : (bitsPerPixel == 15 || bitsPerPixel == 16) ? 2 : 0;
  if (bytesPerPixel == 0 || pitch < width * bytesPerPixel) return false;
  const unsigned char* row = static_cast<const unsigned char*>(pixels);
  for (int y = 0; y < height; ++y, row += pitch) {
    uint32_t* target = out + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int x = 0; x < width; ++x) {
      // memcpy: rows of a caller's buffer need not be aligned for 16/32-bit reads.
      if (bytesPerPixel == 4) {
        uint32_t p;
        std::memcpy(&p, row + x * 4, 4);
        target[x] = p | 0xFF000000u;
      } else {
        uint16_t p;
        std::memcpy(&p, row + x * 2, 2);
        target[x] = bitsPerPixel == 15 ? From555(p) : From565(p);
      }
    }
  }
  return true;
}

}  // namespace plat
