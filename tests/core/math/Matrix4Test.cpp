// Tests of Matrix4: products and point transforms against Eigen, in-place helpers and blends.
#include "core/math/Matrix4.h"

#include "core/math/Orientation.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/MathReference.h"

using namespace testing_support;

namespace {

Eigen::Vector4f E4(const Vector4& v) { return Eigen::Vector4f(v.x, v.y, v.z, v.w); }

TEST(Matrix4Test, ProductAndTransformAgreeWithEigen) {
  std::mt19937 rng(20);
  for (int n = 0; n < 500; ++n) {
    const Matrix4 a = RandomMatrix4(rng), b = RandomMatrix4(rng);
    EXPECT_TRUE(ToEigen(a * b).isApprox(ToEigen(a) * ToEigen(b), 1e-5f));
    const Vector3 p = RandomPoint(rng, 5.0f);
    Vector4 viaA;
    TransformPoint4(viaA, a, p);
    EXPECT_TRUE(E4(viaA).isApprox(ToEigen(a).transpose() * Eigen::Vector4f(p.x, p.y, p.z, 1.0f), 1e-5f));
  }
}

TEST(Matrix4Test, InPlaceHelpersEqualProductsWithTheirMatrices) {
  std::mt19937 rng(21);
  const Vector3 t(0.5f, -2.0f, 3.0f), s(2.0f, -1.0f, 0.25f);
  Matrix4 translation, scale;
  for (int k = 0; k < 3; ++k) {
    translation.m[3][k] = t[k];
    scale.m[k][k] = s[k];
  }
  for (int n = 0; n < 200; ++n) {
    const Matrix4 a = RandomMatrix4(rng);
    Matrix4 moved = a, scaled = a, rotated = a;
    moved.Translate(t);
    EXPECT_TRUE(ToEigen(moved).isApprox(ToEigen(a) * ToEigen(translation), 1e-5f));
    scaled.Scale(s);
    EXPECT_TRUE(ToEigen(scaled).isApprox(ToEigen(a) * ToEigen(scale), 1e-5f));
    const COrientation f = RandomFrame(rng, 10.0f);
    rotated.MultiplyRotation(f.axes);
    EXPECT_TRUE(ToEigen(rotated).isApprox(ToEigen(a) * ToEigen(Matrix4::FromTMatrix(f.axes)), 1e-5f));
  }
  Matrix4 v;
  v.ToViewport(640.0f, 480.0f);
  Vector4 out, corner;
  TransformPoint4(out, v, Vector3(1, 1, 0.5f));
  corner.Set(640, 480, 0.5f, 1);
  EXPECT_TRUE(E4(out).isApprox(E4(corner)));
  EXPECT_TRUE(E4(Vector4()) == Eigen::Vector4f::Zero());  // a fresh point is all zero, w included
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
    InterpolateMatrix4(out, a, b, 0.5f);  // midway equals the frame blend
    COrientation mid;
    mid.Interpolate(fa, fb, 0.5f);
    EXPECT_TRUE(ToEigen(out).isApprox(ToEigen(mid.ToMatrix4()), 1e-4f));

    // InterpolateTransform keeps b's translation at any t.
    InterpolateTransform(out, a, b, 0.3f);
    EXPECT_EQ(out.GetTranslation(), b.GetTranslation());
    TMatrix rot;
    InterpolateRotation(rot, fa.axes, fb.axes, 0.3f);
    EXPECT_EQ(out.GetTMatrix(), rot);
  }
}

}  // namespace
