// VclipQuaternion: construction, products, vector rotation and the text form.
#include "physics/polymath/VclipQuaternion.h"

#include <cmath>
#include <ostream>

#include "physics/polymath/VclipMatrix3.h"

const VclipQuaternion VclipQuaternion::kIdentity(1.0f, 0.0f, 0.0f, 0.0f);

void VclipQuaternion::SetFromAngleAxis(float angle, const VclipVector3& axis, bool normalizeAxis) {
  VclipVector3 a = axis;
  if (normalizeAxis) {
    const float len = axis.Length();
    if (len > 0.0f) a = axis.Scaled(1.0f / len);
  }
  const float s = std::sin(0.5f * angle);
  w = std::cos(0.5f * angle);
  x = s * a.x;
  y = s * a.y;
  z = s * a.z;
}

void VclipQuaternion::SetFromMatrix(const VclipMatrix3& r) {
  const float (*m)[3] = r.m;
  const float w2 = (m[0][0] + m[1][1] + m[2][2] + 1.0f) * 0.25f;
  const float x2 = w2 - (m[1][1] + m[2][2]) * 0.5f;
  const float y2 = w2 - (m[0][0] + m[2][2]) * 0.5f;
  const float z2 = w2 - (m[0][0] + m[1][1]) * 0.5f;
  // The largest square gives the best-conditioned root; ties keep the earlier of w, x, y, z.
  if (w2 >= x2 && w2 >= y2 && w2 >= z2) {
    w = std::sqrt(w2);
    const float f = 0.25f / w;
    x = (m[2][1] - m[1][2]) * f;
    y = (m[0][2] - m[2][0]) * f;
    z = (m[1][0] - m[0][1]) * f;
  } else if (x2 >= y2 && x2 >= z2) {
    x = std::sqrt(x2);
    const float f = 0.25f / x;
    w = (m[2][1] - m[1][2]) * f;
    y = (m[0][1] + m[1][0]) * f;
    z = (m[0][2] + m[2][0]) * f;
  } else if (y2 >= z2) {
    y = std::sqrt(y2);
    const float f = 0.25f / y;
    w = (m[0][2] - m[2][0]) * f;
    x = (m[0][1] + m[1][0]) * f;
    z = (m[1][2] + m[2][1]) * f;
  } else {
    z = std::sqrt(z2);
    const float f = 0.25f / z;
    w = (m[1][0] - m[0][1]) * f;
    x = (m[0][2] + m[2][0]) * f;
    y = (m[1][2] + m[2][1]) * f;
  }
  if (w < 0.0f) {
    w = -w;
    x = -x;
    y = -y;
    z = -z;
  }
  Normalize();
}

VclipQuaternion VclipQuaternion::Product(const VclipQuaternion& a, const VclipQuaternion& b) {
  return VclipQuaternion(a.w * b.w - (a.x * b.x + a.y * b.y + a.z * b.z),
                         a.w * b.x + b.w * a.x + (a.y * b.z - a.z * b.y),
                         a.w * b.y + b.w * a.y + (a.z * b.x - a.x * b.z),
                         a.w * b.z + b.w * a.z + (a.x * b.y - a.y * b.x));
}

namespace {

void RotateWith(float w, const VclipVector3& qv, const VclipVector3& v, VclipVector3& out) {
  const VclipVector3 c = VclipVector3::Cross(qv, v);
  const VclipVector3 cc = VclipVector3::Cross(qv, c);
  out.Set(v.x + 2.0f * (w * c.x + cc.x), v.y + 2.0f * (w * c.y + cc.y), v.z + 2.0f * (w * c.z + cc.z));
}

}  // namespace

void VclipQuaternion::Rotate(const VclipVector3& v, VclipVector3& out) const {
  RotateWith(w, VclipVector3(x, y, z), v, out);
}

void VclipQuaternion::InverseRotate(const VclipVector3& v, VclipVector3& out) const {
  RotateWith(-w, VclipVector3(x, y, z), v, out);
}

float VclipQuaternion::Length() const { return std::sqrt(w * w + x * x + y * y + z * z); }

void VclipQuaternion::Normalize() {
  const float len = Length();
  if (len == 0.0f) {
    *this = kIdentity;
    return;
  }
  const float inv = 1.0f / len;
  w *= inv;
  x *= inv;
  y *= inv;
  z *= inv;
}

std::ostream& operator<<(std::ostream& out, const VclipQuaternion& q) {
  const std::ios_base::fmtflags saved = out.flags();
  out.setf(std::ios_base::showpos);
  out << '(' << q.w << ' ' << q.x << ' ' << q.y << ' ' << q.z << ')';
  out.flags(saved);
  return out;
}
