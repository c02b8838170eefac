// The world's object registry: IDs, removal, the update pass under changes, clearing.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "core/GameObject.h"
#include "core/GameWorld.h"
#include "core/WorldAccess.h"
#include "core/math/BoundedObject.h"
#include "net/SessionManager.h"
#include "scene/Light.h"
#include "scene/ObserverCam.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::DebugCapture;

// A game object that counts what happens to it.
class Counted : public CGameObject {
 public:
  explicit Counted(int* liveCount, uint32_t flags = kNetworked) : m_live(liveCount) {
    SetFlags(flags);
    ++*m_live;
  }
  ~Counted() override { --*m_live; }
  void Init(bool created) override { ++inits; }
  void Update(float dt) override { ++updates; }
  int updates = 0;
  int inits = 0;

 private:
  int* m_live;
};

class BoundedCounted : public Counted, public CBoundedObject {
 public:
  using Counted::Counted;
};

TEST(WorldObjects, SessionManagerIsOneAndCountersFollowExplicitIDs) {
  DebugCapture quiet;
  CGameWorld world(nullptr, nullptr);
  EXPECT_EQ(GetGameWorld(), &world);
  ASSERT_NE(world.GetSessionManager(), nullptr);
  EXPECT_EQ(world.GetSessionManager()->GetID(), 1u);
  EXPECT_EQ(world.GetNetworkMode(), CGameWorld::kModeSinglePlayer);

  int live = 0;
  EXPECT_EQ(world.AddObject(new Counted(&live)), 2u);
  EXPECT_EQ(world.GetNextObjectID(), 3u);
  // Move the counter to 5, then an explicit 10 moves it to 11 and an explicit 3 leaves it there.
  EXPECT_EQ(world.AddObject(new Counted(&live), 4), 4u);
  EXPECT_EQ(world.GetNextObjectID(), 5u);
  EXPECT_EQ(world.AddObject(new Counted(&live), 10), 10u);
  EXPECT_EQ(world.GetNextObjectID(), 11u);
  EXPECT_EQ(world.AddObject(new Counted(&live), 3), 3u);
  EXPECT_EQ(world.GetNextObjectID(), 11u);
  EXPECT_EQ(world.AddObject(new Counted(&live)), 11u);

  // After a reset the session manager is object 1 again and the next object is 2.
  world.ResetWorld();
  EXPECT_EQ(live, 0);
  EXPECT_EQ(world.GetObjectCount(), 1u);
  EXPECT_EQ(world.GetSessionManager()->GetID(), 1u);
  EXPECT_EQ(world.RegisterNewObject(new Counted(&live)), 2u);
  world.ClearWorld();
  EXPECT_EQ(live, 0);
}

TEST(WorldObjects, DuplicateAndZeroIDsAreRefusedAndTheCallerKeepsTheObject) {
  DebugCapture log;
  CGameWorld world(nullptr, nullptr);
  int live = 0;
  Counted* first = new Counted(&live);
  ASSERT_EQ(world.AddObject(first, 7), 7u);
  Counted* second = new Counted(&live);
  EXPECT_EQ(world.AddObject(second, 7), 0u);
  EXPECT_NE(log.Text().find("GameWorld: Refusing Object"), std::string::npos);
  EXPECT_EQ(world.GetObjectByID(7), first);
  EXPECT_EQ(second->GetID(), 0u);  // untouched
  EXPECT_EQ(world.GetNextObjectID(), 8u);
  EXPECT_EQ(world.RegisterNewObject(second, 7), 0u);
  EXPECT_EQ(second->inits, 0);
  EXPECT_EQ(world.AddObject(second, 0), 0u);
  // The counter skips an ID that was filed explicitly ahead of it.
  Counted* third = new Counted(&live);
  ASSERT_EQ(world.AddObject(third, 9), 9u);
  world.RemoveObject(9);
  EXPECT_EQ(live, 2);
  ASSERT_EQ(world.AddObject(second, 10), 10u);  // counter is 11 now; file 11 by hand and ask for auto
  Counted* fourth = new Counted(&live);
  ASSERT_EQ(world.AddObject(fourth, 12), 12u);
  EXPECT_EQ(world.AddObject(new Counted(&live)), 13u);
  world.ResetWorld();
  EXPECT_EQ(live, 0);
}

