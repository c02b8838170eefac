// Light kinds, the light record reader and the level's light steps, checked at known points.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/world/GameWorld.h"
#include "core/spatial/Octree.h"
#include "platform/system/Platform.h"
#include "scene/lighting/AmbientLight.h"
#include "scene/lighting/DirectionalLight.h"
#include "scene/lighting/LevelLights.h"
#include "scene/lighting/LightList.h"
#include "scene/lighting/LightRecord.h"
#include "scene/lighting/PointLight.h"
#include "scene/lighting/SpotLight.h"
#include "tests/support/MathCompare.h"
#include "tests/support/TempFolder.h"

using testing_support::DebugCapture;
using testing_support::ElementsNear;

namespace {

const COrientation kIdentity;

float Influence(CLight& light, const Vector3& p, COctree* tree = nullptr) {
  return light.ComputeInfluence(p.x, p.y, p.z, tree, light.GetTransform(), 0, 1024);
}

Vector3 Contribution(const CLight& light, const Vector3& normal, const Vector3& p) {
  Vector3 out;
  light.GetContribution(out, normal, p, light.GetTransform());
  return out;
}

// A box that stops shadow rays.
class Blocker : public CBoundedObject {
 public:
  explicit Blocker(const Box& box) {
    SetBounds(box);
    SetBoundFlags(kCastsShadows);
  }
};

}  // namespace

TEST(Light, PointLightRangeFalloffAndFacing) {
  // Unbounded: range from the brightest channel, inner radius cut to it: a hard edge at 20.
  CPointLight soft(2.0f, 1.0f, 0.5f, 0, 0, 0, 0, 0.0f, 0.0f, 1);
  EXPECT_FLOAT_EQ(Influence(soft, Vector3(0, 20.0f, 0)), 1.0f);
  EXPECT_FLOAT_EQ(Influence(soft, Vector3(0, 20.1f, 0)), 0.0f);

  // Bounded: full to 2, then linear in the squared distance to 10.
  CPointLight lamp(1.0f, 0.5f, 0.25f, 1, 2, 3, CLight::kBounded, 10.0f, 2.0f, 1);
  EXPECT_FLOAT_EQ(Influence(lamp, Vector3(2, 2, 3)), 1.0f);
  const float d = 6.0f;
  EXPECT_NEAR(Influence(lamp, Vector3(1, 2 + d, 3)), 1.0f - (d * d - 4.0f) / (100.0f - 4.0f), 1e-6f);
  // Surface 6 below-left of the light facing it: factor -(n.L) / approx |L| = 6 / 6.
  Influence(lamp, Vector3(1, 2, 3 - 6.0f));
  const float inf = lamp.GetInfluence();
  EXPECT_PRED_FORMAT3(ElementsNear, Contribution(lamp, Vector3(0, 0, 1), Vector3(1, 2, -3)),
                      Vector3(inf, 0.5f * inf, 0.25f * inf), 1e-5f);
  // Facing away: black even at full influence.
  lamp.SetInfluence(1.0f);
  EXPECT_PRED_FORMAT3(ElementsNear, Contribution(lamp, Vector3(0, 0, -1), Vector3(1, 2, -3)), Vector3(0, 0, 0), 1e-5f);
  // Mode 2 uses the true squared length; mode 3 the cube of the approximate length.
  CPointLight sq(1, 1, 1, 0, 0, 0, CLight::kBounded, 10.0f, 0.0f, 2);
  sq.SetInfluence(1.0f);
  EXPECT_PRED_FORMAT3(ElementsNear, Contribution(sq, Vector3(-1, 0, 0), Vector3(2, 0, 0)), Vector3(0.5f, 0.5f, 0.5f),
                      1e-5f);
  CPointLight cube(1, 1, 1, 0, 0, 0, CLight::kBounded, 10.0f, 0.0f, 3);
  cube.SetInfluence(1.0f);
  EXPECT_PRED_FORMAT3(ElementsNear, Contribution(cube, Vector3(-1, 0, 0), Vector3(2, 0, 0)),
                      Vector3(0.25f, 0.25f, 0.25f), 1e-5f);
  // A surface point on the light itself has no direction: black, not a division by zero.
  for (CPointLight* l : {&lamp, &sq, &cube}) {
    const Vector3 at = l->GetTransform().GetPosition();
    const Vector3 c = Contribution(*l, Vector3(0, 0, 1), at);
    EXPECT_PRED_FORMAT3(ElementsNear, c, Vector3(0, 0, 0), 1e-5f);
  }
}

