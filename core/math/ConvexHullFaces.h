// BuildConvexHullFaces: triangles of the 3-D convex hull of a point set, as
// 16-bit indices, used to give rigid-body convex pieces their faces.
#pragma once

#include "core/math/Vector3.h"

#include <cstdint>
#include <vector>

struct ConvexHullTriangle {
  // Wound so that (p1 - p0) x (p2 - p0) points out of the hull.
  uint16_t index[3];
};

// Largest point count whose indices fit the 16-bit triangle corners.
constexpr uint32_t kMaxConvexHullPoints = 65536;

// Builds the closed hull of points[0..count). False (and no triangles) when the
// points span no volume (fewer than 4, all equal, collinear or coplanar), when
// there are more than kMaxConvexHullPoints, or when a coordinate is not finite.
// Points on or inside the hull add nothing; coplanar hull regions come out as
// several coplanar triangles. The order of the triangles is unspecified.
bool BuildConvexHullFaces(const Vector3* points, uint32_t count, std::vector<ConvexHullTriangle>& out);
