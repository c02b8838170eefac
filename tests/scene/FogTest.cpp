// Tests of the height fog: block choice by detail from terrain.ini texts and files, the fog
// factor and colour at known heights, its invariants over random heights, and the colour the
// render view hands the back end each frame.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "core/math/ViewFrustum.h"
#include "platform/Platform.h"
#include "render/RenderView.h"
#include "scene/FogState.h"
#include "tests/support/RecordingRasterizer.h"
#include "tests/support/TempFolder.h"

namespace {

const char* const kTerrain =
    "// level terrain\n"
    "heightScale = 4\n"
    "lowfog = {\n  fogStartElevation = 1\n  fogEndElevation = 11\n  insideFogColor = 10, 20, 30\n}\n"
    "medfog = {\n  fogStartElevation = 2\n  fogEndElevation = 12\n  constantFog = true\n}\n"
    "fog = {\n  fogStartElevation = 3  fogEndElevation = 13\n  zeroVisibilityDistance = 500\n"
    "  offsetCoefficient = 0.5  offsetCoefficientBG = 0.25\n"
    "  insideFogColor = 0, 0, 0, 255\n  outsideFogColor = 200, 100, 50, 255\n}\n";

FogSettings Settings(float start, float end, Color inside, Color outside, bool constant = false) {
  FogSettings s;
  s.startElevation = start;
  s.endElevation = end;
  s.insideColor = inside;
  s.outsideColor = outside;
  s.constantFog = constant ? 1 : 0;
  return s;
}

float FactorAt(FogState& fog, float z) {
  fog.UpdateForCamera(Vector3(0, 0, z));
  return fog.factor;
}

}  // namespace

TEST(FogSettings, BlockChosenByDetailAndKeysDefaulted) {
  FogSettings s;
  ASSERT_TRUE(ReadLevelFogSettings(kTerrain, 0.0f, s));
  EXPECT_EQ(s.startElevation, 1.0f);
  EXPECT_EQ(s.insideColor, Color::FromRGBA(10, 20, 30, 255));  // a missing channel is 255
  EXPECT_EQ(s.outsideColor.ToWord(), 0xFFFFFFFFu);               // a missing key is white
  EXPECT_EQ(s.constantFog, 0);
  EXPECT_EQ(s.zeroVisibilityDistance, 0.0f);

  for (float detail : {0.01f, 0.5f}) {
    ASSERT_TRUE(ReadLevelFogSettings(kTerrain, detail, s));
    EXPECT_EQ(s.startElevation, 2.0f) << detail;
    EXPECT_EQ(s.constantFog, 1);
    EXPECT_EQ(s.insideColor.ToWord(), 0xFFFFFFFFu);  // nothing left over from an earlier read
  }
  ASSERT_TRUE(ReadLevelFogSettings(kTerrain, 0.51f, s));
  EXPECT_EQ(s.startElevation, 3.0f);
  EXPECT_EQ(s.endElevation, 13.0f);
  EXPECT_EQ(s.zeroVisibilityDistance, 500.0f);
  EXPECT_EQ(s.offsetCoefficient, 0.5f);
  EXPECT_EQ(s.offsetCoefficientBG, 0.25f);
  EXPECT_EQ(s.outsideColor, Color::FromRGBA(200, 100, 50, 255));

  // A missing detail block falls back to "fog"; with no fog block at all nothing is read.
  const std::string onlyFog = "fog = { fogStartElevation = 7 }";
  ASSERT_TRUE(ReadLevelFogSettings(onlyFog.c_str(), 0.0f, s));
  EXPECT_EQ(s.startElevation, 7.0f);
  ASSERT_TRUE(ReadLevelFogSettings(onlyFog.c_str(), 0.3f, s));
  EXPECT_EQ(s.startElevation, 7.0f);
  EXPECT_FALSE(ReadLevelFogSettings("lowfog = { fogStartElevation = 1 }", 1.0f, s));
  EXPECT_FALSE(ReadLevelFogSettings("fogStartElevation = 1 // fog = { }", 1.0f, s));
  EXPECT_FALSE(ReadLevelFogSettings(nullptr, 1.0f, s));
}

TEST(FogState, LevelStepSubtractsBaseHeightOrLeavesFogOff) {
  testing_support::TempFolder folder;
  folder.Write("level/terrain.ini", kTerrain);
  FogState fog;
  EXPECT_FALSE(fog.enabled);
  ASSERT_TRUE(LoadLevelFog(fog, (folder.Path() + "level").c_str(), 1.0f, 2.5f));
  EXPECT_TRUE(fog.enabled);
  EXPECT_EQ(fog.settings.startElevation, 0.5f);
  EXPECT_EQ(fog.settings.endElevation, 10.5f);
  EXPECT_FLOAT_EQ(fog.inverseElevationSpan, 0.1f);
  EXPECT_FLOAT_EQ(fog.inverseVisibilityDistance, 1.0f / 500.0f);

  FogState none;
  plat::DebugSink previous = plat::SetDebugSink([](const char*) {});  // the missing file is logged
  EXPECT_FALSE(LoadLevelFog(none, (folder.Path() + "nowhere").c_str(), 1.0f, 0.0f));
  plat::SetDebugSink(previous);
  EXPECT_FALSE(ApplyLevelFog(none, "sky = { }", 1.0f, 0.0f));
  EXPECT_FALSE(none.enabled);
  none.UpdateForCamera(Vector3(0, 0, -100));  // fog off: nothing is computed
  EXPECT_EQ(none.factor, 0.0f);
}