TEST(Light, DirectionalCylinderAndUnboundedReach) {
  CDirectionalLight sun(1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_FLOAT_EQ(Influence(sun, Vector3(99999.0f, 500.0f, -700.0f)), 1.0f);
  EXPECT_FLOAT_EQ(Influence(sun, Vector3(-0.01f, 0, 0)), 0.0f);  // behind the start plane
  // Contribution: colour x -(X . n) x influence.
  Influence(sun, Vector3(5, 0, 0));
  EXPECT_PRED_FORMAT3(ElementsNear, Contribution(sun, Vector3(-0.6f, 0.8f, 0), Vector3(5, 0, 0)),
                      Vector3(0.6f, 0.6f, 0.6f), 1e-5f);
  EXPECT_PRED_FORMAT3(ElementsNear, Contribution(sun, Vector3(1, 0, 0), Vector3(5, 0, 0)), Vector3(0, 0, 0), 1e-5f);

  // Bounded along +Y from (10, 0, 0): length 10 (full to 4), radius 2 (full to 1).
  CDirectionalLight beam(1, 0.5f, 0, 10, 0, 0, 0, 1, 0, CLight::kBounded, 10.0f, 4.0f, 2.0f, 1.0f);
  EXPECT_FLOAT_EQ(Influence(beam, Vector3(10, 3, 0.5f)), 1.0f);
  EXPECT_NEAR(Influence(beam, Vector3(10, 7, 0)), 0.5f, 1e-6f);           // halfway along the axial fade
  EXPECT_NEAR(Influence(beam, Vector3(11.5f, 2, 0)), 0.5f, 1e-6f);        // halfway along the radial fade
  EXPECT_NEAR(Influence(beam, Vector3(11.5f, 7, 0)), 0.25f, 1e-6f);       // both
  EXPECT_FLOAT_EQ(Influence(beam, Vector3(10, 10.5f, 0)), 0.0f);
  EXPECT_FLOAT_EQ(Influence(beam, Vector3(12.5f, 1, 0)), 0.0f);
  // The box covers both ends of the cylinder.
  EXPECT_TRUE(beam.GetBounds().ContainsBox(Box(Vector3(8, -2, -2), Vector3(12, 12, 2))));
  // A negative radius is no radius: nothing off the axis is lit.
  CDirectionalLight thin(1, 1, 1, 10, 0, 0, 0, 1, 0, CLight::kBounded, 10.0f, 4.0f, -2.0f, 1.0f);
  EXPECT_FLOAT_EQ(Influence(thin, Vector3(10.5f, 3, 0)), 0.0f);
}

TEST(Light, SpotConeAnglesAndAxialFade) {
  COrientation frame;  // looks along +X from the origin
  CSpotLight spot(1, 1, 1, frame, 10.0f, 2.0f, 90.0f, 45.0f, 1, 0);
  EXPECT_FLOAT_EQ(Influence(spot, Vector3(1.5f, 0, 0)), 1.0f);
  // 30 degrees off the axis, inside the inner radius: angle fade only.
  const float ang = 0.5235988f;
  EXPECT_NEAR(Influence(spot, Vector3(std::cos(ang), std::sin(ang), 0)),
              1.0f - (ang - 0.3926991f) / 0.3926991f, 1e-5f);
  // On the axis at 6: axial fade (6 - 2) / (10 - 2).
  EXPECT_NEAR(Influence(spot, Vector3(6, 0, 0)), 0.5f, 1e-6f);
  EXPECT_FLOAT_EQ(Influence(spot, Vector3(10.5f, 0, 0)), 0.0f);
  EXPECT_FLOAT_EQ(Influence(spot, Vector3(1, 1.1f, 0)), 0.0f);  // outside the cone
  EXPECT_FLOAT_EQ(Influence(spot, Vector3(0, 0, 0)), 0.0f);     // the light's own position
  EXPECT_FLOAT_EQ(Influence(spot, Vector3(-3, 0, 0)), 0.0f);

  // Outer 200 becomes 179; an inner angle past it becomes it: hard edge.
  CSpotLight wide(1, 1, 1, frame, 10.0f, 0.0f, 200.0f, 300.0f, 1, 0);
  EXPECT_FLOAT_EQ(Influence(wide, Vector3(0.1f, 1, 0)), 1.0f - 0.1f / 10.0f);  // 84 degrees off
  // The box contains the cone's tip and its far cap.
  EXPECT_TRUE(spot.GetBounds().ContainsBox(Box(Vector3(0, -10, -10), Vector3(10, 10, 10))));
  // A negative range reaches nowhere: no light on the axis, and a box that is the light's position.
  CSpotLight none(1, 1, 1, frame, -5.0f, 3.0f, 90.0f, 45.0f, 1, 0);
  EXPECT_EQ(Influence(none, Vector3(0.5f, 0, 0)), 0.0f);
  EXPECT_TRUE(none.GetBounds().min == Vector3(0, 0, 0) && none.GetBounds().max == Vector3(0, 0, 0));

  // Contribution uses the axial distance: a surface at 4 on the axis facing back gets 4 / 4.
  spot.SetInfluence(0.5f);
  EXPECT_PRED_FORMAT3(ElementsNear, Contribution(spot, Vector3(-1, 0, 0), Vector3(4, 0, 0)), Vector3(0.5f, 0.5f, 0.5f),
                      1e-5f);
  // A vertex behind the start plane has no positive axial distance: black, never negative or infinite.
  EXPECT_PRED_FORMAT3(ElementsNear, Contribution(spot, Vector3(1, 0, 0), Vector3(-4, 0, 0)), Vector3(0, 0, 0), 1e-5f);
  EXPECT_PRED_FORMAT3(ElementsNear, Contribution(spot, Vector3(0, 0, -1), Vector3(0, 0, 2)), Vector3(0, 0, 0), 1e-5f);
}

TEST(Light, ShadowRaysThroughTheOctree) {
  COctree tree(Box(Vector3(-64, -64, -64), Vector3(64, 64, 64)));
  Blocker wall(Box(Vector3(4, -1, -1), Vector3(5, 1, 1)));
  tree.InsertObject(&wall);
  CPointLight lamp(1, 1, 1, 0, 0, 0, CLight::kBounded | CLight::kCastsShadows, 20.0f, 0.0f, 1);
  EXPECT_FLOAT_EQ(Influence(lamp, Vector3(8, 0, 0), &tree), 0.0f);
  EXPECT_GT(Influence(lamp, Vector3(0, 8, 0), &tree), 0.0f);
  EXPECT_GT(Influence(lamp, Vector3(8, 0, 0), nullptr), 0.0f);  // no tree, no shadow
  // A shadowing directional light tests towards its start plane.
  CDirectionalLight sun(1, 1, 1, 0, 0, 0, 1, 0, 0, CLight::kCastsShadows, 0, 0, 0, 0);
  EXPECT_FLOAT_EQ(Influence(sun, Vector3(8, 0, 0), &tree), 0.0f);
  EXPECT_FLOAT_EQ(Influence(sun, Vector3(8, 3, 0), &tree), 1.0f);
  COrientation frame;
  CSpotLight spot(1, 1, 1, frame, 20.0f, 20.0f, 90.0f, 90.0f, 1, CLight::kCastsShadows);
  EXPECT_FLOAT_EQ(Influence(spot, Vector3(8, 0, 0), &tree), 0.0f);
  EXPECT_FLOAT_EQ(Influence(spot, Vector3(3, 0, 0), &tree), 1.0f);
  tree.RemoveObject(&wall);
}

TEST(LightRecordReader, RoundTripKindsAndHostileData) {
  LightRecord rec;
  rec.type = 3;
  rec.flags = CLight::kBounded | CLight::kLightsMeshes;
  rec.color = Vector3(1, 0.5f, 0.25f);
  rec.frame.SetPosition(Vector3(1, 2, 3));
  rec.range = 8.0f;
  rec.innerRadius = 2.0f;
  rec.falloff = 2;
  rec.region = Box(Vector3(-1, -2, -3), Vector3(4, 5, 6));
  rec.priority = 7.0f;
  uint8_t bytes[LightRecord::kSize];
  rec.Write(bytes);
  LightRecord back;
  ASSERT_TRUE(back.Read(bytes, sizeof(bytes)));
  uint8_t again[LightRecord::kSize];
  back.Write(again);
  EXPECT_EQ(std::memcmp(bytes, again, sizeof(bytes)), 0);

  DebugCapture log;
  // A light is 120 bytes of the file: any fewer make none.
  for (size_t size = 0; size < 120; ++size) EXPECT_EQ(CLight::CreateFromRecord(bytes, size).get(), nullptr);
  EXPECT_NE(CLight::CreateFromRecord(bytes, 120).get(), nullptr);
  EXPECT_EQ(CLight::CreateFromRecord(nullptr, 120).get(), nullptr);
  rec.type = 9;
  rec.Write(bytes);
  EXPECT_EQ(CLight::CreateFromRecord(bytes, sizeof(bytes)).get(), nullptr);
  rec.type = 3;
  rec.range = std::nanf("");
  rec.Write(bytes);
  EXPECT_FALSE(back.Read(bytes, sizeof(bytes)));

  // Random records never crash and any light made from them has a usable box.
  plat::srand(11);
  int built = 0;
  for (int i = 0; i < 3000; ++i) {
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(plat::rand() & 0xFF);
    if (i % 2 == 0) {
      // Plausible numbers of any sign in every float, so that lights do get built.
      for (size_t off = 8; off < LightRecord::kSize; off += 4) {
        const float v = (plat::rand() - 16384) * 0.03f;
        std::memcpy(bytes + off, &v, 4);
      }
    }
    bytes[0] = static_cast<uint8_t>(i % 6);
    std::memset(bytes + 1, 0, 3);
    std::unique_ptr<CLight> light = CLight::CreateFromRecord(bytes, sizeof(bytes));
    if (light == nullptr) continue;
    const Box& box = light->GetBounds();
    EXPECT_FALSE(std::isnan(box.min.x) || std::isnan(box.max.x));
    for (int k = 0; k < 4; ++k) {
      const float inf = Influence(*light, Vector3((plat::rand() - 16384) * 0.01f, k * 3.0f, -k * 2.0f));
      EXPECT_TRUE(inf >= 0.0f && inf <= 1.0f) << "type " << light->GetType() << " gives " << inf;
    }
    ++built;
  }
  EXPECT_GE(built, 900);
}

TEST(LevelLights, DefaultLightsForALevelWithoutLightRecords) {
  DebugCapture log;
  CGameWorld world(nullptr, nullptr);
  const Box worldBox(Vector3(0, 0, 0), Vector3(200, 200, 100));
  EXPECT_EQ(AddLevelLights(world, {}, worldBox), 3u);
  LightList* list = world.GetLightList();
  // A floor facing up at the origin: the key light hits it at -(1,1,-1)/sqrt3 . (0,0,1), the fill
  // light's direction (-1,-1,-1) likewise, and the ambient adds 0.25.
  list->SelectLights(Box(Vector3(-1, -1, -1), Vector3(1, 1, 1)), CLight::kLightsMeshes);
  list->ComputeInfluences(Vector3(0, 0, 0), 0, 1024);
  Vector3 colour;
  list->SumWorldColor(colour, Vector3(0, 0, 1), Vector3(0, 0, 0));
  const float k = 1.0f / std::sqrt(3.0f);
  EXPECT_PRED_FORMAT3(
      ElementsNear, colour,
      Vector3(0.75f * k + 0.25f * k + 0.25f, 0.75f * k + 0.25f * k + 0.25f, 0.75f * k + 0.25f * k + 0.25f), 1e-5f);
  world.ClearWorld();
}

TEST(LevelLights, RecordsAreMovedClippedAndDropped) {
  DebugCapture log;
  const Box worldBox(Vector3(0, 0, 0), Vector3(100, 100, 100));
  LightRecord rec;
  rec.type = 3;
  rec.flags = CLight::kBounded | CLight::kLightsMeshes;
  rec.color = Vector3(1, 1, 1);
  rec.range = 10.0f;
  uint8_t bytes[LightRecord::kSize];
  rec.Write(bytes);
  LevelLightSource source;
  source.data = bytes;
  source.size = sizeof(bytes);
  source.worldFrame.SetPosition(Vector3(5, 50, 50));  // the attach point places the light
  std::unique_ptr<CLight> light = BuildLevelLight(source, worldBox);
  ASSERT_NE(light.get(), nullptr);
  EXPECT_PRED_FORMAT3(ElementsNear, light->GetTransform().GetPosition(), Vector3(5, 50, 50), 1e-5f);
  // Clipped to the world box (it was far smaller than half of it).
  EXPECT_PRED_FORMAT3(ElementsNear, light->GetBounds().min, Vector3(0, 40, 40), 1e-5f);
  EXPECT_PRED_FORMAT3(ElementsNear, light->GetBounds().max, Vector3(15, 60, 60), 1e-5f);
  light.reset();
  source.worldFrame.SetPosition(Vector3(500, 50, 50));
  EXPECT_EQ(BuildLevelLight(source, worldBox).get(), nullptr);
  source.size = 60;
  EXPECT_EQ(BuildLevelLight(source, worldBox).get(), nullptr);

  CGameWorld world(nullptr, nullptr);
  source.size = sizeof(bytes);
  source.worldFrame.SetPosition(Vector3(50, 50, 50));
  log.Clear();
  EXPECT_EQ(AddLevelLights(world, {source}, worldBox), 1u);
  EXPECT_EQ(log.Text().find("Default Lights"), std::string::npos);
  EXPECT_TRUE(world.GetOctree().Contains(world.GetLightList()->GetLight(0)));
  world.ClearWorld();
}
