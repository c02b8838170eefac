// VclipMatrixTransform: rigid transform of the polyhedron code as a 3x3 matrix and a translation.
#pragma once

#include "physics/polymath/VclipMatrix3.h"
#include "physics/polymath/VclipVector3.h"

// Maps p to R p + t (twelve floats). The inverse assumes R is a rotation.
struct VclipMatrixTransform {
  VclipMatrix3 R;
  VclipVector3 t;

  constexpr VclipMatrixTransform() : R(1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f), t() {}
  constexpr VclipMatrixTransform(const VclipMatrix3& r, const VclipVector3& tr) : R(r), t(tr) {}

  VclipVector3 Apply(const VclipVector3& p) const {
    VclipVector3 out = R.Apply(p);
    out.Add(t);
    return out;
  }

  // a * b applies b first: R = R1 R2, t = R1 t2 + t1.
  static VclipMatrixTransform Product(const VclipMatrixTransform& a, const VclipMatrixTransform& b);
  void PostMultiply(const VclipMatrixTransform& b) { *this = Product(*this, b); }  // this = this * b
  void PreMultiply(const VclipMatrixTransform& b) { *this = Product(b, *this); }   // this = b * this

  // Rigid inverse: R' = R^T, t' = -R' t.
  void Invert(VclipMatrixTransform& out) const;
  void Invert() { Invert(*this); }

  static const VclipMatrixTransform kIdentity;
};
