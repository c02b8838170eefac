// Triangle: normals, barycentric projection and interpolation.
#include "core/math/Triangle.h"

void Triangle::Set(const Vector3& a, const Vector3& b, const Vector3& c, bool normalise) {
  p0 = a;
  p1 = b;
  p2 = c;
  normal = ComputeNormal();
  if (normalise) normal.Normalize();
}

Vector2 Triangle::ProjectPoint(const Vector3& p) const {
  // Solve p - p0 ~ u e1 + v e2 in the least-squares sense (the normal part drops
  // out), which is the barycentric pair of the foot of p on the plane.
  const Vector3 e1 = p1 - p0, e2 = p2 - p0, w = p - p0;
  const double d11 = e1.Dot(e1), d12 = e1.Dot(e2), d22 = e2.Dot(e2);
  const double w1 = w.Dot(e1), w2 = w.Dot(e2);
  const double det = d11 * d22 - d12 * d12;
  if (det <= 1e-12 * d11 * d22 || det == 0.0) return Vector2(0.0f, 0.0f);
  return Vector2(float((d22 * w1 - d12 * w2) / det), float((d11 * w2 - d12 * w1) / det));
}

void ComputeTriangleNormal(Vector3& out, const Vector3& a, const Vector3& b, const Vector3& c) {
  out = (b - a).Cross(c - a);
  out.Normalize();
}

void InterpolateTriangle(Vector3& out, const Vector2& uv, const Vector3& a, const Vector3& b, const Vector3& c) {
  out = a + (b - a) * uv.x + (c - a) * uv.y;
}
