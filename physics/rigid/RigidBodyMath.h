// RigidBodyMath: the small 3x3 numerics of the rigid-body code (column-vector convention: M v).
#pragma once

#include "core/math/TMatrix.h"
#include "core/math/Vector3.h"

namespace RigidMath {

// M v with v as a column: component i is row i dotted with v.
inline Vector3 Mul(const TMatrix& m, const Vector3& v) { return Vector3(m.m[0].Dot(v), m.m[1].Dot(v), m.m[2].Dot(v)); }

// [v]x, the matrix with [v]x w = v x w.
TMatrix CrossMatrix(const Vector3& v);
TMatrix Scaled(const TMatrix& m, float s);
TMatrix ScaledIdentity(float s);
TMatrix Sum(const TMatrix& a, const TMatrix& b);
TMatrix Difference(const TMatrix& a, const TMatrix& b);
float Determinant(const TMatrix& m);

// A system whose determinant is tiny against the size of its entries gives forces of
// rounding noise times a huge factor, so it counts as singular: |det| <= 1e-6 * (max |m_ij|)^3.
bool IsSingular(const TMatrix& m);
// Adjugate over determinant; false (out untouched) for a singular matrix.
bool Inverse(const TMatrix& m, TMatrix& out);
// Cramer's rule; false (out untouched) for a singular matrix.
bool Solve(const TMatrix& m, const Vector3& b, Vector3& out);

// The fast length estimate: the largest absolute component plus a quarter of the other two.
float FastLength(const Vector3& v);

}  // namespace RigidMath