TEST(WorldObjects, RemovalFlagDeletesAtTheNextPassWithoutUpdate) {
  DebugCapture quiet;
  CGameWorld world(nullptr, nullptr);
  int live = 0;
  Counted* marked = new Counted(&live);
  Counted* kept = new Counted(&live);
  const uint32_t markedID = world.RegisterNewObject(marked);
  const uint32_t keptID = world.RegisterNewObject(kept);
  EXPECT_EQ(marked->inits, 1);
  // A non-networked object without local update is never updated but is deleted by the clear.
  Counted* passive = new Counted(&live, 0);
  Counted* local = new Counted(&live, CGameObject::kLocalUpdate);
  EXPECT_EQ(world.RegisterNewObject(passive), 0u);
  EXPECT_EQ(world.RegisterNewObject(local), 0u);
  EXPECT_EQ(world.GetPassiveObjectCount(), 1u);
  EXPECT_EQ(world.GetLocalObjectCount(), 1u);

  marked->MarkForRemoval();
  world.UpdateObjects(0.5f);
  EXPECT_EQ(world.GetObjectByID(markedID), nullptr);
  EXPECT_EQ(kept->updates, 1);
  EXPECT_EQ(local->updates, 1);
  EXPECT_EQ(passive->updates, 0);
  EXPECT_EQ(live, 3);
  EXPECT_EQ(world.GetStepCount(), 1u);
  EXPECT_DOUBLE_EQ(world.GetWorldTime(), 0.5);

  local->MarkForRemoval();
  world.UpdateObjects(0.25f);
  EXPECT_EQ(world.GetLocalObjectCount(), 0u);
  EXPECT_EQ(live, 2);
  EXPECT_EQ(kept->updates, 2);

  world.RemoveObject(12345);  // unknown: nothing happens
  EXPECT_EQ(world.GetObjectByID(keptID), kept);
  world.ClearWorld();
  EXPECT_EQ(live, 0);
  EXPECT_EQ(world.GetPassiveObjectCount(), 0u);
}

TEST(WorldObjects, BoundedObjectsFollowTheOctreeAndTheClearDestroysTheRest) {
  DebugCapture log;
  CGameWorld world(nullptr, nullptr);
  int live = 0;
  BoundedCounted* object = new BoundedCounted(&live);
  const uint32_t id = world.AddObject(object);
  EXPECT_TRUE(object->IsFiled());
  EXPECT_TRUE(world.GetOctree().Contains(object));
  world.RemoveObject(id);
  EXPECT_EQ(world.GetOctree().GetObjectCount(), 0u);

  // Lights and other filed objects die with the clear unless they are marked "Do Not Delete".
  CLight* light = new CLight();
  world.AddLight(light);
  CLight* survivor = new CLight();
  survivor->AddBoundFlags(CBoundedObject::kDoNotDelete);
  world.GetOctree().InsertObject(survivor);
  world.ClearWorld();
  EXPECT_FALSE(survivor->IsFiled());
  EXPECT_EQ(world.GetOctree().GetObjectCount(), 0u);
  EXPECT_EQ(log.Text().find("Environment Nuke"), std::string::npos);
  delete survivor;
  EXPECT_EQ(live, 0);
}

TEST(WorldObjects, DefaultCameraServesForIndicesPastTheEnd) {
  DebugCapture quiet;
  CGameWorld world(nullptr, nullptr);
  CGenericCam* fallback = world.GetCurrentCamera();
  ASSERT_NE(fallback, nullptr);
  EXPECT_EQ(world.GetCurrentCamera(), fallback);
  CObserverCam* camera = new CObserverCam();
  EXPECT_EQ(world.AddCamera(camera), 0u);
  world.SetCurrentCamera(0);
  EXPECT_EQ(world.GetCurrentCamera(), camera);
  world.SetCurrentCamera(5);
  EXPECT_EQ(world.GetCurrentCamera(), fallback);
}

