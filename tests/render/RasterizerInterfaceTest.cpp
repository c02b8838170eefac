// The renderer interface's base behaviours, its shared records and the render view's use of them.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "render/PixelBufferDesc.h"
#include "render/RasterizerInterface.h"
#include "render/RenderView.h"
#include "render/ScreenVertex.h"
#include "tests/support/RecordingRasterizer.h"

namespace {

// A back end that supplies only the eight pure operations and counts what reaches them.
class PureOnlyRasterizer : public CRasterizerInterface {
 public:
  PureOnlyRasterizer() : CRasterizerInterface(kRasterizerSoftware) {}
  PixelBufferDesc* GetBackBufferDesc() override { return &desc; }
  PixelBufferDesc* LockBackBuffer() override { return &desc; }
  PixelBufferDesc* LockFrontBuffer() override { return nullptr; }
  long GetBackBufferDC(HDC* dc) override { *dc = nullptr; return -1; }
  long ReleaseBackBufferDC(HDC) override { return -1; }
  long GetFrontBufferDC(HDC* dc) override { *dc = nullptr; return -1; }
  long ReleaseFrontBufferDC(HDC) override { return -1; }
  void DrawTriangles(ScreenVertex*, uint32_t, const uint16_t*, uint32_t count, CTexture*, CTexture*,
                     float) override {
    triangles += count;
  }
  PixelBufferDesc desc;
  uint32_t triangles = 0;
};

ScreenVertex MakeVertex(float x, float y) {
  ScreenVertex v;
  std::memset(&v, 0, sizeof(v));
  v.x = x;
  v.y = y;
  v.diffuse = 0xFF112233;
  v.specular = 0xFF000000;
  return v;
}

}  // namespace

