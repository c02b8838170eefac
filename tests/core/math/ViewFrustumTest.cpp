// Tests of ViewFrustum: defaults, corners through the view-projection, projections and cull-volume ownership.
#include "core/math/ViewFrustum.h"

#include "platform/Platform.h"
#include "scene/CullVolume.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <random>
#include <string>

namespace {

const float kPi = 3.14159265358979f;

// Screen position after the division by w.
Vector3 Project(const Matrix4& m, const Vector3& p) {
  Vector4 h;
  TransformPoint4(h, m, p);
  return Vector3(h.x / h.w, h.y / h.w, h.z / h.w);
}

TEST(ViewFrustumTest, DefaultsAndCorners) {
  const ViewFrustum v;
  EXPECT_FLOAT_EQ(v.nearClip, 0.3f);
  EXPECT_FLOAT_EQ(v.farClip, 10000.0f);
  EXPECT_NEAR(v.tanHalfFov, 1.7320508f, 1e-6f);
  EXPECT_NEAR(v.sinHalfFov, 0.8660254f, 1e-6f);
  EXPECT_NEAR(v.cosHalfFov, 0.5f, 1e-6f);
  EXPECT_EQ(v.cullVolume, nullptr);
  EXPECT_TRUE(v.frame.IsIdentity());
  Vector3 c;
  v.GetFarCorner(c, 3);
  EXPECT_FLOAT_EQ(c.x, 10000.0f);
  EXPECT_NEAR(c.y, -17320.508f, 0.01f);
  EXPECT_NEAR(c.z, -17320.508f, 0.01f);
  v.GetNearCorner(c, 1);
  EXPECT_FLOAT_EQ(c.x, 0.3f);
  EXPECT_LT(c.y, 0.0f);
  EXPECT_GT(c.z, 0.0f);
  // The renderers read near and far as floats 12 and 13 of the record.
  EXPECT_EQ(offsetof(ViewFrustum, nearClip), 12 * sizeof(float));
  EXPECT_EQ(offsetof(ViewFrustum, farClip), 13 * sizeof(float));
}

TEST(ViewFrustumTest, FieldOfViewSetters) {
  ViewFrustum v;
  v.SetFieldOfView(kPi / 2);
  EXPECT_NEAR(v.tanHalfFov, 1.0f, 1e-6f);
  v.SetFieldOfViewFromExtent(10.0f, 10.0f);
  EXPECT_NEAR(v.fieldOfView, kPi / 2, 1e-6f);
  EXPECT_NEAR(v.tanHalfFov, 1.0f, 1e-6f);
  EXPECT_NEAR(v.sinHalfFov, std::sqrt(0.5f), 1e-6f);
  v.SetFieldOfViewFromExtent(28.0f, 35.0f);
  ViewFrustum w;
  w.SetFieldOfView(v.fieldOfView);
  EXPECT_NEAR(w.tanHalfFov, v.tanHalfFov, 1e-5f);
  EXPECT_NEAR(w.sinHalfFov, v.sinHalfFov, 1e-6f);
  EXPECT_NEAR(w.cosHalfFov, v.cosHalfFov, 1e-6f);

  // Zero distance would make every cached value infinite: ignored and reported.
  std::string log;
  const plat::DebugSink previous = plat::SetDebugSink([&log](const char* t) { log += t; });
  const ViewFrustum before = v;
  v.SetFieldOfViewFromExtent(0.0f, 5.0f);
  plat::SetDebugSink(previous);
  EXPECT_EQ(v.tanHalfFov, before.tanHalfFov);
  EXPECT_EQ(v.fieldOfView, before.fieldOfView);
  EXPECT_EQ(log.rfind("ViewFrustum: ", 0), 0u);
}

TEST(ViewFrustumTest, OrthographicCorners) {
  ViewFrustum v;
  v.SetOrthographic();
  v.SetOrthoWidth(100.0f);
  v.aspect = 2.0f;
  for (int i = 0; i < 4; ++i) {
    Vector3 c;
    v.GetFarCorner(c, i);
    EXPECT_EQ(c, Vector3(10000.0f, (i & 1) ? -50.0f : 50.0f, (i & 2) ? -25.0f : 25.0f));
  }
  v.SetPerspective();
  EXPECT_FALSE(v.IsOrthographic());
}

// Every corner of the volume, taken to world space, lands on the matching edge
// of the 0..1 screen square and on the near (0) or far (1) depth.
void ExpectCornersOnScreenEdges(const ViewFrustum& v) {
  Matrix4 vp;
  v.BuildViewProjection(vp);
  for (int i = 0; i < 4; ++i) {
    for (int farPlane = 0; farPlane < 2; ++farPlane) {
      Vector3 local;
      if (farPlane)
        v.GetFarCorner(local, i);
      else
        v.GetNearCorner(local, i);
      const Vector3 s = Project(vp, v.frame.LocalToWorldPoint(local));
      EXPECT_NEAR(s.x, (i & 1) ? 1.0f : 0.0f, 1e-3f) << i;  // +Y (left) is screen x 0
      EXPECT_NEAR(s.y, (i & 2) ? 0.0f : 1.0f, 1e-3f) << i;  // +Z (up) is screen y 1
      EXPECT_NEAR(s.z, farPlane ? 1.0f : 0.0f, 1e-3f) << i;
    }
  }
}

TEST(ViewFrustumTest, ViewProjectionMapsCornersToScreenSquare) {
  ViewFrustum v;
  Matrix4 vp;
  v.BuildViewProjection(vp);
  const Vector3 ahead = Project(vp, Vector3(10, 0, 0));
  EXPECT_NEAR(ahead.x, 0.5f, 1e-6f);
  EXPECT_NEAR(ahead.y, 0.5f, 1e-6f);

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
    ExpectCornersOnScreenEdges(r);
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
  v.SetOrthographic();
  v.SetOrthoWidth(10.0f);
  v.ProjectionMatrix(p);
  const Vector3 s = Project(p, Vector3(5.0f, 5.0f, 1.0f));  // camera space: x right, z depth
  EXPECT_NEAR(s.x, 1.0f, 1e-6f);
  EXPECT_NEAR(s.y, 1.0f, 1e-6f);
  EXPECT_NEAR(s.z, 0.0f, 1e-6f);
}

TEST(ViewFrustumTest, CachedViewProjectionRefreshesOnlyWhenAsked) {
  ViewFrustum v;
  v.UpdateViewProjection();
  const Matrix4 first = v.GetViewProjection();
  v.frame.position.Set(5, 0, 0);
  EXPECT_EQ(v.GetViewProjection(), first);
  v.UpdateViewProjection();
  EXPECT_NE(v.GetViewProjection(), first);
  Matrix4 scaled;
  v.GetScaledViewProjection(scaled, 2.0f, 3.0f);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(scaled.m[i][0], v.GetViewProjection().m[i][0] * 2.0f);
    EXPECT_EQ(scaled.m[i][1], v.GetViewProjection().m[i][1] * 3.0f);
    EXPECT_EQ(scaled.m[i][2], v.GetViewProjection().m[i][2]);
  }
}

TEST(ViewFrustumTest, OwnsExactlyOneCullVolume) {
  // Leaks or double deletes here are caught by the address sanitizer.
  ViewFrustum v;
  v.BuildCullVolume(0);
  ASSERT_NE(v.GetCullVolume(), nullptr);
  v.BuildCullVolume(1);
  EXPECT_TRUE(v.GetCullVolume()->ContainsPoint(Vector3(100, 0, 0)));
  EXPECT_FALSE(v.GetCullVolume()->ContainsPoint(Vector3(-100, 0, 0)));
  {
    const ViewFrustum copy(v);
    EXPECT_EQ(copy.GetCullVolume(), nullptr);
    ViewFrustum assigned;
    assigned.BuildCullVolume(1);
    assigned = v;
    EXPECT_EQ(assigned.GetCullVolume(), nullptr);
    EXPECT_EQ(assigned.farClip, v.farClip);
  }
  EXPECT_NE(v.GetCullVolume(), nullptr);
  v.ReleaseCullVolume();
  EXPECT_EQ(v.GetCullVolume(), nullptr);
  v.ReleaseCullVolume();
  v.BuildCullVolume(0);  // freed by the destructor
}

}  // namespace
