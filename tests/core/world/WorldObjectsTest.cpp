// The world's object registry: IDs, removal, the update pass under changes, clearing.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <set>
#include <vector>

#include "core/world/GameObject.h"
#include "core/world/GameWorld.h"
#include "core/spatial/BoundedObject.h"
#include "net/SessionManager.h"
#include "scene/lighting/Light.h"
#include "scene/lighting/LightList.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::DebugCapture;

class Counted : public CGameObject {
 public:
  explicit Counted(int* liveCount, uint32_t flags = kNetworked) : m_live(liveCount) {
    SetFlags(flags);
    ++*m_live;
  }
  ~Counted() override { --*m_live; }
  void Init(bool) override { ++inits; }
  void Update(float) override { ++updates; }
  int updates = 0, inits = 0;

 private:
  int* m_live;
};

class BoundedCounted : public Counted, public CBoundedObject {
 public:
  using Counted::Counted;
  ~BoundedCounted() override { EXPECT_FALSE(IsFiled()) << "the world deleted an object still in its octree"; }
};

class CountedLight : public CLight {
 public:
  explicit CountedLight(int* liveCount) : m_live(liveCount) { ++*m_live; }
  ~CountedLight() override { --*m_live; }

 private:
  int* m_live;
};

TEST(WorldObjects, IDsCountersAndDuplicates) {
  DebugCapture log;
  CGameWorld world(nullptr, nullptr);
  EXPECT_EQ(world.GetSessionManager()->GetID(), 1u);
  int live = 0;
  EXPECT_EQ(world.AddObject(std::make_unique<Counted>(&live)), 2u);
  // An explicit ID ahead of the counter moves it on; one behind leaves it.
  EXPECT_EQ(world.AddObject(std::make_unique<Counted>(&live), 10), 10u);
  EXPECT_EQ(world.AddObject(std::make_unique<Counted>(&live), 3), 3u);
  EXPECT_EQ(world.AddObject(std::make_unique<Counted>(&live)), 11u);
  // A duplicate or zero ID is refused; the caller keeps the object, uninitialised.
  std::unique_ptr<CGameObject> owned = std::make_unique<Counted>(&live);
  const Counted* second = static_cast<const Counted*>(owned.get());
  EXPECT_EQ(world.AddObject(std::move(owned), 10), 0u);
  EXPECT_NE(log.Text().find("GameWorld: Refusing Object"), std::string::npos);
  EXPECT_EQ(world.RegisterNewObject(std::move(owned), 3), 0u);
  EXPECT_EQ(world.AddObject(std::move(owned), 0), 0u);
  ASSERT_EQ(owned.get(), second);  // every refusal left it with the caller
  EXPECT_EQ(second->GetID(), 0u);
  EXPECT_EQ(second->inits, 0);
  EXPECT_EQ(world.GetObjectCount(), 5u);
  // The counter skips an ID that was filed by hand ahead of it.
  ASSERT_EQ(world.AddObject(std::move(owned), 12), 12u);
  EXPECT_EQ(owned, nullptr);
  EXPECT_EQ(world.AddObject(std::make_unique<Counted>(&live)), 13u);
  // After a reset the session manager is object 1 again and the next object is 2.
  world.ResetWorld();
  EXPECT_EQ(live, 0);
  EXPECT_EQ(world.GetObjectCount(), 1u);
  world.StartServer();
  EXPECT_EQ(world.RegisterNewObject(std::make_unique<Counted>(&live)), 2u);
  EXPECT_EQ(static_cast<const Counted*>(world.GetObjectByID(2))->inits, 1);  // a server initialises what it files
  world.ClearWorld();
  EXPECT_EQ(live, 0);
}