// --- The update pass under random changes, checked against a model ---

struct ProbeInfo {
  uint32_t id = 0;
  bool networked = false;
  bool passive = false;  // lives until the clear, whatever its flags say
  bool destroyed = false;
  bool removedDirectly = false;
  bool createdInPass = false;
  bool markedAtStart = false;
  bool existedAtStart = false;
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
  explicit UpdateModel(CGameWorld* world) : m_world(world), m_random(20260407u) {}

  std::vector<ProbeInfo> infos;
  std::vector<Probe*> probes;  // by serial; null once destroyed
  bool inPass = false;
  int constructed = 0;
  int destroyedCount = 0;

  Probe* Create(int kind) {
    const uint32_t flags = kind == 0 ? CGameObject::kNetworked : (kind == 1 ? CGameObject::kLocalUpdate : 0u);
    const size_t serial = infos.size();
    infos.push_back(ProbeInfo());
    infos[serial].networked = kind == 0;
    infos[serial].passive = kind == 2;
    infos[serial].createdInPass = inPass;
    Probe* probe = new Probe(this, serial, flags);
    probes.push_back(probe);
    ++constructed;
    const uint32_t id = m_world->RegisterNewObject(probe);
    infos[serial].id = id;
    EXPECT_EQ(id != 0, kind == 0);
    return probe;
  }

  Probe* RandomAlive(bool networkedOnly) {
    std::vector<Probe*> alive;
    for (Probe* p : probes)
      if (p != nullptr && (!networkedOnly || infos[p->Serial()].networked)) alive.push_back(p);
    if (alive.empty()) return nullptr;
    return alive[Pick(alive.size())];
  }

  size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(m_random); }
  int Roll() { return std::uniform_int_distribution<int>(0, 99)(m_random); }

  size_t AliveCount() const { return static_cast<size_t>(constructed - destroyedCount); }

  // What an object may do to the world while it updates (also used between passes).
  void Act() {
    const int roll = Roll();
    const bool crowded = AliveCount() > 400;
    if (roll < 12 && !crowded) {
      Create(0);
    } else if (roll < 16 && !crowded) {
      Create(1);
    } else if (roll < 18 && !crowded) {
      Create(2);
    } else if (roll < 34) {
      if (Probe* p = RandomAlive(false)) p->MarkForRemoval();
    } else if (roll < 40) {
      if (Probe* p = RandomAlive(true)) {
        infos[p->Serial()].removedDirectly = true;
        m_world->RemoveObject(infos[p->Serial()].id);  // may be the updating object itself
      }
    }
  }

  void OnDestroyed(size_t serial) {
    infos[serial].destroyed = true;
    probes[serial] = nullptr;
    ++destroyedCount;
  }

  void OnUpdate(size_t serial) {
    ++infos[serial].updatesInPass;
    Act();
  }

  CGameWorld* m_world;
  std::mt19937 m_random;
};

Probe::~Probe() { m_model->OnDestroyed(m_serial); }

void Probe::Update(float dt) {
  m_model->OnUpdate(m_serial);  // nothing after this: the call may have deleted this object
}

