// PixelBufferDesc: description of a lockable pixel surface (back, front or depth buffer, or a texture).
#pragma once

#include <cstdint>

struct PixelBufferDesc {
  void* pixels = nullptr;       // address of row 0; valid only while the surface is locked
  uint32_t width = 0;           // pixels
  uint32_t height = 0;          // pixels
  int32_t pitch = 0;            // bytes between the starts of two rows
  uint32_t colourBits = 0;      // set bits of the four masks together: 15 for 5-5-5, 16 for 5-6-5
  uint32_t bytesPerPixel = 0;
  uint32_t redMask = 0;
  uint32_t greenMask = 0;
  uint32_t blueMask = 0;
  uint32_t alphaMask = 0;
};

// Callers tell 5-5-5 from 5-6-5 surfaces by the green mask.
constexpr uint32_t kGreenMask555 = 0x3E0;
constexpr uint32_t kGreenMask565 = 0x7E0;

// The colour depth the program's images use for a surface: 15 for 5-5-5,
// otherwise 8 bits per byte of a pixel.
inline uint32_t ColourDepthOf(const PixelBufferDesc& desc) {
  return desc.greenMask == kGreenMask555 ? 15u : desc.bytesPerPixel * 8u;
}

// A tightly packed 5-5-5 surface over `pixels` (two bytes a pixel, no alpha): the layout of
// frames kept in plain memory.
inline PixelBufferDesc DescribePacked555(void* pixels, uint32_t width, uint32_t height) {
  PixelBufferDesc desc;
  desc.pixels = pixels;
  desc.width = width;
  desc.height = height;
  desc.pitch = static_cast<int32_t>(width * 2);
  desc.colourBits = 15;
  desc.bytesPerPixel = 2;
  desc.redMask = 0x7C00;
  desc.greenMask = kGreenMask555;
  desc.blueMask = 0x1F;
  return desc;
}
