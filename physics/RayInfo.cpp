// RayInfo: segment/box and segment/triangle tests.
#include "physics/RayInfo.h"

#include <cmath>

namespace {

// Below this extent along an axis a segment is treated as parallel to that axis's faces.
constexpr float kMinAxisExtent = 1e-5f;

struct FaceCrossing {
  float time;
  Vector3 point;
  Vector3 normal;
};

// Tries the face plane `plane` on `axis`; a crossing needs t in [0, 1] and the point
// inside the box on the other two axes (bounds included).
bool CrossFace(const RayInfo& ray, const Box& box, int axis, float plane, float normalSign, FaceCrossing& out) {
  const float s = ray.start[axis];
  const float extent = ray.end[axis] - s;
  if (std::fabs(extent) < kMinAxisExtent) return false;
  const float t = (plane - s) / extent;
  if (t < 0.0f || t > 1.0f) return false;
  Vector3 p = ray.start + (ray.end - ray.start) * t;
  p[axis] = plane;
  for (int other = 0; other < 3; ++other) {
    if (other != axis && (p[other] < box.min[other] || p[other] > box.max[other])) return false;
  }
  out.time = t;
  out.point = p;
  out.normal = Vector3(0.0f, 0.0f, 0.0f);
  out.normal[axis] = normalSign;
  return true;
}

bool Inside(const Box& box, const Vector3& p) {
  return p.x >= box.min.x && p.x <= box.max.x && p.y >= box.min.y && p.y <= box.max.y && p.z >= box.min.z &&
         p.z <= box.max.z;
}

float Determinant(const Vector3& c0, const Vector3& c1, const Vector3& c2) { return c0.Dot(c1.Cross(c2)); }

}  // namespace

void RayInfo::GetBounds(Box& out) const {
  out.SetFromPoints(start, end);
  out.Inflate(Vector3(0.1f, 0.1f, 0.1f));
}

bool RayInfo::IntersectBox(const Box& box) {
  for (int axis = 0; axis < 3; ++axis) {
    if (start[axis] < box.min[axis] && end[axis] < box.min[axis]) return false;
    if (start[axis] > box.max[axis] && end[axis] > box.max[axis]) return false;
  }
  if (Inside(box, start) && Inside(box, end)) {
    result.time = 0.0f;
    result.point = start;
    return true;
  }
  FaceCrossing found[2];
  int count = 0;
  for (int pass = 0; pass < 2 && count < 2; ++pass) {
    const bool maxFaces = pass == 0;
    for (int axis = 0; axis < 3 && count < 2; ++axis) {
      const float plane = maxFaces ? box.max[axis] : box.min[axis];
      if (CrossFace(*this, box, axis, plane, maxFaces ? -1.0f : 1.0f, found[count])) ++count;
    }
  }
  if (count == 0) return false;
  const FaceCrossing& best = (count == 2 && found[0].time < found[1].time) ? found[0] : found[count - 1];
  result.time = best.time;
  result.point = best.point;
  normal = best.normal;
  return true;
}

bool RayInfo::IntersectTriangle(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n,
                                bool parallelogram, const Box* /*bounds*/) {
  const Vector3 d = end - start;
  const Vector3 ab = a - b;
  const Vector3 ak = a - k;
  const Vector3 r = a - start;
  const float det = Determinant(d, ab, ak);
  if (det == 0.0f) return false;
  const float t = Determinant(r, ab, ak) / det;
  const float u = Determinant(d, r, ak) / det;
  const float v = Determinant(d, ab, r) / det;
  result.time = t;
  result.u = u;
  result.v = v;
  if (t < 0.0f || t > 1.0f || u < 0.0f || u > 1.0f || v < 0.0f || v > 1.0f) return false;
  if (!parallelogram && u + v > 1.0f) return false;
  result.point = start + d * t;
  normal = d.Dot(n) < 0.0f ? n : -n;
  return true;
}
