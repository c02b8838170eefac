// TMatrix: 3x3 float matrix in row order; vectors are rows, so v * M applies M.
#pragma once

#include "core/math/Vector3.h"

struct TMatrix {
  // m[i] is row i; m[i][j] the element in row i, column j.
  Vector3 m[3];

  TMatrix() { SetIdentity(); }

  void SetIdentity() {
    m[0].Set(1.0f, 0.0f, 0.0f);
    m[1].Set(0.0f, 1.0f, 0.0f);
    m[2].Set(0.0f, 0.0f, 1.0f);
  }
  TMatrix& Set(float m00, float m01, float m02, float m10, float m11, float m12, float m20, float m21,
               float m22) {
    m[0].Set(m00, m01, m02);
    m[1].Set(m10, m11, m12);
    m[2].Set(m20, m21, m22);
    return *this;
  }

  Vector3& operator[](int i) { return m[i]; }
  const Vector3& operator[](int i) const { return m[i]; }

  Vector3 GetColumn(int j) const { return Vector3(m[0][j], m[1][j], m[2][j]); }
  void SetColumn(int j, const Vector3& c) {
    m[0][j] = c.x;
    m[1][j] = c.y;
    m[2][j] = c.z;
  }

  TMatrix operator+(const TMatrix& b) const {
    TMatrix r;
    for (int i = 0; i < 3; ++i) r.m[i] = m[i] + b.m[i];
    return r;
  }
  // this * b: row i of the result is row i of this times b (apply this, then b).
  // All eighteen inputs are read into locals first: written this way the
  // compiler keeps it scalar and schedules it well, where the row-vector form
  // was packed into shuffle-heavy SIMD code about twice as slow.
  TMatrix operator*(const TMatrix& b) const {
    const float a00 = m[0].x, a01 = m[0].y, a02 = m[0].z;
    const float a10 = m[1].x, a11 = m[1].y, a12 = m[1].z;
    const float a20 = m[2].x, a21 = m[2].y, a22 = m[2].z;
    const float b00 = b.m[0].x, b01 = b.m[0].y, b02 = b.m[0].z;
    const float b10 = b.m[1].x, b11 = b.m[1].y, b12 = b.m[1].z;
    const float b20 = b.m[2].x, b21 = b.m[2].y, b22 = b.m[2].z;
    TMatrix r;
    r.Set(a00 * b00 + a01 * b10 + a02 * b20, a00 * b01 + a01 * b11 + a02 * b21, a00 * b02 + a01 * b12 + a02 * b22,
          a10 * b00 + a11 * b10 + a12 * b20, a10 * b01 + a11 * b11 + a12 * b21, a10 * b02 + a11 * b12 + a12 * b22,
          a20 * b00 + a21 * b10 + a22 * b20, a20 * b01 + a21 * b11 + a22 * b21, a20 * b02 + a21 * b12 + a22 * b22);
    return r;
  }
  bool operator==(const TMatrix& b) const { return m[0] == b.m[0] && m[1] == b.m[1] && m[2] == b.m[2]; }
  bool operator!=(const TMatrix& b) const { return !(*this == b); }

  TMatrix Transposed() const {
    TMatrix r;
    for (int i = 0; i < 3; ++i) r.m[i] = GetColumn(i);
    return r;
  }

  // Re-squares the columns (see TMatrix.cpp for why the result is not exactly unit
  // length). Returns false after resetting a degenerate matrix to the identity.
  bool Orthonormalize();
};

// Row vector times matrix.
inline Vector3 operator*(const Vector3& v, const TMatrix& a) { return a.m[0] * v.x + a.m[1] * v.y + a.m[2] * v.z; }

// Rotation by angle (radians) about a unit axis, laid out for row vectors:
// v * out turns v counter-clockwise when seen from the tip of the axis.
void MakeAxisRotation(TMatrix& out, const Vector3& axis, float angle);

static_assert(sizeof(TMatrix) == 36, "TMatrix is nine packed floats");
