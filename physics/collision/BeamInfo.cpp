// BeamInfo: swept-sphere tests against boxes, triangles (face, edges, corners) and spheres.
//
// Every contact is the first time in [0, 1] at which the moving sphere comes within its radius
// of the target. A sphere that already overlaps the target at the start is in contact at
// time 0 only while it moves closer; one that is moving apart (or standing still) is not, so a
// resting or departing sphere is never held back by what it touches. QueryMode::kStartOverlap
// asks for every start overlap instead.
//
// Short and long sweeps follow the same rule. A sweep shorter than the radius that passes
// through the rim of a target and ends clear of it did overlap it on the way, so it is a contact
// at its entry time; judging short sweeps by where they end would let a slow sphere slip through
// the edge of a target that a fast one on the same line hits.
#include "physics/collision/BeamInfo.h"

#include <cmath>

#include "physics/collision/GeomPrimitives.h"

namespace {

// First root in [0, 1] of |m + t d|^2 = r^2, where m is the start offset from the target and
// d the displacement (both already reduced to the components that count). A start overlap
// counts at time 0 when approaching, or always when startOverlap is set. -1 = no contact.
double EntryTime(const Vector3& m, const Vector3& d, double r, bool startOverlap) {
  const double a = double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z;
  const double b = double(m.x) * d.x + double(m.y) * d.y + double(m.z) * d.z;
  const double c = double(m.x) * m.x + double(m.y) * m.y + double(m.z) * m.z - r * r;
  if (!(c > 0.0)) {
    if (c <= 0.0 && (startOverlap || b < 0.0)) return 0.0;
    return -1.0;  // moving apart, standing still, or not a number
  }
  if (!(b < 0.0) || !(a > 0.0)) return -1.0;
  const double disc = b * b - a * c;
  if (disc < 0.0) return -1.0;
  const double t = (-b - std::sqrt(disc)) / a;
  return t <= 1.0 ? t : -1.0;
}

Vector3 UnitOr(const Vector3& v, const Vector3& fallback) {
  const float len = v.Length();
  return len > 0.0f ? v * (1.0f / len) : fallback;
}

}  // namespace

void BeamInfo::GetBounds(Box& out) const {
  out.SetFromPoints(start, end);
  const float grow = radius + 0.1f;
  out.Inflate(Vector3(grow, grow, grow));
}

bool BeamInfo::IntersectBox(const Box& box) {
  Box grown = box;
  grown.Inflate(Vector3(radius, radius, radius));
  const IntersectionResult saved = result;
  const Vector3 savedNormal = normal;
  if (!RayInfo::IntersectBox(grown)) return false;
  // A start inside the grown box that moves out through its nearest face is separating.
  if (result.time == 0.0f && !(mode & QueryMode::kStartOverlap) && !(normal.Dot(end - start) < 0.0f)) {
    result = saved;
    normal = savedNormal;
    return false;
  }
  return true;
}

namespace {

// Whether p (in the plane) lies on the triangle A, B, K or, with parallelogram set, on the
// parallelogram A, B, B + K - A, K.
bool OverPolygon(const Vector3& p, const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n,
                 bool parallelogram) {
  if (!parallelogram) return PointInTriangle(p, a, b, k, n);
  Vector2 uv;
  ProjectPointToTriangleUV(uv, p, a, b, k);
  return uv.x >= 0.0f && uv.x <= 1.0f && uv.y >= 0.0f && uv.y <= 1.0f;
}

}  // namespace

bool BeamInfo::SweepFace(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool parallelogram,
                         IntersectionResult& out, Vector3& outNormal) {
  const float nLen = n.Length();
  if (!(nLen > 0.0f)) return false;
  const Vector3 unit = n * (1.0f / nLen);
  const Vector3 d = end - start;
  const float s = unit.Dot(start - a);
  const float e = unit.Dot(end - a);
  if ((mode & QueryMode::kStartOverlap) && std::fabs(s) <= radius &&
      (!(mode & QueryMode::kStartOverFace) || OverPolygon(start, a, b, k, unit, parallelogram))) {
    out.time = 0.0f;
    out.point = start;
    outNormal = unit;
    return true;
  }
  // One-sided: only a centre in front of the plane moving towards it meets the face, however
  // short the sweep, so whether the back of a face stops a sphere never depends on its speed.
  // From behind, only the rim (edges and corners have no back) can stop it; IntersectTriangle
  // turns the face towards the start where both sides count.
  if (!(s >= 0.0f) || !(e < s)) return false;
  const float t = s > radius ? (s - radius) / (s - e) : 0.0f;
  if (!(t <= 1.0f)) return false;
  const Vector3 centre = start + d * t;
  if (!OverPolygon(centre, a, b, k, unit, parallelogram)) return false;
  out.time = t;
  out.point = centre - unit * (unit.Dot(centre - a));  // the contact lies in the plane
  outNormal = unit;
  Vector2 uv;
  ProjectPointToTriangleUV(uv, out.point, a, b, k);
  out.u = uv.x;
  out.v = uv.y;
  return true;
}

