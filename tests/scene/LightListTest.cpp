// The light list: priority order, selection, colour sums and the per-object smoothed caches,
// including caches that outlive the lights they name.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/system/Platform.h"
#include "scene/lighting/AmbientLight.h"
#include "scene/lighting/DirectionalLight.h"
#include "scene/lighting/LightList.h"
#include "scene/lighting/ObjectLightState.h"
#include "scene/lighting/PointLight.h"

namespace {

const Box kBig(Vector3(-100, -100, -100), Vector3(100, 100, 100));

CAmbientLight* Ambient(float level, float priority, uint32_t flags = CLight::kLightsMeshes | CLight::kExclusive,
                       const Box& box = kBig) {
  return new CAmbientLight(level, level, level, box, flags, priority);
}

const LightCacheEntry* Cached(const ObjectLightState& state, const CLight* light) {
  for (const LightCacheEntry& e : state.entries)
    if (e.light == light) return &e;
  return nullptr;
}

}  // namespace

TEST(LightList, PriorityOrderSelectionAndExclusiveAmbients) {
  LightList list(nullptr);
  std::unique_ptr<CLight> plain(Ambient(0.1f, 0.0f, CLight::kLightsMeshes));
  std::unique_ptr<CLight> low(Ambient(0.2f, 2.0f));
  std::unique_ptr<CLight> high(Ambient(0.5f, 5.0f));
  std::unique_ptr<CLight> mid(Ambient(0.3f, 2.0f));
  list.Add(plain.get());
  list.Add(low.get());
  list.Add(high.get());  // before the lower priority
  list.Add(mid.get());   // after the equal one
  list.Add(high.get());  // already listed: no second entry
  ASSERT_EQ(list.GetCount(), 4u);
  // Exclusive lights go before the first lower priority, plain ones included.
  EXPECT_EQ(list.GetLight(0), high.get());
  EXPECT_EQ(list.GetLight(1), low.get());
  EXPECT_EQ(list.GetLight(2), mid.get());
  EXPECT_EQ(list.GetLight(3), plain.get());

  // The first exclusive light in list order lights the point; the lower ones give way.
  list.SelectLights(Box(Vector3(0, 0, 0), Vector3(1, 1, 1)), CLight::kLightsMeshes);
  EXPECT_EQ(list.GetActiveCount(), 4u);
  list.ComputeInfluences(Vector3(0, 0, 0), 0, 1024);
  EXPECT_FLOAT_EQ(high->GetInfluence(), 1.0f);
  EXPECT_FLOAT_EQ(low->GetInfluence(), 0.0f);
  EXPECT_FLOAT_EQ(mid->GetInfluence(), 0.0f);
  Vector3 colour;
  list.SetBaseColor(Vector3(0.01f, 0.02f, 0.03f));
  list.SumWorldColor(colour, Vector3(0, 0, 1), Vector3(0, 0, 0));
  // The plain ambient has a lower priority but is not exclusive: it is never suppressed.
  EXPECT_FLOAT_EQ(plain->GetInfluence(), 1.0f);
  EXPECT_NEAR(colour.x, 0.01f + 0.5f + 0.1f, 1e-6f);
  EXPECT_NEAR(colour.z, 0.03f + 0.5f + 0.1f, 1e-6f);

  // Both the box and every bit of the mask must match.
  list.SelectLights(kBig, CLight::kLightsMeshes | CLight::kLightsVertexOffsets);
  EXPECT_EQ(list.GetActiveCount(), 0u);

  list.Remove(high.get());
  EXPECT_EQ(list.GetLight(0), low.get());
}

