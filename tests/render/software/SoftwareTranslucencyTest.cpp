// What the software back end makes of work drawn without depth writing (the sorted translucent
// queue, see-through textures, overlays) under both camera kinds: it shows where it is in front
// of the opaque scene drawn before it, is hidden where it is behind, and hides nothing drawn
// after it. Under an orthographic camera every point has the same 1/w, so depth comes from z.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "core/spatial/Octree.h"
#include "core/math/ViewFrustum.h"
#include "render/image/Texture.h"
#include "render/software/SoftwareRasterizer.h"
#include "render/software/SoftwareTextureStore.h"
#include "render/view/RenderView.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LightList.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/render/software/FrameGolden.h"
#include "tests/render/view/PlacedTriangles.h"

namespace {

constexpr float kNear = 1.0f, kFar = 100.0f;
constexpr uint16_t kBlue = 0x001F, kGreen = 0x03E0;

// Screen vertices at a camera-space depth, as the render view projects them for each camera.
struct Projector {
  bool orthographic;
  ScreenVertex At(float x, float y, float depth, uint32_t colour) const {
    const float rhw = orthographic ? 1.0f / kNear : 1.0f / depth;
    const float z = orthographic ? (depth - kNear) / (kFar - kNear) : (kFar - rhw * kFar * kNear) / (kFar - kNear);
    return ScreenVertex{x, y, z, rhw, colour, 0xFF000000u, 0.5f, 0.5f, 0, 0};
  }
};

struct BackEnd {
  CSoftwareTextureStore store;
  CSoftwareRasterizer r{&store};
  ViewFrustum camera;
  Projector p;
  explicit BackEnd(bool orthographic) : p{orthographic} {
    DisplayMode mode;
    mode.width = 64, mode.height = 48, mode.bits = 16, mode.fullScreen = 1;
    EXPECT_TRUE(r.Init(nullptr, mode));
    r.SetClipping(true);
    r.Clear(true, true, 0);
    if (orthographic) camera.SetOrthographic();
    r.BeginScene(&camera, 0);
  }
  // A screen rectangle at one depth, wound clockwise (the front face).
  void Rect(float x0, float y0, float x1, float y1, float depth, uint32_t colour, CTexture* texture = nullptr) {
    ScreenVertex v[4] = {p.At(x0, y0, depth, colour), p.At(x1, y0, depth, colour), p.At(x1, y1, depth, colour),
                         p.At(x0, y1, depth, colour)};
    const uint16_t i[6] = {0, 1, 2, 0, 2, 3};
    r.DrawTriangles(v, 4, i, 2, texture, nullptr, 1.0f);
  }
};

}  // namespace

TEST(SoftwareTranslucency, ShowsInFrontHidesBehindAndWritesNoDepthUnderBothCameras) {
  for (bool orthographic : {false, true}) {
    SCOPED_TRACE(orthographic ? "orthographic" : "perspective");
    BackEnd b(orthographic);
    // A see-through texture of one opaque cyan texel colour (its converted copy lives in the
    // back end's store, so it is made anew for each).
    std::vector<uint32_t> texels(64, 0xFF00F8F8u);
    CTexture glass;
    ASSERT_TRUE(glass.CreateFromPixels(texels.data(), 4, 8, 8, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, "glass"));
    glass.flags |= CTexture::kTranslucent;
    b.Rect(0, 0, 64, 48, 20, 0xFF0000FF);  // the floor, far
    b.Rect(0, 0, 32, 48, 10, 0xFF808080);  // a wall over the left half, nearer
    // The sorted queue's state: no depth writing, both windings.
    b.r.SetZWrite(false);
    b.r.SetBackfaceCulling(false);
    b.Rect(46, 4, 62, 40, 15, 0xFF00FF00);           // in front of the floor
    b.Rect(20, 4, 44, 40, 12, 0xFFFF0000);           // behind the wall, in front of the floor past its edge
    b.Rect(4, 42, 12, 46, 5, 0xFFFFFFFF, &glass);    // see-through texture before the wall
    b.Rect(14, 42, 44, 46, 14, 0xFFFFFFFF, &glass);  // and behind it, past its edge over the floor
    EXPECT_EQ(4u, b.r.GetQueuedTranslucent()) << "two quads, each wound both ways";
    // Opaque again: a small square behind the green quad but in front of the floor. The green
    // quad left no depth, so the square covers it.
    b.r.SetZWrite(true);
    b.r.SetBackfaceCulling(true);
    b.Rect(50, 18, 56, 24, 18, 0xFFFFFF00);
    b.r.EndScene();

    // The frame: the green quad over the floor, except where the yellow square covers it (the
    // quad wrote no depth); the red quad hidden behind the wall and shown past its edge, exactly
    // columns 32 to 43 of rows 4 to 39; the see-through strip in its palette's cyan in front of
    // the wall and over the floor, hidden behind the wall.
    ExpectGoldenFrame(b.r, orthographic ? "translucent_orthographic" : "translucent_perspective");
  }
}

