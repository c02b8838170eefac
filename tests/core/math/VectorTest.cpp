// Tests of Vector3: normalisation, the fast length estimate and cross products.
#include "core/math/Vector3.h"

#include <Eigen/Dense>
#include "tests/support/MathReference.h"
#include <gtest/gtest.h>

#include <random>

using namespace testing_support;

namespace {


Vector3 RandomVector(std::mt19937& rng, float range) {
  std::uniform_real_distribution<float> d(-range, range);
  return Vector3(d(rng), d(rng), d(rng));
}

TEST(Vector3Test, NormalizeHandlesZeroAndScales) {
  Vector3 zero(0, 0, 0);
  EXPECT_FALSE(zero.Normalize());
  EXPECT_EQ(zero, Vector3(0, 0, 0));

  Vector3 up(0, 0, 2);
  EXPECT_TRUE(up.Normalize());
  EXPECT_EQ(up, Vector3(0, 0, 1));

  std::mt19937 rng(7);
  for (int i = 0; i < 1000; ++i) {
    Vector3 v = RandomVector(rng, 100.0f);
    const Vector3 before = v;
    ASSERT_TRUE(v.Normalize());
    EXPECT_NEAR(v.Length(), 1.0f, 1e-5f);
    EXPECT_NEAR(v.Dot(before), before.Length(), 1e-3f * before.Length());  // same direction
  }
}

TEST(Vector3Test, ApproxLengthMatchesDefinitionAndStaysNearTrueLength) {
  EXPECT_FLOAT_EQ(Vector3(3, 0, 0).ApproxLength(), 3.0f);
  EXPECT_FLOAT_EQ(Vector3(1, 1, 0).ApproxLength(), 1.25f);
  EXPECT_FLOAT_EQ(Vector3(-2, 1, 1).ApproxLength(), 2.5f);
  EXPECT_FLOAT_EQ(Vector3(0, 0, -4).ApproxLength(), 4.0f);
  EXPECT_FLOAT_EQ(Vector3(1, 1, 1).ApproxLength(), 1.5f);  // ties pick one largest only

  std::mt19937 rng(11);
  for (int i = 0; i < 10000; ++i) {
    const Vector3 v = RandomVector(rng, 50.0f);
    const float ratio = v.ApproxLength() / v.Length();
    // The estimate's envelope: sqrt(3)/1.5 ~ 13% low on the diagonal, at most
    // 1.125/sqrt(1.125) ~ 6.1% high (at (1, 0.25, 0.25)).
    EXPECT_GE(ratio, 0.86f);
    EXPECT_LE(ratio, 1.0608f);
  }
}

TEST(Vector3Test, ArithmeticAndCrossAgreeWithEigen) {
  std::mt19937 rng(3);
  for (int i = 0; i < 1000; ++i) {
    const Vector3 a = RandomVector(rng, 10.0f), b = RandomVector(rng, 10.0f);
    const Eigen::Vector3f ea = ToEigen(a), eb = ToEigen(b);
    EXPECT_TRUE(ToEigen(a.Cross(b)).isApprox(ea.cross(eb), 1e-4f));
    EXPECT_NEAR(a.Dot(b), ea.dot(eb), 1e-3f);
    EXPECT_TRUE(ToEigen(a + b * 2.5f).isApprox(ea + eb * 2.5f, 1e-5f));
    // Cross is perpendicular to both factors and a x b = -(b x a).
    EXPECT_NEAR(a.Cross(b).Dot(a), 0.0f, 1e-2f);
    EXPECT_EQ(a.Cross(b), -b.Cross(a));
  }
  // Right-handed: X x Y = Z.
  EXPECT_EQ(Vector3(1, 0, 0).Cross(Vector3(0, 1, 0)), Vector3(0, 0, 1));
}

}  // namespace
