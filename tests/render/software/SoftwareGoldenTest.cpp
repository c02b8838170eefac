// Golden frames of the software back end: small scenes made of screen vertices, drawn and
// compared pixel for pixel with BMP files kept in tests/render/software/golden/. Every stored frame was
// looked at by eye before it was kept; each test says what its frame shows.
//
// After a deliberate change to the drawing, regenerate them as tests/support/Golden.h says.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "render/image/Texture.h"
#include "render/software/SoftwareRasterizer.h"
#include "render/software/SoftwareTextureStore.h"
#include "tests/render/software/FrameGolden.h"

namespace {

constexpr uint32_t kW = 64, kH = 48;

ScreenVertex SV(float x, float y, uint32_t colour, float rhw = 1.0f, float u = 0, float v = 0) {
  return ScreenVertex{x, y, 0.5f, rhw, colour, 0xFF000000u, u, v, 0, 0};
}

uint32_t Grey(int level) { return 0xFF000000u | static_cast<uint32_t>(level) * 0x010101u; }

std::unique_ptr<CTexture> MakeTexture(const char* name, int size, uint32_t (*texel)(int x, int y)) {
  std::vector<uint32_t> texels(static_cast<size_t>(size) * size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) texels[static_cast<size_t>(y) * size + x] = texel(x, y);
  auto t = std::make_unique<CTexture>();
  t->CreateFromPixels(texels.data(), 4, size, size, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, name);
  return t;
}

struct Frame {
  CSoftwareTextureStore store;
  CSoftwareRasterizer r{&store};
  explicit Frame(uint32_t clear) {
    DisplayMode mode;
    mode.width = kW, mode.height = kH, mode.bits = 16, mode.fullScreen = 1;
    EXPECT_TRUE(r.Init(nullptr, mode));
    r.SetClipping(true);
    r.Clear(true, true, clear);
    r.BeginScene(nullptr, 0);
  }
  void Triangles(std::vector<ScreenVertex> v, const std::vector<uint16_t>& indices, CTexture* texture = nullptr) {
    r.DrawTriangles(v.data(), static_cast<uint32_t>(v.size()), indices.data(),
                    static_cast<uint32_t>(indices.size() / 3), texture, nullptr, 1.0f);
  }
};

}  // namespace

// Flat colours and the span buffer: a red triangle in front (rhw 0.5) overlaps a green one
// behind it (rhw 0.25) that is submitted later, so the red one wins where they meet; a yellow
// triangle wound the back way round is drawn only because culling is off for it; a cyan sliver
// one pixel tall runs along the bottom. The background is dark blue.
TEST(SoftwareGolden, FlatTrianglesHideByDepth) {
  Frame f(0xFF102040);
  f.Triangles({SV(4, 4, 0xFFFF0000, 0.5f), SV(40, 6, 0xFFFF0000, 0.5f), SV(8, 36, 0xFFFF0000, 0.5f),
               SV(20, 10, 0xFF00FF00, 0.25f), SV(60, 14, 0xFF00FF00, 0.25f), SV(30, 44, 0xFF00FF00, 0.25f)},
              {0, 1, 2, 3, 4, 5});
  f.r.SetBackfaceCulling(false);
  f.Triangles({SV(44, 30, 0xFFFFFF00), SV(50, 46, 0xFFFFFF00), SV(62, 26, 0xFFFFFF00)}, {0, 1, 2});
  f.r.SetBackfaceCulling(true);
  f.Triangles({SV(2, 45, 0xFF00FFFF), SV(40, 45.2f, 0xFF00FFFF), SV(2, 46.4f, 0xFF00FFFF)}, {0, 1, 2});
  f.r.EndScene();
  ExpectGoldenFrame(f.r, "flat");
}

// Perspective texturing: a floor of red and white checks (an 8 x 8 texture repeated twice each
// way) runs away from the viewer; its far edge (rhw 0.25) is a quarter as wide as the near one,
// and the checks shrink towards it without bending. Dark blue sky above the floor; in it, a
// small triangle of the same checks lit below the first light level (vertex intensity 4) is black.
TEST(SoftwareGolden, TexturedFloorInPerspective) {
  Frame f(0xFF102040);
  auto checks = MakeTexture("checks", 8, [](int x, int y) { return ((x >> 2) ^ (y >> 2)) & 1 ? 0xFFF80000u : 0xFFF8F8F8u; });
  f.Triangles({SV(2, 0.5f, Grey(4), 1, 0, 0), SV(16, 0.5f, Grey(4), 1, 1, 0), SV(2, 7.5f, Grey(4), 1, 0, 1)}, {0, 1, 2},
              checks.get());
  f.Triangles({SV(24, 8, Grey(255), 0.25f, 0, 0), SV(40, 8, Grey(255), 0.25f, 2, 0), SV(64, 47.9f, Grey(255), 1.0f, 2, 2),
               SV(0, 47.9f, Grey(255), 1.0f, 0, 2)},
              {0, 1, 2, 0, 2, 3}, checks.get());
  f.r.EndScene();
  ExpectGoldenFrame(f.r, "textured");
}

