// Tests of ViewFrustum: corners through the view-projection, projections, field-of-view setters and
// cull-volume ownership.
#include "core/math/ViewFrustum.h"

#include "core/math/CullVolume.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <random>

#include "tests/support/TempFolder.h"

namespace {

// Screen position after the division by w.
Vector3 Project(const Matrix4& m, const Vector3& p) {
  Vector4 h;
  TransformPoint4(h, m, p);
  return Vector3(h.x / h.w, h.y / h.w, h.z / h.w);
}

TEST(ViewFrustumTest, FieldOfViewSettersAgreeAndRefuseZeroDistance) {
  ViewFrustum v;
  // A new view: 0.3 to 10000 units deep, 120 degrees across, square, in perspective.
  EXPECT_TRUE(v.nearClip == 0.3f && v.farClip == 10000.0f && v.aspect == 1.0f && v.orthographic == 0u);
  EXPECT_EQ(v.orthoWidth, 100.0f);
  EXPECT_FLOAT_EQ(v.fieldOfView, 2.0943952f);
  EXPECT_NEAR(v.tanHalfFov, std::sqrt(3.0f), 1e-5f);
  EXPECT_NEAR(v.sinHalfFov, std::sqrt(3.0f) / 2.0f, 1e-6f);
  EXPECT_NEAR(v.cosHalfFov, 0.5f, 1e-6f);
  // The renderers read near and far as floats 12 and 13 of the record.
  EXPECT_EQ(offsetof(ViewFrustum, nearClip), 12 * sizeof(float));
  EXPECT_EQ(offsetof(ViewFrustum, farClip), 13 * sizeof(float));
  v.SetFieldOfViewFromExtent(28.0f, 35.0f);
  ViewFrustum w;
  w.SetFieldOfView(v.fieldOfView);
  EXPECT_NEAR(w.tanHalfFov, v.tanHalfFov, 1e-5f);
  EXPECT_NEAR(w.sinHalfFov, v.sinHalfFov, 1e-6f);
  EXPECT_NEAR(w.cosHalfFov, v.cosHalfFov, 1e-6f);

  // Zero distance would make every cached value infinite: ignored and reported.
  testing_support::DebugCapture log;
  const ViewFrustum before = v;
  v.SetFieldOfViewFromExtent(0.0f, 5.0f);
  EXPECT_EQ(v.tanHalfFov, before.tanHalfFov);
  EXPECT_EQ(v.fieldOfView, before.fieldOfView);
  EXPECT_EQ(log.Text().rfind("ViewFrustum: ", 0), 0u);
}

// Every corner of random perspective and orthographic volumes, taken to world space, lands on the
// matching edge of the 0..1 screen square and on the near (0) or far (1) depth.
TEST(ViewFrustumTest, ViewProjectionMapsCornersToScreenSquare) {
  std::mt19937 rng(30);
  std::uniform_real_distribution<float> d(-20.0f, 20.0f), fov(0.3f, 2.5f);
  for (int n = 0; n < 100; ++n) {
    ViewFrustum r;
    r.SetNear(0.5f + 0.1f * float(n % 5));
    r.SetFar(50.0f + float(n));
    r.SetFieldOfView(fov(rng));
    r.frame.position.Set(d(rng), d(rng), d(rng));
    r.frame.LookAt(Vector3(d(rng), d(rng), d(rng)), true);
    if (n % 3 == 0) {
      r.SetOrthographic();
      r.SetOrthoWidth(5.0f + float(n));
    }
    Matrix4 vp;
    r.BuildViewProjection(vp);
    for (int i = 0; i < 8; ++i) {
      const bool farPlane = i >= 4;
      Vector3 local;
      if (farPlane)
        r.GetFarCorner(local, i & 3);
      else
        r.GetNearCorner(local, i & 3);
      const Vector3 s = Project(vp, r.frame.LocalToWorldPoint(local));
      EXPECT_NEAR(s.x, (i & 1) ? 1.0f : 0.0f, 1e-3f) << n << " " << i;  // +Y (left) is screen x 0
      EXPECT_NEAR(s.y, (i & 2) ? 0.0f : 1.0f, 1e-3f) << n << " " << i;  // +Z (up) is screen y 1
      EXPECT_NEAR(s.z, farPlane ? 1.0f : 0.0f, 1e-3f) << n << " " << i;
    }
  }
}

TEST(ViewFrustumTest, ProjectionMatrixAppliesAspect) {
  ViewFrustum v;
  v.aspect = 1.5f;
  v.SetFieldOfView(1.2f);
  v.SetNear(1.0f);
  v.SetFar(100.0f);
  Matrix4 p;
  v.ProjectionMatrix(p);
  const Matrix4 cam = v.frame.ToCameraMatrix();
  for (int i = 0; i < 4; ++i) {
    Vector3 c;
    v.GetFarCorner(c, i);
    const Vector3 s = Project(cam * p, c);
    EXPECT_NEAR(std::fabs(s.x), 1.0f, 1e-4f);
    EXPECT_NEAR(std::fabs(s.y), 1.0f, 1e-4f);
    EXPECT_NEAR(s.z, 1.0f, 1e-4f);
  }
  v.SetOrthographic();  // orthographic corners take the aspect too
  v.SetOrthoWidth(100.0f);
  v.aspect = 2.0f;
  Vector3 c;
  v.GetFarCorner(c, 3);
  EXPECT_EQ(c, Vector3(100.0f, -50.0f, -25.0f));
}

TEST(ViewFrustumTest, OwnsExactlyOneCullVolume) {
  // Leaks or double deletes here are caught by the address sanitizer.
  ViewFrustum v;
  v.BuildCullVolume(CullVolume::kPyramid);
  v.BuildCullVolume(CullVolume::kFrustum);
  ASSERT_NE(v.GetCullVolume(), nullptr);
  // Copies take every other field.
  v.SetNear(2.0f);
  v.SetFar(300.0f);
  v.SetFieldOfView(1.0f);
  v.aspect = 1.5f;
  v.SetOrthographic();
  v.SetOrthoWidth(40.0f);
  v.frame.position.Set(1.0f, 2.0f, 3.0f);
  v.frame.axes.m[0].Set(0.0f, 1.0f, 0.0f);
  v.UpdateViewProjection();
  auto same = [&v](const ViewFrustum& c) {
    return c.frame.position == v.frame.position && c.frame.axes.m[0] == v.frame.axes.m[0] && c.nearClip == 2.0f &&
           c.farClip == 300.0f && c.fieldOfView == 1.0f && c.aspect == 1.5f && c.orthographic == 1u &&
           c.orthoWidth == 40.0f && c.tanHalfFov == v.tanHalfFov && c.sinHalfFov == v.sinHalfFov &&
           c.cosHalfFov == v.cosHalfFov && c.viewProjection == v.viewProjection;
  };
  {
    const ViewFrustum copy(v);
    EXPECT_EQ(copy.GetCullVolume(), nullptr);
    EXPECT_TRUE(same(copy));
    ViewFrustum assigned;
    assigned.BuildCullVolume(CullVolume::kFrustum);
    assigned = v;
    EXPECT_EQ(assigned.GetCullVolume(), nullptr);
    EXPECT_TRUE(same(assigned));
    // The renderer's viewport scale multiplies the x and y columns only.
    Matrix4 scaled;
    v.GetScaledViewProjection(scaled, 640.0f, 480.0f);
    for (int i = 0; i < 4; ++i)
      EXPECT_TRUE(scaled.m[i][0] == 640.0f * v.viewProjection.m[i][0] &&
                  scaled.m[i][1] == 480.0f * v.viewProjection.m[i][1] && scaled.m[i][2] == v.viewProjection.m[i][2] &&
                  scaled.m[i][3] == v.viewProjection.m[i][3]);
  }
  EXPECT_NE(v.GetCullVolume(), nullptr);
  v.ReleaseCullVolume();
  v.ReleaseCullVolume();
  v.BuildCullVolume(CullVolume::kPyramid);  // freed by the destructor
}

}  // namespace
