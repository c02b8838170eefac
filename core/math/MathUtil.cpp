#include "core/math/MathUtil.h"

#include <cmath>

#include "platform/system/Platform.h"

namespace {

constexpr float kPi = 3.14159265358979323846f;

float Clamp(float x, float lo, float hi) { return x < lo ? lo : (x > hi ? hi : x); }

float Cross2D(const Vector2& u, const Vector2& v) { return u.x * v.y - u.y * v.x; }

// Angle between two directions given their dot product and squared lengths.
float AngleFromDot(float dot, float lengthSqU, float lengthSqV) {
  if (lengthSqU == 0.0f || lengthSqV == 0.0f) return 0.0f;
  return std::acos(Clamp(dot / std::sqrt(lengthSqU * lengthSqV), -1.0f, 1.0f));
}

// Segment crossing of the collision library's 2-D test: crossing parameters
// s on a-b and t on k-d, both ends included; parallel segments never cross.
bool SegmentsCross2D(const Vector2& a, const Vector2& b, const Vector2& k, const Vector2& d) {
  const float den = (k.y - d.y) * (b.x - a.x) - (b.y - a.y) * (k.x - d.x);
  if (den == 0.0f) return false;
  const float s = ((k.y - d.y) * (k.x - a.x) - (k.y - a.y) * (k.x - d.x)) / den;
  const float t = ((k.y - a.y) * (b.x - a.x) - (b.y - a.y) * (k.x - a.x)) / den;
  return s >= 0.0f && s <= 1.0f && t >= 0.0f && t <= 1.0f;
}

const Vector2& PolygonPoint(const Vector2* points, const uint32_t* indices, int n, int i) {
  return points[indices[((i % n) + n) % n]];
}

}  // namespace

// ---- Scalars ----

bool InRange(float x, float a, float b) { return a <= b ? (x >= a && x <= b) : (x >= b && x <= a); }

float DistanceOutsideRange(float x, float lo, float hi) {
  if (x < lo) return lo - x;
  if (x > hi) return x - hi;
  return 0.0f;
}

float WrapToRange(float x, float lo, float hi) {
  const float period = hi - lo;
  // An empty or inverted range has no period to step by (the division would
  // give inf/NaN): the only sensible answer is lo.
  if (!(period > 0.0f)) return lo;
  if (x < lo) return x + std::ceil((lo - x) / period) * period;
  if (x >= hi) return x - std::ceil((x - hi) / period) * period;
  return x;
}

// ---- Points and segments in 3-D ----

void EvaluateCubicBezier(Vector3& out, float t, const Vector3& p0, const Vector3& p1, const Vector3& p2,
                         const Vector3& p3) {
  const float s = 1.0f - t;
  const float w0 = s * s * s;
  const float w1 = 3.0f * t * s * s;
  const float w2 = 3.0f * t * t * s;
  const float w3 = t * t * t;
  out = p0 * w0 + p1 * w1 + p2 * w2 + p3 * w3;
}

float SegmentParameter(const Vector3& a, const Vector3& b, const Vector3& p) {
  const Vector3 ab = b - a;
  const float lengthSq = ab.LengthSquared();
  if (lengthSq == 0.0f) return 0.0f;
  return (p - a).Dot(ab) / lengthSq;
}

float ProjectionFactor(const Vector3& v, const Vector3& w) {
  const float lengthSq = v.LengthSquared();
  if (lengthSq == 0.0f) return 0.0f;
  return v.Dot(w) / lengthSq;
}

void ProjectPointOntoLine(Vector3& out, const Vector3& a, const Vector3& b, const Vector3& p) {
  out = a + (b - a) * SegmentParameter(a, b, p);
}

void ClosestPointOnSegment(Vector3& out, const Vector3& a, const Vector3& b, const Vector3& p) {
  if ((p - a).Dot(b - a) <= 0.0f) {
    out = a;
  } else if ((p - b).Dot(a - b) <= 0.0f) {
    out = b;
  } else {
    ProjectPointOntoLine(out, a, b, p);
  }
}

float TriangleArea(const Vector3& a, const Vector3& b, const Vector3& c) {
  Vector3 foot;
  ProjectPointOntoLine(foot, a, b, c);
  return 0.5f * (b - a).Length() * (c - foot).Length();
}

float AngleBetween(const Vector3& u, const Vector3& v) {
  return AngleFromDot(u.Dot(v), u.LengthSquared(), v.LengthSquared());
}

float OrientationAngle(const TMatrix& m1, const TMatrix& m2) {
  float largest = 0.0f;
  for (int i = 0; i < 3; ++i) {
    const float angle = std::acos(Clamp(m1.m[i].Dot(m2.m[i]), -1.0f, 1.0f));
    if (angle > largest) largest = angle;
  }
  return largest;
}

