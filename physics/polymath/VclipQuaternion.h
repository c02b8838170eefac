// VclipQuaternion: rotation quaternion of the polyhedron code, scalar first (w, x, y, z).
#pragma once

#include <iosfwd>

#include "physics/polymath/VclipVector3.h"

struct VclipMatrix3;

struct VclipQuaternion {
  float w, x, y, z;

  // The identity rotation (1, 0, 0, 0).
  constexpr VclipQuaternion() : w(1.0f), x(0.0f), y(0.0f), z(0.0f) {}
  constexpr VclipQuaternion(float aw, float ax, float ay, float az) : w(aw), x(ax), y(ay), z(az) {}

  // Rotation by angle (radians) about axis. With normalizeAxis the axis is divided by
  // its length first; a zero axis is left as it is rather than divided by zero, which
  // gives the non-rotating (cos(angle / 2), 0, 0, 0) that Normalize turns into identity.
  void SetFromAngleAxis(float angle, const VclipVector3& axis, bool normalizeAxis);
  // Unit quaternion of a rotation matrix, w kept non-negative.
  void SetFromMatrix(const VclipMatrix3& r);

  static VclipQuaternion Product(const VclipQuaternion& a, const VclipQuaternion& b);
  void PostMultiply(const VclipQuaternion& b) { *this = Product(*this, b); }  // this = this * b
  void PreMultiply(const VclipQuaternion& b) { *this = Product(b, *this); }   // this = b * this

  // v' = v + 2w (q.v x v) + 2 q.v x (q.v x v): the rotation of v (q a unit quaternion).
  void Rotate(const VclipVector3& v, VclipVector3& out) const;
  void Rotate(VclipVector3& v) const { Rotate(v, v); }
  // The same with w negated: rotation by the inverse.
  void InverseRotate(const VclipVector3& v, VclipVector3& out) const;
  void InverseRotate(VclipVector3& v) const { InverseRotate(v, v); }

  float Length() const;
  // Divides by the length; a zero quaternion becomes the identity instead of NaNs.
  void Normalize();

  static const VclipQuaternion kIdentity;
};

// "(w x y z)" with an explicit sign before every number.
std::ostream& operator<<(std::ostream& out, const VclipQuaternion& q);
