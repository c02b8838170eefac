// The render view's per-frame camera set-up: depth range, pixel scales and point projection.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/math/ViewFrustum.h"
#include "render/view/RenderView.h"
#include "scene/lighting/FogState.h"
#include "tests/support/RecordingRasterizer.h"

namespace {

struct Frame {
  Frame(uint32_t w, uint32_t h) : rasterizer(w, h) {
    view.Setup(&rasterizer, &camera, &fog, nullptr, 31);
  }
  // A frame drawn into the back end's back buffer; a null camera keeps the bound one.
  bool Begin(ViewFrustum* frameCamera) {
    return view.BeginFrame(frameCamera, CRenderView::FrameViewport::kBackBuffer, CRenderView::FrameBackEnd::kDefault,
                           CRenderView::FrameOutput::kDraw);
  }
  RecordingRasterizer rasterizer;
  ViewFrustum camera;
  FogState fog;
  CRenderView view;
};

}  // namespace

TEST(RenderViewProjection, FogStretchesTheFarDistance) {
  Frame f(640, 480);
  f.camera.SetFar(2000.0f);
  ASSERT_TRUE(f.Begin(nullptr));
  EXPECT_FLOAT_EQ(2000.0f, f.view.GetFarDistance());
  f.view.EndFrame();
  f.fog.enabled = true;
  ASSERT_TRUE(f.Begin(nullptr));
  EXPECT_FLOAT_EQ(3000.0f, f.view.GetFarDistance());
  EXPECT_FLOAT_EQ(f.camera.GetNear(), f.view.GetNearDistance());
}

TEST(RenderViewProjection, PointsAtOrBehindTheNearPlaneAreMarked) {
  Frame f(640, 480);
  ASSERT_TRUE(f.Begin(&f.camera));
  const float nearDistance = f.camera.GetNear();
  for (float x : {nearDistance, 0.0f, -5.0f}) {
    const ProjectedPoint p = f.view.ProjectPoint(Vector3(x, 1.0f, 1.0f));
    EXPECT_EQ(CRenderView::kBehindNearPlane, p.rhw) << x;
    EXPECT_EQ(CRenderView::kBehindDepth, p.z);
    EXPECT_EQ(0.0f, p.x);
    EXPECT_EQ(0.0f, p.y);
  }
  EXPECT_GT(f.view.ProjectPoint(Vector3(nearDistance * 1.001f, 0, 0)).rhw, 0.0f);
}

TEST(RenderViewProjection, PerspectiveFieldOfViewSpansTheLargerSideAndDepthRunsZeroToOne) {
  Frame f(640, 480);
  f.camera.SetFieldOfView(1.2f);
  f.camera.SetFar(500.0f);
  ASSERT_TRUE(f.Begin(&f.camera));
  const float t = std::tan(0.6f);
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> depth(1.0f, 500.0f);
  for (int i = 0; i < 500; ++i) {
    const float x = depth(rng);
    // The view's edges: y points left, so -x tan lies on the right border.
    const ProjectedPoint right = f.view.ProjectPoint(Vector3(x, -x * t, 0.0f));
    ASSERT_NEAR(640.0f, right.x, 0.01f);
    ASSERT_NEAR(240.0f, right.y, 1e-3f);
    const ProjectedPoint top = f.view.ProjectPoint(Vector3(x, 0.0f, x * t * 0.75f));
    ASSERT_NEAR(0.0f, top.y, 0.01f) << "the shorter side spans three quarters of the tangent";
    ASSERT_NEAR(1.0f / x, right.rhw, 1e-6f);
    // Depth is the usual hyperbolic mapping of [near, far] to [0, 1], increasing with distance.
    const float n = f.camera.GetNear(), fa = 500.0f;
    ASSERT_NEAR((1.0f / n - 1.0f / x) / (1.0f / n - 1.0f / fa), right.z, 1e-4f);
  }
  EXPECT_NEAR(1.0f, f.view.ProjectPoint(Vector3(500.0f, 0, 0)).z, 1e-5f);
  EXPECT_NEAR(320.0f / t * 2.0f, f.view.GetTextureScale(), 1e-2f);
}

TEST(RenderViewProjection, OrthographicWidthMapsToTheLargerSide) {
  Frame f(400, 300);
  f.camera.SetOrthographic();
  f.camera.SetOrthoWidth(50.0f);
  ASSERT_TRUE(f.Begin(&f.camera));
  EXPECT_FLOAT_EQ(8.0f, f.view.GetOrthoScale());
  for (float x : {1.0f, 10.0f, 9000.0f}) {
    const ProjectedPoint left = f.view.ProjectPoint(Vector3(x, 25.0f, 0.0f));
    EXPECT_FLOAT_EQ(0.0f, left.x);
    EXPECT_FLOAT_EQ(150.0f, left.y);
    EXPECT_FLOAT_EQ(1.0f / f.camera.GetNear(), left.rhw);
  }
  const float n = f.camera.GetNear(), fa = f.camera.GetFar();
  EXPECT_NEAR(0.5f, f.view.ProjectPoint(Vector3((n + fa) / 2, 0, 0)).z, 1e-5f);
}
