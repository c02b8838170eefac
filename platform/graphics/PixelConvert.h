// Conversion of the software renderer's frame formats (15-bit x1r5g5b5,
// 16-bit r5g6b5, 32-bit x8r8g8b8) to 32-bit x8r8g8b8 with an opaque alpha byte.
#pragma once

#include <cstdint>

namespace plat {

// Converts width x height pixels whose rows are pitch bytes apart into out
// (width * height words, rows packed). Short colour channels are widened by
// repeating their top bits, so black stays 0 and full intensity becomes 255.
// False for an unknown depth, a pitch shorter than a row or a null pointer.
bool ConvertToXrgb8888(const void* pixels, int width, int height, int pitch, int bitsPerPixel, uint32_t* out);

}  // namespace plat
