// Quaternion: matrix conversions, shortest-arc slerp and random rotations.
#include "core/math/Quaternion.h"

#include "platform/system/Platform.h"

#include <algorithm>
#include <cmath>

void Quaternion::SetFromMatrix(const TMatrix& m) {
  const float trace = m[0][0] + m[1][1] + m[2][2];
  if (trace > 0.0f) {
    const float r = std::sqrt(trace + 1.0f);
    const float s = 0.5f / r;
    w = 0.5f * r;
    x = (m[1][2] - m[2][1]) * s;
    y = (m[2][0] - m[0][2]) * s;
    z = (m[0][1] - m[1][0]) * s;
    return;
  }
  // Build from the largest diagonal element so the divisor stays well away from 0.
  int i = 0;
  if (m[1][1] > m[0][0]) i = 1;
  if (m[2][2] > m[i][i]) i = 2;
  const int j = (i + 1) % 3, k = (i + 2) % 3;
  // A matrix that is not quite a rotation can push the radicand below 0; clamp
  // rather than let a NaN through.
  const float r = std::sqrt(std::max(0.0f, m[i][i] - (m[j][j] + m[k][k]) + 1.0f));
  const float s = (r == 0.0f) ? r : 0.5f / r;
  float q[3];
  q[i] = 0.5f * r;
  q[j] = (m[i][j] + m[j][i]) * s;
  q[k] = (m[i][k] + m[k][i]) * s;
  w = (m[j][k] - m[k][j]) * s;
  x = q[0];
  y = q[1];
  z = q[2];
}

void Quaternion::ToMatrix(TMatrix& out) const {
  out.Set(1.0f - 2.0f * (y * y + z * z), 2.0f * (x * y + w * z), 2.0f * (x * z - w * y),  //
          2.0f * (x * y - w * z), 1.0f - 2.0f * (x * x + z * z), 2.0f * (y * z + w * x),  //
          2.0f * (x * z + w * y), 2.0f * (y * z - w * x), 1.0f - 2.0f * (x * x + y * y));
}

void Quaternion::Slerp(Quaternion& out, const Quaternion& a, const Quaternion& b, float t) {
  float d = a.Dot(b);
  float sign = 1.0f;
  if (d < 0.0f) {  // take the shorter arc
    d = -d;
    sign = -1.0f;
  }
  float wa, wb;
  if (1.0f - d <= 0.001f) {
    wa = 1.0f - t;
    wb = t;
  } else {
    const float angle = std::acos(d);
    // sin(acos(d)) without a third sine call; d < 0.999 here, so it is > 0.04.
    const float inv = 1.0f / std::sqrt(1.0f - d * d);
    wa = std::sin((1.0f - t) * angle) * inv;
    wb = std::sin(t * angle) * inv;
  }
  wb *= sign;
  // out may alias a or b: compute into locals first.
  float rx = wa * a.x + wb * b.x, ry = wa * a.y + wb * b.y;
  float rz = wa * a.z + wb * b.z, rw = wa * a.w + wb * b.w;
  float len = std::sqrt(rx * rx + ry * ry + rz * rz + rw * rw);
  if (len == 0.0f) len = 1.0f;
  const float inv = 1.0f / len;
  out.x = rx * inv;
  out.y = ry * inv;
  out.z = rz * inv;
  out.w = rw * inv;
}

void Quaternion::Random() {
  const float kTwoPi = 6.28318530717958647692f;
  const float ax = -kTwoPi * float(plat::rand()) / float(plat::kRandMax);
  const float ay = -kTwoPi * float(plat::rand()) / float(plat::kRandMax);
  const float az = -kTwoPi * float(plat::rand()) / float(plat::kRandMax);
  TMatrix rx, ry, rz;
  MakeAxisRotation(rx, Vector3(1.0f, 0.0f, 0.0f), ax);
  MakeAxisRotation(ry, Vector3(0.0f, 1.0f, 0.0f), ay);
  MakeAxisRotation(rz, Vector3(0.0f, 0.0f, 1.0f), az);
  SetFromMatrix(rx * ry * rz);
}