TEST(WorldObjects, BoundedObjectsFollowTheOctreeAndTheClearDeletesOnlyWhatTheWorldOwns) {
  DebugCapture log;
  CGameWorld world(nullptr, nullptr);
  int live = 0;
  BoundedCounted* object = new BoundedCounted(&live);
  const uint32_t id = world.AddObject(std::unique_ptr<CGameObject>(object));
  EXPECT_TRUE(world.GetOctree().Contains(object));
  world.RemoveObject(id);
  EXPECT_EQ(world.GetOctree().GetObjectCount(), 0u);
  // The world keeps the lights it is given until they are removed or the clear; a light filed
  // by its own owner the clear only unfiles.
  world.AddLight(std::make_unique<CountedLight>(&live));
  std::unique_ptr<CLight> given = std::make_unique<CountedLight>(&live);
  CLight* removed = given.get();
  world.AddLight(std::move(given));
  ASSERT_EQ(given, nullptr);
  ASSERT_EQ(world.GetLightList()->GetCount(), 2u);
  EXPECT_EQ(world.GetOctree().GetObjectCount(), 2u);
  CountedLight stranger(&live);
  EXPECT_FALSE(world.RemoveLight(&stranger));
  EXPECT_TRUE(world.RemoveLight(removed));
  EXPECT_EQ(live, 2);
  EXPECT_EQ(world.GetLightList()->GetCount(), 1u);
  EXPECT_EQ(world.GetOctree().GetObjectCount(), 1u);
  world.GetOctree().InsertObject(&stranger);
  world.AddObject(std::make_unique<BoundedCounted>(&live));
  world.ClearWorld();
  EXPECT_EQ(live, 1);
  EXPECT_FALSE(stranger.IsFiled());
  EXPECT_EQ(world.GetOctree().GetObjectCount(), 0u);
  EXPECT_EQ(world.GetLightList()->GetCount(), 0u);
}

// --- The update pass under random changes, checked against a model ---

struct ProbeInfo {
  uint32_t id = 0;
  bool networked = false, passive = false, destroyed = false, removedDirectly = false;
  bool createdInPass = false, markedAtStart = false, existedAtStart = false;
  int updatesInPass = 0;
};

class UpdateModel;

class Probe : public CGameObject {
 public:
  Probe(UpdateModel* model, size_t serial, uint32_t flags) : m_model(model), m_serial(serial) { SetFlags(flags); }
  ~Probe() override;
  void Update(float dt) override;
  size_t Serial() const { return m_serial; }

 private:
  UpdateModel* m_model;
  size_t m_serial;
};

class UpdateModel {
 public:
  std::vector<ProbeInfo> infos;
  std::vector<Probe*> probes;  // by serial; null once destroyed
  CGameWorld* world = nullptr;
  std::mt19937 random{20260407u};
  bool inPass = false;
  int constructed = 0, destroyedCount = 0;

  void Create(int kind) {  // 0 networked, 1 local update, 2 passive
    const size_t serial = infos.size();
    infos.push_back(ProbeInfo());
    infos[serial].networked = kind == 0;
    infos[serial].passive = kind == 2;
    infos[serial].createdInPass = inPass;
    Probe* probe = new Probe(this, serial, kind == 0 ? CGameObject::kNetworked : kind == 1 ? CGameObject::kLocalUpdate : 0u);
    probes.push_back(probe);
    ++constructed;
    infos[serial].id = world->RegisterNewObject(std::unique_ptr<CGameObject>(probe));
  }
  Probe* RandomAlive(bool networkedOnly) {
    std::vector<Probe*> alive;
    for (Probe* p : probes)
      if (p != nullptr && (!networkedOnly || infos[p->Serial()].networked)) alive.push_back(p);
    return alive.empty() ? nullptr : alive[random() % alive.size()];
  }
  size_t AliveCount() const { return static_cast<size_t>(constructed - destroyedCount); }
  // What an object may do to the world while it updates (also used between passes).
  void Act() {
    const int roll = static_cast<int>(random() % 100);
    const bool crowded = AliveCount() > 400;
    if (roll < 18 && !crowded) {
      Create(roll < 12 ? 0 : roll < 16 ? 1 : 2);
    } else if (roll < 34) {
      if (Probe* p = RandomAlive(false)) p->MarkForRemoval();
    } else if (roll < 40) {
      if (Probe* p = RandomAlive(true)) {
        infos[p->Serial()].removedDirectly = true;
        world->RemoveObject(infos[p->Serial()].id);  // may be the updating object itself
      }
    }
  }
};

Probe::~Probe() {
  m_model->infos[m_serial].destroyed = true;
  m_model->probes[m_serial] = nullptr;
  ++m_model->destroyedCount;
}

void Probe::Update(float) {
  ++m_model->infos[m_serial].updatesInPass;
  m_model->Act();  // nothing after this: the call may have deleted this object
}