// A keyed texture: a fence of vertical red bars with see-through gaps, in front of a
// grey wall and submitted before it; the wall shows between the bars. The left and right
// eighths of the frame are the green background.
TEST(SoftwareGolden, KeyedFenceInFrontOfAWall) {
  Frame f(0xFF208020);
  auto fence = MakeTexture("fence", 16, [](int x, int) { return (x & 7) < 3 ? 0xFFF82020u : 0x00000000u; });
  ASSERT_TRUE(fence->flags & CTexture::kHasTransparent);
  f.Triangles({SV(8, 4, Grey(255), 0.5f, 0, 0), SV(56, 4, Grey(255), 0.5f, 3, 0), SV(56, 44, Grey(255), 0.5f, 3, 1),
               SV(8, 44, Grey(255), 0.5f, 0, 1)},
              {0, 1, 2, 0, 2, 3}, fence.get());
  f.Triangles({SV(8, 0, Grey(128), 0.25f), SV(56, 0, Grey(128), 0.25f), SV(56, 48, Grey(128), 0.25f),
               SV(8, 48, Grey(128), 0.25f)},
              {0, 1, 2, 0, 2, 3});
  f.r.EndScene();
  ExpectGoldenFrame(f.r, "keyed");
}

// Shading: a square of blue and white checks lit fully at its left edge and almost dark at
// its right, so each check darkens step by step from left to right across the frame.
TEST(SoftwareGolden, ShadedQuadDarkensAcross) {
  Frame f(0xFF000000);
  auto checks = MakeTexture("bluechecks", 8, [](int x, int y) { return ((x >> 1) ^ (y >> 1)) & 1 ? 0xFF2040F8u : 0xFFF8F8F8u; });
  // Corners off the pixel grid keep texel boundaries away from pixel centres on the shared edge.
  f.Triangles({SV(2.3f, 2.2f, Grey(255), 1, 0, 0), SV(61.8f, 2.2f, Grey(24), 1, 2, 0), SV(61.8f, 45.7f, Grey(24), 1, 2, 2),
               SV(2.3f, 45.7f, Grey(255), 1, 0, 2)},
              {0, 1, 2, 0, 2, 3}, checks.get());
  f.r.EndScene();
  ExpectGoldenFrame(f.r, "shaded");
}

// Lines: eight spokes from the middle (30, 22) in eight colours, each stopping one pixel short of
// its end; a steep white line from column -1 above the frame to column 0 below it shows in column 0
// from row 31 down; a magenta diagonal runs off the bottom-right corner.
TEST(SoftwareGolden, LinesStarAndClippedLines) {
  Frame f(0xFF000000);
  const uint32_t colours[8] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00,
                               0xFF00FFFF, 0xFFFF00FF, 0xFFFF8000, 0xFF8080FF};
  const float ends[8][2] = {{50, 22}, {46, 6}, {30, 2}, {14, 6}, {10, 22}, {14, 38}, {30, 36}, {46, 38}};
  std::vector<ScreenVertex> v;
  std::vector<uint16_t> indices;
  for (int i = 0; i < 8; ++i) {
    v.push_back(SV(30.5f, 22.5f, colours[i]));
    v.push_back(SV(ends[i][0], ends[i][1], colours[i]));
  }
  v.push_back(SV(-1, -30, 0xFFFFFFFF));
  v.push_back(SV(0, 90, 0xFFFFFFFF));
  v.push_back(SV(40, 30, 0xFFFF00FF));
  v.push_back(SV(100, 90, 0xFFFF00FF));
  for (uint16_t i = 0; i < v.size(); ++i) indices.push_back(i);
  f.r.DrawLines(v.data(), static_cast<uint32_t>(v.size()), indices.data(), static_cast<uint32_t>(v.size() / 2));
  ExpectGoldenFrame(f.r, "lines");
}
