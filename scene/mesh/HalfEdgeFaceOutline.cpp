// HalfEdgeFaceOutline: point-in-outline test.
#include "scene/mesh/HalfEdgeFaceOutline.h"

#include "core/math/MathUtil.h"

bool HalfEdgeFaceOutline::Contains(float x, float y) const {
  if (points == nullptr) return true;  // a count without storage must not be read
  for (uint32_t i = 0; i < pointCount; ++i) {
    const Vector2& a = points[i];
    const Vector2& b = points[(i + 1) % pointCount];
    if (IsRightOfLine2D(a.x, a.y, b.x, b.y, x, y)) return false;
  }
  return true;
}
