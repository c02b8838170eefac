// ZBufferMode: how a back end tests and stores depth while it rasterises.
#pragma once

#include <cstdint>

enum class ZBufferMode : uint8_t {
  kOff = 0,      // no depth buffering; the hardware pass draws its background this way
  kZBuffer = 1,  // the usual depth buffer, on after every scene begins
  kWBuffer = 2,  // depth stored linearly in view distance, where the card offers it
};