TEST(FogState, FactorAndColourAtKnownHeights) {
  const Color inside = Color::FromRGBA(0, 0, 0, 255);
  const Color outside = Color::FromRGBA(200, 100, 50, 255);
  FogState fog;
  fog.Set(Settings(10, 60, inside, outside));
  fog.settings.offsetCoefficient = 4.0f;
  fog.settings.offsetCoefficientBG = 2.0f;
  EXPECT_FLOAT_EQ(FactorAt(fog, 35), 0.5f);
  EXPECT_FLOAT_EQ(fog.offset, 2.0f);
  EXPECT_FLOAT_EQ(fog.offsetBG, 1.0f);
  Color c;
  fog.ComputeColor(c);
  EXPECT_EQ(c, Color::FromRGBA(100, 50, 25, 255));

  EXPECT_EQ(FactorAt(fog, -5), 1.0f);
  fog.ComputeColor(c);
  EXPECT_EQ(c, inside);
  EXPECT_EQ(FactorAt(fog, 1000), 0.0f);
  fog.ComputeColor(c);
  EXPECT_EQ(c, outside);

  // An upside-down band (end below start) fades the other way.
  fog.Set(Settings(60, 10, inside, outside));
  EXPECT_FLOAT_EQ(FactorAt(fog, 35), 0.5f);
  EXPECT_EQ(FactorAt(fog, 70), 1.0f);

  // Equal elevations: no division by zero, the fog switches within a hair of that height.
  fog.Set(Settings(20, 20, inside, outside));
  EXPECT_EQ(fog.inverseElevationSpan, FogState::kLargeReciprocal);
  EXPECT_EQ(FactorAt(fog, 19.99f), 1.0f);
  EXPECT_EQ(FactorAt(fog, 20.01f), 0.0f);
  EXPECT_TRUE(std::isfinite(FactorAt(fog, 20.0f)));

  // Constant fog ignores the height; a NaN height never reaches the colour as NaN.
  fog.Set(Settings(10, 60, inside, outside, true));
  EXPECT_EQ(FactorAt(fog, 1e6f), 1.0f);
  fog.Set(Settings(10, 60, inside, outside));
  EXPECT_EQ(FactorAt(fog, std::numeric_limits<float>::quiet_NaN()), 1.0f);
}

TEST(FogState, VisibilityReciprocalsNeverDivideByZero) {
  FogState fog;
  FogSettings s;
  for (float d : {0.0f, -3.0f}) {
    s.zeroVisibilityDistance = d;
    fog.Set(s);
    EXPECT_EQ(fog.inverseVisibilityDistance, FogState::kLargeReciprocal) << d;
  }
  for (float d : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
    fog.SetVisibilityDistance(d);
    EXPECT_EQ(fog.inverseVisibilityDistance, FogState::kLargeReciprocal) << d;
  }
  fog.SetVisibilityDistance(250.0f);
  EXPECT_FLOAT_EQ(fog.inverseVisibilityDistance, 0.004f);
  EXPECT_EQ(fog.settings.zeroVisibilityDistance, 250.0f);
}

// Over random bands, colours and heights: the factor stays in [0, 1], never rises with height
// in a normal band, and every colour channel lies between its inside and outside values.
TEST(FogState, FactorMonotoneAndColourBetweenEndsOverRandomHeights) {
  plat::srand(91);
  auto uniform = [](float lo, float hi) { return lo + (hi - lo) * plat::rand() / float(plat::kRandMax); };
  auto byte = [] { return static_cast<uint8_t>(plat::rand() & 0xFF); };
  for (int band = 0; band < 200; ++band) {
    const float start = uniform(-100, 100);
    const float end = start + uniform(0.001f, 200);
    const Color inside = Color::FromRGBA(byte(), byte(), byte(), byte());
    const Color outside = Color::FromRGBA(byte(), byte(), byte(), byte());
    FogState fog;
    fog.Set(Settings(start, end, inside, outside));
    float previous = 1.0f;
    for (float z = start - 50; z < end + 50; z += uniform(0.01f, 10)) {
      const float f = FactorAt(fog, z);
      ASSERT_GE(f, 0.0f);
      ASSERT_LE(f, previous);
      previous = f;
      Color c;
      fog.ComputeColor(c);
      const uint8_t* got = &c.b;
      const uint8_t* in = &inside.b;
      const uint8_t* out = &outside.b;
      for (int k = 0; k < 4; ++k) {
        ASSERT_GE(got[k], std::min(in[k], out[k]));
        ASSERT_LE(got[k], std::max(in[k], out[k]));
      }
    }
  }
}

TEST(FogState, RenderViewSendsTheColourForTheCameraHeight) {
  FogState fog;
  fog.Set(Settings(10, 60, Color::FromRGBA(0, 0, 0, 255), Color::FromRGBA(200, 100, 50, 255)));
  ViewFrustum camera;
  COrientation frame;
  frame.SetPosition(Vector3(5, 5, 35));
  camera.SetFrame(frame);
  RecordingRasterizer r(320, 200);
  CRenderView view;
  view.Setup(&r, &camera, &fog, nullptr, 31);
  r.Forget();
  ASSERT_TRUE(view.BeginFrame(&camera, 0, 0, 1));
  EXPECT_FLOAT_EQ(fog.factor, 0.5f);
  EXPECT_GE(r.IndexOf("SetFogColour(0xFF643219)"), 0);
  EXPECT_LT(r.IndexOf("SetFogColour(0xFF643219)"), r.IndexOf("BeginScene"));
  view.EndFrame();

  // Fog off still sets a colour (the outside one, at factor 0).
  FogState off;
  view.SetScene(&off, nullptr);
  r.Forget();
  ASSERT_TRUE(view.BeginFrame(&camera, 0, 0, 1));
  EXPECT_GE(r.IndexOf("SetFogColour(0xFFFFFFFF)"), 0);
  view.EndFrame();
}
