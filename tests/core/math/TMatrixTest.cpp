// Tests of TMatrix: products against Eigen, axis rotations and the fast-length re-squaring.
#include "core/math/TMatrix.h"

#include "platform/Platform.h"

#include <Eigen/Dense>
#include "tests/support/MathReference.h"
#include <gtest/gtest.h>

#include "tests/support/TempFolder.h"

#include <cmath>
#include <random>
#include <string>

using namespace testing_support;

namespace {

using testing_support::DebugCapture;

TEST(TMatrixTest, ProductsSumsAndRowTransformsAgreeWithEigen) {
  std::mt19937 rng(1);
  for (int n = 0; n < 500; ++n) {
    const TMatrix a = RandomTMatrix(rng), b = RandomTMatrix(rng);
    EXPECT_TRUE(ToEigen(a * b).isApprox(ToEigen(a) * ToEigen(b), 1e-5f));
    EXPECT_TRUE(ToEigen(a + b).isApprox(ToEigen(a) + ToEigen(b), 1e-6f));
    EXPECT_TRUE(ToEigen(a.Transposed()).isApprox(ToEigen(a).transpose()));
    const Vector3 v = a[0] - b[1];
    const Vector3 r = v * a;
    const Eigen::Vector3f er = ToEigen(a).transpose() * Eigen::Vector3f(v.x, v.y, v.z);
    EXPECT_TRUE(Eigen::Vector3f(r.x, r.y, r.z).isApprox(er, 1e-5f));
    // (v * A) * B == v * (A * B): the product applies A first.
    const Vector3 lhs = (v * a) * b, rhs = v * (a * b);
    EXPECT_NEAR((lhs - rhs).Length(), 0.0f, 1e-3f * (1.0f + lhs.Length()));
  }
  TMatrix s;
  s.Set(1, 2, 3, 4, 5, 6, 7, 8, 9);
  EXPECT_EQ(s[1][2], 6.0f);
  EXPECT_EQ(s.GetColumn(0), Vector3(1, 4, 7));
}

TEST(TMatrixTest, AxisRotationMatchesEigenAngleAxisTransposed) {
  std::mt19937 rng(2);
  std::uniform_real_distribution<float> d(-1.0f, 1.0f), ang(-6.0f, 6.0f);
  for (int n = 0; n < 500; ++n) {
    Vector3 axis(d(rng), d(rng), d(rng));
    if (!axis.Normalize()) continue;
    const float a = ang(rng);
    TMatrix r;
    MakeAxisRotation(r, axis, a);
    const Eigen::Matrix3f ref = Eigen::AngleAxisf(a, Eigen::Vector3f(axis.x, axis.y, axis.z)).toRotationMatrix();
    EXPECT_TRUE(ToEigen(r).isApprox(ref.transpose(), 1e-5f)) << n;
  }
  // Counter-clockwise seen from the axis tip: X turns onto Y about Z.
  TMatrix r;
  MakeAxisRotation(r, Vector3(0, 0, 1), float(M_PI / 2));
  const Vector3 v = Vector3(1, 0, 0) * r;
  EXPECT_NEAR(v.x, 0.0f, 1e-6f);
  EXPECT_NEAR(v.y, 1.0f, 1e-6f);
  // The X-axis special case agrees with the general formula's sense.
  MakeAxisRotation(r, Vector3(1, 0, 0), 0.3f);
  const Eigen::Matrix3f refX = Eigen::AngleAxisf(0.3f, Eigen::Vector3f::UnitX()).toRotationMatrix();
  EXPECT_TRUE(ToEigen(r).isApprox(refX.transpose(), 1e-6f));
}

TEST(TMatrixTest, OrthonormalizeKeepsIdentityAndUsesTheFastLength) {
  TMatrix id;
  EXPECT_TRUE(id.Orthonormalize());
  EXPECT_EQ(id, TMatrix());

  // Columns off an axis come out long because of the estimate: the physics is
  // tuned to this, so it is pinned here.
  TMatrix m;
  m.Set(0.70710677f, -0.70710677f, 0, 0.70710677f, 0.70710677f, 0, 0, 0, 1);
  ASSERT_TRUE(m.Orthonormalize());
  const Vector3 c0 = m.GetColumn(0);
  EXPECT_NEAR(c0.x, 0.8f, 1e-4f);
  EXPECT_NEAR(c0.y, 0.8f, 1e-4f);
  EXPECT_NEAR(c0.Length(), 1.1314f, 1e-3f);
  // Still mutually perpendicular, with column 2 on its original side.
  EXPECT_NEAR(c0.Dot(m.GetColumn(1)), 0.0f, 1e-6f);
  EXPECT_NEAR(c0.Dot(m.GetColumn(2)), 0.0f, 1e-6f);
  EXPECT_GT(m.GetColumn(2).z, 0.0f);

  std::mt19937 rng(4);
  for (int n = 0; n < 300; ++n) {
    TMatrix r = RandomTMatrix(rng);
    if (!r.Orthonormalize()) continue;
    for (int j = 0; j < 3; ++j) {
      EXPECT_NEAR(r.GetColumn(j).ApproxLength(), 1.0f, 1e-4f);
      EXPECT_LE(r.GetColumn(j).Length(), 1.16f);
      EXPECT_NEAR(r.GetColumn(j).Dot(r.GetColumn((j + 1) % 3)), 0.0f, 1e-4f);
    }
  }
}

TEST(TMatrixTest, OrthonormalizeOfDegenerateMatrixResetsAndReports) {
  DebugCapture capture;
  TMatrix m;
  m.Set(1, 0, 1, 2, 0, 2, 3, 0, 3);  // column 2 parallel to column 0
  EXPECT_FALSE(m.Orthonormalize());
  EXPECT_EQ(m, TMatrix());
  EXPECT_EQ(capture.Text(), "TMatrix: Error in Orthonormalization! - resetting to identity!\n");
}

}  // namespace