TEST(WorldObjects, UpdatePassSurvivesObjectsAddedMarkedAndRemovedDuringIt) {
  DebugCapture quiet;
  UpdateModel model(nullptr);  // outlives the world, whose clear reports to it
  CGameWorld world(nullptr, nullptr);
  model.m_world = &world;
  for (int i = 0; i < 60; ++i) model.Create(i % 3 == 0 ? 1 : 0);

  for (int pass = 0; pass < 400; ++pass) {
    for (int i = 0; i < 5; ++i) model.Act();
    for (size_t s = 0; s < model.infos.size(); ++s) {
      ProbeInfo& info = model.infos[s];
      info.createdInPass = false;
      info.updatesInPass = 0;
      if (info.destroyed) continue;
      info.existedAtStart = true;
      info.markedAtStart = !info.passive && model.probes[s]->IsMarkedForRemoval();
    }
    model.inPass = true;
    world.UpdateObjects(0.033f);
    model.inPass = false;

    size_t networkedAlive = 0, localAlive = 0, passiveAlive = 0;
    for (size_t s = 0; s < model.infos.size(); ++s) {
      const ProbeInfo& info = model.infos[s];
      ASSERT_LE(info.updatesInPass, 1) << "serial " << s;
      if (info.markedAtStart) {
        ASSERT_TRUE(info.destroyed) << "marked object survived, serial " << s;
        ASSERT_EQ(info.updatesInPass, 0);
      }
      if (info.createdInPass) { ASSERT_EQ(info.updatesInPass, 0); }
      if (info.destroyed) {
        if (info.networked) { ASSERT_EQ(world.GetObjectByID(info.id), nullptr); }
        continue;
      }
      Probe* probe = model.probes[s];
      const bool passive = !info.networked && (probe->GetFlags() & CGameObject::kLocalUpdate) == 0;
      if (info.networked) {
        ++networkedAlive;
        ASSERT_EQ(world.GetObjectByID(info.id), probe);
      } else if (passive) {
        ++passiveAlive;
      } else {
        ++localAlive;
      }
      // An object that was there, unmarked, when the pass began and is still alive was reached
      // while unmarked (else the pass would have deleted it), so it was updated exactly once.
      if (info.existedAtStart && !info.createdInPass && !passive) { ASSERT_EQ(info.updatesInPass, 1) << "serial " << s; }
      if (passive) { ASSERT_EQ(info.updatesInPass, 0); }
    }
    ASSERT_EQ(world.GetObjectCount(), networkedAlive + 1);  // + the session manager
    ASSERT_EQ(world.GetLocalObjectCount(), localAlive);
    ASSERT_EQ(world.GetPassiveObjectCount(), passiveAlive);
    ASSERT_EQ(model.AliveCount(), networkedAlive + localAlive + passiveAlive);
    // Objects leave only through the removal flag, RemoveObject or the clear.
    for (const ProbeInfo& info : model.infos)
      if (info.destroyed) { ASSERT_TRUE(info.removedDirectly || info.existedAtStart); }
  }
  // The run did exercise the pass: many objects came and went, some removed directly.
  int direct = 0;
  for (const ProbeInfo& info : model.infos) direct += info.removedDirectly ? 1 : 0;
  EXPECT_GT(model.constructed, 2000);
  EXPECT_GT(model.destroyedCount, 1500);
  EXPECT_GT(direct, 200);
  // IDs are never handed out twice.
  std::set<uint32_t> ids;
  for (const ProbeInfo& info : model.infos)
    if (info.networked) { ASSERT_TRUE(ids.insert(info.id).second); }
  world.ClearWorld();
  EXPECT_EQ(model.AliveCount(), 0u);
}

// An object whose update clears the whole world ends the pass instead of walking freed objects.
class Resetter : public CGameObject {
 public:
  explicit Resetter(CGameWorld* world) : m_world(world) { SetFlags(kNetworked); }
  void Update(float dt) override { m_world->ClearWorld(); }

 private:
  CGameWorld* m_world;
};

TEST(WorldObjects, ClearingTheWorldDuringThePassEndsThePass) {
  DebugCapture quiet;
  CGameWorld world(nullptr, nullptr);
  int live = 0;
  for (int i = 0; i < 50; ++i) world.RegisterNewObject(new Counted(&live, i % 2 ? CGameObject::kNetworked : CGameObject::kLocalUpdate));
  world.RegisterNewObject(new Resetter(&world));
  world.UpdateObjects(0.1f);
  EXPECT_EQ(live, 0);
  EXPECT_EQ(world.GetObjectCount(), 0u);
}

}  // namespace
