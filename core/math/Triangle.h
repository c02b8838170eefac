// Triangle: three corners and a face normal (p1 - p0) x (p2 - p0).
#pragma once

#include "core/math/Vector2.h"
#include "core/math/Vector3.h"

struct Triangle {
  Vector3 p0, p1, p2;
  Vector3 normal;

  // Stores the corners and the normal; normalise divides it by its length
  // unless that is 0 (a degenerate triangle keeps a zero normal).
  void Set(const Vector3& a, const Vector3& b, const Vector3& c, bool normalise);
  Vector3 ComputeNormal() const { return (p1 - p0).Cross(p2 - p0); }
  // p0 + u (p1 - p0) + v (p2 - p0).
  Vector3 PointAt(const Vector2& uv) const { return p0 + (p1 - p0) * uv.x + (p2 - p0) * uv.y; }
  // Barycentric (u, v) of the foot of p on the triangle's plane; (0, 0) when degenerate.
  Vector2 ProjectPoint(const Vector3& p) const;
  static bool IsInsideUV(const Vector2& uv) { return uv.x >= 0.0f && uv.y >= 0.0f && uv.x + uv.y <= 1.0f; }
};

// Normalised (b - a) x (c - a); a degenerate triangle gives (0, 0, 0).
void ComputeTriangleNormal(Vector3& out, const Vector3& a, const Vector3& b, const Vector3& c);
// a + u (b - a) + v (c - a).
void InterpolateTriangle(Vector3& out, const Vector2& uv, const Vector3& a, const Vector3& b, const Vector3& c);
