// Conversions from the engine's math types to Eigen, the independent reference
// of the math tests, and the random inputs those tests draw.
//
// Element (i, j) of an engine matrix is Eigen's (i, j). Engine points are row
// vectors, so p * M in the engine is Eigen's M^T * p with p as a column.
#pragma once

#include "core/math/Matrix4.h"
#include "core/math/Orientation.h"
#include "core/math/Quaternion.h"
#include "core/math/TMatrix.h"
#include "core/math/Vector3.h"

#include <Eigen/Dense>

#include <cmath>
#include <random>

namespace testing_support {

inline Eigen::Vector3f ToEigen(const Vector3& v) { return Eigen::Vector3f(v.x, v.y, v.z); }

inline Eigen::Matrix3f ToEigen(const TMatrix& a) {
  Eigen::Matrix3f e;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) e(i, j) = a[i][j];
  return e;
}

inline Eigen::Matrix4f ToEigen(const Matrix4& a) {
  Eigen::Matrix4f e;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) e(i, j) = a.m[i][j];
  return e;
}

inline Eigen::Quaternionf ToEigen(const Quaternion& q) { return Eigen::Quaternionf(q.w, q.x, q.y, q.z); }

// A uniformly random rotation: a normalised 4-D Gaussian sample.
inline Quaternion RandomUnitQuaternion(std::mt19937& rng) {
  std::normal_distribution<float> g;
  Eigen::Vector4f v(g(rng), g(rng), g(rng), g(rng));
  v.normalize();
  return Quaternion(v.x(), v.y(), v.z(), v.w());
}

// A random rigid frame with its position within +-reach on each axis.
inline COrientation RandomFrame(std::mt19937& rng, float reach = 50.0f) {
  std::uniform_real_distribution<float> pos(-reach, reach);
  COrientation f;
  RandomUnitQuaternion(rng).ToMatrix(f.axes);
  f.position.Set(pos(rng), pos(rng), pos(rng));
  return f;
}

inline Vector3 RandomPoint(std::mt19937& rng, float reach = 100.0f) {
  std::uniform_real_distribution<float> d(-reach, reach);
  return Vector3(d(rng), d(rng), d(rng));
}

inline TMatrix RandomTMatrix(std::mt19937& rng, float range = 3.0f) {
  std::uniform_real_distribution<float> d(-range, range);
  TMatrix a;
  for (int i = 0; i < 3; ++i) a[i].Set(d(rng), d(rng), d(rng));
  return a;
}

inline Matrix4 RandomMatrix4(std::mt19937& rng, float range = 2.0f) {
  std::uniform_real_distribution<float> d(-range, range);
  Matrix4 a;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) a.m[i][j] = d(rng);
  return a;
}

}  // namespace testing_support
