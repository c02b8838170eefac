// GeomPrimitives: point, segment, triangle and 2-D line tests.
#include "physics/collision/GeomPrimitives.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "core/data/DebugPrintf.h"
#include "core/math/MathUtil.h"
#include "core/math/RayInfo.h"
#include "core/math/Triangle.h"
#include "physics/polymath/VclipMatrixN.h"

namespace {

// Extra gap PlacePointBesideLine2D keeps beyond the caller's clearance, so that a point
// placed beside a line is never classified as lying on it.
constexpr float kBesideLineMargin = 0.01f;

// Slope used for vertical lines in IntersectLines2D.
constexpr double kVerticalSlope = 1e10;

// Below this squared sine of the angle between them, two segments are treated as
// parallel: their closest approach is then found through the end points, which is
// exact for parallel segments and avoids the 0/0 of the line-to-line distance.
constexpr double kParallelSineSquared = 1e-12;

// Below this squared sine of the angle between their normals two planes count as parallel.
constexpr double kParallelPlanesSineSquared = 1e-10;

// Size of the largest coefficient of the system TrianglePlanesLine hands to the solver.
constexpr float kSolverScale = 1e4f;

// Double-precision 3-vector for the distance test, where float cancellation would
// decide the side tests of nearly parallel segments.
struct DVec {
  double x, y, z;
  DVec(double ax, double ay, double az) : x(ax), y(ay), z(az) {}
  explicit DVec(const Vector3& v) : x(v.x), y(v.y), z(v.z) {}
  DVec operator-(const DVec& b) const { return DVec(x - b.x, y - b.y, z - b.z); }
  DVec operator+(const DVec& b) const { return DVec(x + b.x, y + b.y, z + b.z); }
  DVec operator*(double s) const { return DVec(x * s, y * s, z * s); }
  double Dot(const DVec& b) const { return x * b.x + y * b.y + z * b.z; }
  DVec Cross(const DVec& b) const { return DVec(y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x); }
};

// Squared distance from p to the segment a-b.
double PointSegmentDistanceSquared(const DVec& p, const DVec& a, const DVec& b) {
  const DVec d = b - a;
  const double len2 = d.Dot(d);
  double t = len2 > 0.0 ? (p - a).Dot(d) / len2 : 0.0;
  t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
  const DVec q = a + d * t - p;
  return q.Dot(q);
}

bool BoxesTouch(const Box& a, const Box& b) {
  return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y &&
         a.min.z <= b.max.z && b.min.z <= a.max.z;
}

bool PointInBox(const Box& box, const Vector3& p) {
  return p.x >= box.min.x && p.x <= box.max.x && p.y >= box.min.y && p.y <= box.max.y && p.z >= box.min.z &&
         p.z <= box.max.z;
}

}  // namespace

bool PointInTriangle(const Vector3& p, const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n) {
  // Without a direction every edge value is 0, which would put every point inside.
  if (n.x == 0.0f && n.y == 0.0f && n.z == 0.0f) return false;
  const float e0 = (p - a).Dot((b - a).Cross(n));
  const float e1 = (p - b).Dot((k - b).Cross(n));
  const float e2 = (p - k).Dot((a - k).Cross(n));
  if (e0 >= 0.0f && e1 >= 0.0f && e2 >= 0.0f) return true;
  return e0 <= 0.0f && e1 <= 0.0f && e2 <= 0.0f;
}

float SegmentSphereEntryTime(const Vector3& a, const Vector3& b, const Vector3& k, float r) {
  const Vector3 d = b - a;
  const float len2 = d.Dot(d);
  if (len2 == 0.0f) return r * r >= (k - a).LengthSquared() ? 0.0f : FLT_MAX;
  const float tc = (k - a).Dot(d) / len2;
  const Vector3 q = a + d * tc;
  const float h = r * r - (q - k).LengthSquared();
  if (h < 0.0f) return FLT_MAX;
  const float t = tc - std::sqrt(h / len2);
  if (t < 0.0f) return 0.0f;
  if (t > 1.0f) return 1.0f;
  return t;
}

Vector3 BezierTangent(float t, const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3) {
  const float s = 1.0f - t;
  return p0 * (-3.0f * s * s) + p1 * (3.0f * s * s - 6.0f * t * s) + p2 * (6.0f * t * s - 3.0f * t * t) +
         p3 * (3.0f * t * t);
}

float SegmentParameterByValue(Vector3 a, Vector3 b, Vector3 p) {
  const Vector3 d = b - a;
  const float len2 = d.LengthSquared();
  return len2 == 0.0f ? 0.0f : (p - a).Dot(d) / len2;
}

bool SlopeTangent(const Vector3& a, const Vector3& b, const Vector3& p, float& out) {
  const Vector3 n = (b - a).Cross(p - a);
  if (n.z == 0.0f) {
    DebugPrintf(n.LengthSquared() == 0.0f ? "SlopeTangent: the three points span no plane\n"
                                          : "SlopeTangent: vertical plane has no finite slope\n");
    return false;
  }
  out = std::fabs(std::sqrt(n.x * n.x + n.y * n.y) / n.z);
  return true;
}

