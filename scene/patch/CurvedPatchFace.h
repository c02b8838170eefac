// CurvedPatchFace: the drawing attributes shared by a run of patches - three texture slots.
#pragma once

#include <cstdint>

struct CurvedPatchFace {
  uint16_t first = 0;          // stored and restored unchanged
  uint16_t textures[3] = {0, 0, 0};  // mesh texture table indices; out of range = no texture
};

static_assert(sizeof(CurvedPatchFace) == 8, "same size as the stored face record");
