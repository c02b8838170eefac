// ObjectLightState: one mesh instance's cache of the lights that reach it, with influences that
// fade in and out over time instead of switching.
#pragma once

#include <cstdint>
#include <vector>

#include "core/math/Vector3.h"

class CLight;

// One cached light. The pointer is only compared, never followed: the light may have been removed
// and deleted since; the serial tells a new light at a reused address apart.
struct LightCacheEntry {
  uint32_t index = 0;  // into the light list
  const CLight* light = nullptr;
  uint32_t serial = 0;
  float influence = 0.0f;  // smoothed
  uint8_t changing = 0;
  uint8_t seen = 0;
};

struct ObjectLightState {
  Vector3 centre;
  float stamp = 0.0f;  // world time of the last update
  std::vector<LightCacheEntry> entries;
};