bool BeamInfo::SweepLine(const Vector3& p0, const Vector3& p1, IntersectionResult& out, Vector3& outNormal) {
  const Vector3 e = p1 - p0;
  const float ee = e.Dot(e);
  if (!(ee > 0.0f)) return false;
  // Only the parts across the line count for the distance to it.
  const Vector3 d = end - start;
  const Vector3 m = start - p0;
  const Vector3 mPerp = m - e * (m.Dot(e) / ee);
  const Vector3 dPerp = d - e * (d.Dot(e) / ee);
  const double t = EntryTime(mPerp, dPerp, radius, (mode & QueryMode::kStartOverlap) != 0);
  if (t < 0.0) return false;
  const Vector3 centre = start + d * float(t);
  const float s = (centre - p0).Dot(e) / ee;
  if (!(s >= 0.0f && s <= 1.0f)) return false;
  const Vector3 onEdge = p0 + e * s;
  out.time = float(t);
  out.point = onEdge;
  out.u = s;
  outNormal = UnitOr(centre - onEdge, outNormal);
  return true;
}

bool BeamInfo::SweepEdge(const Vector3& p0, const Vector3& p1, IntersectionResult& out, Vector3& outNormal) {
  return SweepLine(p0, p1, out, outNormal);
}

bool BeamInfo::SweepVertex(const Vector3& v, IntersectionResult& out, Vector3& outNormal) {
  const Vector3 d = end - start;
  const double t = EntryTime(start - v, d, radius, (mode & QueryMode::kStartOverlap) != 0);
  if (t < 0.0) return false;
  const Vector3 centre = start + d * float(t);
  out.time = float(t);
  out.point = v;
  outNormal = UnitOr(centre - v, outNormal);
  return true;
}

bool BeamInfo::IntersectPolygon(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n,
                                bool parallelogram, const Box* /*box*/) {
  IntersectionResult best;
  best.point = result.point;
  best.Reset();
  Vector3 bestNormal = normal;
  IntersectionResult candidate = best;
  Vector3 candidateNormal = normal;
  if (SweepFace(a, b, k, n, parallelogram, candidate, candidateNormal)) {
    best = candidate;
    bestNormal = candidateNormal;
  }
  // The rim, corner by corner with each corner's (u, v); an edge's contact takes the (u, v)
  // of its position s along the edge.
  const Vector3 d = b + k - a;
  const Vector3 triangle[3] = {a, b, k};
  const Vector3 quad[4] = {a, b, d, k};
  static const float kTriangleUV[3][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}};
  static const float kQuadUV[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
  const int count = parallelogram ? 4 : 3;
  const Vector3* corners = parallelogram ? quad : triangle;
  const float(*cornerUV)[2] = parallelogram ? kQuadUV : kTriangleUV;
  for (int i = 0; i < count; ++i) {
    const int j = (i + 1) % count;
    candidate = best;
    candidateNormal = n;
    if (!SweepEdge(corners[i], corners[j], candidate, candidateNormal) || !(candidate.time < best.time)) continue;
    const float s = candidate.u;
    candidate.u = cornerUV[i][0] + (cornerUV[j][0] - cornerUV[i][0]) * s;
    candidate.v = cornerUV[i][1] + (cornerUV[j][1] - cornerUV[i][1]) * s;
    best = candidate;
    bestNormal = candidateNormal;
  }
  for (int i = 0; i < count; ++i) {
    candidate = best;
    candidateNormal = n;
    if (!SweepVertex(corners[i], candidate, candidateNormal) || !(candidate.time < best.time)) continue;
    candidate.u = cornerUV[i][0];
    candidate.v = cornerUV[i][1];
    best = candidate;
    bestNormal = candidateNormal;
  }
  if (!(best.time < FLT_MAX)) return false;
  result = best;
  normal = bestNormal;
  return true;
}

bool BeamInfo::IntersectTriangle(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n,
                                 bool parallelogram, const Box* box) {
  const Vector3 facing = (start - a).Dot(n) <= 0.0f ? -n : n;
  return IntersectPolygon(a, b, k, facing, parallelogram, box);
}

bool BeamInfo::IntersectSphere(const Vector3& centre, float rs) {
  const float reach = rs + radius;
  const Vector3 d = end - start;
  const double t = EntryTime(start - centre, d, reach, (mode & QueryMode::kStartOverlap) != 0);
  if (t < 0.0) return false;
  // The time is always written: walkers compare it even when the details are not wanted.
  result.time = float(t);
  if (mode & QueryMode::kDetails) {
    const Vector3 contactCentre = start + d * float(t);
    normal = UnitOr(contactCentre - centre, normal);
    result.point = centre + normal * rs;
  }
  return true;
}