bool IntersectLines2D(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, Vector2& out) {
  // Doubles: the 1e10 slope of a vertical line would otherwise swamp the intercepts.
  const double m1 = x2 == x1 ? kVerticalSlope : (double(y2) - y1) / (double(x2) - x1);
  const double m2 = x4 == x3 ? kVerticalSlope : (double(y4) - y3) / (double(x4) - x3);
  if (m1 == m2) {
    DebugPrintf("IntersectLines2D: parallel lines do not cross\n");
    return false;
  }
  const double b1 = y1 - m1 * x1;
  const double b2 = y3 - m2 * x3;
  out.x = static_cast<float>((b1 - b2) / (m2 - m1));
  out.y = static_cast<float>((b1 * m2 - b2 * m1) / (m2 - m1));
  return true;
}

bool IntersectSegments2D(const Vector2& a, const Vector2& b, const Vector2& k, const Vector2& d, Vector2& point,
                         float& s, float& t) {
  const float den = (k.y - d.y) * (b.x - a.x) - (b.y - a.y) * (k.x - d.x);
  if (den == 0.0f) {
    s = t = FLT_MAX;
    return false;
  }
  s = ((k.y - d.y) * (k.x - a.x) - (k.y - a.y) * (k.x - d.x)) / den;
  t = ((k.y - a.y) * (b.x - a.x) - (b.y - a.y) * (k.x - a.x)) / den;
  point = a + (b - a) * s;
  return s >= 0.0f && s <= 1.0f && t >= 0.0f && t <= 1.0f;
}

bool PointInCircle2D(const Vector3& p, const Vector3& k, float r) {
  const float dx = p.x - k.x, dy = p.y - k.y;
  return r * r >= dx * dx + dy * dy;
}

bool CircleTouchesSegment2D(const Vector3& p, float r1, const Vector3& a, const Vector3& b, float r2,
                            Vector3& closest) {
  const float abx = b.x - a.x, aby = b.y - a.y;
  if ((p.x - a.x) * abx + (p.y - a.y) * aby <= 0.0f) {
    closest = a;
  } else if ((p.x - b.x) * -abx + (p.y - b.y) * -aby <= 0.0f) {
    closest = b;
  } else {
    closest = a + (b - a) * SegmentParameter2D(a, b, p);
  }
  const float dx = p.x - closest.x, dy = p.y - closest.y;
  const float reach = r1 + r2;
  return reach * reach >= dx * dx + dy * dy;
}

bool PlacePointBesideLine2D(const Vector3& a, const Vector3& b, Vector3& p, const Vector3& r, float c) {
  const float abx = b.x - a.x, aby = b.y - a.y;
  const float len = std::sqrt(abx * abx + aby * aby);
  if (len == 0.0f) {
    DebugPrintf("PlacePointBesideLine2D: line end points coincide\n");
    return false;
  }
  // The side comes from R alone and the offset from the line's normal, so a P lying
  // on the line (where P - foot has no direction) is moved off it as well.
  const bool rightOfR = IsRightOfLine2D(a.x, a.y, b.x, b.y, r.x, r.y);
  const float t = SegmentParameter2D(a, b, p);
  const float side = (rightOfR ? -1.0f : 1.0f) * (kBesideLineMargin + c) / len;
  p.x = a.x + abx * t - aby * side;
  p.y = a.y + aby * t + abx * side;
  return rightOfR;
}

float Vector2Length(const Vector2& v) { return std::sqrt(v.x * v.x + v.y * v.y); }

void Vector2Normalize(Vector2& v) {
  float len = Vector2Length(v);
  if (len == 0.0f) len = 1.0f;
  v.x /= len;
  v.y /= len;
}

void ProjectPointToTriangleUV(Vector2& uv, const Vector3& p, const Vector3& a, const Vector3& b, const Vector3& k) {
  Vector3 n;
  ComputeTriangleNormal(n, a, b, k);
  RayInfo ray(p, p + n);
  // Only the plane coordinates are wanted; they are written even when the short
  // segment does not reach the plane.
  ray.IntersectTriangle(a, b, k, Vector3(0.0f, 0.0f, 0.0f), false, nullptr);
  uv.x = ray.result.u;
  uv.y = ray.result.v;
}

bool SegmentsWithinDistance(const Vector3& a0, const Vector3& a1, const Vector3& b0, const Vector3& b1, float r) {
  const DVec pa0(a0), pa1(a1), pb0(b0), pb1(b1);
  const DVec dA = pa1 - pa0, dB = pb1 - pb0;
  const DVec w = dA.Cross(dB);
  const double ww = w.Dot(w);
  const double r2 = double(r) * r;
  if (ww > kParallelSineSquared * dA.Dot(dA) * dB.Dot(dB)) {
    const double along = (pb0 - pa0).Dot(w);
    if (along * along / ww > r2) return false;  // the infinite lines already stay apart
    // Closest points of the lines inside both segments: each segment straddles the
    // plane that holds the other line and the common perpendicular.
    const DVec nB = dB.Cross(w), nA = dA.Cross(w);
    const double sa0 = (pa0 - pb0).Dot(nB), sa1 = (pa1 - pb0).Dot(nB);
    const double sb0 = (pb0 - pa0).Dot(nA), sb1 = (pb1 - pa0).Dot(nA);
    if (sa0 * sa1 <= 0.0 && sb0 * sb1 <= 0.0) return true;
  }
  return PointSegmentDistanceSquared(pb0, pa0, pa1) < r2 || PointSegmentDistanceSquared(pb1, pa0, pa1) < r2 ||
         PointSegmentDistanceSquared(pa0, pb0, pb1) < r2 || PointSegmentDistanceSquared(pa1, pb0, pb1) < r2;
}