void RandomUnitVector(Vector3& out) {
  // The draws are sequenced explicitly: the game replays the same random
  // stream, so the angle must always take the first value.
  const float phi = 2.0f * kPi * static_cast<float>(plat::rand()) / static_cast<float>(plat::kRandMax);
  const float z = 2.0f * static_cast<float>(plat::rand()) / static_cast<float>(plat::kRandMax) - 1.0f;
  const float r = std::sqrt(std::fmax(0.0f, 1.0f - z * z));
  out.Set(r * std::cos(phi), r * std::sin(phi), z);
}

// ---- The same in the x-y plane ----

float SegmentParameter2D(float ax, float ay, float bx, float by, float px, float py) {
  const float dx = bx - ax;
  const float dy = by - ay;
  const float lengthSq = dx * dx + dy * dy;
  // Coinciding ends would divide by zero; like the 3-D form, the foot is a.
  if (lengthSq == 0.0f) return 0.0f;
  return ((px - ax) * dx + (py - ay) * dy) / lengthSq;
}

float SegmentParameter2D(const Vector2& a, const Vector2& b, const Vector2& p) {
  return SegmentParameter2D(a.x, a.y, b.x, b.y, p.x, p.y);
}

float SegmentParameter2D(const Vector3& a, const Vector3& b, const Vector3& p) {
  return SegmentParameter2D(a.x, a.y, b.x, b.y, p.x, p.y);
}

void ProjectPointOntoLine2D(Vector2& out, const Vector2& a, const Vector2& b, const Vector2& p) {
  out = a + (b - a) * SegmentParameter2D(a, b, p);
}

void ClosestPointOnSegment2D(Vector2& out, const Vector2& a, const Vector2& b, const Vector2& p) {
  if ((p - a).Dot(b - a) <= 0.0f) {
    out = a;
  } else if ((p - b).Dot(a - b) <= 0.0f) {
    out = b;
  } else {
    ProjectPointOntoLine2D(out, a, b, p);
  }
}

bool IsRightOfLine2D(float ax, float ay, float bx, float by, float px, float py) {
  return (bx - ax) * (py - ay) - (by - ay) * (px - ax) < 0.0f;
}

bool IsRightOfLine2D(const Vector2& a, const Vector2& b, const Vector2& p) {
  return IsRightOfLine2D(a.x, a.y, b.x, b.y, p.x, p.y);
}

bool PointInRect2D(const Vector2& a, const Vector2& b, const Vector2& p) {
  return InRange(p.x, a.x, b.x) && InRange(p.y, a.y, b.y);
}

float AngleBetween2D(const Vector2& u, const Vector2& v) {
  return AngleFromDot(u.Dot(v), u.LengthSquared(), v.LengthSquared());
}

// ---- 2-D polygons ----

bool IsConvexPolygon2D(const Vector2* points, const uint32_t* indices, int n) {
  if (n < 1) return true;
  bool firstSign = false;
  for (int i = 0; i < n; ++i) {
    const Vector2& prev = PolygonPoint(points, indices, n, i - 1);
    const Vector2& cur = PolygonPoint(points, indices, n, i);
    const Vector2& next = PolygonPoint(points, indices, n, i + 1);
    const bool sign = Cross2D(cur - prev, next - prev) >= 0.0f;
    if (i == 0) {
      firstSign = sign;
    } else if (sign != firstSign) {
      return false;
    }
  }
  return true;
}

bool PolygonSelfIntersects2D(const Vector2* points, const uint32_t* indices, int n) {
  for (int i = 0; i < n; ++i) {
    const uint32_t a0 = indices[i];
    const uint32_t a1 = indices[(i + 1) % n];
    for (int j = i + 1; j < n; ++j) {
      const uint32_t b0 = indices[j];
      const uint32_t b1 = indices[(j + 1) % n];
      // Neighbouring edges meet at their shared corner by construction.
      if (a0 == b0 || a0 == b1 || a1 == b0 || a1 == b1) continue;
      if (SegmentsCross2D(points[a0], points[a1], points[b0], points[b1])) return true;
    }
  }
  return false;
}

bool PolygonAngleSumMatches2D(const Vector2* points, const uint32_t* indices, int n) {
  float sum = 0.0f;
  for (int i = 0; i < n; ++i) {
    const Vector2& prev = PolygonPoint(points, indices, n, i - 1);
    const Vector2& cur = PolygonPoint(points, indices, n, i);
    const Vector2& next = PolygonPoint(points, indices, n, i + 1);
    float angle = AngleBetween2D(prev - cur, next - cur);
    if (Cross2D(cur - prev, next - prev) >= 0.0f) angle = 2.0f * kPi - angle;
    sum += angle;
  }
  return std::fabs(sum - static_cast<float>(n - 2) * kPi) < 0.01f;
}
