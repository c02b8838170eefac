// COrientation: a rigid frame - three axis rows (X forward, Y left, Z up) and a position.
#pragma once

#include "core/math/Matrix4.h"
#include "core/math/TMatrix.h"
#include "core/math/Vector3.h"

class COrientation {
 public:
  // Rows are the frame's axes in world space; a local point p maps to
  // p.x * X + p.y * Y + p.z * Z + position.
  TMatrix axes;
  Vector3 position;

  COrientation() = default;  // identity axes, position at the origin
  COrientation(const TMatrix& rows, const Vector3& pos) : axes(rows), position(pos) {}

  Vector3& GetXAxis() { return axes.m[0]; }
  Vector3& GetYAxis() { return axes.m[1]; }
  Vector3& GetZAxis() { return axes.m[2]; }
  const Vector3& GetXAxis() const { return axes.m[0]; }
  const Vector3& GetYAxis() const { return axes.m[1]; }
  const Vector3& GetZAxis() const { return axes.m[2]; }
  void SetXAxis(const Vector3& v) { axes.m[0] = v; }
  void SetYAxis(const Vector3& v) { axes.m[1] = v; }
  void SetZAxis(const Vector3& v) { axes.m[2] = v; }
  void SetRow(int i, const Vector3& v) { axes.m[i] = v; }
  Vector3& GetPosition() { return position; }
  const Vector3& GetPosition() const { return position; }
  void SetPosition(const Vector3& p) { position = p; }
  TMatrix& GetMatrix() { return axes; }
  const TMatrix& GetMatrix() const { return axes; }

  // Exact: identity rows and position (0, 0, 0).
  bool IsIdentity() const;

  Vector3 LocalToWorldVector(const Vector3& v) const {
    return axes.m[0] * v.x + axes.m[1] * v.y + axes.m[2] * v.z;
  }
  Vector3 LocalToWorldPoint(const Vector3& p) const { return LocalToWorldVector(p) + position; }
  Vector3 WorldToLocalVector(const Vector3& v) const {
    return Vector3(v.Dot(axes.m[0]), v.Dot(axes.m[1]), v.Dot(axes.m[2]));
  }
  Vector3 WorldToLocalPoint(const Vector3& p) const { return WorldToLocalVector(p - position); }

  // child is given in this frame's coordinates; the result is the same frame in world coordinates.
  COrientation LocalToWorldOrientation(const COrientation& child) const;
  // other is a world frame; the result is it expressed in this frame's coordinates.
  COrientation WorldToLocalOrientation(const COrientation& other) const;

  // Turn about the frame's own axis; a positive angle turns clockwise seen from
  // the axis tip (the opposite sense to MakeAxisRotation).
  void RotateX(float angle);
  void RotateY(float angle);
  void RotateZ(float angle);
  // Every axis row v becomes v * MakeAxisRotation(axis, angle); axis in world space.
  void RotateAboutWorldAxis(const Vector3& axis, float angle);
  void RotateWorld(const Vector3& axis, float angle) { RotateAboutWorldAxis(axis, angle); }
  // Rows become R * rows; axis in the frame's own coordinates.
  void RotateAboutFrameAxis(const Vector3& axis, float angle);

  // Turns X toward a world point. rebuild = true rebuilds all rows with Z kept
  // as upright as possible; rebuild = false turns the frame by the smallest rotation.
  void LookAt(const Vector3& target, bool rebuild);
  // Rebuilds the rows so X points at target and Z leans toward up.
  void LookAtWithUp(const Vector3& target, const Vector3& up);

  // Gram-Schmidt from X keeping Z's side; a degenerate frame is reset to
  // identity rows (position kept) with a logged message.
  void Orthonormalize();
  // Each row divided by its true length; zero rows stay.
  void NormalizeAxes();

  bool IsOrthonormal(float tol) const;
  bool IsRightHanded(float tol) const;
  // 0 = unit scale, 1 = uniform scale other than 1, 2 = non-uniform scale.
  int ClassifyScale(float tol) const;
  bool IsMirrored() const { return axes.m[2].Dot(axes.m[0].Cross(axes.m[1])) < 0.0f; }

  // this = blend of a and b: position linearly, rotation by quaternion slerp.
  void Interpolate(const COrientation& a, const COrientation& b, float t);

  Matrix4 ToMatrix4() const;
  void SetFromMatrix4(const Matrix4& mat);
  // World to frame coordinates: a world p maps to WorldToLocalPoint(p).
  Matrix4 ToViewMatrix() const;
  // World to camera view space: x right (-Y), y up (Z), z forward (X).
  Matrix4 ToCameraMatrix() const;
};

// out = parent.LocalToWorldOrientation(child).
void ComposeOrientations(const COrientation& parent, const COrientation& child, COrientation& out);

static_assert(sizeof(COrientation) == 48, "COrientation is twelve packed floats");
