// ConvexHull2D: Graham scan of a 2-D point set, used for the projected outlines of cull volumes.
#pragma once

#include "core/math/Vector2.h"

#include <cstdint>
#include <vector>

struct ConvexHull2D {
  // Indices of the hull vertices in counter-clockwise order starting at the
  // pivot (lowest y, then lowest x). Fewer than 3 usable points (or a set with
  // no area) gives an empty list. Points that are not finite are ignored.
  static std::vector<uint32_t> Build(const Vector2* points, uint32_t count);
};
