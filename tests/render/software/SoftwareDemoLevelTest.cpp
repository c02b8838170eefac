// The demo level drawn by the software back end through the render view and the world's scene
// pass: textured terrain, lit by the level's own lights and fogged by its medium-detail fog, from
// a camera at one corner looking across the park. The frame is compared whole with
// golden/demolevel.bmp, which was looked at before it was kept.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "render/software/SoftwareRasterizer.h"
#include "render/software/SoftwareTextureStore.h"
#include "scene/camera/GenericCam.h"
#include "tests/render/software/FrameGolden.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContentLevelScene.h"

namespace {

using testing_support::DebugCapture;

constexpr uint32_t kClear = 0xFF000000u;  // black: never a colour of the lit, fogged park

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
};

}  // namespace

TEST(SoftwareDemoLevel, DrawnTexturedLitAndFoggedThroughTheScenePass) {
  DemoScene s;
  ASSERT_TRUE(s.level->IsBuilt());
  s.Draw();
  const CSoftwareRasterizer::Statistics stats = s.back.GetStatistics();
  EXPECT_GT(stats.submitted, 300u) << s.quiet.Text();
  EXPECT_EQ(0u, stats.dropped);
  EXPECT_EQ(0u, stats.refusedSpans);

  // The whole frame, pixel for pixel: the park as it was looked at when the file was kept. It fills
  // all but the sky beyond its far edges; the fog grows with distance, from textured, lit ground
  // below the middle to ground near the fog colour at the top.
  ExpectGoldenFrame(s.back, "demolevel");

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
