// PolyPlane: oriented plane of the polyhedron code (unit normal and offset).
#pragma once

#include <iosfwd>

#include "physics/polymath/VclipVector3.h"

// Signed distance of p is normal . p + offset; the Voronoi-region tests of the
// closest-feature walk read "inside" as a non-negative value.
struct PolyPlane {
  VclipVector3 normal;
  float offset = 0.0f;

  float Dist(const VclipVector3& p) const { return normal.Dot(p) + offset; }
  // The plane with this normal through point p.
  static PolyPlane Through(const VclipVector3& n, const VclipVector3& p) {
    PolyPlane plane;
    plane.normal = n;
    plane.offset = -n.Dot(p);
    return plane;
  }
};

// "nx x ny y  nz z + d >= 0".
std::ostream& operator<<(std::ostream& out, const PolyPlane& plane);
