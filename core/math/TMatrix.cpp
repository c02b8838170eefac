// TMatrix: column re-squaring and axis-angle rotation.
#include "core/math/TMatrix.h"

#include "platform/system/Win32.h"

#include <cmath>

namespace {

// Divides by the fast length estimate; 0 is taken as 1 so a zero column stays
// zero and is caught by the degenerate check.
Vector3 ScaleByApproxLength(const Vector3& v) {
  float len = v.ApproxLength();
  if (len == 0.0f) len = 1.0f;
  return v * (1.0f / len);
}

bool IsZero(const Vector3& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

}  // namespace

// Gram-Schmidt on the columns from column 0, keeping column 2's side, but scaled
// with Vector3::ApproxLength rather than the true length. That leaves a column
// that is not along an axis up to ~16% longer than 1 (e.g. (0.707, 0.707, 0)
// comes out near (0.8, 0.8, 0)). The rigid-body integration re-squares through
// this every step and its tuning depends on the result, so the estimate is kept
// deliberately; use COrientation::Orthonormalize for a true unit frame.
bool TMatrix::Orthonormalize() {
  const Vector3 a = ScaleByApproxLength(GetColumn(0));
  const Vector3 b = ScaleByApproxLength(GetColumn(2).Cross(a));
  const Vector3 c = ScaleByApproxLength(a.Cross(b));
  if (IsZero(a) || IsZero(b) || IsZero(c)) {
    OutputDebugStringA("TMatrix: Error in Orthonormalization! - resetting to identity!\n");
    SetIdentity();
    return false;
  }
  SetColumn(0, a);
  SetColumn(1, b);
  SetColumn(2, c);
  return true;
}

void MakeAxisRotation(TMatrix& out, const Vector3& axis, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  const float x = axis.x, y = axis.y, z = axis.z;
  if (y * y + z * z == 0.0f) {
    // Axis along X: build directly so a non-unit x still gives a clean rotation.
    out.Set(1.0f, 0.0f, 0.0f,  //
            0.0f, c, s * x,    //
            0.0f, -s * x, c);
    return;
  }
  const float t = 1.0f - c;
  out.Set(c + t * x * x, t * x * y + s * z, t * x * z - s * y,  //
          t * x * y - s * z, c + t * y * y, t * y * z + s * x,  //
          t * x * z + s * y, t * y * z - s * x, c + t * z * z);
}
