// The demo level drawn by the software back end through the render view and the world's scene
// pass: textured terrain, lit by the level's own lights and fogged by its medium-detail fog, from
// a camera at one corner looking across the park. The frame is compared whole with
// golden/demolevel.bmp, which was looked at before it was kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "render/software/SoftwareRasterizer.h"
#include "render/software/SoftwareTextureStore.h"
#include "scene/camera/GenericCam.h"
#include "scene/lighting/FogState.h"
#include "tests/render/software/FrameGolden.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContentLevelScene.h"

namespace {

using testing_support::DebugCapture;

constexpr uint32_t kW = DemoContent::DemoLevelScene::kWidth, kH = DemoContent::DemoLevelScene::kHeight;
constexpr uint32_t kClear = 0xFF000000u;  // black: never a colour of the lit, fogged park

struct Rgb {
  int r, g, b;
};
Rgb Of555(uint16_t p) { return Rgb{((p >> 10) & 31) << 3, ((p >> 5) & 31) << 3, (p & 31) << 3}; }

// The demo level drawn by the software back end at 640 x 480.
struct DemoScene {
  DebugCapture quiet;
  CSoftwareTextureStore store;
  CSoftwareRasterizer back{&store};
  std::unique_ptr<DemoContent::DemoLevelScene> level;  // once the back end has started

  DemoScene() {
    EXPECT_TRUE(DemoContent::DemoLevelScene::StartSoftware(back));
    level = std::make_unique<DemoContent::DemoLevelScene>(&back);
  }

  void Draw() { level->Draw(back, kClear); }
  uint16_t Pixel(uint32_t x, uint32_t y) {
    const PixelBufferDesc& d = *back.GetBackBufferDesc();
    return reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(d.pixels) + d.pitch * y)[x];
  }
};

}  // namespace

// The largest channel difference between two x1r5g5b5 colours, in 8-bit steps.
int Difference(uint16_t a, uint16_t b) {
  const Rgb p = Of555(a), q = Of555(b);
  return std::max({std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
}

TEST(SoftwareDemoLevel, DrawnTexturedLitAndFoggedThroughTheScenePass) {
  DemoScene s;
  ASSERT_TRUE(s.level->IsBuilt());
  s.Draw();
  const CSoftwareRasterizer::Statistics stats = s.back.GetStatistics();
  EXPECT_GT(stats.submitted, 300u) << s.quiet.Text();
  EXPECT_EQ(0u, stats.dropped);
  EXPECT_EQ(0u, stats.refusedSpans);

  // The whole frame, pixel for pixel: the park as it was looked at when the file was kept.
  ExpectGoldenFrame(s.back, "demolevel");

  // The park fills most of the frame; only the sky beyond its far edges keeps the clear colour.
  const uint16_t clear = CSoftwareRasterizer::To555(kClear);
  uint32_t covered = 0;
  for (uint32_t y = 0; y < kH; ++y)
    for (uint32_t x = 0; x < kW; ++x) covered += s.Pixel(x, y) != clear;
  EXPECT_GT(covered, kW * kH * 8 / 10);

  // Fog grows with distance: the far (top) band of the ground is near the fog colour, the near
  // band (below the middle, clear of the nearest block) far from it and full of the ground's texture.
  Color fogColour;
  s.level->World().GetFogState()->ComputeColor(fogColour);
  const uint16_t fog = CSoftwareRasterizer::To555(fogColour.ToWord());
  auto band = [&](uint32_t y0, uint32_t y1, double* meanDifference, size_t* colours) {
    double sum = 0;
    uint32_t count = 0;
    std::vector<bool> seen(32768);
    *colours = 0;
    for (uint32_t y = y0; y < y1; ++y)
      for (uint32_t x = 0; x < kW; ++x) {
        const uint16_t p = s.Pixel(x, y);
        if (p == clear) continue;
        sum += Difference(p, fog), ++count;
        if (!seen[p & 0x7FFF]) seen[p & 0x7FFF] = true, ++*colours;
      }
    ASSERT_GT(count, (y1 - y0) * kW / 3);
    *meanDifference = sum / count;
  };
  double far = 0, middle = 0, near = 0;
  size_t farColours = 0, middleColours = 0, nearColours = 0;
  band(50, 90, &far, &farColours);
  band(150, 190, &middle, &middleColours);
  band(250, 290, &near, &nearColours);
  // At 60 to 90 m the medium fog (gone at 120 m) covers well over half of the colour.
  EXPECT_LT(far, 64.0) << "the far ground is mostly fog";
  EXPECT_LT(far + 15, middle);
  EXPECT_LT(middle + 10, near);
  EXPECT_GT(nearColours, 8u) << "textured and lit, not one flat colour";

  // A second frame of the same view is the same frame (the face lists start empty again).
  s.back.PresentFrame();
  s.quiet.Clear();
  s.Draw();
  EXPECT_EQ(stats.submitted, s.back.GetStatistics().submitted);
  EXPECT_EQ(std::string::npos, s.quiet.Text().find("twice")) << s.quiet.Text();
  ExpectGoldenFrame(s.back, "demolevel");
}

// Cameras that put vertices exactly at the eye, on the near plane or straight above the
// ground draw without upsetting the back end (the sanitizers stop on any float overflow).
TEST(SoftwareDemoLevel, AwkwardCamerasDrawWithoutFault) {
  DemoScene s;
  ASSERT_TRUE(s.level->IsBuilt());
  struct Pose {
    Vector3 eye, target, up;
  };
  const Pose poses[] = {{Vector3(2, 2, 2), Vector3(30, 30, 2), Vector3(0, 0, 1)},       // eye on a ground vertex
                        {Vector3(10, 10, 2.3f), Vector3(60, 60, 2.3f), Vector3(0, 0, 1)},  // ground at the near plane
                        {Vector3(34, 34, 60), Vector3(34, 34, 2), Vector3(1, 0, 0)},      // straight down
                        {Vector3(14, 16, 5), Vector3(14, 40, 5), Vector3(0, 0, 1)}};       // inside a block
  for (const Pose& pose : poses) {
    ViewFrustum& v = s.level->World().GetCamera(0)->GetView();
    v.GetFrame().SetPosition(pose.eye);
    v.GetFrame().LookAtWithUp(pose.target, pose.up);
    s.Draw();
    EXPECT_EQ(0u, s.back.GetStatistics().dropped);
    s.back.PresentFrame();
  }
}
