#include "physics/rigid/RigidBodyMath.h"

#include <algorithm>
#include <cmath>

namespace RigidMath {

TMatrix CrossMatrix(const Vector3& v) {
  TMatrix r;
  r.Set(0.0f, -v.z, v.y, v.z, 0.0f, -v.x, -v.y, v.x, 0.0f);
  return r;
}

TMatrix Scaled(const TMatrix& m, float s) {
  TMatrix r;
  for (int i = 0; i < 3; ++i) r.m[i] = m.m[i] * s;
  return r;
}

TMatrix ScaledIdentity(float s) {
  TMatrix r;
  r.Set(s, 0.0f, 0.0f, 0.0f, s, 0.0f, 0.0f, 0.0f, s);
  return r;
}

TMatrix Sum(const TMatrix& a, const TMatrix& b) { return a + b; }

TMatrix Difference(const TMatrix& a, const TMatrix& b) {
  TMatrix r;
  for (int i = 0; i < 3; ++i) r.m[i] = a.m[i] - b.m[i];
  return r;
}

float Determinant(const TMatrix& m) { return m.m[0].Dot(m.m[1].Cross(m.m[2])); }

bool IsSingular(const TMatrix& m) {
  float largest = 0.0f;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) largest = std::max(largest, std::fabs(m.m[i][j]));
  const float det = Determinant(m);
  if (!std::isfinite(det) || largest == 0.0f) return true;
  return std::fabs(det) <= 1e-6f * largest * largest * largest;
}

bool Inverse(const TMatrix& m, TMatrix& out) {
  if (IsSingular(m)) return false;
  const float inv = 1.0f / Determinant(m);
  // Columns of the inverse are cross products of the rows (the adjugate).
  const Vector3 c0 = m.m[1].Cross(m.m[2]) * inv;
  const Vector3 c1 = m.m[2].Cross(m.m[0]) * inv;
  const Vector3 c2 = m.m[0].Cross(m.m[1]) * inv;
  out.SetColumn(0, c0);
  out.SetColumn(1, c1);
  out.SetColumn(2, c2);
  return true;
}

bool Solve(const TMatrix& m, const Vector3& b, Vector3& out) {
  if (IsSingular(m)) return false;
  const float det = Determinant(m);
  Vector3 r;
  for (int k = 0; k < 3; ++k) {
    TMatrix mk = m;
    mk.SetColumn(k, b);
    r[k] = Determinant(mk) / det;
  }
  out = r;
  return true;
}

float FastLength(const Vector3& v) {
  const float ax = std::fabs(v.x), ay = std::fabs(v.y), az = std::fabs(v.z);
  const float big = std::max(ax, std::max(ay, az));
  return big + 0.25f * (ax + ay + az - big);
}

}  // namespace RigidMath