// Marked objects go at the next pass unupdated, passive ones are never updated; a pass is one step.
TEST(WorldObjects, UpdatePassSurvivesObjectsAddedMarkedAndRemovedDuringIt) {
  DebugCapture quiet;
  UpdateModel model;  // outlives the world, whose clear reports to it
  CGameWorld world(nullptr, nullptr);
  model.world = &world;
  for (int i = 0; i < 60; ++i) model.Create(i % 3 == 0 ? 1 : 0);
  int direct = 0;
  double elapsed = 0.0;
  for (int pass = 0; pass < 400; ++pass) {
    for (int i = 0; i < 5; ++i) model.Act();
    for (size_t s = 0; s < model.infos.size(); ++s) {
      ProbeInfo& info = model.infos[s];
      info.createdInPass = false;
      info.updatesInPass = 0;
      info.existedAtStart = info.existedAtStart || !info.destroyed;
      info.markedAtStart = !info.destroyed && !info.passive && model.probes[s]->IsMarkedForRemoval();
    }
    model.inPass = true;
    world.UpdateObjects(0.033f);
    elapsed += 0.033f;
    model.inPass = false;

    size_t networkedAlive = 0, localAlive = 0, passiveAlive = 0;
    for (size_t s = 0; s < model.infos.size(); ++s) {
      const ProbeInfo& info = model.infos[s];
      ASSERT_LE(info.updatesInPass, 1) << s;
      if (info.markedAtStart) ASSERT_TRUE(info.destroyed && info.updatesInPass == 0) << s;
      if (info.createdInPass || info.passive) ASSERT_EQ(info.updatesInPass, 0) << s;
      if (info.destroyed) {
        ASSERT_TRUE(info.removedDirectly || info.existedAtStart) << s;
        if (info.networked) ASSERT_EQ(world.GetObjectByID(info.id), nullptr);
        continue;
      }
      if (info.networked) {
        ++networkedAlive;
        ASSERT_EQ(world.GetObjectByID(info.id), model.probes[s]);
      } else {
        ++(info.passive ? passiveAlive : localAlive);
      }
      // Alive, unmarked at the start: reached while unmarked, so updated exactly once.
      if (info.existedAtStart && !info.passive) ASSERT_EQ(info.updatesInPass, 1) << s;
    }
    ASSERT_EQ(world.GetObjectCount(), networkedAlive + 1);  // + the session manager
    ASSERT_EQ(world.GetLocalObjectCount(), localAlive);
    ASSERT_EQ(world.GetPassiveObjectCount(), passiveAlive);
    ASSERT_EQ(model.AliveCount(), networkedAlive + localAlive + passiveAlive);
  }
  std::set<uint32_t> ids;  // IDs are never handed out twice
  for (const ProbeInfo& info : model.infos) {
    direct += info.removedDirectly;
    if (info.networked) ASSERT_TRUE(ids.insert(info.id).second);
  }
  EXPECT_GT(model.destroyedCount, 1500);
  EXPECT_GT(direct, 200);
  EXPECT_TRUE(world.GetStepCount() == 400u && world.GetWorldTime() == elapsed) << "each pass is one step of its time";
  world.ClearWorld();
  EXPECT_EQ(model.AliveCount(), 0u);
}

// An object whose update clears the whole world ends the pass instead of walking freed objects.
class Resetter : public CGameObject {
 public:
  explicit Resetter(CGameWorld* world) : m_world(world) { SetFlags(kNetworked); }
  void Update(float) override { m_world->ClearWorld(); }

 private:
  CGameWorld* m_world;
};

TEST(WorldObjects, ClearingTheWorldDuringThePassEndsThePass) {
  DebugCapture quiet;
  CGameWorld world(nullptr, nullptr);
  int live = 0;
  for (int i = 0; i < 50; ++i) world.RegisterNewObject(std::make_unique<Counted>(&live, i % 2 ? CGameObject::kNetworked : CGameObject::kLocalUpdate));
  world.RegisterNewObject(std::make_unique<Resetter>(&world));
  world.UpdateObjects(0.1f);
  EXPECT_EQ(live, 0);
  EXPECT_EQ(world.GetObjectCount(), 0u);
}

}  // namespace
