// CullPlane: one bounding plane of a cull volume, with the per-axis sign bits
// that let a box test pick its nearest and farthest corners without branching on floats.
#pragma once

#include "core/math/Vector3.h"

#include <cstdint>

struct CullPlane {
  uint32_t positiveAxes;  // bit i set when normal component i is greater than 0
  uint32_t negativeAxes;  // bit i set when normal component i is 0 or less
  Vector3 normalCopy;
  float d;                // -(normal . point)
  Vector3 point;          // a point on the plane
  Vector3 normal;         // unit, pointing out of the volume

  // Signed distance of q; greater than 0 means q is outside this plane.
  float Distance(const Vector3& q) const { return normal.Dot(q) + d; }

  // Fills d and the axis bits from normal and point.
  void Finish() {
    normalCopy = normal;
    d = -normal.Dot(point);
    positiveAxes = 0;
    negativeAxes = 0;
    for (int i = 0; i < 3; ++i) {
      if (normal[i] > 0.0f) {
        positiveAxes |= 1u << i;
      } else {
        negativeAxes |= 1u << i;
      }
    }
  }
};
