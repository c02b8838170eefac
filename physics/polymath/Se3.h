// Se3: rigid transform of the polyhedron code, a rotation quaternion then a translation.
#pragma once

#include <iosfwd>

#include "physics/polymath/VclipMatrix3.h"
#include "physics/polymath/VclipQuaternion.h"
#include "physics/polymath/VclipVector3.h"

// Maps p to rotation(p) + translation.
struct Se3 {
  VclipQuaternion rotation;
  VclipVector3 translation;

  constexpr Se3() : rotation(), translation() {}
  constexpr Se3(const VclipQuaternion& q, const VclipVector3& t) : rotation(q), translation(t) {}
  // From a rotation matrix (column-vector convention) and a translation.
  Se3(const VclipMatrix3& r, const VclipVector3& t);

  VclipVector3 Transform(const VclipVector3& p) const {
    VclipVector3 out;
    rotation.Rotate(p, out);
    out.Add(translation);
    return out;
  }

  // this = this o step: the step applies first, then this transform. The quaternion is
  // renormalised so that long chains of steps do not drift away from a rotation.
  void Append(const Se3& step);

  // Reads "{ trans <vector> rot <degrees> <axis> ... }", composing the steps left to
  // right onto the identity. Errors go to std::cerr (with a bell) and stop the read,
  // leaving the steps read so far; the result is false then.
  bool Read(std::istream& in);

  static const Se3 kIdentity;
};
