// The software back end's frame, as its own screenshot writes it, compared with a BMP kept in
// tests/render/software/golden/ (tests/support/Golden.h says how to regenerate it); and one pixel of it.
#pragma once

#include <string>

#include "render/software/SoftwareRasterizer.h"
#include "tests/support/Golden.h"

inline uint16_t Pixel(CSoftwareRasterizer& r, int x, int y) {
  const PixelBufferDesc& d = *r.GetBackBufferDesc();
  return reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(d.pixels) + d.pitch * y)[x];
}

inline void ExpectGoldenFrame(CSoftwareRasterizer& r, const std::string& name) {
  testing_support::TempFolder folder;
  const std::string shot = folder.Path() + name + ".bmp";
  r.SaveScreenShot(shot.c_str());
  testing_support::ExpectGolden(testing_support::ReadBytes(shot), "render/software/golden/" + name + ".bmp");
}
