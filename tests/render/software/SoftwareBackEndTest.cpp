// The software back end's queues and drawing: what is queued where, tiny and culled triangles,
// the caller's vertices, see-through textures, lines and the statistics.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/system/Platform.h"
#include "render/image/Texture.h"
#include "render/software/SoftwareRasterizer.h"
#include "render/software/SoftwareTextureStore.h"
#include "tests/render/software/FrameGolden.h"
#include "tests/support/TempFolder.h"

namespace {

DisplayMode Mode(uint32_t w, uint32_t h) {
  DisplayMode mode;
  mode.width = w;
  mode.height = h;
  mode.bits = 16;
  mode.fullScreen = 1;
  return mode;
}

ScreenVertex SV(float x, float y, uint32_t colour = 0xFFFFFFFF, float rhw = 1.0f, float u = 0, float v = 0) {
  return ScreenVertex{x, y, 0.5f, rhw, colour, 0xFF000000u, u, v, 0, 0};
}

struct BackEnd {
  CSoftwareTextureStore store;
  CSoftwareRasterizer r{&store};
  explicit BackEnd(uint32_t w = 64, uint32_t h = 48) {
    EXPECT_TRUE(r.Init(nullptr, Mode(w, h)));
    r.SetClipping(true);
    r.Clear(true, true, 0);
    r.BeginScene(nullptr, 0);
  }
  void Triangle(ScreenVertex a, ScreenVertex b, ScreenVertex c, CTexture* texture = nullptr) {
    ScreenVertex v[3] = {a, b, c};
    const uint16_t i[3] = {0, 1, 2};
    r.DrawTriangles(v, 3, i, 1, texture, nullptr, 1.0f);
  }
};

std::unique_ptr<CTexture> Checker(const char* name, uint32_t a, uint32_t b) {
  std::vector<uint32_t> texels(64);
  for (int i = 0; i < 64; ++i) texels[i] = ((i & 1) ^ ((i >> 3) & 1)) ? a : b;
  auto t = std::make_unique<CTexture>();
  t->CreateFromPixels(texels.data(), 4, 8, 8, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, name);
  return t;
}

}  // namespace

TEST(SoftwareBackEnd, QueuesTheirLimitsAndTheDroppedCount) {
  BackEnd b(640, 480);
  // Large: bounding box x 64 above the screen area (100 x 100 > 640 x 480 / 64 = 4800).
  for (int i = 0; i < 500; ++i) b.Triangle(SV(0, 0), SV(100, 0), SV(0, 100));
  EXPECT_EQ(499u, b.r.GetQueuedLarge());
  EXPECT_EQ(1u, b.r.GetQueuedNormal()) << "the 500th large triangle goes to the normal queue";
  // Without depth writing nothing is large.
  b.r.SetZWrite(false);
  b.Triangle(SV(0, 0), SV(100, 0), SV(0, 100));
  b.r.SetZWrite(true);
  EXPECT_EQ(2u, b.r.GetQueuedNormal());
  for (int i = 0; i < 16100; ++i) b.Triangle(SV(0, 0), SV(4, 0), SV(0, 4));
  EXPECT_EQ(CSoftwareRasterizer::kMaxNormal, b.r.GetQueuedNormal());
  EXPECT_EQ(16100u + 2 - 15999, b.r.GetStatistics().dropped) << "full queues count what they drop";
  // Wholly off one side: never queued; one vertex in and two far out: queued.
  b.r.BeginScene(nullptr, 0);
  b.Triangle(SV(-5, 0), SV(-1, 0), SV(-3, 400));
  b.Triangle(SV(700, 0), SV(900, 0), SV(800, 400));
  b.Triangle(SV(0, 500), SV(10, 480), SV(0, 490));
  EXPECT_EQ(0u, b.r.GetQueuedNormal() + b.r.GetQueuedLarge());
  b.Triangle(SV(10, 10), SV(90000, 20), SV(-90000, 50000));
  EXPECT_EQ(1u, b.r.GetQueuedLarge());
  // Bad indices are skipped.
  ScreenVertex v[3] = {SV(0, 0), SV(10, 0), SV(0, 10)};
  const uint16_t bad[3] = {0, 1, 3};
  b.r.DrawTriangles(v, 3, bad, 1, nullptr, nullptr, 1.0f);
  EXPECT_EQ(1u, b.r.GetQueuedLarge() + b.r.GetQueuedNormal());
}

