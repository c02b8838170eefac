// The software back end's frame, as its own screenshot writes it, compared with a BMP kept in
// tests/render/software/golden/ (tests/support/Golden.h says how to regenerate it).
#pragma once

#include <string>

#include "render/software/SoftwareRasterizer.h"
#include "tests/support/Golden.h"

inline void ExpectGoldenFrame(CSoftwareRasterizer& r, const std::string& name) {
  testing_support::TempFolder folder;
  const std::string shot = folder.Path() + name + ".bmp";
  r.SaveScreenShot(shot.c_str());
  testing_support::ExpectGolden(testing_support::ReadBytes(shot), "render/software/golden/" + name + ".bmp");
}
