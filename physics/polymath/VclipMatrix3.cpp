// VclipMatrix3: quaternion conversion, inverse, products and the text form.
#include "physics/polymath/VclipMatrix3.h"

#include <cmath>
#include <ostream>

#include "physics/polymath/VclipQuaternion.h"

const VclipMatrix3 VclipMatrix3::kZero;
const VclipMatrix3 VclipMatrix3::kIdentity(1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f);

void VclipMatrix3::SetFromQuaternion(const VclipQuaternion& q) {
  const float w = q.w, x = q.x, y = q.y, z = q.z;
  m[0][0] = 2.0f * (w * w + x * x - 0.5f);
  m[1][1] = 2.0f * (w * w + y * y - 0.5f);
  m[2][2] = 2.0f * (w * w + z * z - 0.5f);
  m[0][1] = 2.0f * (x * y - z * w);
  m[1][0] = 2.0f * (x * y + z * w);
  m[1][2] = 2.0f * (y * z - w * x);
  m[2][1] = 2.0f * (y * z + w * x);
  m[2][0] = 2.0f * (x * z - y * w);
  m[0][2] = 2.0f * (x * z + y * w);
}

float VclipMatrix3::Determinant() const {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -  //
         m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +  //
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

int VclipMatrix3::Invert(const VclipMatrix3& src) {
  const float det = src.Determinant();
  if (std::fabs(det) < 1e-12f) return 1;
  const float inv = 1.0f / det;
  const float (*a)[3] = src.m;
  // Built in a temporary first so that src may be this matrix.
  const VclipMatrix3 r((a[1][1] * a[2][2] - a[1][2] * a[2][1]) * inv, (a[0][2] * a[2][1] - a[0][1] * a[2][2]) * inv,
                       (a[0][1] * a[1][2] - a[0][2] * a[1][1]) * inv, (a[1][2] * a[2][0] - a[1][0] * a[2][2]) * inv,
                       (a[0][0] * a[2][2] - a[0][2] * a[2][0]) * inv, (a[0][2] * a[1][0] - a[0][0] * a[1][2]) * inv,
                       (a[1][0] * a[2][1] - a[1][1] * a[2][0]) * inv, (a[0][1] * a[2][0] - a[0][0] * a[2][1]) * inv,
                       (a[0][0] * a[1][1] - a[0][1] * a[1][0]) * inv);
  *this = r;
  return 0;
}

VclipMatrix3 VclipMatrix3::Product(const VclipMatrix3& a, const VclipMatrix3& b) {
  VclipMatrix3 r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
  return r;
}

std::ostream& operator<<(std::ostream& out, const VclipMatrix3& a) {
  const std::ios_base::fmtflags saved = out.flags();
  out.setf(std::ios_base::showpos);
  for (int i = 0; i < 3; ++i) out << '[' << a.m[i][0] << ' ' << a.m[i][1] << ' ' << a.m[i][2] << ']' << std::endl;
  out.flags(saved);
  return out;
}