TEST(LightList, LocalAndWorldSumsAgree) {
  LightList list(nullptr);
  CDirectionalLight sun(0.8f, 0.6f, 0.4f, 0, 0, 50, 0.3f, -0.2f, -1.0f, CLight::kLightsMeshes, 0, 0, 0, 0);
  // Falloff mode 2 uses the true length; the approximate one of the other modes is not turn-invariant.
  CPointLight lamp(1, 1, 1, 3, 4, 5, CLight::kLightsMeshes | CLight::kBounded, 30.0f, 2.0f, 2);
  list.Add(&sun);
  list.Add(&lamp);
  COrientation object;
  object.RotateZ(0.7f);
  object.RotateY(-0.3f);
  object.SetPosition(Vector3(2, -1, 1));
  list.SelectLights(kBig, CLight::kLightsMeshes);
  list.TransformToLocal(object);
  list.ComputeInfluences(object.GetPosition(), 0, 1024);
  plat::srand(5);
  for (int i = 0; i < 200; ++i) {
    const Vector3 localPos((plat::rand() % 200) * 0.05f - 5, (plat::rand() % 200) * 0.05f - 5, (plat::rand() % 200) * 0.05f - 5);
    Vector3 localNormal((plat::rand() % 200) - 100.0f, (plat::rand() % 200) - 100.0f, (plat::rand() % 200) - 100.0f);
    if (!localNormal.Normalize()) continue;
    Vector3 local, world;
    list.SumLocalColor(local, localNormal, localPos);
    list.SumWorldColor(world, object.LocalToWorldVector(localNormal), object.LocalToWorldPoint(localPos));
    EXPECT_NEAR(local.x, world.x, 1e-4f);
    EXPECT_NEAR(local.y, world.y, 1e-4f);
    EXPECT_NEAR(local.z, world.z, 1e-4f);
  }
}

TEST(LightList, ObjectCacheFadesInAndOutAndIgnoresRepeatedTimes) {
  LightList list(nullptr);
  std::unique_ptr<CLight> lamp(new CPointLight(1, 1, 1, 0, 0, 0, CLight::kLightsMeshes | CLight::kBounded, 10.0f, 10.0f, 1));
  list.Add(lamp.get());
  ObjectLightState state;
  const Vector3 centre(1, 1, 1);
  // Appears with influence 0, then climbs by the elapsed time towards 1.
  list.UpdateObjectLights(state, centre, 0.1f, 1024);
  ASSERT_EQ(state.entries.size(), 1u);
  for (int step = 2; step <= 12; ++step) {
    list.UpdateObjectLights(state, centre, 0.1f * step, 1024);
    EXPECT_NEAR(state.entries[0].influence, std::min(1.0f, 0.1f * (step - 1)), 1e-5f);
  }
  EXPECT_EQ(state.entries[0].changing, 0);
  // The same world time again changes nothing, even at another centre.
  const ObjectLightState before = state;
  list.UpdateObjectLights(state, Vector3(50, 50, 50), state.stamp, 1024);
  EXPECT_EQ(state.centre, before.centre);
  EXPECT_FLOAT_EQ(state.entries[0].influence, before.entries[0].influence);
  // The selection hands the colour sums the smoothed value.
  lamp->SetInfluence(0.0f);
  list.SelectByIndices(state);
  EXPECT_FLOAT_EQ(lamp->GetInfluence(), 1.0f);
  // Out of reach: fades out by the elapsed time and is dropped at 0.
  float now = state.stamp;
  list.UpdateObjectLights(state, Vector3(50, 50, 50), now += 0.25f, 1024);
  ASSERT_EQ(state.entries.size(), 1u);
  EXPECT_NEAR(state.entries[0].influence, 0.75f, 1e-5f);
  list.UpdateObjectLights(state, Vector3(50, 50, 50), now += 1.0f, 1024);
  EXPECT_TRUE(state.entries.empty());
}

