// Tests of Quaternion: matrix conversions and slerp against Eigen, shortest arc, random rotations.
#include "core/math/Quaternion.h"

#include "platform/Platform.h"

#include <Eigen/Dense>
#include "tests/support/MathReference.h"
#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace testing_support;

namespace {


// q and -q are the same rotation.
float RotationDistance(const Quaternion& a, const Quaternion& b) {
  return 1.0f - std::fabs(a.Dot(b));
}

TEST(QuaternionTest, ToMatrixIsEigensRotationTransposed) {
  std::mt19937 rng(5);
  for (int n = 0; n < 1000; ++n) {
    const Quaternion q = RandomUnitQuaternion(rng);
    TMatrix m;
    q.ToMatrix(m);
    // Rows are the rotated axes, so the engine matrix is the column form transposed.
    EXPECT_TRUE(ToEigen(m).isApprox(ToEigen(q).toRotationMatrix().transpose(), 1e-5f));
    Quaternion back;
    back.SetFromMatrix(m);
    EXPECT_LT(RotationDistance(back, q), 1e-5f) << n;
  }
}

TEST(QuaternionTest, SetFromMatrixCoversEveryBranch) {
  Quaternion q(9, 9, 9, 9);
  q.SetFromMatrix(TMatrix());
  EXPECT_EQ(q.x, 0.0f);
  EXPECT_EQ(q.y, 0.0f);
  EXPECT_EQ(q.z, 0.0f);
  EXPECT_EQ(q.w, 1.0f);
  // Half turns have trace -1: one branch per axis.
  const Vector3 axes[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
  for (int i = 0; i < 3; ++i) {
    TMatrix r;
    MakeAxisRotation(r, axes[i], float(M_PI));
    q.SetFromMatrix(r);
    const float expected[3] = {i == 0 ? 1.0f : 0.0f, i == 1 ? 1.0f : 0.0f, i == 2 ? 1.0f : 0.0f};
    EXPECT_NEAR(std::fabs(q.x), expected[0], 1e-6f);
    EXPECT_NEAR(std::fabs(q.y), expected[1], 1e-6f);
    EXPECT_NEAR(std::fabs(q.z), expected[2], 1e-6f);
    EXPECT_NEAR(q.w, 0.0f, 1e-6f);
  }
  // Near-half-turns about skew axes go through the non-trace branches with all terms live.
  std::mt19937 rng(8);
  std::uniform_real_distribution<float> d(-1.0f, 1.0f), ang(2.5f, 3.14f);
  for (int n = 0; n < 500; ++n) {
    Vector3 a(d(rng), d(rng), d(rng));
    if (!a.Normalize()) continue;
    const float angle = ang(rng);
    TMatrix r;
    MakeAxisRotation(r, a, angle);
    q.SetFromMatrix(r);
    const Eigen::Quaternionf ref(Eigen::AngleAxisf(angle, Eigen::Vector3f(a.x, a.y, a.z)));
    EXPECT_LT(RotationDistance(q, Quaternion(ref.x(), ref.y(), ref.z(), ref.w())), 1e-5f) << n;
  }
}

TEST(QuaternionTest, SlerpAgreesWithEigen) {
  std::mt19937 rng(6);
  std::uniform_real_distribution<float> tt(0.0f, 1.0f);
  for (int n = 0; n < 1000; ++n) {
    const Quaternion a = RandomUnitQuaternion(rng), b = RandomUnitQuaternion(rng);
    const float t = tt(rng);
    Quaternion out;
    Quaternion::Slerp(out, a, b, t);
    const Eigen::Quaternionf ref = ToEigen(a).slerp(t, ToEigen(b));
    EXPECT_LT(RotationDistance(out, Quaternion(ref.x(), ref.y(), ref.z(), ref.w())), 1e-5f) << n;
    EXPECT_NEAR(out.Dot(out), 1.0f, 1e-5f);
  }
}

TEST(QuaternionTest, SlerpTakesTheShorterArcAndHitsEnds) {
  const Quaternion q(0.1f, 0.7f, -0.3f, 0.5f);
  const Quaternion neg(-q.x, -q.y, -q.z, -q.w);
  const float len = std::sqrt(q.Dot(q));
  for (float t : {0.0f, 0.3f, 1.0f}) {
    Quaternion out;
    Quaternion::Slerp(out, q, neg, t);
    EXPECT_NEAR(out.x, q.x / len, 1e-6f);
    EXPECT_NEAR(out.w, q.w / len, 1e-6f);
  }
  std::mt19937 rng(7);
  for (int n = 0; n < 200; ++n) {
    const Quaternion a = RandomUnitQuaternion(rng), b = RandomUnitQuaternion(rng);
    Quaternion s0, s1;
    Quaternion::Slerp(s0, a, b, 0.0f);
    Quaternion::Slerp(s1, a, b, 1.0f);
    EXPECT_LT(RotationDistance(s0, a), 1e-6f);
    EXPECT_LT(RotationDistance(s1, b), 1e-6f);
    // SlerpToward is the in-place form, and aliasing the output is safe.
    Quaternion in = a, ref;
    Quaternion::Slerp(ref, a, b, 0.4f);
    in.SlerpToward(b, 0.4f);
    EXPECT_EQ(in.x, ref.x);
    EXPECT_EQ(in.w, ref.w);
  }
  // A zero-length blend is divided by 1, not by 0.
  Quaternion zero(0, 0, 0, 0), out;
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
  for (int n = 0; n < 500; ++n) {
    q.Random();
    EXPECT_NEAR(q.Dot(q), 1.0f, 1e-5f);
  }
}

}  // namespace
