// Surface types: the table and its fall-backs, the definition-text reader (clamps, refinement,
// a write-and-read-back round trip through a file) and mixing against a double-precision reference.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "core/math/FileBuffer.h"
#include "physics/SurfaceType.h"
#include "tests/physics/PhysicsTestUtil.h"
#include "tests/support/TempFolder.h"

using physics_test::DebugCapture;
using physics_test::Uniform;

namespace {

bool SameRecord(const SurfaceType& a, const SurfaceType& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(SurfaceType, TableEntriesAndFallBacks) {
  SurfaceTypeInit();
  ASSERT_EQ(GetSurfaceTypeCount(), 20u);
  std::set<std::string> names;
  for (uint32_t i = 0; i < 20; ++i) {
    EXPECT_EQ(SurfaceType::Get(i)->index, i);
    EXPECT_EQ(SurfaceType::Get(i)->spare, 0);
    names.insert(GetSurfaceTypeName(i));
  }
  EXPECT_EQ(names.size(), 20u);
  const SurfaceType* ice = SurfaceType::Get(10);
  EXPECT_STREQ(GetSurfaceTypeName(10), "ICE");
  EXPECT_EQ(ice->staticFriction, 0.1f);
  EXPECT_EQ(ice->bounceCoefficient, 0.7f);
  EXPECT_EQ(ice->frictionWeight, 10.0f);
  const SurfaceType* wheel = SurfaceType::Get(19);
  EXPECT_STREQ(GetSurfaceTypeName(19), "DEFAULT_WHEEL");
  EXPECT_EQ(wheel->staticFriction, 10.0f);
  EXPECT_EQ(wheel->roughness, 0.002f);
  EXPECT_EQ(SurfaceType::Get(20), SurfaceType::Get(0));
  EXPECT_STREQ(GetSurfaceTypeName(255), "CONCRETE");
  SurfaceType r;
  r.Copy(12);
  EXPECT_TRUE(SameRecord(r, *SurfaceType::Get(12)));
  r.Copy(4000000000u);
  EXPECT_TRUE(SameRecord(r, *SurfaceType::Get(0)));
}

TEST(SurfaceType, ReadRefinesANamedMaterialAndClamps) {
  SurfaceType r;
  r.Copy(0);
  r.Read("SurfaceType = grass");
  EXPECT_TRUE(SameRecord(r, *SurfaceType::Get(7)));
  r.Read("SurfaceType = ICE\nBounceCoefficient = 0.9");
  EXPECT_EQ(r.index, 10);
  EXPECT_EQ(r.staticFriction, 0.1f);
  EXPECT_EQ(r.bounceCoefficient, 0.9f);
  const SurfaceType before = r;
  r.Read("SurfaceType = BASALT");  // unknown name
  EXPECT_TRUE(SameRecord(r, before));
  r.Read("density = 3 // StaticFriction = 9");  // no surface key (one hidden in a comment)
  EXPECT_TRUE(SameRecord(r, before));
  r.Read("BounceCoefficient = 1.5  Deformability = 2  StaticFriction = -1  KineticFriction = -0.5  Roughness = -3");
  EXPECT_EQ(r.bounceCoefficient, 1.0f);
  EXPECT_EQ(r.deformability, 1.0f);
  EXPECT_EQ(r.staticFriction, 0.0f);
  EXPECT_EQ(r.kineticFriction, 0.0f);
  EXPECT_EQ(r.roughness, 0.0f);
  r.Read("BounceCoefficient = -0.2  FrictionWeight = -4  BounceWeight = 0");
  EXPECT_EQ(r.bounceCoefficient, 0.0f);
  EXPECT_EQ(r.frictionWeight, -4.0f);  // weights are taken as written
  EXPECT_EQ(r.bounceWeight, 0.0f);
  r.spare = 77;
  r.Read("");
  EXPECT_EQ(r.spare, 0);
}

TEST(SurfaceType, KeysWithoutAUsableValueKeepTheRecord) {
  SurfaceType r;
  r.Copy(3);
  const SurfaceType before = r;
  DebugCapture log;
  r.Read("StaticFriction\nKineticFriction =");  // a flag, and a key at the very end
  EXPECT_TRUE(SameRecord(r, before));
  r.Read("Roughness = nan  BounceWeight = inf  FrictionWeight = -inf");
  EXPECT_TRUE(SameRecord(r, before));
  EXPECT_EQ(log.Text(),
            "SurfaceType: FrictionWeight is not a finite number, ignored\n"
            "SurfaceType: BounceWeight is not a finite number, ignored\n"
            "SurfaceType: Roughness is not a finite number, ignored\n");
}

TEST(SurfaceType, DefinitionTextRoundTripsThroughAFile) {
  plat::srand(21);
  testing_support::TempFolder folder;
  const char* keys[7] = {"StaticFriction", "KineticFriction", "BounceCoefficient", "FrictionWeight",
                         "BounceWeight",   "Roughness",       "Deformability"};
  for (int round = 0; round < 50; ++round) {
    SurfaceType r;
    r.Copy(static_cast<uint32_t>(plat::rand() % 20));
    float* values[7] = {&r.staticFriction, &r.kineticFriction, &r.bounceCoefficient, &r.frictionWeight,
                        &r.bounceWeight,   &r.roughness,       &r.deformability};
    std::string text = "// surface\nSurfaceType = " + std::string(GetSurfaceTypeName(r.index)) + "\n";
    for (int k = 0; k < 7; ++k) {
      if (plat::rand() % 3 == 0) continue;  // absent keys must keep the named entry's value
      const bool unit = k == 2 || k == 6;
      *values[k] = unit ? Uniform(0.0f, 1.0f) : Uniform(0.0f, 20.0f);
      char line[96];
      std::snprintf(line, sizeof line, "%s%s= %.9g\n", k % 2 ? "" : "  ", keys[k], double(*values[k]));
      text += line;
    }
    const std::string path = folder.Write("surface.txt", text);
    char* buffer = LoadFileToBuffer(path.c_str());
    ASSERT_NE(buffer, nullptr);
    SurfaceType back;
    back.Copy((r.index + 5u) % 20u);
    back.Read(buffer);
    FreeFileBuffer(buffer);
    EXPECT_TRUE(SameRecord(back, r)) << text;
  }
}

double Reference(double a, double wa, double b, double wb) { return (wa * a + wb * b) / (wa + wb); }

TEST(SurfaceType, MixingFollowsTheWeightedMean) {
  for (uint32_t i = 0; i < 20; ++i) {
    const SurfaceType& a = *SurfaceType::Get(i);
    const SurfaceMix self = SurfaceType::Mix(a, a);
    EXPECT_EQ(self.staticFriction, a.staticFriction);
    EXPECT_EQ(self.kineticFriction, a.kineticFriction);
    EXPECT_EQ(self.bounce, a.bounceCoefficient);
    for (uint32_t j = 0; j < 20; ++j) {
      const SurfaceType& b = *SurfaceType::Get(j);
      const SurfaceMix m = SurfaceType::Mix(a, b);
      EXPECT_NEAR(m.staticFriction,
                  Reference(a.staticFriction, a.frictionWeight, b.staticFriction, b.frictionWeight), 1e-5);
      EXPECT_NEAR(m.kineticFriction,
                  Reference(a.kineticFriction, a.frictionWeight, b.kineticFriction, b.frictionWeight), 1e-5);
      EXPECT_NEAR(m.bounce, Reference(a.bounceCoefficient, a.bounceWeight, b.bounceCoefficient, b.bounceWeight),
                  1e-6);
      EXPECT_FLOAT_EQ(m.roughness, (a.roughness + b.roughness) * 0.02f);
    }
  }
  SurfaceType light, heavy;
  light.Copy(0);
  heavy.Copy(10);
  light.frictionWeight = 0.0f;
  heavy.frictionWeight = 1.0f;
  EXPECT_EQ(SurfaceType::Mix(light, heavy).staticFriction, heavy.staticFriction);
  EXPECT_EQ(SurfaceType::Mix(light, heavy).kineticFriction, heavy.kineticFriction);
}

TEST(SurfaceType, MixingWithoutUsableWeightsStaysBetweenTheTwo) {
  EXPECT_EQ(SurfaceType::WeightedMean(2.0f, 0.0f, 1.0f, 0.0f), 1.5f);    // no weight anywhere: plain mean
  EXPECT_EQ(SurfaceType::WeightedMean(2.0f, -1.0f, 1.0f, 1.0f), 1.0f);   // would cancel to 0
  EXPECT_EQ(SurfaceType::WeightedMean(2.0f, 3.0f, 1.0f, -2.0f), 2.0f);   // would extrapolate past 2
  plat::srand(22);
  for (int i = 0; i < 1000; ++i) {
    const float a = Uniform(0.0f, 10.0f), b = Uniform(0.0f, 10.0f);
    const float m = SurfaceType::WeightedMean(a, Uniform(-5.0f, 5.0f), b, Uniform(-5.0f, 5.0f));
    EXPECT_GE(m, std::fmin(a, b) - 1e-5f);
    EXPECT_LE(m, std::fmax(a, b) + 1e-5f);
  }
}

}  // namespace
