// GenericIntersection: the base answers - no shape, no hit.
#include "core/math/GenericIntersection.h"


void GenericIntersection::GetBounds(Box& out) const {
  out = Box(Vector3(0.0f, 0.0f, 0.0f), Vector3(0.0f, 0.0f, 0.0f));
}

void GenericIntersection::GetSweep(Vector3& out) const { out = Vector3(0.0f, 0.0f, 0.0f); }

bool GenericIntersection::IntersectBox(const Box&) { return false; }

bool GenericIntersection::IntersectPolygon(const Vector3&, const Vector3&, const Vector3&, const Vector3&, bool,
                                           const Box*) {
  return false;
}

bool GenericIntersection::IntersectTriangle(const Vector3&, const Vector3&, const Vector3&, const Vector3&, bool,
                                            const Box*) {
  return false;
}

bool GenericIntersection::IntersectSphere(const Vector3&, float) { return false; }

bool GenericIntersection::IntersectPolyhedron(const PolyTree*, const COrientation&) { return false; }
