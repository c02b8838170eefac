// Shared render records and the render view driving its back end.
#include <gtest/gtest.h>

#include <cstddef>

#include "render/view/PixelBufferDesc.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"
#include "render/view/ScreenVertex.h"
#include "tests/support/RecordingRasterizer.h"

namespace {
constexpr CRenderView::FrameViewport kBackBuffer = CRenderView::FrameViewport::kBackBuffer;
constexpr CRenderView::FrameBackEnd kDefaultBackEnd = CRenderView::FrameBackEnd::kDefault;
}  // namespace

TEST(RasterizerInterface, SharedRecordsHaveTheirFixedLayouts) {
  EXPECT_EQ(40u, sizeof(ScreenVertex));
  EXPECT_EQ(36u, offsetof(ScreenVertex, v2));
  PixelBufferDesc d;
  d.bytesPerPixel = 2;
  d.greenMask = 0x3E0;
  EXPECT_EQ(15u, ColourDepthOf(d));
  d.greenMask = 0x7E0;
  EXPECT_EQ(16u, ColourDepthOf(d));
  d.bytesPerPixel = 4;
  d.greenMask = 0xFF00;
  EXPECT_EQ(32u, ColourDepthOf(d));
}

// The calls Setup makes are in the golden transcripts of the view's draw tests, which start there.
TEST(RenderView, SetDeviceReplacesTheBackEndOnlyOnceOneIsBound) {
  CRenderView view;
  RecordingRasterizer r;
  view.Setup(&r, nullptr, nullptr, nullptr, 1 | 16);
  CRenderView unbound;
  RecordingRasterizer other;
  unbound.SetDevice(&other, 31);
  EXPECT_EQ(nullptr, unbound.GetRasterizer());
  EXPECT_TRUE(other.calls.empty());
  view.SetDevice(&other, 2);
  EXPECT_EQ(&other, view.GetRasterizer());
  EXPECT_EQ("SetFogEnable(1)", other.calls.at(1));
}

TEST(RenderView, FrameReachesTheBackEndOnlyWhenAskedTo) {
  CRenderView view;
  RecordingRasterizer r(320, 200);
  view.Setup(&r, nullptr, nullptr, nullptr, 31);
  r.Forget();

  ASSERT_TRUE(view.BeginFrame(nullptr, kBackBuffer, kDefaultBackEnd, CRenderView::FrameOutput::kDraw));
  EXPECT_FLOAT_EQ(100.0f, view.GetCentreY());
  view.Clear(true, false, 0xFF000000);
  view.SetZBufferMode(ZBufferMode::kWBuffer);
  view.EndFrame();
  EXPECT_EQ("Clear(1,0,0xFF000000)", r.calls.at(r.calls.size() - 3));
  EXPECT_EQ("SetZBufferMode(2,0)", r.calls.at(r.calls.size() - 2));
  EXPECT_EQ("EndScene", r.calls.back());

  // Without the use flag the frame is transformed but nothing reaches the back end, and the
  // default back end is current again after the frame.
  r.Forget();
  EXPECT_TRUE(view.BeginFrame(nullptr, kBackBuffer, kDefaultBackEnd, CRenderView::FrameOutput::kTransformOnly));
  view.Clear(true, true, 0);
  EXPECT_EQ(nullptr, view.GetRasterizer());
  view.EndFrame();
  EXPECT_TRUE(r.calls.empty());
  EXPECT_EQ(&r, view.GetRasterizer());

  // A failing scene start fails the frame.
  r.beginSceneResult = false;
  EXPECT_FALSE(view.BeginFrame(nullptr, kBackBuffer, kDefaultBackEnd, CRenderView::FrameOutput::kDraw));
}
