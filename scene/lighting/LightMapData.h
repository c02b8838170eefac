// LightMapData: what a mesh instance keeps of its baked light - the light-map pages and the block
// of face records its faces point into.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "scene/lighting/LightMapFaceRecord.h"

struct LightMapData {
  std::vector<std::unique_ptr<LightMapPage>> pages;  // null where a page failed to load
  std::unique_ptr<FaceLightRecord[]> records;        // capacity entries
  uint32_t capacity = 0;
  uint32_t handedOut = 0;  // records attached to faces so far
};
