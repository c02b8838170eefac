// DisplayMode: the frame size, colour depth and full-screen choice a back end is initialised with.
#pragma once

#include <cstdint>

struct DisplayMode {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bits = 0;
  uint8_t fullScreen = 0;
};
