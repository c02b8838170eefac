// CurvedPatchGroup: a spatially compact range of patches and their control vertices, drawn as one unit.
#pragma once

#include <cstdint>
#include <vector>

#include "core/math/Box.h"
#include "scene/patch/CurvedPatchGroupEntry.h"

struct CurvedPatchGroup {
  Box bounds;
  uint32_t firstPatch = 0;
  uint32_t endPatch = 0;  // one past the last
  uint32_t firstVertex = 0;
  uint32_t endVertex = 0;  // one past the last
  std::vector<CurvedPatchGroupEntry> entries;  // one per patch face, in patch order
};
