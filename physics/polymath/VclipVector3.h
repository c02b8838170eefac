// VclipVector3: column 3-vector of the polyhedron code's own vector library.
#pragma once

#include <iosfwd>

// The polyhedron code keeps its own small vector library (column vectors, p' = M p)
// so that it stays independent of the engine's row-vector math; VclipConvert.h is
// the one place where the two conventions meet.
struct VclipVector3 {
  float x, y, z;

  constexpr VclipVector3() : x(0.0f), y(0.0f), z(0.0f) {}
  constexpr VclipVector3(float ax, float ay, float az) : x(ax), y(ay), z(az) {}

  void Set(float ax, float ay, float az) {
    x = ax;
    y = ay;
    z = az;
  }

  // out = a + b (out may alias a or b).
  static void Sum(const VclipVector3& a, const VclipVector3& b, VclipVector3& out) {
    out.Set(a.x + b.x, a.y + b.y, a.z + b.z);
  }
  // this += b.
  void Add(const VclipVector3& b) {
    x += b.x;
    y += b.y;
    z += b.z;
  }
  // a x b = (a.y b.z - a.z b.y, a.z b.x - a.x b.z, a.x b.y - a.y b.x).
  static VclipVector3 Cross(const VclipVector3& a, const VclipVector3& b) {
    return VclipVector3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
  }
  float Dot(const VclipVector3& b) const { return x * b.x + y * b.y + z * b.z; }
  float Length() const;
  VclipVector3 Scaled(float s) const { return VclipVector3(x * s, y * s, z * s); }

  bool operator==(const VclipVector3& b) const { return x == b.x && y == b.y && z == b.z; }
  bool operator!=(const VclipVector3& b) const { return !(*this == b); }

  static const VclipVector3 kZero;
  static const VclipVector3 kI, kJ, kK;
  static const VclipVector3 kMinusI, kMinusJ, kMinusK;
};

// "(x y z)" with an explicit sign before every number; the stream's precision applies.
std::ostream& operator<<(std::ostream& out, const VclipVector3& v);

// Reads "i", "j" or "k" (optionally signed: "-j" is (0, -1, 0)) or three numbers.
// A malformed vector sets failbit and leaves v unchanged.
std::istream& operator>>(std::istream& in, VclipVector3& v);
