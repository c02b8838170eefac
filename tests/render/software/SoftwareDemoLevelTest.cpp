// The demo level drawn by the software back end through the render view and the world's scene
// pass: textured terrain, lit by the level's own lights and fogged by its medium-detail fog, from
// a camera at one corner looking across the park. The frame is compared whole with
// golden/demolevel.bmp, which was looked at before it was kept.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/spatial/Octree.h"
#include "render/image/Texture.h"
#include "render/software/SoftwareRasterizer.h"
#include "render/software/SoftwareTextureStore.h"
#include "render/view/RenderView.h"
#include "scene/camera/GenericCam.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LightList.h"
#include "tests/render/software/FrameGolden.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContentBoarder.h"
#include "tools/DemoContentEffects.h"
#include "tools/DemoContentImages.h"
#include "tools/DemoContentLevel.h"
#include "tools/DemoContentLevelArt.h"
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

// The demo's thought bubbles as the park draws them - a white sprite of size 0.3 facing up the
// screen under the orthographic park camera, some five pixels across - with the palette and the
// copies of the level's software texture cache at the detail the default settings ask for: each
// sprite triangle is filled with one texel, and every bubble shows the colour of its need's ground,
// as painted, and far from every other.
TEST(SoftwareDemoLevel, FarThoughtBubblesEachShowTheirOwnColour) {
  DebugCapture log;
  testing_support::TempFolder folder;
  const std::string data = folder.MakeFolder("data");
  folder.MakeFolder(std::string("data/") + DemoContent::kLevelFolder);
  ASSERT_TRUE(DemoContent::WriteImages(data) && DemoContent::WriteBoarder(data) &&
              DemoContent::WriteEffectTextures(data) && DemoContent::WriteLevelTextures(data) &&
              DemoContent::WriteSoftwareTextureCache(data));
  CSoftwareTextureStore store;
  log.Clear();
  ASSERT_TRUE(store.LoadCached((data + "/" + DemoContent::kLevelFolder + "/").c_str(), 1));
  EXPECT_EQ(log.Text(), "");
  CSoftwareRasterizer back{&store};
  DisplayMode mode;
  mode.width = 16, mode.height = 16, mode.bits = 16, mode.fullScreen = 1;
  ASSERT_TRUE(back.Init(nullptr, mode));
  back.SetClipping(true);
  COctree tree{Box(Vector3(-100, -100, -100), Vector3(100, 100, 100))};
  LightList lights{&tree};
  FogState fog;
  ViewFrustum camera;
  camera.SetOrthographic();
  camera.SetOrthoWidth(2.0f);
  CRenderView view;
  view.Setup(&back, &camera, &fog, &lights, 1);
  std::vector<uint16_t> shown;
  for (const std::string& file : DemoContent::ImageFiles()) {
    if (file.find("thoughtbubbles/") == std::string::npos) continue;
    CTexture bubble;  // as the resource table loads a Targa file
    ASSERT_TRUE(bubble.LoadTarga((data + "/" + file).c_str(), CTexture::kMipMapped | CTexture::kPowerOfTwo));
    ASSERT_TRUE(view.BeginFrame(&camera, CRenderView::FrameViewport::kBackBuffer, CRenderView::FrameBackEnd::kDefault,
                                CRenderView::FrameOutput::kDraw));
    view.Clear(true, true, 0);
    view.DrawDirectedSprite(Vector3(10, 0, 0), Vector2(0, -1), 0.3f, &bubble, 0xFFFFFFFFu);
    view.FlushSortedQueue();
    view.EndFrame();
    std::set<uint16_t> drawn;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        if (Pixel(back, x, y) != 0) drawn.insert(Pixel(back, x, y));
    ASSERT_EQ(drawn.size(), 1u) << file;
    Color ground;
    bubble.SampleColour(ground, 1.0f / 3, 1.0f / 3);
    const uint16_t c = *drawn.begin();
    EXPECT_LE(std::abs((c >> 10) - (ground.r >> 3)) + std::abs((c >> 5 & 31) - (ground.g >> 3)) +
                  std::abs((c & 31) - (ground.b >> 3)),
              2)
        << file << ": the palette lost the colour";
    for (uint16_t other : shown)
      EXPECT_GE(std::abs((c >> 10) - (other >> 10)) + std::abs((c >> 5 & 31) - (other >> 5 & 31)) +
                    std::abs((c & 31) - (other & 31)),
                8)
          << file << " looks like another bubble";
    shown.push_back(c);
  }
  EXPECT_EQ(shown.size(), 7u);
}

// The world pass's overlays come over the finished frame: the software back end draws its faces
// as the frame ends, and lines drawn before them would be painted over.
TEST(SoftwareDemoLevel, TheTerrainPolygonOverlayShowsOverTheTerrain) {
  DemoScene s;
  ASSERT_TRUE(s.level->IsBuilt());
  CRenderView* view = s.level->World().GetRenderView();
  ASSERT_NE(view, nullptr);
  const uint16_t yellow = (31 << 10) | (31 << 5);  // the overlay's colour in 5-5-5
  auto count = [&]() {
    size_t n = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) n += Pixel(s.back, x, y) == yellow;
    return n;
  };
  s.Draw();
  const size_t without = count();
  view->SetDebugFlags(CSceneDrawInterface::kDebugTerrainPolygons);
  s.Draw();
  EXPECT_GT(count(), without + 5000) << "the level's faces outlined over the terrain";
  view->SetDebugFlags(0);
}