bool PointInsideAllPlanes(const Vector3& p, const PlaneRecord* planes, int count) {
  for (int i = 0; i < count; ++i) {
    if ((p - planes[i].point).Dot(planes[i].normal) < 0.0f) return false;
  }
  return true;
}

bool TriangleOverlapsBox(const Box& box, const Vector3& a, const Vector3& b, const Vector3& k) {
  Box triBox;
  triBox.SetFromTriangle(a, b, k);
  // Inclusive on both sides: a triangle lying in a face of the box touches it whichever
  // face that is.
  if (!BoxesTouch(triBox, box)) return false;
  if (PointInBox(box, a) || PointInBox(box, b) || PointInBox(box, k)) return true;

  // All corners strictly on one side of the triangle's plane: the plane misses the box.
  const Vector3 n = (b - a).Cross(k - a);
  int above = 0, below = 0;
  for (int i = 0; i < 8; ++i) {
    const float side = n.Dot(box.GetCorner(i) - a);
    above += side > 0.0f;
    below += side < 0.0f;
  }
  if (above == 8 || below == 8) return false;

  const Vector3* corners[3] = {&a, &b, &k};
  for (int i = 0; i < 3; ++i) {
    RayInfo edge(*corners[i], *corners[(i + 1) % 3]);
    if (edge.IntersectBox(box)) return true;
  }
  static const int kBoxEdges[12][2] = {{1, 0}, {2, 0}, {4, 1}, {3, 1}, {5, 2}, {3, 2},
                                       {6, 3}, {7, 4}, {5, 4}, {6, 5}, {7, 6}, {7, 5}};
  for (const auto& e : kBoxEdges) {
    RayInfo edge(box.GetCorner(e[0]), box.GetCorner(e[1]));
    if (edge.IntersectTriangle(a, b, k, n, false, nullptr)) return true;
  }
  return false;
}

bool TrianglePlanesLine(const Vector3& a0, const Vector3& a1, const Vector3& a2, const Vector3& b0,
                        const Vector3& b1, const Vector3& b2, Vector3 point[2], Vector2 uvA[2], Vector2 uvB[2]) {
  const Vector3 e1 = a1 - a0, e2 = a2 - a0, f1 = b1 - b0, f2 = b2 - b0, rhs = b0 - a0;
  // The solver finds dependent rows only through exact zeros, which rounding rarely
  // leaves behind for parallel planes; they (and degenerate triangles) are caught here.
  const DVec na = DVec(e1).Cross(DVec(e2)), nb = DVec(f1).Cross(DVec(f2));
  const DVec common = na.Cross(nb);
  if (common.Dot(common) <= kParallelPlanesSineSquared * na.Dot(na) * nb.Dot(nb)) return false;
  // u e1 + v e2 - s f1 - t f2 = B0 - A0.
  float system[12] = {e1.x, e2.x, -f1.x, -f2.x,  //
                      e1.y, e2.y, -f1.y, -f2.y,  //
                      e1.z, e2.z, -f1.z, -f2.z};
  float right[3] = {rhs.x, rhs.y, rhs.z};
  // The solver stores coefficients below 0.01 as 0, which would drop real edge and
  // offset components of small or nearly axis-aligned triangles. Scaling the whole
  // system (the solution does not change) makes it drop only what lies below
  // kSolverScale^-1 * 0.01 of the largest coefficient, i.e. float rounding noise.
  float largest = 0.0f;
  for (float value : system) largest = std::max(largest, std::fabs(value));
  for (float value : right) largest = std::max(largest, std::fabs(value));
  if (largest == 0.0f) return false;
  const float scale = kSolverScale / largest;
  for (float& value : system) value *= scale;
  for (float& value : right) value *= scale;
  const VclipMatrixN solution = VclipMatrixN(3, 4, system).Solve(VclipMatrixN(3, 1, right));
  if (solution.Cols() != 2) return false;  // not a single line: parallel planes or a wider solution space
  for (int i = 0; i < 2; ++i) {
    float x[4];
    for (uint32_t row = 0; row < 4; ++row) x[row] = solution.Get(row, 0) + (i == 1 ? solution.Get(row, 1) : 0.0f);
    uvA[i].Set(x[0], x[1]);
    uvB[i].Set(x[2], x[3]);
    point[i] = a0 + e1 * x[0] + e2 * x[1];
  }
  return true;
}