TEST(SoftwareBackEnd, CullingTinyTrianglesAndTheCallersVertices) {
  BackEnd b;
  // Clockwise on the screen (y down) is the front.
  b.Triangle(SV(4, 4, 0xFFFF0000), SV(20, 4), SV(4, 20));
  b.Triangle(SV(30, 4, 0xFF00FF00), SV(30, 20), SV(46, 4));  // counter-clockwise: culled
  b.r.SetBackfaceCulling(false);
  b.Triangle(SV(30, 24, 0xFF0000FF), SV(30, 40), SV(46, 24));  // counter-clockwise, drawn
  b.r.EndScene();
  ExpectGoldenFrame(b.r, "culling");

  // The caller's specular words stay as they were (the intensities are the back end's own).
  ScreenVertex v[3] = {SV(0, 0, 0xFF102030), SV(10, 0), SV(0, 10)};
  v[0].specular = 0x80123456;
  const uint16_t i[3] = {0, 1, 2};
  b.r.DrawTriangles(v, 3, i, 1, nullptr, nullptr, 1.0f);
  EXPECT_EQ(0x80123456u, v[0].specular);

  // A textured triangle covering fewer than 49 box pixels is one colour: the texel at the middle
  // of its texture coordinates, through the light table of vertex 0's intensity (255: level 31).
  BackEnd t;
  auto tex = Checker("checker", 0xFFF80000, 0xFF0000F8);
  t.Triangle(SV(2, 2, 0xFFFFFFFF, 1, 0.0f, 0.0f), SV(8, 2, 0xFFFFFFFF, 1, 0.0f, 0.0f),
             SV(2, 8, 0xFFFFFFFF, 1, 0.3f, 0.0f), tex.get());  // middle u 0.1: texel 0 (blue)
  t.r.EndScene();
  EXPECT_EQ(1u, t.r.GetStatistics().tiny);
  ExpectGoldenFrame(t.r, "tiny_textured");
}

TEST(SoftwareBackEnd, SeeThroughTexturesDrawLastWithoutHidingAnything) {
  BackEnd b;
  // A keyed texture: left half opaque red, right half transparent.
  std::vector<uint32_t> texels(64);
  for (int i = 0; i < 64; ++i) texels[i] = (i % 8) < 4 ? 0xFFF80000u : 0x00000000u;
  CTexture fence;
  fence.CreateFromPixels(texels.data(), 4, 8, 8, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, "fence");
  ASSERT_TRUE(fence.flags & CTexture::kHasTransparent);
  // The fence is nearer (rhw 0.5) than the green wall behind it (rhw 0.25), but is submitted first.
  b.Triangle(SV(0, 0, 0xFFFFFFFF, 0.5f, 0, 0), SV(64, 0, 0xFFFFFFFF, 0.5f, 1, 0), SV(0, 48, 0xFFFFFFFF, 0.5f, 0, 1), &fence);
  b.Triangle(SV(0, 0, 0xFF00FF00, 0.25f), SV(64, 0, 0xFF00FF00, 0.25f), SV(0, 48, 0xFF00FF00, 0.25f));
  EXPECT_EQ(1u, b.r.GetQueuedTranslucent());
  b.r.EndScene();
  ExpectGoldenFrame(b.r, "seethrough");  // the wall shows through the transparent texels
  // A later wall in front still hides the fence: the fence wrote no depth.
  b.r.BeginScene(nullptr, 0);
  b.r.Clear(true, true, 0);
  b.Triangle(SV(0, 0, 0xFFFFFFFF, 0.5f, 0, 0), SV(64, 0, 0xFFFFFFFF, 0.5f, 1, 0), SV(0, 48, 0xFFFFFFFF, 0.5f, 0, 1), &fence);
  b.Triangle(SV(0, 0, 0xFF0000FF, 0.25f), SV(64, 0, 0xFF0000FF, 0.25f), SV(0, 48, 0xFF0000FF, 0.25f));
  b.r.EndScene();
  EXPECT_EQ(0x7C00, Pixel(b.r, 2, 2));
  EXPECT_EQ(0x001F, Pixel(b.r, 40, 2));
  EXPECT_EQ(2u, b.r.GetStatistics().translucent);
}

