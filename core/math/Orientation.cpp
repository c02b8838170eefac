// COrientation: frame composition, rotations, look-at, re-squaring and matrix forms.
#include "core/math/Orientation.h"

#include "core/math/Quaternion.h"
#include "platform/system/Win32.h"

#include <algorithm>
#include <cmath>

namespace {

// A unit vector perpendicular to the unit vector x, as close to hint as possible;
// when hint is parallel to x (or zero) the world axis least aligned with x is used.
Vector3 PerpendicularNear(const Vector3& x, const Vector3& hint) {
  Vector3 p = hint - x * hint.Dot(x);
  if (p.Normalize()) return p;
  const float ax = std::fabs(x.x), ay = std::fabs(x.y), az = std::fabs(x.z);
  Vector3 axis(0.0f, 0.0f, 1.0f);
  if (ax <= ay && ax <= az)
    axis.Set(1.0f, 0.0f, 0.0f);
  else if (ay <= az)
    axis.Set(0.0f, 1.0f, 0.0f);
  p = axis - x * axis.Dot(x);
  p.Normalize();
  return p;
}

bool IsZero(const Vector3& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

}  // namespace

bool COrientation::IsIdentity() const {
  return position == Vector3(0.0f, 0.0f, 0.0f) && axes == TMatrix();
}

COrientation COrientation::LocalToWorldOrientation(const COrientation& child) const {
  COrientation out;
  for (int i = 0; i < 3; ++i) out.axes.m[i] = LocalToWorldVector(child.axes.m[i]);
  out.position = LocalToWorldPoint(child.position);
  return out;
}

COrientation COrientation::WorldToLocalOrientation(const COrientation& other) const {
  COrientation out;
  for (int i = 0; i < 3; ++i) out.axes.m[i] = WorldToLocalVector(other.axes.m[i]);
  out.position = WorldToLocalPoint(other.position);
  return out;
}

void ComposeOrientations(const COrientation& parent, const COrientation& child, COrientation& out) {
  out = parent.LocalToWorldOrientation(child);
}

void COrientation::RotateX(float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  const Vector3 y = axes.m[1], z = axes.m[2];
  axes.m[1] = y * c - z * s;
  axes.m[2] = y * s + z * c;
}

void COrientation::RotateY(float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  const Vector3 x = axes.m[0], z = axes.m[2];
  axes.m[0] = x * c + z * s;
  axes.m[2] = z * c - x * s;
}

void COrientation::RotateZ(float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  const Vector3 x = axes.m[0], y = axes.m[1];
  axes.m[0] = x * c - y * s;
  axes.m[1] = x * s + y * c;
}

void COrientation::RotateAboutWorldAxis(const Vector3& axis, float angle) {
  TMatrix r;
  MakeAxisRotation(r, axis, angle);
  axes = axes * r;
}

void COrientation::RotateAboutFrameAxis(const Vector3& axis, float angle) {
  TMatrix r;
  MakeAxisRotation(r, axis, angle);
  axes = r * axes;
}

void COrientation::LookAt(const Vector3& target, bool rebuild) {
  Vector3 d = target - position;
  // A target at the position gives no direction: nothing to turn toward.
  if (d.LengthSquared() == 0.0f) return;
  d.Normalize();
  if (rebuild) {
    // Y is the horizontal left of the view direction, which keeps Z upright.
    Vector3 y(-d.y, d.x, 0.0f);
    // Looking straight up or down there is no horizontal left; keep the old
    // left axis (made perpendicular) so the view does not collapse to zero rows.
    if (!y.Normalize()) y = PerpendicularNear(d, axes.m[1]);
    axes.m[0] = d;
    axes.m[1] = y;
    axes.m[2] = d.Cross(y);
    return;
  }
  // Rounding can put the dot a hair outside [-1, 1], where acos gives NaN and
  // the NaN would spread through every row.
  const float cosAngle = std::max(-1.0f, std::min(1.0f, axes.m[0].Dot(d)));
  const float angle = std::acos(cosAngle);
  if (-angle == 0.0f) return;
  Vector3 axis = d.Cross(axes.m[0]);
  // Target straight behind: any axis perpendicular to X works; prefer the
  // frame's own Z so the turn is a yaw rather than a flip over.
  if (!axis.Normalize()) {
    Vector3 x = axes.m[0];
    if (!x.Normalize()) x = d;
    axis = PerpendicularNear(x, axes.m[2]);
  }
  RotateAboutWorldAxis(axis, -angle);
}

void COrientation::LookAtWithUp(const Vector3& target, const Vector3& up) {
  const Vector3 d = target - position;
  if (d.LengthSquared() == 0.0f) return;
  Vector3 x = d;
  x.Normalize();
  // Work on a copy: the nudge below must not leak into the caller's up vector.
  Vector3 u = up;
  Vector3 y = u.Cross(x);
  if (y.LengthSquared() == 0.0f) {
    // Up parallel to the view direction: tilt it a little so a left axis exists.
    if (u.x == 0.0f)
      u.y += 0.001f;
    else
      u.x += 0.001f;
    y = u.Cross(x);
  }
  if (!y.Normalize()) y = PerpendicularNear(x, axes.m[1]);
  axes.m[0] = x;
  axes.m[1] = y;
  axes.m[2] = x.Cross(y);
}

void COrientation::Orthonormalize() {
  Vector3 x = axes.m[0];
  x.Normalize();
  Vector3 y = axes.m[2].Cross(x);
  y.Normalize();
  const Vector3 z = x.Cross(y);
  if (IsZero(x) || IsZero(y) || IsZero(z)) {
    OutputDebugStringA("COrientation: Error in Orthonormalization! - resetting to identity!\n");
    axes.SetIdentity();
    return;
  }
  axes.m[0] = x;
  axes.m[1] = y;
  axes.m[2] = z;
}

void COrientation::NormalizeAxes() {
  for (int i = 0; i < 3; ++i) axes.m[i].Normalize();
}

bool COrientation::IsOrthonormal(float tol) const {
  for (int i = 0; i < 3; ++i) {
    if (std::fabs(axes.m[i].Length() - 1.0f) > tol) return false;
    if (std::fabs(axes.GetColumn(i).Length() - 1.0f) > tol) return false;
  }
  const Vector3 &x = axes.m[0], &y = axes.m[1], &z = axes.m[2];
  return (x.Cross(y) - z).Length() <= tol && (y.Cross(z) - x).Length() <= tol && (z.Cross(x) - y).Length() <= tol;
}

bool COrientation::IsRightHanded(float tol) const {
  const Vector3 &x = axes.m[0], &y = axes.m[1], &z = axes.m[2];
  const float tol2 = tol * tol;
  return (z - z * z.Dot(x.Cross(y))).LengthSquared() <= tol2 &&
         (x - x * x.Dot(y.Cross(z))).LengthSquared() <= tol2 &&
         (y - y * y.Dot(z.Cross(x))).LengthSquared() <= tol2;
}

int COrientation::ClassifyScale(float tol) const {
  const float a = axes.m[0].Length(), b = axes.m[1].Length(), c = axes.m[2].Length();
  const float largest = std::max(a, std::max(b, c));
  const float smallest = std::min(a, std::min(b, c));
  if (std::fabs(largest - 1.0f) < tol && std::fabs(smallest - 1.0f) < tol) return 0;
  return (largest - smallest >= tol) ? 2 : 1;
}

void COrientation::Interpolate(const COrientation& a, const COrientation& b, float t) {
  // a or b may be this frame, so read both fully before writing.
  Quaternion qa, qb, q;
  qa.SetFromMatrix(a.axes);
  qb.SetFromMatrix(b.axes);
  const Vector3 pos = a.position + (b.position - a.position) * t;
  Quaternion::Slerp(q, qa, qb, t);
  q.ToMatrix(axes);
  position = pos;
}

Matrix4 COrientation::ToMatrix4() const {
  Matrix4 out = Matrix4::FromTMatrix(axes);
  out.m[3][0] = position.x;
  out.m[3][1] = position.y;
  out.m[3][2] = position.z;
  return out;
}

void COrientation::SetFromMatrix4(const Matrix4& mat) {
  axes = mat.GetTMatrix();
  position = mat.GetTranslation();
}

Matrix4 COrientation::ToViewMatrix() const {
  Matrix4 out = Matrix4::FromTMatrix(axes.Transposed());
  out.m[3][0] = -position.Dot(axes.m[0]);
  out.m[3][1] = -position.Dot(axes.m[1]);
  out.m[3][2] = -position.Dot(axes.m[2]);
  return out;
}

Matrix4 COrientation::ToCameraMatrix() const {
  // Columns -Y, Z, X: view x = right, y = up, z = forward.
  const Vector3 &x = axes.m[0], &y = axes.m[1], &z = axes.m[2];
  Matrix4 out;
  for (int i = 0; i < 3; ++i) {
    out.m[i][0] = -y[i];
    out.m[i][1] = z[i];
    out.m[i][2] = x[i];
    out.m[i][3] = 0.0f;
  }
  out.m[3][0] = position.Dot(y);
  out.m[3][1] = -position.Dot(z);
  out.m[3][2] = -position.Dot(x);
  out.m[3][3] = 1.0f;
  return out;
}