TEST(LightList, CachedIndicesFollowInsertionsRemovalsAndDeletions) {
  LightList list(nullptr);
  CAmbientLight* first = Ambient(0.2f, 1.0f);
  list.Add(first);
  ObjectLightState state;
  list.UpdateObjectLights(state, Vector3(0, 0, 0), 1.0f, 1024);
  list.UpdateObjectLights(state, Vector3(0, 0, 0), 2.0f, 1024);
  ASSERT_NE(Cached(state, first), nullptr);
  EXPECT_FLOAT_EQ(Cached(state, first)->influence, 1.0f);

  // A higher priority light takes index 0; the cached light must not hand its smoothed
  // influence to the newcomer.
  CAmbientLight* second = Ambient(0.5f, 9.0f, CLight::kLightsMeshes | CLight::kExclusive,
                                  Box(Vector3(50, 50, 50), Vector3(60, 60, 60)));
  list.Add(second);
  second->SetInfluence(0.0f);
  list.SelectByIndices(state);
  EXPECT_FLOAT_EQ(second->GetInfluence(), 0.0f);
  list.UpdateObjectLights(state, Vector3(0, 0, 0), 3.0f, 1024);
  list.SelectByIndices(state);
  EXPECT_EQ(list.GetActiveCount(), 1u);
  EXPECT_EQ(list.GetActiveLight(0), first);
  EXPECT_FLOAT_EQ(second->GetInfluence(), 0.0f);

  // Removed and deleted: the cache forgets it without touching it (the sanitizer watches), and a
  // new light that may land at the same address starts afresh.
  list.Remove(first);
  delete first;
  list.Remove(second);
  delete second;
  list.UpdateObjectLights(state, Vector3(0, 0, 0), 4.0f, 1024);  // empty list
  EXPECT_TRUE(state.entries.empty());
  CAmbientLight* third = Ambient(0.3f, 1.0f);
  list.Add(third);
  list.UpdateObjectLights(state, Vector3(0, 0, 0), 5.0f, 1024);
  ASSERT_EQ(state.entries.size(), 1u);
  EXPECT_FLOAT_EQ(state.entries[0].influence, 0.0f);
  EXPECT_EQ(list.GetActiveCount(), 1u);
  list.Clear();
  EXPECT_EQ(list.GetActiveCount(), 0u);  // no index into the emptied list stays active
  delete third;
}

TEST(LightList, CacheStaysConsistentUnderRandomChanges) {
  LightList list(nullptr);
  std::vector<CLight*> live;
  ObjectLightState states[3];
  plat::srand(77);
  float now = 0.0f;
  for (int step = 0; step < 3000; ++step) {
    const int action = plat::rand() % 4;
    if (action == 0 || live.empty()) {
      const float p = static_cast<float>(plat::rand() % 5);
      const float lo = (plat::rand() % 40) - 20.0f;
      CLight* light = Ambient(0.1f, p, CLight::kLightsMeshes | ((plat::rand() & 1) ? CLight::kExclusive : 0),
                              Box(Vector3(lo, lo, lo), Vector3(lo + 15, lo + 15, lo + 15)));
      list.Add(light);
      live.push_back(light);
    } else if (action == 1) {
      const size_t k = static_cast<size_t>(plat::rand()) % live.size();
      list.Remove(live[k]);
      delete live[k];
      live.erase(live.begin() + static_cast<std::ptrdiff_t>(k));
    } else {
      now += 0.05f;
      ObjectLightState& state = states[plat::rand() % 3];
      const float c = (plat::rand() % 30) - 15.0f;
      list.UpdateObjectLights(state, Vector3(c, c * 0.5f, -c * 0.25f), now, 1024);
      for (const LightCacheEntry& e : state.entries) {
        ASSERT_LT(e.index, list.GetCount());
        EXPECT_EQ(list.GetLight(e.index), e.light);
        EXPECT_GE(e.influence, 0.0f);
        EXPECT_LE(e.influence, 1.0f);
      }
      list.SelectByIndices(state);
      EXPECT_EQ(list.GetActiveCount(), state.entries.size());
    }
  }
  list.Clear();
  for (CLight* light : live) delete light;
}
