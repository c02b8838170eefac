// Tests of Quaternion: matrix conversions and slerp against Eigen, shortest arc, random rotations.
#include "core/math/Quaternion.h"

#include "platform/system/Platform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/support/MathCompare.h"
#include "tests/support/MathReference.h"

using namespace testing_support;

namespace {

Quaternion FromEigen(const Eigen::Quaternionf& q) { return Quaternion(q.x(), q.y(), q.z(), q.w()); }

TEST(QuaternionTest, MatrixConversionsAgreeWithEigen) {
  std::mt19937 rng(5);
  for (int n = 0; n < 1000; ++n) {
    const Quaternion q = RandomUnitQuaternion(rng);
    TMatrix m;
    q.ToMatrix(m);
    // Rows are the rotated axes, so the engine matrix is the column form transposed.
    EXPECT_TRUE(ToEigen(m).isApprox(ToEigen(q).toRotationMatrix().transpose(), 1e-5f));
    Quaternion back;
    back.SetFromMatrix(m);
    EXPECT_PRED_FORMAT3(SameRotation, back, q, 1e-5f) << n;
  }
  // Half turns and near-half-turns about skew axes take the non-trace branches.
  std::uniform_real_distribution<float> d(-1.0f, 1.0f), ang(2.5f, 3.14159265f);
  for (int n = 0; n < 500; ++n) {
    Vector3 a = n < 3 ? Vector3(n == 0, n == 1, n == 2) : Vector3(d(rng), d(rng), d(rng));
    if (!a.Normalize()) continue;
    const float angle = n < 3 ? float(M_PI) : ang(rng);
    TMatrix r;
    MakeAxisRotation(r, a, angle);
    Quaternion q;
    q.SetFromMatrix(r);
    const Eigen::Quaternionf ref(Eigen::AngleAxisf(angle, ToEigen(a)));
    EXPECT_PRED_FORMAT3(SameRotation, q, FromEigen(ref), 1e-5f) << n;
  }
}

TEST(QuaternionTest, SlerpAgreesWithEigenAndHitsEnds) {
  std::mt19937 rng(6);
  std::uniform_real_distribution<float> tt(0.0f, 1.0f);
  for (int n = 0; n < 1000; ++n) {
    const Quaternion a = RandomUnitQuaternion(rng), b = RandomUnitQuaternion(rng);
    const float t = n % 10 == 0 ? float(n % 20 == 0) : tt(rng);
    Quaternion out;
    Quaternion::Slerp(out, a, b, t);
    EXPECT_PRED_FORMAT3(SameRotation, out, FromEigen(ToEigen(a).slerp(t, ToEigen(b))), 1e-5f) << n;
    EXPECT_NEAR(out.Dot(out), 1.0f, 1e-5f);
    Quaternion in = a;  // the in-place form
    in.SlerpToward(b, t);
    EXPECT_EQ(in.x, out.x);
    EXPECT_EQ(in.w, out.w);
  }
  // Toward its own negative: the shorter arc is no turn at all.
  const Quaternion q(0.1f, 0.7f, -0.3f, 0.5f), neg(-q.x, -q.y, -q.z, -q.w);
  Quaternion out;
  Quaternion::Slerp(out, q, neg, 0.3f);
  EXPECT_NEAR(out.x, q.x / std::sqrt(q.Dot(q)), 1e-6f);
  // A zero-length blend is divided by 1, not by 0.
  Quaternion zero(0, 0, 0, 0);
  Quaternion::Slerp(out, zero, zero, 0.5f);
  EXPECT_EQ(out.w, 0.0f);
}

TEST(QuaternionTest, RandomIsTheProductOfThreeAxisTurns) {
  plat::srand(99);
  const float k = -6.28318530717958647692f / 32767.0f;
  const float ax = k * plat::rand(), ay = k * plat::rand(), az = k * plat::rand();
  plat::srand(99);
  Quaternion q;
  q.Random();
  const Eigen::Matrix3f colForm = (Eigen::AngleAxisf(az, Eigen::Vector3f::UnitZ()) *
                                   Eigen::AngleAxisf(ay, Eigen::Vector3f::UnitY()) *
                                   Eigen::AngleAxisf(ax, Eigen::Vector3f::UnitX()))
                                      .toRotationMatrix();
  TMatrix m;
  q.ToMatrix(m);
  // Row form Rx * Ry * Rz (X first) is the column form (Rz Ry Rx) transposed.
  EXPECT_TRUE(ToEigen(m).isApprox(colForm.transpose(), 1e-5f));
}

}  // namespace
