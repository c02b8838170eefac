// Tests of TMatrix: products against Eigen, axis rotations and the fast-length re-squaring.
#include "core/math/TMatrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/support/MathReference.h"
#include "tests/support/TempFolder.h"

using namespace testing_support;

namespace {

TEST(TMatrixTest, ProductsSumsAndRowTransformsAgreeWithEigen) {
  std::mt19937 rng(1);
  for (int n = 0; n < 500; ++n) {
    const TMatrix a = RandomTMatrix(rng), b = RandomTMatrix(rng);
    EXPECT_TRUE(ToEigen(a * b).isApprox(ToEigen(a) * ToEigen(b), 1e-5f));
    EXPECT_TRUE(ToEigen(a + b).isApprox(ToEigen(a) + ToEigen(b), 1e-6f));
    EXPECT_TRUE(ToEigen(a.Transposed()).isApprox(ToEigen(a).transpose()));
    const Vector3 v = a[0] - b[1];
    EXPECT_TRUE(ToEigen(v * a).isApprox(ToEigen(a).transpose() * ToEigen(v), 1e-5f));
  }
}

TEST(TMatrixTest, AxisRotationMatchesEigenAngleAxisTransposed) {
  std::mt19937 rng(2);
  std::uniform_real_distribution<float> d(-1.0f, 1.0f), ang(-6.0f, 6.0f);
  for (int n = 0; n < 500; ++n) {
    // Every few draws an exact X axis, which has a special case of its own.
    Vector3 axis = n % 5 ? Vector3(d(rng), d(rng), d(rng)) : Vector3(1, 0, 0);
    if (!axis.Normalize()) continue;
    const float a = ang(rng);
    TMatrix r;
    MakeAxisRotation(r, axis, a);
    const Eigen::Matrix3f ref = Eigen::AngleAxisf(a, ToEigen(axis)).toRotationMatrix();
    EXPECT_TRUE(ToEigen(r).isApprox(ref.transpose(), 1e-5f)) << n;
  }
}

TEST(TMatrixTest, OrthonormalizeUsesTheFastLength) {
  TMatrix id;
  EXPECT_TRUE(id.Orthonormalize());
  EXPECT_EQ(id, TMatrix());
  // Columns off an axis come out long because of the estimate: the physics is
  // tuned to this, so it is pinned here.
  TMatrix m;
  m.Set(0.70710677f, -0.70710677f, 0, 0.70710677f, 0.70710677f, 0, 0, 0, 1);
  ASSERT_TRUE(m.Orthonormalize());
  EXPECT_NEAR(m.GetColumn(0).x, 0.8f, 1e-4f);
  EXPECT_NEAR(m.GetColumn(0).y, 0.8f, 1e-4f);
  EXPECT_GT(m.GetColumn(2).z, 0.0f);

  std::mt19937 rng(4);
  for (int n = 0; n < 300; ++n) {
    TMatrix r = RandomTMatrix(rng);
    if (!r.Orthonormalize()) continue;
    for (int j = 0; j < 3; ++j) {
      EXPECT_NEAR(r.GetColumn(j).ApproxLength(), 1.0f, 1e-4f);
      EXPECT_NEAR(r.GetColumn(j).Dot(r.GetColumn((j + 1) % 3)), 0.0f, 1e-4f);
    }
  }

  DebugCapture capture;
  m.Set(1, 0, 1, 2, 0, 2, 3, 0, 3);  // column 2 parallel to column 0
  EXPECT_FALSE(m.Orthonormalize());
  EXPECT_EQ(m, TMatrix());
  EXPECT_EQ(capture.Text(), "TMatrix: Error in Orthonormalization! - resetting to identity!\n");
}

}  // namespace
