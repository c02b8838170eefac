// Tests of Matrix4: products and point transforms against Eigen, in-place helpers and blends.
#include "core/math/Matrix4.h"

#include "core/math/Orientation.h"
#include "core/math/Quaternion.h"

#include <Eigen/Dense>
#include "tests/support/MathReference.h"
#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace testing_support;

namespace {

TEST(Matrix4Test, ProductAndTransformAgreeWithEigen) {
  std::mt19937 rng(20);
  std::uniform_real_distribution<float> d(-5.0f, 5.0f);
  for (int n = 0; n < 500; ++n) {
    const Matrix4 a = RandomMatrix4(rng), b = RandomMatrix4(rng);
    EXPECT_TRUE(ToEigen(a * b).isApprox(ToEigen(a) * ToEigen(b), 1e-5f));
    const Vector3 p(d(rng), d(rng), d(rng));
    Vector4 out;
    TransformPoint4(out, a, p);
    const Eigen::Vector4f ref = ToEigen(a).transpose() * Eigen::Vector4f(p.x, p.y, p.z, 1.0f);
    EXPECT_TRUE(Eigen::Vector4f(out.x, out.y, out.z, out.w).isApprox(ref, 1e-5f));
    // A * B applies A first.
    Vector4 viaA, viaAB;
    TransformPoint4(viaAB, a * b, p);
    TransformPoint4(viaA, a, p);
    const Eigen::Vector4f twoStep = ToEigen(b).transpose() * Eigen::Vector4f(viaA.x, viaA.y, viaA.z, viaA.w);
    EXPECT_TRUE(Eigen::Vector4f(viaAB.x, viaAB.y, viaAB.z, viaAB.w).isApprox(twoStep, 1e-4f));
  }
  EXPECT_FLOAT_EQ(Dot4(Vector3(1, 2, 3), Vector4(0, 0, 1, -2)), 1.0f);
}

TEST(Matrix4Test, InPlaceHelpersEqualProductsWithTheirMatrices) {
  std::mt19937 rng(21);
  for (int n = 0; n < 200; ++n) {
    const Matrix4 a = RandomMatrix4(rng);
    const Vector3 t(0.5f, -2.0f, 3.0f), s(2.0f, -1.0f, 0.25f);

    Matrix4 translation;
    translation.m[3][0] = t.x;
    translation.m[3][1] = t.y;
    translation.m[3][2] = t.z;
    Matrix4 moved = a;
    moved.Translate(t);
    EXPECT_TRUE(ToEigen(moved).isApprox(ToEigen(a) * ToEigen(translation), 1e-5f));

    Matrix4 scale;
    scale.m[0][0] = s.x;
    scale.m[1][1] = s.y;
    scale.m[2][2] = s.z;
    Matrix4 scaled = a;
    scaled.Scale(s);
    EXPECT_TRUE(ToEigen(scaled).isApprox(ToEigen(a) * ToEigen(scale), 1e-5f));

    const COrientation f = RandomFrame(rng, 10.0f);
    Matrix4 rotated = a;
    rotated.MultiplyRotation(f.axes);
    EXPECT_TRUE(ToEigen(rotated).isApprox(ToEigen(a) * ToEigen(Matrix4::FromTMatrix(f.axes)), 1e-5f));
    EXPECT_EQ(Matrix4::FromTMatrix(f.axes).GetTMatrix(), f.axes);

    Matrix4 w = a;
    w.SetWFromZ(0.5f);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(w.m[i][3], 0.5f * a.m[i][2]);
  }
  Matrix4 z;
  z.SetDiagonal(0.0f);
  EXPECT_EQ(ToEigen(z), Eigen::Matrix4f::Zero());
  Matrix4 c;
  c.Copy(RandomMatrix4(rng));
  Matrix4 d;
  d.Assign(c);
  EXPECT_EQ(c, d);
}

TEST(Matrix4Test, ViewportMapsClipCornersToPixels) {
  Matrix4 v;
  v.ToViewport(640.0f, 480.0f);
  Vector4 out;
  TransformPoint4(out, v, Vector3(-1, -1, 0.5f));
  EXPECT_FLOAT_EQ(out.x, 0.0f);
  EXPECT_FLOAT_EQ(out.y, 0.0f);
  EXPECT_FLOAT_EQ(out.z, 0.5f);
  TransformPoint4(out, v, Vector3(1, 1, 0));
  EXPECT_FLOAT_EQ(out.x, 640.0f);
  EXPECT_FLOAT_EQ(out.y, 480.0f);
}

TEST(Matrix4Test, InterpolationsHitEndsAndBlendAsDocumented) {
  std::mt19937 rng(22);
  for (int n = 0; n < 200; ++n) {
    const COrientation fa = RandomFrame(rng, 10.0f), fb = RandomFrame(rng, 10.0f);
    const Matrix4 a = fa.ToMatrix4(), b = fb.ToMatrix4();
    Matrix4 out;
    InterpolateMatrix4(out, a, b, 0.0f);
    EXPECT_TRUE(ToEigen(out).isApprox(ToEigen(a), 1e-4f));
    InterpolateMatrix4(out, a, b, 1.0f);
    EXPECT_TRUE(ToEigen(out).isApprox(ToEigen(b), 1e-4f));

    // Midway: rotation equals the frame blend, translation the midpoint.
    InterpolateMatrix4(out, a, b, 0.5f);
    COrientation mid;
    mid.Interpolate(fa, fb, 0.5f);
    EXPECT_TRUE(ToEigen(out).isApprox(ToEigen(mid.ToMatrix4()), 1e-4f));

    // InterpolateTransform keeps b's translation at any t.
    InterpolateTransform(out, a, b, 0.3f);
    EXPECT_EQ(out.GetTranslation(), b.GetTranslation());
    TMatrix rot;
    InterpolateRotation(rot, fa.axes, fb.axes, 0.3f);
    EXPECT_EQ(out.GetTMatrix(), rot);
    EXPECT_EQ(out.m[0][3], 0.0f);
    EXPECT_EQ(out.m[3][3], 1.0f);
  }
}

}  // namespace
