// Tests of Vector3: normalisation, the fast length estimate and products against Eigen.
#include "core/math/Vector3.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/MathReference.h"

using namespace testing_support;

namespace {

TEST(Vector3Test, NormalizeHandlesZeroAndKeepsDirection) {
  Vector3 zero(0, 0, 0);
  EXPECT_FALSE(zero.Normalize());
  EXPECT_EQ(zero, Vector3(0, 0, 0));
  std::mt19937 rng(7);
  for (int i = 0; i < 1000; ++i) {
    Vector3 v = RandomPoint(rng);
    const Vector3 before = v;
    ASSERT_TRUE(v.Normalize());
    EXPECT_NEAR(v.Length(), 1.0f, 1e-5f);
    EXPECT_NEAR(v.Dot(before), before.Length(), 1e-3f * before.Length());
  }
}

TEST(Vector3Test, ApproxLengthStaysInItsEnvelope) {
  EXPECT_FLOAT_EQ(Vector3(-2, 1, 1).ApproxLength(), 2.5f);
  EXPECT_FLOAT_EQ(Vector3(1, 1, 1).ApproxLength(), 1.5f);  // ties pick one largest only
  std::mt19937 rng(11);
  for (int i = 0; i < 10000; ++i) {
    const Vector3 v = RandomPoint(rng, 50.0f);
    const float ratio = v.ApproxLength() / v.Length();
    // sqrt(3)/1.5 ~ 13% low on the diagonal, at most ~6.1% high at (1, 0.25, 0.25).
    EXPECT_GE(ratio, 0.86f);
    EXPECT_LE(ratio, 1.0608f);
  }
}

TEST(Vector3Test, ArithmeticAndCrossAgreeWithEigen) {
  std::mt19937 rng(3);
  for (int i = 0; i < 1000; ++i) {
    const Vector3 a = RandomPoint(rng, 10.0f), b = RandomPoint(rng, 10.0f);
    const Eigen::Vector3f ea = ToEigen(a), eb = ToEigen(b);
    EXPECT_TRUE(ToEigen(a.Cross(b)).isApprox(ea.cross(eb), 1e-4f));
    EXPECT_NEAR(a.Dot(b), ea.dot(eb), 1e-3f);
    EXPECT_TRUE(ToEigen(a + b * 2.5f).isApprox(ea + eb * 2.5f, 1e-5f));
  }
}

}  // namespace