TEST(RasterizerInterface, BaseDefaultsOfABackEndWithOnlyThePureOperations) {
  PureOnlyRasterizer r;
  CRasterizerInterface& base = r;
  ScreenVertex line[2] = {MakeVertex(1, 2), MakeVertex(30, 40)};
  ScreenVertex before[2];
  std::memcpy(before, line, sizeof(line));
  const uint16_t pair[2] = {0, 1};
  base.DrawLines(line, 2, pair, 1);
  EXPECT_EQ(0, std::memcmp(before, line, sizeof(line))) << "the base draws no lines and leaves the vertices";
  EXPECT_FALSE(base.IsVertexBufferAvailable());
  EXPECT_FALSE(base.DrawQueuedBuffer(2, 2));
  EXPECT_TRUE(base.BeginScene(nullptr, 0));
  EXPECT_TRUE(base.GetBackfaceCulling());
  base.SetBackfaceCulling(false);  // the base keeps no state
  EXPECT_TRUE(base.GetBackfaceCulling());
  EXPECT_TRUE(base.IsWindowed());
  EXPECT_EQ(nullptr, base.LockZBuffer());
  EXPECT_FALSE(base.SetRenderTarget(nullptr, 1, 2, 3));
  EXPECT_FALSE(base.LoadTexture(nullptr, 0));
  EXPECT_FALSE(base.SelectTexture(nullptr));
  PixelBufferDesc* out = nullptr;
  EXPECT_FALSE(base.LockTexture(nullptr, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(0u, base.Reserved15(77));
  EXPECT_EQ(kRasterizerSoftware, base.GetUserValue());
  EXPECT_EQ(0u, r.triangles);
}

TEST(RasterizerInterface, SharedRecordsHaveTheirFixedLayouts) {
  EXPECT_EQ(40u, sizeof(ScreenVertex));
  EXPECT_EQ(0u, offsetof(ScreenVertex, x));
  EXPECT_EQ(12u, offsetof(ScreenVertex, rhw));
  EXPECT_EQ(16u, offsetof(ScreenVertex, diffuse));
  EXPECT_EQ(20u, offsetof(ScreenVertex, specular));
  EXPECT_EQ(24u, offsetof(ScreenVertex, u));
  EXPECT_EQ(32u, offsetof(ScreenVertex, u2));
  EXPECT_EQ(36u, offsetof(ScreenVertex, v2));

  PixelBufferDesc fresh;
  EXPECT_EQ(nullptr, fresh.pixels);
  EXPECT_EQ(0u, fresh.width | fresh.height | fresh.colourBits | fresh.bytesPerPixel | fresh.redMask |
                    fresh.greenMask | fresh.blueMask | fresh.alphaMask);
  EXPECT_EQ(0, fresh.pitch);

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

TEST(RenderView, FreshViewCountsFramesFrom1000AndTogglesOnlyItsFlag) {
  CRenderView view;
  EXPECT_EQ(1000u, view.GetFrameNumber());
  EXPECT_EQ(nullptr, view.GetRasterizer());
  view.EndFrame();
  view.EndFrame();
  view.EndFrame();
  EXPECT_EQ(1003u, view.GetFrameNumber());

  RecordingRasterizer r;
  view.Setup(&r, nullptr, nullptr, nullptr, 31);
  EXPECT_EQ(31u, view.GetFlags());
  view.EnableLOD(false);
  EXPECT_EQ(31u | 128u, view.GetFlags());
  view.EnableLOD(true);
  EXPECT_EQ(31u, view.GetFlags());
  view.EnableAlphaSorting(true);
  EXPECT_EQ(31u | 64u, view.GetFlags());
  view.EnableAlphaSorting(false);
  EXPECT_EQ(31u, view.GetFlags());
}

TEST(RenderView, SetupAppliesTheOptionsToTheBackEndInOrder) {
  CRenderView view;
  RecordingRasterizer r;
  view.Setup(&r, nullptr, nullptr, nullptr, 1 | 16);
  const std::vector<std::string> expected = {"SetPerspectiveCorrection(1)", "SetFogEnable(0)", "SetBilinearFilter(1)",
                                             "SetBackfaceCulling(1)", "SetZBufferMode(1,0)", "SetZWrite(1)"};
  EXPECT_EQ(expected, r.calls);
  EXPECT_EQ(&r, view.GetRasterizer());

  // SetDevice replaces the back end only once one is bound.
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

  ASSERT_TRUE(view.BeginFrame(nullptr, 0, 0, 1));
  EXPECT_EQ(0, r.IndexOf("SetBackfaceCulling(1)"));
  EXPECT_LT(r.IndexOf("SetZWrite(1)"), r.IndexOf("BeginScene"));
  EXPECT_EQ(1, r.Count("BeginScene"));
  EXPECT_FLOAT_EQ(160.0f, view.GetCentreX());
  EXPECT_FLOAT_EQ(100.0f, view.GetCentreY());
  EXPECT_FLOAT_EQ(160.0f, view.GetHalfSize());
  view.Clear(true, false, 0xFF000000);
  view.SetZBufferMode(2);
  view.EndFrame();
  EXPECT_EQ("Clear(1,0,0xFF000000)", r.calls.at(r.calls.size() - 3));
  EXPECT_EQ("SetZBufferMode(2,0)", r.calls.at(r.calls.size() - 2));
  EXPECT_EQ("EndScene", r.calls.back());

  // Without the use flag the frame is transformed but nothing reaches the back end, and the
  // default back end is current again after the frame.
  r.Forget();
  EXPECT_TRUE(view.BeginFrame(nullptr, 0, 0, 0));
  view.Clear(true, true, 0);
  EXPECT_EQ(nullptr, view.GetRasterizer());
  EXPECT_FLOAT_EQ(128.0f, view.GetCentreX());
  view.EndFrame();
  EXPECT_TRUE(r.calls.empty());
  EXPECT_EQ(&r, view.GetRasterizer());

  // A failing scene start fails the frame.
  r.beginSceneResult = false;
  EXPECT_FALSE(view.BeginFrame(nullptr, 0, 0, 1));
}