// Under an orthographic camera the large triangles go nearest first by z: a near one submitted
// last still hides the far one wholly, with nothing of the far one drawn first and then painted
// over (the spans count what each one won).
TEST(SoftwareTranslucency, OrthographicDepthOrdersOpaqueTrianglesAndTies) {
  BackEnd b(true);
  b.Rect(0, 0, 64, 48, 30, 0xFF0000FF);
  b.Rect(8, 8, 56, 40, 10, 0xFFFF0000);
  b.r.EndScene();
  ExpectGoldenFrame(b.r, "orthographic_order");  // red in the middle, nearer by z though drawn after
  // Equal depth: the first drawn keeps the pixel, as under a perspective camera.
  b.r.BeginScene(&b.camera, 0);
  b.r.Clear(true, true, 0);
  b.Rect(0, 0, 64, 48, 10, 0xFF00FF00);
  b.Rect(8, 8, 56, 40, 10, 0xFFFF0000);
  b.r.EndScene();
  EXPECT_EQ(kGreen, Pixel(b.r, 30, 20));
  // A scene begun without a camera orders by 1/w again: here every 1/w is equal, so the first
  // drawn wins even though its z is farther.
  b.r.BeginScene(nullptr, 0);
  b.r.Clear(true, true, 0);
  b.Rect(0, 0, 64, 48, 30, 0xFF0000FF);
  b.Rect(8, 8, 56, 40, 10, 0xFFFF0000);
  b.r.EndScene();
  EXPECT_EQ(kBlue, Pixel(b.r, 30, 20));
}

namespace {

const Box kWorld(Vector3(-1000, -1000, -1000), Vector3(1000, 1000, 1000));

// A square facing the camera at the origin (which looks along +x), both windings.
std::unique_ptr<ShadedMesh> Square(float depth, float y, float z, float half, uint32_t colour) {
  const Vector3 a(depth, y - half, z - half), b(depth, y + half, z - half), c(depth, y + half, z + half),
      d(depth, y - half, z + half);
  return render_test::TriangleMesh({a, b, c, a, c, d, a, c, b, a, d, c}, {colour});
}

using render_test::Placed;

}  // namespace

// Through the render view: a grey floor and a blue wall over the left half of the screen, then
// a half-transparent green square in front of the floor and a red one behind the wall that
// reaches past its edge, both deferred to the sorted queue and flushed last.
TEST(SoftwareTranslucency, HalfTransparentMeshesThroughTheRenderViewShowWhereInFront) {
  for (bool orthographic : {false, true}) {
    SCOPED_TRACE(orthographic ? "orthographic" : "perspective");
    COctree tree{kWorld};
    LightList lights{&tree};
    FogState fog;
    ViewFrustum camera;
    camera.SetFieldOfView(1.2f);
    camera.SetFar(1000.0f);
    if (orthographic) camera.SetOrthographic(), camera.SetOrthoWidth(10.0f);
    CSoftwareTextureStore store;
    CSoftwareRasterizer r{&store};
    DisplayMode mode;
    mode.width = 64, mode.height = 48, mode.bits = 16, mode.fullScreen = 1;
    ASSERT_TRUE(r.Init(nullptr, mode));
    r.SetClipping(true);
    CRenderView view;
    view.Setup(&r, &camera, &fog, &lights, 1);
    ASSERT_TRUE(view.BeginFrame(&camera, CRenderView::FrameViewport::kBackBuffer, CRenderView::FrameBackEnd::kDefault,
                                CRenderView::FrameOutput::kDraw));
    view.Clear(true, true, 0);
    Placed floor(Square(40, 0, 0, 500, 0xFF808080u));
    Placed wall(Square(20, 250, 0, 250, 0xFF0000FFu));  // y from 0 up: the screen's left half
    Placed front(Square(10, -3.5f, 0, 1.5f, 0xFF00FF00u));
    Placed behind(Square(30, 0, 0, 4, 0xFFFF0000u));
    front.instance.SetAlpha(0.5f, true);
    behind.instance.SetAlpha(0.5f, true);
    // The held squares first, as a piece in the hand may come before the ground.
    view.DrawMesh(&front.instance);
    view.DrawMesh(&behind.instance);
    view.DrawMesh(&floor.instance);
    view.DrawMesh(&wall.instance);
    EXPECT_EQ(view.GetQueuedCount(), 8u);
    view.FlushSortedQueue();
    view.EndFrame();
    // The frame: the green square over the floor, the red one only past the wall's edge, each
    // flat colour laid half over what lies behind it.
    ExpectGoldenFrame(r, orthographic ? "halftransparent_orthographic" : "halftransparent_perspective");
  }
}
