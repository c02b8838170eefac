// Matrix4: 4x4 float matrix for row vectors; rows 0-2 hold the axes, row 3 the translation.
#pragma once

#include "core/math/TMatrix.h"
#include "core/math/Vector3.h"
#include "core/math/Vector4.h"

struct Matrix4 {
  // m[i][j]: row i, column j. A point (x, y, z, 1) is multiplied from the left,
  // so A * B applies A first.
  float m[4][4];

  Matrix4() { SetDiagonal(1.0f); }

  // All zero with v on the diagonal (1.0 gives the identity).
  void SetDiagonal(float v) {
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) m[i][j] = (i == j) ? v : 0.0f;
  }
  void SetIdentity() { SetDiagonal(1.0f); }
  void Copy(const Matrix4& src) { *this = src; }
  void Assign(const Matrix4& src) { *this = src; }

  Matrix4 operator*(const Matrix4& b) const {
    Matrix4 r;
    for (int i = 0; i < 4; ++i) {
      const float a0 = m[i][0], a1 = m[i][1], a2 = m[i][2], a3 = m[i][3];
      for (int j = 0; j < 4; ++j) r.m[i][j] = a0 * b.m[0][j] + a1 * b.m[1][j] + a2 * b.m[2][j] + a3 * b.m[3][j];
    }
    return r;
  }
  bool operator==(const Matrix4& b) const {
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j)
        if (m[i][j] != b.m[i][j]) return false;
    return true;
  }
  bool operator!=(const Matrix4& b) const { return !(*this == b); }

  // this = this * translation(t): each row's w carries the translation.
  void Translate(const Vector3& t) {
    for (int i = 0; i < 4; ++i) {
      const float w = m[i][3];
      m[i][0] += t.x * w;
      m[i][1] += t.y * w;
      m[i][2] += t.z * w;
    }
  }
  // this = this * scale(s): columns 0, 1, 2 times s.x, s.y, s.z.
  void Scale(const Vector3& s) {
    for (int i = 0; i < 4; ++i) {
      m[i][0] *= s.x;
      m[i][1] *= s.y;
      m[i][2] *= s.z;
    }
  }
  // Identity with r in the upper-left 3x3.
  static Matrix4 FromTMatrix(const TMatrix& r) {
    Matrix4 out;
    for (int i = 0; i < 3; ++i) {
      out.m[i][0] = r.m[i].x;
      out.m[i][1] = r.m[i].y;
      out.m[i][2] = r.m[i].z;
    }
    return out;
  }
  // The upper-left 3x3.
  TMatrix GetTMatrix() const {
    TMatrix r;
    for (int i = 0; i < 3; ++i) r.m[i].Set(m[i][0], m[i][1], m[i][2]);
    return r;
  }
  Vector3 GetTranslation() const { return Vector3(m[3][0], m[3][1], m[3][2]); }

  // this = this * FromTMatrix(r).
  void MultiplyRotation(const TMatrix& r) { *this = *this * FromTMatrix(r); }
  // Column 3 of every row = s * column 2 (projective w taken from depth).
  void SetWFromZ(float s) {
    for (int i = 0; i < 4; ++i) m[i][3] = s * m[i][2];
  }
  // Clip space (-1..1) to pixels: shift by (1, 1, 0), then half width / half height.
  void ToViewport(float width, float height) {
    Translate(Vector3(1.0f, 1.0f, 0.0f));
    for (int i = 0; i < 4; ++i) {
      m[i][0] *= width * 0.5f;
      m[i][1] *= height * 0.5f;
    }
  }
};

static_assert(sizeof(Matrix4) == 64, "Matrix4 is sixteen packed floats");

// out = (p.x, p.y, p.z, 1) * m.
inline void TransformPoint4(Vector4& out, const Matrix4& a, const Vector3& p) {
  out.x = p.x * a.m[0][0] + p.y * a.m[1][0] + p.z * a.m[2][0] + a.m[3][0];
  out.y = p.x * a.m[0][1] + p.y * a.m[1][1] + p.z * a.m[2][1] + a.m[3][1];
  out.z = p.x * a.m[0][2] + p.y * a.m[1][2] + p.z * a.m[2][2] + a.m[3][2];
  out.w = p.x * a.m[0][3] + p.y * a.m[1][3] + p.z * a.m[2][3] + a.m[3][3];
}

// Signed plane test: plane.xyz . p + plane.w.
inline float Dot4(const Vector3& p, const Vector4& plane) {
  return plane.x * p.x + plane.y * p.y + plane.z * p.z + plane.w;
}

// Rotation blended by quaternion slerp of the two 3x3 parts, translation blended linearly.
void InterpolateMatrix4(Matrix4& out, const Matrix4& a, const Matrix4& b, float t);
// The same rotation blend; the translation is b's, unblended.
void InterpolateTransform(Matrix4& out, const Matrix4& a, const Matrix4& b, float t);
// Rotation-only blend of two 3x3 rotations.
void InterpolateRotation(TMatrix& out, const TMatrix& a, const TMatrix& b, float t);
