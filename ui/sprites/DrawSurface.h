// DrawSurface: the pixel memory an interface layer draws its widgets onto (a locked back buffer).
#pragma once

#include <cstdint>

#include "render/view/PixelBufferDesc.h"

struct DrawSurface {
  void* pixels = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
  int32_t pitch = 0;          // bytes between rows
  uint32_t bitsPerPixel = 0;  // 15 (x1r5g5b5), 16 (r5g6b5) or 8 x bytes per pixel
};

// Builds the record from a locked descriptor: its memory and size, and the bits per pixel
// taken from the green mask where it tells 5-5-5 from 5-6-5.
inline DrawSurface MakeDrawSurface(const PixelBufferDesc& desc) {
  DrawSurface surface;
  surface.pixels = desc.pixels;
  surface.width = desc.width;
  surface.height = desc.height;
  surface.pitch = desc.pitch;
  if (desc.greenMask == kGreenMask555)
    surface.bitsPerPixel = 15;
  else if (desc.greenMask == kGreenMask565)
    surface.bitsPerPixel = 16;
  else
    surface.bitsPerPixel = desc.bytesPerPixel * 8;
  return surface;
}
