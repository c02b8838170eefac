// RayInfo: segment query from start to end; hit times are fractions of the segment.
#pragma once

#include "core/math/Box.h"
#include "core/math/Vector3.h"
#include "core/math/GenericIntersection.h"

class RayInfo : public GenericIntersection {
 public:
  RayInfo() : start(0.0f, 0.0f, 0.0f), end(0.0f, 0.0f, 0.0f) { kind = 1; }
  RayInfo(const Vector3& from, const Vector3& to) : start(from), end(to) { kind = 1; }

  // The segment's box, grown by 0.1 so that a segment along a face still meets what touches it.
  void GetBounds(Box& out) const override;
  void GetSweep(Vector3& out) const override { out = end - start; }
  // Segment against an axis-aligned box, at the segment's first point in the box. A segment
  // that starts inside hits at time 0 at its start, with the outward normal of the nearest
  // face (the way out); one that enters reports the entry face with the normal that faces the
  // start (+1 on a maximum face, -1 on a minimum face). u and v are left alone.
  bool IntersectBox(const Box& box) override;
  // One-sided: only a segment running from the front of the plane towards its back hits.
  // Time and point are written before the range test, u and v whenever the projection is
  // solvable; the normal is N.
  bool IntersectPolygon(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool parallelogram,
                        const Box* box) override;
  // Two-sided segment against the triangle A, B, K (or the parallelogram A, B, B+K-A, K):
  // time, u and v are written whenever the system is solvable, before the range tests;
  // the normal N is turned to face the start. The bounds box is not needed by segments.
  bool IntersectTriangle(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool parallelogram,
                         const Box* box) override;
  // Segment against a sphere. The time is always computed; without QueryMode::kDetails only
  // the point and normal are left unwritten. A segment that starts inside hits at time 0 at its
  // start, with the normal where its line enters the sphere behind the start.
  // Segments shorter than sqrt(0.001) are point tests.
  bool IntersectSphere(const Vector3& centre, float radius) override;
  bool IntersectPolyhedron(const PolyTree* tree, const COrientation& orientation) override { return false; }

  Vector3 start;
  Vector3 end;
};
