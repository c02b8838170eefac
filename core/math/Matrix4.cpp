// Matrix4: blends of transforms by quaternion slerp.
#include "core/math/Matrix4.h"

#include "core/math/Quaternion.h"

void InterpolateRotation(TMatrix& out, const TMatrix& a, const TMatrix& b, float t) {
  Quaternion qa, qb, q;
  qa.SetFromMatrix(a);
  qb.SetFromMatrix(b);
  Quaternion::Slerp(q, qa, qb, t);
  q.ToMatrix(out);
}

namespace {

// Identity with the slerped rotation of a and b and the given translation.
void BuildBlend(Matrix4& out, const Matrix4& a, const Matrix4& b, float t, const Vector3& translation) {
  TMatrix r;
  InterpolateRotation(r, a.GetTMatrix(), b.GetTMatrix(), t);
  out = Matrix4::FromTMatrix(r);
  out.m[3][0] = translation.x;
  out.m[3][1] = translation.y;
  out.m[3][2] = translation.z;
}

}  // namespace

void InterpolateMatrix4(Matrix4& out, const Matrix4& a, const Matrix4& b, float t) {
  const Vector3 ta = a.GetTranslation(), tb = b.GetTranslation();
  BuildBlend(out, a, b, t, ta + (tb - ta) * t);
}

void InterpolateTransform(Matrix4& out, const Matrix4& a, const Matrix4& b, float t) {
  BuildBlend(out, a, b, t, b.GetTranslation());
}