TEST(SoftwareBackEnd, LinesDrawTheFirstEndButNotTheLastAndClipToTheFrame) {
  BackEnd b;
  ScreenVertex v[8] = {SV(2.9f, 3.7f, 0xFFFF0000), SV(12.2f, 3.1f), SV(5, 10, 0xFF00FF00), SV(5, 5),
                       SV(-30, 20, 0xFF0000FF),   SV(100, 20),     SV(7, 40, 0xFFFFFFFF), SV(7, 40)};
  const uint16_t lines[8] = {0, 1, 2, 3, 4, 5, 6, 7};
  b.r.DrawLines(v, 8, lines, 4);
  // Truncated ends (2, 3) -> (12, 3): pixels 2 .. 11 of row 3.
  for (int x = 0; x < 16; ++x) EXPECT_EQ(x >= 2 && x < 12 ? 0x7C00 : 0, Pixel(b.r, x, 3)) << x;
  // Upward (5, 10) -> (5, 5): rows 10 down to 6.
  for (int y = 4; y < 12; ++y) EXPECT_EQ(y >= 6 && y <= 10 ? 0x03E0 : 0, Pixel(b.r, 5, y)) << y;
  // Clipped at both sides: every column of row 20.
  for (int x = 0; x < 64; ++x) ASSERT_EQ(0x001F, Pixel(b.r, x, 20)) << x;
  EXPECT_EQ(0, Pixel(b.r, 7, 40)) << "a zero-length line draws nothing";
  // A clipped line keeps the pixels of the whole line: (-10, 5)-(20, 15) lights in columns
  // 0 .. 19 what (0, 5)-(30, 15) lights ten columns further on.
  ScreenVertex clipped[4] = {SV(-10, 5), SV(20, 15), SV(0, 25), SV(30, 35)};
  b.r.Clear(false, true, 0);
  b.r.DrawLines(clipped, 4, lines, 2);
  for (int y = 5; y < 15; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(Pixel(b.r, x + 10, y + 20), Pixel(b.r, x, y)) << x << "," << y;
  // Drawing off: nothing.
  b.r.Clear(false, true, 0);
  b.r.SetClipping(false);
  b.r.DrawLines(v, 8, lines, 4);
  EXPECT_EQ(0, Pixel(b.r, 4, 3));
}

TEST(SoftwareBackEnd, StatisticsLineAndCountsOfAFrame) {
  BackEnd b(192, 8);  // room for the whole line
  for (int i = 0; i < 3; ++i) b.Triangle(SV(0, 0), SV(10, 0), SV(0, 10));
  b.r.EndScene();
  EXPECT_EQ("3 Polys, 3 Drawn, 3 tiny, 60 fps", b.r.GetStatisticsLine(60));
  b.r.SetOption41(true);
  b.r.Clear(false, true, 0);
  plat::UseManualClock(1000);
  b.r.PresentFrame();
  EXPECT_EQ(3u, b.r.GetPresentedStatistics().drawnLarge) << "a 10 x 10 box is large on a 192 x 8 frame";
  EXPECT_EQ(0u, b.r.GetStatistics().submitted);
  plat::AdvanceClock(20);
  b.r.Clear(false, true, 0);
  b.r.PresentFrame();
  plat::UseRealClock();
  // The next frame's line, 20 ms later, in green (below 1201 triangles) from the top-left corner:
  // "0 Polys, 0 Drawn, 0 tiny, 50 fps".
  ExpectGoldenFrame(b.r, "statistics");
}

TEST(SoftwareBackEnd, FogDepthModeOffAndBadCoordinates) {
  // Fog: the top byte of the specular word is how much of the surface shows.
  BackEnd b;
  b.r.SetFogColour(0xFF0000F8);
  ScreenVertex v[6] = {SV(2, 2, 0xFFF80000), SV(20, 2, 0xFFF80000), SV(2, 20, 0xFFF80000),
                       SV(30, 2, 0xFFF80000), SV(48, 2, 0xFFF80000), SV(30, 20, 0xFFF80000)};
  for (int i = 3; i < 6; ++i) v[i].specular = 0x00000000;  // wholly fogged
  const uint16_t both[6] = {0, 1, 2, 3, 4, 5};
  b.r.DrawTriangles(v, 6, both, 2, nullptr, nullptr, 1.0f);
  b.r.EndScene();
  EXPECT_EQ(0x7C00, Pixel(b.r, 4, 4)) << "fog off: the triangle's own colour";
  EXPECT_EQ(0x7C00, Pixel(b.r, 32, 4));
  b.r.SetFogEnable(true);
  v[3].specular = v[4].specular = 0x00000000, v[5].specular = 0xFF000000;  // two thirds fogged
  b.r.PresentFrame();  // forgets the spans: the same triangles draw again in the next frame
  b.r.BeginScene(nullptr, 0);
  b.r.DrawTriangles(v, 6, both, 2, nullptr, nullptr, 1.0f);
  b.r.EndScene();
  // The second triangle at fog level 10 of 15: red 31 -> 10, blue 0 -> 21.
  ExpectGoldenFrame(b.r, "fogged");

  // Depth mode 0: neither tested nor recorded. Drawn nearest first: the red one records its
  // spans, the farther green one ignores them and paints over, the farthest blue one is tested
  // against red's spans and hidden.
  BackEnd d;
  d.Triangle(SV(0, 0, 0xFFFF0000, 0.5f), SV(30, 0, 0xFFFF0000, 0.5f), SV(0, 30, 0xFFFF0000, 0.5f));
  d.r.SetZBufferMode(ZBufferMode::kOff, false);
  d.Triangle(SV(0, 0, 0xFF00FF00, 0.1f), SV(30, 0, 0xFF00FF00, 0.1f), SV(0, 30, 0xFF00FF00, 0.1f));
  d.r.SetZBufferMode(ZBufferMode::kZBuffer, false);
  d.Triangle(SV(0, 0, 0xFF0000FF, 0.05f), SV(30, 0, 0xFF0000FF, 0.05f), SV(0, 30, 0xFF0000FF, 0.05f));
  d.r.EndScene();
  ExpectGoldenFrame(d.r, "depth_off");  // green where all three overlap

  // A texture coordinate beyond any texture's reach is logged once per corner and drawn as 0.
  BackEnd t;
  auto tex = Checker("bad", 0xFFF80000, 0xFF0000F8);
  testing_support::DebugCapture log;
  t.Triangle(SV(0, 0, 0xFFFFFFFF, 1, 1e9f, 0), SV(40, 0, 0xFFFFFFFF, 1, 1, 0), SV(0, 40, 0xFFFFFFFF, 1, 0, 1), tex.get());
  t.r.EndScene();
  ASSERT_EQ("Bad Texture U.\n", log.Text());
  ExpectGoldenFrame(t.r, "bad_coordinate");
  // The bound is on the coordinate in texture turns: a texture repeated 5000 times is not bad,
  // however many texels that makes.
  log.Clear();
  t.Triangle(SV(0, 0, 0xFFFFFFFF, 1, 5000, 0), SV(40, 0, 0xFFFFFFFF, 1, 0, 0), SV(0, 40, 0xFFFFFFFF, 1, 0, 5000), tex.get());
  t.r.EndScene();
  EXPECT_TRUE(log.Text().empty()) << log.Text();
}

TEST(SoftwareBackEnd, StatisticsTextTurnsRedAt1201DrawnTriangles) {
  for (uint32_t drawn : {1200u, 1201u}) {
    BackEnd b;
    for (uint32_t i = 0; i < drawn; ++i) b.Triangle(SV(60, 40), SV(62, 40), SV(60, 42));
    b.r.EndScene();
    b.r.SetOption41(true);
    b.r.Clear(false, true, 0);
    b.r.PresentFrame();
    int red = 0, green = 0;
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 64; ++x) red += Pixel(b.r, x, y) == 0x7C00, green += Pixel(b.r, x, y) == 0x03E0;
    EXPECT_EQ(drawn < 1201, green > 20) << drawn;
    EXPECT_EQ(drawn >= 1201, red > 20) << drawn;
  }
}
