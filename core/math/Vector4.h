// Vector4: homogeneous point (x, y, z, w), the result of a 4x4 transform.
#pragma once

#include "core/math/Vector3.h"

struct Vector4 {
  float x, y, z, w;

  Vector4() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
  Vector4(float ax, float ay, float az, float aw) : x(ax), y(ay), z(az), w(aw) {}
  Vector4(const Vector3& v, float aw) : x(v.x), y(v.y), z(v.z), w(aw) {}

  void Set(float ax, float ay, float az, float aw) {
    x = ax;
    y = ay;
    z = az;
    w = aw;
  }
  Vector3 XYZ() const { return Vector3(x, y, z); }
};

static_assert(sizeof(Vector4) == 16, "Vector4 is four packed floats");
