// Vector3: the engine's 3-D point and direction, three 32-bit floats.
#pragma once

#include <cmath>

struct Vector3 {
  float x, y, z;

  Vector3() : x(0.0f), y(0.0f), z(0.0f) {}
  Vector3(float ax, float ay, float az) : x(ax), y(ay), z(az) {}

  void Set(float ax, float ay, float az) {
    x = ax;
    y = ay;
    z = az;
  }

  // Component by index 0..2 (used by per-axis loops such as box and matrix code).
  float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
  float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

  Vector3 operator+(const Vector3& b) const { return Vector3(x + b.x, y + b.y, z + b.z); }
  Vector3 operator-(const Vector3& b) const { return Vector3(x - b.x, y - b.y, z - b.z); }
  Vector3 operator-() const { return Vector3(-x, -y, -z); }
  Vector3 operator*(float s) const { return Vector3(x * s, y * s, z * s); }
  Vector3& operator+=(const Vector3& b) {
    x += b.x;
    y += b.y;
    z += b.z;
    return *this;
  }
  Vector3& operator-=(const Vector3& b) {
    x -= b.x;
    y -= b.y;
    z -= b.z;
    return *this;
  }
  Vector3& operator*=(float s) {
    x *= s;
    y *= s;
    z *= s;
    return *this;
  }
  bool operator==(const Vector3& b) const { return x == b.x && y == b.y && z == b.z; }
  bool operator!=(const Vector3& b) const { return !(*this == b); }

  float Dot(const Vector3& b) const { return x * b.x + y * b.y + z * b.z; }
  Vector3 Cross(const Vector3& b) const {
    return Vector3(y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x);
  }
  float LengthSquared() const { return x * x + y * y + z * z; }
  float Length() const { return std::sqrt(LengthSquared()); }

  // Divides by the length; a zero vector is left alone and reported as false so
  // callers can pick their own fallback direction.
  bool Normalize() {
    const float len = Length();
    if (len == 0.0f) return false;
    const float inv = 1.0f / len;
    x *= inv;
    y *= inv;
    z *= inv;
    return true;
  }

  // Cheap length estimate: largest |component| + 0.25 * (sum of the other two).
  // Exact along an axis, at most ~13% low (diagonals) and ~6% high. Drag,
  // springs and level-of-detail distances are tuned to this estimate, so it
  // must not be swapped for the true length.
  float ApproxLength() const {
    const float ax = std::fabs(x), ay = std::fabs(y), az = std::fabs(z);
    float big = ax;
    if (ay > big) big = ay;
    if (az > big) big = az;
    return big + 0.25f * (ax + ay + az - big);
  }
};

inline Vector3 operator*(float s, const Vector3& v) { return v * s; }

static_assert(sizeof(Vector3) == 12, "Vector3 is three packed floats");
