// RayInfo: segment tests against boxes, polygons, triangles and spheres.
#include "core/math/RayInfo.h"

#include <algorithm>
#include <cmath>

namespace {

// Below this extent along an axis a segment is treated as parallel to that axis's faces.
constexpr float kMinAxisExtent = 1e-5f;
// Segments shorter than the root of this are treated as points by the sphere test.
constexpr float kPointSegmentSquared = 0.001f;

bool Inside(const Box& box, const Vector3& p) {
  return p.x >= box.min.x && p.x <= box.max.x && p.y >= box.min.y && p.y <= box.max.y && p.z >= box.min.z &&
         p.z <= box.max.z;
}

// The outward normal of the box face nearest to p (p inside): the way out for a mover that
// already overlaps the box.
Vector3 NearestFaceNormal(const Box& box, const Vector3& p) {
  int bestAxis = 0;
  float bestSign = 1.0f;
  float bestGap = FLT_MAX;
  for (int axis = 0; axis < 3; ++axis) {
    const float toMax = box.max[axis] - p[axis];
    const float toMin = p[axis] - box.min[axis];
    if (toMax < bestGap) {
      bestGap = toMax, bestAxis = axis, bestSign = 1.0f;
    }
    if (toMin < bestGap) {
      bestGap = toMin, bestAxis = axis, bestSign = -1.0f;
    }
  }
  Vector3 n(0.0f, 0.0f, 0.0f);
  n[bestAxis] = bestSign;
  return n;
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
  // A segment that starts in the box meets it at once; the face crossing it makes later is
  // where it leaves, not where it hits.
  if (Inside(box, start)) {
    result.time = 0.0f;
    result.point = start;
    normal = NearestFaceNormal(box, start);
    return true;
  }
  // From outside, the first face crossing is the entry. Normals face the segment's start:
  // +1 on a maximum face, -1 on a minimum face.
  float bestTime = FLT_MAX;
  Vector3 bestPoint, bestNormal;
  const Vector3 d = end - start;
  for (int axis = 0; axis < 3; ++axis) {
    if (std::fabs(d[axis]) < kMinAxisExtent) continue;
    const bool fromAbove = d[axis] < 0.0f;  // only the face turned towards the start can be entered
    const float plane = fromAbove ? box.max[axis] : box.min[axis];
    const float t = (plane - start[axis]) / d[axis];
    if (!(t >= 0.0f && t <= 1.0f) || t >= bestTime) continue;
    Vector3 p = start + d * t;
    p[axis] = plane;
    bool within = true;
    for (int other = 0; other < 3; ++other) {
      if (other != axis && !(p[other] >= box.min[other] && p[other] <= box.max[other])) within = false;
    }
    if (!within) continue;
    bestTime = t;
    bestPoint = p;
    bestNormal = Vector3(0.0f, 0.0f, 0.0f);
    bestNormal[axis] = fromAbove ? 1.0f : -1.0f;
  }
  if (bestTime == FLT_MAX) return false;
  result.time = bestTime;
  result.point = bestPoint;
  normal = bestNormal;
  return true;
}

bool RayInfo::IntersectPolygon(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n,
                               bool parallelogram, const Box* /*box*/) {
  const float d0 = n.Dot(start - a);
  const float d1 = n.Dot(end - a);
  if (!(d1 < d0)) return false;
  const float t = d0 / (d0 - d1);
  result.time = t;
  result.point = start + (end - start) * t;
  normal = n;
  if (!(t >= 0.0f && t <= 1.0f)) return false;

  // Project onto the two axes other than the normal's dominant one.
  const float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
  int ia, ib;
  if (az >= ax && az >= ay) {
    ia = 0, ib = 1;
  } else if (ax >= ay && ax >= az) {
    ia = 1, ib = 2;
  } else {
    ia = 0, ib = 2;
  }
  const Vector3 e1 = b - a, e2 = k - a, p = result.point - a;
  const float det = e2[ib] * e1[ia] - e1[ib] * e2[ia];
  if (det == 0.0f) return false;
  const float u = (e2[ib] * p[ia] - p[ib] * e2[ia]) / det;
  const float v = (p[ib] * e1[ia] - e1[ib] * p[ia]) / det;
  result.u = u;
  result.v = v;
  if (parallelogram && u >= 0.0f && u <= 1.0f && v >= 0.0f && v <= 1.0f) return true;
  return u >= 0.0f && v >= 0.0f && u + v <= 1.0f;
}

bool RayInfo::IntersectTriangle(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n,
                                bool parallelogram, const Box* /*box*/) {
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
  if (!(t >= 0.0f && t <= 1.0f && u >= 0.0f && u <= 1.0f && v >= 0.0f && v <= 1.0f)) return false;
  if (!parallelogram && u + v > 1.0f) return false;
  result.point = start + d * t;
  normal = d.Dot(n) < 0.0f ? n : -n;
  return true;
}

bool RayInfo::IntersectSphere(const Vector3& centre, float radius) {
  const bool details = (mode & QueryMode::kDetails) != 0;
  const float r2 = radius * radius;
  const Vector3 d = end - start;
  const float dd = d.Dot(d);
  if (dd < kPointSegmentSquared) {
    const Vector3 off = start - centre;
    if (!(off.Dot(off) <= r2)) return false;
    result.time = 0.0f;
    if (details) {
      result.point = start;
      const float len = off.Length();
      normal = len > 0.0f ? off * (1.0f / len) : off;
    }
    return true;
  }
  const float tc = (centre - start).Dot(d) / dd;
  const float clamped = std::min(std::max(tc, 0.0f), 1.0f);
  const Vector3 q = start + d * clamped;
  const Vector3 gap = centre - q;
  if (!(gap.Dot(gap) <= r2)) return false;
  // The time is always computed: walkers compare it even when the details are not wanted.
  const Vector3 onLine = start + d * tc;
  const Vector3 lineGap = centre - onLine;
  const float t = tc - std::sqrt(std::max(0.0f, r2 - lineGap.Dot(lineGap)) / dd);
  const Vector3 entry = start + d * t;
  if (t >= 0.0f) {
    result.time = t;
    if (details) result.point = entry;
  } else {
    result.time = 0.0f;  // the start lies inside
    if (details) result.point = start;
  }
  if (details) {
    // From a start inside, the normal is still taken where the line enters the sphere (behind
    // the start): it faces against the motion like every other hit's normal and has unit length
    // even from the very centre, where the start itself would give no direction at all.
    const Vector3 out = entry - centre;
    const float len = out.Length();
    normal = len > 0.0f ? out * (1.0f / len) : out;
  }
  return true;
}
