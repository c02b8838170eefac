// Height fog: block choice by detail, the factor and colour at known heights, invariants over
// random bands, and the colour the render view sends each frame.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/math/ViewFrustum.h"
#include "platform/system/Platform.h"
#include "render/view/RenderView.h"
#include "scene/lighting/FogState.h"
#include "tests/support/RecordingRasterizer.h"
#include "tests/support/TempFolder.h"

namespace {

const char* const kTerrain =
    "heightScale = 4 // not fog\n"
    "lowfog = { fogStartElevation = 1 fogEndElevation = 11 insideFogColor = 10, 20, 30 }\n"
    "medfog = { fogStartElevation = 2 constantFog = true }\n"
    "fog = { fogStartElevation = 3 fogEndElevation = 13 zeroVisibilityDistance = 500\n"
    "        offsetCoefficient = 0.5 offsetCoefficientBG = 0.25 outsideFogColor = 200, 100, 50, 255 }\n";

const Color kInside = Color::FromRGBA(0, 0, 0, 255);
const Color kOutside = Color::FromRGBA(200, 100, 50, 255);

FogState Fog(float start, float end, bool constant = false, Color inside = kInside, Color outside = kOutside) {
  FogSettings s;
  s.startElevation = start;
  s.endElevation = end;
  s.constantFog = constant;
  s.insideColor = inside;
  s.outsideColor = outside;
  FogState fog;
  fog.Set(s);
  return fog;
}

float FactorAt(FogState& fog, float z) {
  fog.UpdateForCamera(Vector3(0, 0, z));
  return fog.factor;
}

}  // namespace

TEST(Fog, BlockChosenByDetailAndSetByTheLevelStep) {
  const struct { const char* text; float detail; float start; } cases[] = {
      {kTerrain, 0.0f, 1}, {kTerrain, 0.01f, 2}, {kTerrain, 0.5f, 2}, {kTerrain, 0.51f, 3},
      {"fog = { fogStartElevation = 7 }", 0.0f, 7}, {"fog = { fogStartElevation = 7 }", 0.3f, 7}};
  for (const auto& c : cases) {
    FogSettings s;
    ASSERT_TRUE(ReadLevelFogSettings(c.text, c.detail, s)) << c.detail;
    EXPECT_EQ(s.startElevation, c.start) << c.detail;
  }
  FogSettings s;
  ASSERT_TRUE(ReadLevelFogSettings(kTerrain, 0.0f, s));
  EXPECT_EQ(s.insideColor, Color::FromRGBA(10, 20, 30, 255));  // a missing channel is 255
  EXPECT_EQ(s.outsideColor.ToWord(), 0xFFFFFFFFu);               // a missing key is white
  EXPECT_FALSE(ReadLevelFogSettings("lowfog = { fogStartElevation = 1 } // fog = { }", 1.0f, s));

  testing_support::TempFolder folder;
  folder.Write("level/terrain.ini", kTerrain);
  FogState fog;
  ASSERT_TRUE(LoadLevelFog(fog, (folder.Path() + "level").c_str(), 1.0f, 2.5f));
  EXPECT_TRUE(fog.enabled);
  EXPECT_EQ(fog.settings.startElevation, 0.5f);  // base height subtracted from both
  EXPECT_EQ(fog.settings.endElevation, 10.5f);

  FogState none;
  plat::DebugSink previous = plat::SetDebugSink([](const char*) {});  // the missing file is logged
  EXPECT_FALSE(LoadLevelFog(none, (folder.Path() + "nowhere").c_str(), 1.0f, 0.0f));
  plat::SetDebugSink(previous);
  EXPECT_FALSE(none.enabled);
}

TEST(Fog, FactorColourAndReciprocalsAtKnownValues) {
  FogState fog = Fog(10, 60);
  fog.settings.offsetCoefficient = 4.0f;
  EXPECT_FLOAT_EQ(FactorAt(fog, 35), 0.5f);
  EXPECT_FLOAT_EQ(fog.offset, 2.0f);
  Color c;
  fog.ComputeColor(c);
  EXPECT_EQ(c, Color::FromRGBA(100, 50, 25, 255));
  EXPECT_EQ(FactorAt(fog, -5), 1.0f);
  EXPECT_EQ(FactorAt(fog, 1000), 0.0f);
  EXPECT_EQ(FactorAt(fog, std::numeric_limits<float>::quiet_NaN()), 1.0f);  // never NaN

  fog = Fog(60, 10);  // end below start: the band fades the other way
  EXPECT_FLOAT_EQ(FactorAt(fog, 35), 0.5f);
  fog = Fog(20, 20);  // equal elevations: no division by zero, a switch within a hair
  EXPECT_EQ(fog.inverseElevationSpan, FogState::kLargeReciprocal);
  EXPECT_EQ(FactorAt(fog, 19.99f), 1.0f);
  EXPECT_EQ(FactorAt(fog, 20.01f), 0.0f);
  fog = Fog(10, 60, true);
  EXPECT_EQ(FactorAt(fog, 1e6f), 1.0f);

  EXPECT_EQ(fog.inverseVisibilityDistance, FogState::kLargeReciprocal);  // distance 0
  fog.SetVisibilityDistance(50.0f);
  EXPECT_EQ(fog.inverseVisibilityDistance, 1.0f / 50.0f);
  fog.SetVisibilityDistance(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(fog.inverseVisibilityDistance, FogState::kLargeReciprocal);
}

// The factor stays in [0, 1] and never rises with height; every colour channel lies between
// its inside and outside values.
TEST(Fog, FactorMonotoneAndColourBetweenEndsOverRandomBands) {
  plat::srand(91);
  auto uniform = [](float lo, float hi) { return lo + (hi - lo) * plat::rand() / float(plat::kRandMax); };
  auto colour = [] { return Color::FromWord(uint32_t(plat::rand()) << 17 ^ uint32_t(plat::rand())); };
  for (int band = 0; band < 200; ++band) {
    const float start = uniform(-100, 100);
    const Color in = colour(), out = colour();
    FogState fog = Fog(start, start + uniform(0.001f, 200), false, in, out);
    float previous = 1.0f;
    for (float z = start - 50; z < fog.settings.endElevation + 50; z += uniform(0.01f, 10)) {
      const float f = FactorAt(fog, z);
      ASSERT_TRUE(f >= 0.0f && f <= previous);
      previous = f;
      Color c;
      fog.ComputeColor(c);
      for (int k = 0; k < 4; ++k)
        ASSERT_TRUE((&c.b)[k] >= std::min((&in.b)[k], (&out.b)[k]) && (&c.b)[k] <= std::max((&in.b)[k], (&out.b)[k]));
    }
  }
}

TEST(Fog, RenderViewSendsTheColourForTheCameraHeight) {
  FogState fog = Fog(10, 60);
  ViewFrustum camera;
  COrientation frame;
  frame.SetPosition(Vector3(5, 5, 35));
  camera.SetFrame(frame);
  RecordingRasterizer r(320, 200);
  CRenderView view;
  view.Setup(&r, &camera, &fog, nullptr, 31);
  ASSERT_TRUE(view.BeginFrame(&camera, CRenderView::FrameViewport::kBackBuffer, CRenderView::FrameBackEnd::kDefault,
                              CRenderView::FrameOutput::kDraw));
  EXPECT_GE(r.IndexOf("SetFogColour(0xFF643219)"), 0);
  EXPECT_LT(r.IndexOf("SetFogColour(0xFF643219)"), r.IndexOf("BeginScene"));
  view.EndFrame();
}
