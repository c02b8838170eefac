// Quaternion: rotation as (x, y, z, w), w last; used to blend rotations.
#pragma once

#include "core/math/TMatrix.h"

struct Quaternion {
  float x, y, z, w;

  Quaternion() : x(0.0f), y(0.0f), z(0.0f), w(1.0f) {}
  Quaternion(float ax, float ay, float az, float aw) : x(ax), y(ay), z(az), w(aw) {}

  void SetIdentity() {
    x = y = z = 0.0f;
    w = 1.0f;
  }
  float Dot(const Quaternion& q) const { return x * q.x + y * q.y + z * q.z + w * q.w; }

  // From a rotation matrix whose rows are the rotated axes.
  void SetFromMatrix(const TMatrix& m);
  // The rotation matrix (rows = rotated axes) of this unit quaternion.
  void ToMatrix(TMatrix& out) const;

  // Spherical blend along the shorter arc, renormalised.
  static void Slerp(Quaternion& out, const Quaternion& a, const Quaternion& b, float t);
  void SlerpToward(const Quaternion& b, float t) { Slerp(*this, *this, b, t); }

  // Random rotation from three plat::rand() angles about X, Y and Z.
  void Random();
};

static_assert(sizeof(Quaternion) == 16, "Quaternion is four packed floats");
