// HalfEdgeFaceOutline: the convex 2-D outline a face of a half-edge mesh may carry for its users.
#pragma once

#include <cstdint>
#include <memory>

#include "core/math/Vector2.h"

struct HalfEdgeFaceOutline {
  uint32_t pointCount = 0;
  std::unique_ptr<Vector2[]> points;  // pointCount entries

  // True when (x, y) is strictly to the right of no edge i -> i + 1 (cyclic),
  // so points on the border count as inside. An outline without points (or
  // whose point array is missing) contains everything.
  bool Contains(float x, float y) const;
};
