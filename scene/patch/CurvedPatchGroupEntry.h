// CurvedPatchGroupEntry: the run of a group's patches that share one patch face, with its bounds.
#pragma once

#include <cstdint>

#include "core/math/Box.h"

struct CurvedPatchGroupEntry {
  Box bounds;  // of the entry's control vertices
  uint32_t face = 0;
  uint32_t firstPatch = 0;
  uint32_t endPatch = 0;  // one past the last
};

static_assert(sizeof(CurvedPatchGroupEntry) == 36, "same size as the stored entry record");
