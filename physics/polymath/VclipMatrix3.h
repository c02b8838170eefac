// VclipMatrix3: 3x3 matrix of the polyhedron code, acting on column vectors (p' = M p).
#pragma once

#include <iosfwd>

#include "physics/polymath/VclipVector3.h"

struct VclipQuaternion;

// Row order m[row][column]. The columns of a rotation are the images of the axes,
// which makes this the transpose of the engine's TMatrix for the same rotation.
struct VclipMatrix3 {
  float m[3][3];

  // Zero matrix; use kIdentity for the identity.
  constexpr VclipMatrix3() : m{{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}} {}
  constexpr VclipMatrix3(float m00, float m01, float m02, float m10, float m11, float m12, float m20,
                         float m21, float m22)
      : m{{m00, m01, m02}, {m10, m11, m12}, {m20, m21, m22}} {}

  // Rotation matrix of a unit quaternion.
  void SetFromQuaternion(const VclipQuaternion& q);

  // this = src^-1 by cofactors. Returns 1 and writes nothing when |det| < 1e-12
  // (singular), 0 on success; the polyhedron code tests for the non-zero failure code.
  int Invert(const VclipMatrix3& src);

  static VclipMatrix3 Product(const VclipMatrix3& a, const VclipMatrix3& b);
  void PostMultiply(const VclipMatrix3& b) { *this = Product(*this, b); }  // this = this * b
  void PreMultiply(const VclipMatrix3& b) { *this = Product(b, *this); }   // this = b * this

  VclipVector3 Apply(const VclipVector3& v) const {
    return VclipVector3(m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,  //
                        m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,  //
                        m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z);
  }
  VclipMatrix3 Transposed() const {
    return VclipMatrix3(m[0][0], m[1][0], m[2][0], m[0][1], m[1][1], m[2][1], m[0][2], m[1][2], m[2][2]);
  }
  float Determinant() const;

  static const VclipMatrix3 kZero;
  static const VclipMatrix3 kIdentity;
};

// Three lines "[m0 m1 m2]" with explicit signs, the stream flushed after each line.
std::ostream& operator<<(std::ostream& out, const VclipMatrix3& a);
