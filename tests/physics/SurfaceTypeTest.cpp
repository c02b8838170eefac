// Surface types: the table and its fall-backs, the definition-text reader (clamps, refinement,
// write-and-read-back through a file) and mixing against a double-precision reference.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/data/FileBuffer.h"
#include "physics/collision/SurfaceType.h"
#include "tests/physics/PhysicsTestUtil.h"
#include "tests/support/TempFolder.h"

using physics_test::DebugCapture;
using physics_test::Uniform;

namespace {

bool Same(const SurfaceType& a, const SurfaceType& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(SurfaceType, TableFallBacksAndReaderClamps) {
  // Name, static and kinetic friction, bounce, friction and bounce weights, roughness, deformability.
  const char* const kTable[] = {
      "CONCRETE 2 1.5 0.2 1 1 0.001 0",  "SANDSTONE 2 1.5 0.2 1 1 0.001 0",  "GRANITE 2 1.5 0.2 1 1 0.001 0",
      "LOOSE_ROCK .5 .2 .2 5 1 .16 .05", "GRAVEL .5 .2 .2 5 1 .08 .01",      "SAND .5 .2 .2 5 1 .05 .1",
      "DIRT .5 .2 .2 5 1 .08 .01",       "GRASS .5 .2 .2 5 1 .12 .001",      "MUD .3 .01 0 8 1 0 .1",
      "SNOW .5 .01 0 8 1 0 .1",          "ICE .1 .01 .7 10 1 .001 0",        "WOOD .5 .2 .2 1 1 .001 0",
      "METAL_SOLID .8 .5 .2 1 1 .001 0", "METAL_GRATE 1.2 .8 .2 1 1 .001 0", "PLASTIC .5 .2 .2 1 1 .001 0",
      "GLASS .5 .2 .2 1 1 .001 0",       "WATER .5 .2 .2 1 1 .001 0",        "LAVA .5 .2 .2 1 1 .001 0",
      "ENERGY .5 .2 .2 1 1 .001 0",      "DEFAULT_WHEEL 10 .7 .5 8 1 .002 0"};
  ASSERT_EQ(GetSurfaceTypeCount(), 20u);
  // The table holds its values from the start (nothing has to restore it first), and again once restored.
  for (int restored = 0; restored < 2; ++restored) {
    if (restored) SurfaceTypeInit();
    for (uint16_t i = 0; i < 20; ++i) {
      char name[16];
      SurfaceType row{};
      ASSERT_EQ(std::sscanf(kTable[i], "%15s %f %f %f %f %f %f %f", name, &row.staticFriction, &row.kineticFriction,
                            &row.bounceCoefficient, &row.frictionWeight, &row.bounceWeight, &row.roughness,
                            &row.deformability),
                8);
      row.index = i;
      EXPECT_TRUE(Same(*SurfaceType::Get(i), row)) << name << (restored ? " restored" : "");
      EXPECT_STREQ(GetSurfaceTypeName(i), name);
    }
  }
  EXPECT_EQ(SurfaceType::Get(20), SurfaceType::Get(0));
  EXPECT_STREQ(GetSurfaceTypeName(255), "CONCRETE");
  SurfaceType r;
  r.Copy(4000000000u);
  EXPECT_TRUE(Same(r, *SurfaceType::Get(0)));
  r.Read("SurfaceType = grass");
  EXPECT_TRUE(Same(r, *SurfaceType::Get(7)));
  r.Read("SurfaceType = ICE\nBounceCoefficient = 0.9");  // read as the file round trip below checks
  const SurfaceType ice = r;
  DebugCapture log;
  // An unknown name, a key hidden in a comment, a flag without value, a key at the end, non-numbers.
  r.Read("SurfaceType = BASALT // Roughness = 9\nStaticFriction\n"
         "Roughness = nan  BounceWeight = inf  KineticFriction =");
  EXPECT_TRUE(Same(r, ice));
  EXPECT_EQ(log.Text(), "SurfaceType: BounceWeight is not a finite number, ignored\n"
                        "SurfaceType: Roughness is not a finite number, ignored\n");
  r.Read("BounceCoefficient = 1.5  Deformability = 2  StaticFriction = -1  KineticFriction = -0.5  Roughness = -3");
  EXPECT_TRUE(r.bounceCoefficient == 1.0f && r.deformability == 1.0f);
  EXPECT_TRUE(r.staticFriction == 0.0f && r.kineticFriction == 0.0f && r.roughness == 0.0f);
  r.Read("BounceCoefficient = -0.2  FrictionWeight = -4");
  EXPECT_TRUE(r.bounceCoefficient == 0.0f && r.frictionWeight == -4.0f);  // weights are taken as written
}

TEST(SurfaceType, DefinitionTextRoundTripsThroughAFile) {
  plat::srand(21);
  testing_support::TempFolder folder;
  const char* keys[7] = {"StaticFriction", "KineticFriction", "BounceCoefficient", "FrictionWeight",
                         "BounceWeight",   "Roughness",       "Deformability"};
  for (int round = 0; round < 50; ++round) {
    SurfaceType r;
    r.Copy(uint32_t(plat::rand() % 20));
    float* values[7] = {&r.staticFriction, &r.kineticFriction, &r.bounceCoefficient, &r.frictionWeight,
                        &r.bounceWeight,   &r.roughness,       &r.deformability};
    std::string text = "// surface\nSurfaceType = " + std::string(GetSurfaceTypeName(r.index)) + "\n";
    for (int k = 0; k < 7; ++k) {
      if (plat::rand() % 3 == 0) continue;  // absent keys keep the named entry's value
      *values[k] = Uniform(0.0f, k == 2 || k == 6 ? 1.0f : 20.0f);
      char line[96];
      std::snprintf(line, sizeof line, "%s%s= %.9g\n", k % 2 ? "" : "  ", keys[k], double(*values[k]));
      text += line;
    }
    char* buffer = LoadFileToBuffer(folder.Write("surface.txt", text).c_str());
    ASSERT_NE(buffer, nullptr);
    SurfaceType back;
    back.Copy((r.index + 5u) % 20u);
    back.Read(buffer);
    FreeFileBuffer(buffer);
    EXPECT_TRUE(Same(back, r)) << text;
  }
}

double Reference(double a, double wa, double b, double wb) { return (wa * a + wb * b) / (wa + wb); }

TEST(SurfaceType, MixingIsTheWeightedMeanAndStaysBetweenTheTwo) {
  for (uint32_t i = 0; i < 20; ++i) {
    const SurfaceType& a = *SurfaceType::Get(i);
    for (uint32_t j = 0; j < 20; ++j) {
      const SurfaceType& b = *SurfaceType::Get(j);
      const SurfaceMix m = SurfaceType::Mix(a, b);
      const float wa = a.frictionWeight, wb = b.frictionWeight;
      EXPECT_NEAR(m.staticFriction, Reference(a.staticFriction, wa, b.staticFriction, wb), 1e-5);
      EXPECT_NEAR(m.kineticFriction, Reference(a.kineticFriction, wa, b.kineticFriction, wb), 1e-5);
      EXPECT_NEAR(m.bounce, Reference(a.bounceCoefficient, a.bounceWeight, b.bounceCoefficient, b.bounceWeight), 1e-6);
    }
  }
  SurfaceType light, heavy;
  light.Copy(0);
  heavy.Copy(10);
  light.frictionWeight = 0.0f;
  heavy.frictionWeight = 1.0f;
  const SurfaceMix m = SurfaceType::Mix(light, heavy);
  EXPECT_TRUE(m.staticFriction == heavy.staticFriction && m.kineticFriction == heavy.kineticFriction);
  EXPECT_EQ(SurfaceType::WeightedMean(2.0f, 0.0f, 1.0f, 0.0f), 1.5f);   // no weight anywhere: plain mean
  EXPECT_EQ(SurfaceType::WeightedMean(2.0f, -1.0f, 1.0f, 1.0f), 1.0f);  // would cancel to 0
  plat::srand(22);
  for (int i = 0; i < 1000; ++i) {
    const float a = Uniform(0.0f, 10.0f), b = Uniform(0.0f, 10.0f);
    const float mean = SurfaceType::WeightedMean(a, Uniform(-5.0f, 5.0f), b, Uniform(-5.0f, 5.0f));
    EXPECT_TRUE(mean >= std::fmin(a, b) - 1e-5f && mean <= std::fmax(a, b) + 1e-5f) << a << " " << b;
  }
}

}  // namespace
