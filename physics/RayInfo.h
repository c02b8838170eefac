// RayInfo: segment query from start to end; hit times are fractions of the segment.
#pragma once

#include "core/math/Box.h"
#include "core/math/Vector3.h"
#include "physics/GenericIntersection.h"

class RayInfo : public GenericIntersection {
 public:
  RayInfo() { kind = 1; }
  RayInfo(const Vector3& from, const Vector3& to) : start(from), end(to) { kind = 1; }

  // Segment against an axis-aligned box: a segment wholly inside hits at time 0;
  // otherwise the earlier of up to two face crossings (so a segment that starts inside
  // reports where it leaves), with the face's inward normal: -1 on a maximum face, +1
  // on a minimum face. u and v are left alone.
  bool IntersectBox(const Box& box) override;
  // The segment's box, grown by 0.1 so that a segment along a face still meets what touches it.
  void GetBounds(Box& out) const override;

  // Two-sided segment against the triangle A, B, K (or the parallelogram A, B, B+K-A, K):
  // time, u and v are written whenever the system is solvable, before the range tests;
  // the normal N is turned to face the start. The bounds box is not needed by segments.
  bool IntersectTriangle(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool parallelogram,
                         const Box* bounds);

  Vector3 start;
  Vector3 end;
};
