// The demo level drawn by the software back end through the render view and the world's scene
// pass: textured terrain, lit by the level's own lights and fogged by its medium-detail fog, from
// a camera at one corner looking across the park. The frame is compared whole with
// golden/demolevel.bmp, which was looked at before it was kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/math/Octree.h"
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

namespace {

// x1r5g5b5 colours, channel by channel.
int ColourDistance(uint16_t a, uint16_t b) {
  int d = 0;
  for (int shift : {10, 5, 0}) d = std::max(d, std::abs((a >> shift & 31) - (b >> shift & 31)));
  return d;
}

// The colours of a frame's drawn pixels (the clear colour is black), most frequent first.
std::vector<std::pair<uint16_t, int>> DrawnColours(CSoftwareRasterizer& r, int width, int height) {
  std::map<uint16_t, int> counts;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (const uint16_t c = Pixel(r, x, y)) ++counts[c];
  std::vector<std::pair<uint16_t, int>> sorted(counts.begin(), counts.end());
  std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  return sorted;
}

// The most frequent colour of a texture's opaque texels, cut to five bits a channel.
uint16_t MainColour(const CTexture& t) {
  std::map<uint16_t, int> counts;
  const uint32_t* p = reinterpret_cast<const uint32_t*>(t.GetLevel(0));
  for (uint32_t i = 0; i < t.width * t.height; ++i)
    if (p[i] >> 24 == 255) ++counts[static_cast<uint16_t>((p[i] >> 9 & 0x7C00) | (p[i] >> 6 & 0x3E0) | (p[i] >> 3 & 0x1F))];
  return std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) { return a.second < b.second; })
      ->first;
}

}  // namespace

// The demo's thought bubbles as the park draws them - a white sprite of size 0.3 facing up the
// screen under the orthographic park camera - with the palette and the copies of the level's
// software texture cache at the detail the default settings ask for. Far off, where each of the
// sprite's two triangles is filled with one texel, a bubble shows the colour of its need; close up
// it shows its picture; either way no two bubbles look alike and the colours are the pictures'.
TEST(SoftwareDemoLevel, ThoughtBubblesKeepTheirOwnColoursFarOffAndTheirPicturesCloseUp) {
  DebugCapture log;
  testing_support::TempFolder folder;
  const std::string data = folder.MakeFolder("data");
  folder.MakeFolder(std::string("data/") + DemoContent::kLevelFolder);
  ASSERT_TRUE(DemoContent::WriteImages(data) && DemoContent::WriteBoarder(data) && DemoContent::WriteLevelTextures(data) &&
              DemoContent::WriteSoftwareTextureCache(data));
  CSoftwareTextureStore store;
  log.Clear();
  ASSERT_TRUE(store.LoadCached((data + "/" + DemoContent::kLevelFolder + "/").c_str(), 1)) << log.Text();
  EXPECT_EQ(log.Text(), "");
  CSoftwareRasterizer back{&store};
  constexpr int kSide = 64;
  DisplayMode mode;
  mode.width = kSide, mode.height = kSide, mode.bits = 16, mode.fullScreen = 1;
  ASSERT_TRUE(back.Init(nullptr, mode));
  back.SetClipping(true);
  COctree tree{Box(Vector3(-100, -100, -100), Vector3(100, 100, 100))};
  LightList lights{&tree};
  FogState fog;
  ViewFrustum camera;
  camera.SetOrthographic();
  CRenderView view;
  view.Setup(&back, &camera, &fog, &lights, 1);

  struct Look {
    uint16_t far, ground, sign;
  };
  std::vector<Look> looks;
  for (const std::string& file : DemoContent::ImageFiles()) {
    if (file.find("thoughtbubbles/") == std::string::npos) continue;
    SCOPED_TRACE(file);
    CTexture bubble;  // as the resource table loads a Targa file
    ASSERT_TRUE(bubble.LoadTarga((data + "/" + file).c_str(), CTexture::kMipMapped | CTexture::kPowerOfTwo));
    auto draw = [&](float orthoWidth) {
      camera.SetOrthoWidth(orthoWidth);
      EXPECT_TRUE(view.BeginFrame(&camera, CRenderView::FrameViewport::kBackBuffer,
                                  CRenderView::FrameBackEnd::kDefault, CRenderView::FrameOutput::kDraw));
      view.Clear(true, true, 0);
      view.DrawDirectedSprite(Vector3(10, 0, 0), Vector2(0, -1), 0.3f, &bubble, 0xFFFFFFFFu);
      view.FlushSortedQueue();
      view.EndFrame();
      return DrawnColours(back, kSide, kSide);
    };
    // About five pixels across, as in the park: one colour.
    const auto far = draw(8.0f);
    ASSERT_EQ(far.size(), 1u);
    EXPECT_GE(far[0].second, 9);
    // About forty across: the ground, then the sign; together most of the bubble.
    const auto close = draw(1.0f);
    ASSERT_GE(close.size(), 3u);
    int drawn = 0;
    for (const auto& c : close) drawn += c.second;
    EXPECT_GE(close[1].second * 20, drawn) << "the sign is too small to see";
    EXPECT_GE((close[0].second + close[1].second) * 10, drawn * 7);
    EXPECT_EQ(far[0].first, close[0].first) << "far off, the bubble is the colour of its ground";
    EXPECT_LE(ColourDistance(close[0].first, MainColour(bubble)), 1) << "the palette lost the ground's colour";
    looks.push_back({far[0].first, close[0].first, close[1].first});
  }
  ASSERT_EQ(looks.size(), 7u);
  for (size_t a = 0; a < looks.size(); ++a)
    for (size_t b = a + 1; b < looks.size(); ++b) {
      EXPECT_GE(ColourDistance(looks[a].far, looks[b].far), 6) << a << " and " << b << " look alike far off";
      EXPECT_FALSE(looks[a].ground == looks[b].ground && looks[a].sign == looks[b].sign) << a << " and " << b;
    }
}
