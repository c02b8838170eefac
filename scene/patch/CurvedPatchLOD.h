// CurvedPatchLOD: one patch's subdivision level, edge segment counts and tessellation sizes.
#pragma once

#include <cstdint>

struct CurvedPatchLOD {
  static constexpr uint16_t kMaxLevel = 4;
  static constexpr uint8_t kMaxSegments = 1 << kMaxLevel;

  uint8_t segments[4] = {1, 1, 1, 1};  // per edge, 1 to kMaxSegments
  uint16_t level = 0;                  // 0 to kMaxLevel
  uint16_t vertexCount = 4;
  uint16_t triangleCount = 2;
};
