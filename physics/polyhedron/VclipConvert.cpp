// VclipConvert: transposes between the row-vector and column-vector conventions.
#include "physics/polyhedron/VclipConvert.h"

VclipVector3 ToVclip(const Vector3& v) { return VclipVector3(v.x, v.y, v.z); }

Vector3 ToEngine(const VclipVector3& v) { return Vector3(v.x, v.y, v.z); }

VclipMatrix3 ToVclip(const TMatrix& m) {
  VclipMatrix3 r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = m.m[j][i];
  return r;
}

TMatrix ToEngine(const VclipMatrix3& m) {
  TMatrix r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = m.m[j][i];
  return r;
}

VclipQuaternion ToVclip(const Quaternion& q) { return VclipQuaternion(q.w, q.x, q.y, q.z); }

Quaternion ToEngine(const VclipQuaternion& q) { return Quaternion(q.x, q.y, q.z, q.w); }

VclipMatrixTransform ToVclip(const COrientation& frame) {
  return VclipMatrixTransform(ToVclip(frame.axes), ToVclip(frame.position));
}

COrientation ToEngine(const VclipMatrixTransform& x) { return COrientation(ToEngine(x.R), ToEngine(x.t)); }

Se3 ToVclipSe3(const COrientation& frame) { return Se3(ToVclip(frame.axes), ToVclip(frame.position)); }

COrientation ToEngine(const Se3& x) {
  VclipMatrix3 r;
  r.SetFromQuaternion(x.rotation);
  return COrientation(ToEngine(r), ToEngine(x.translation));
}

VclipMatrixTransform ToVclip(const Matrix4& m) {
  VclipMatrixTransform x;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) x.R.m[i][j] = m.m[j][i];
  x.t.Set(m.m[3][0], m.m[3][1], m.m[3][2]);
  return x;
}

Matrix4 ToEngineMatrix4(const VclipMatrixTransform& x) {
  Matrix4 m;  // identity: column 3 stays (0, 0, 0, 1)
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m.m[i][j] = x.R.m[j][i];
  m.m[3][0] = x.t.x;
  m.m[3][1] = x.t.y;
  m.m[3][2] = x.t.z;
  return m;
}
