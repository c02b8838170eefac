// The registries through which the higher folders plug into the world: the object factory, the
// world's service factories and clear hooks, and a world built while nothing is registered.
#include <gtest/gtest.h>

#include <memory>
#include <map>
#include <string>
#include <utility>

#include "core/world/GameActionLayer.h"
#include "core/world/GameWorld.h"
#include "core/services/NetLink.h"
#include "core/world/ObjectFactory.h"
#include "core/services/WorldScene.h"
#include "core/services/SpriteSheet.h"
#include "core/services/WorldServices.h"
#include "platform/system/Platform.h"
#include "scene/camera/ObserverCam.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::DebugCapture;

struct Plain : CGameObject {
  const char* GetInfoString() const override { return "<Plain>"; }
};
struct Other : CGameObject {
  const char* GetInfoString() const override { return "<Other>"; }
};

// Empties the program's world services for one test and puts them back afterwards.
class NoServices {
 public:
  NoServices() : m_saved(std::exchange(GetWorldServices(), WorldServices())) {}
  ~NoServices() { GetWorldServices() = m_saved; }

 private:
  WorldServices m_saved;
};

int g_clears = 0;
void CountClear() { ++g_clears; }

// A transport that moves nothing: it reports the traffic the test sets and counts the links open.
class QuietLink : public CNetLink {
 public:
  QuietLink() { ++open; }
  ~QuietLink() override { --open; }
  void Update(uint32_t) override {}
  void SendTo(uint32_t, const uint8_t*, bool, bool) override {}
  Traffic GetTraffic() const override { return traffic; }
  static inline int open = 0;
  static inline Traffic traffic;
};
std::unique_ptr<CNetLink> MakeQuietLink(bool, CMessageReceiver*) { return std::make_unique<QuietLink>(); }

TEST(ObjectFactory, RegistrationReplacesRemovesAndCoversExactlyTheGamesCodes) {
  CObjectFactory factory;
  EXPECT_EQ(factory.Make(5), nullptr);
  factory.Register(5, [] { return std::unique_ptr<CGameObject>(std::make_unique<Plain>()); });
  EXPECT_STREQ(factory.Make(5)->GetInfoString(), "<Plain>");
  factory.Register(5, [] { return std::unique_ptr<CGameObject>(std::make_unique<Other>()); });
  EXPECT_STREQ(factory.Make(5)->GetInfoString(), "<Other>");
  EXPECT_EQ(factory.Make(6), nullptr);
  factory.Register(5, nullptr);
  EXPECT_FALSE(factory.IsRegistered(5));

  // The program's factory, as the start-up registration filled it: every code of the game with its
  // type, no other.
  const std::map<uint32_t, std::string> expected = {{1, "<Session Manager>"},
                                                    {2, "<Player>"},
                                                    {3, "<Team>"},
                                                    {4, "<Vehicle>"},
                                                    {5, "<Creature>"},
                                                    {6, "<Pickup Item>"},
                                                    {7, "<Explosion>"},
                                                    {8, "<Flame Spurt>"},
                                                    {9, "<Fire>"},
                                                    {10, "<Mortar Shell>"},
                                                    {11, "<Bullet>"},
                                                    {12, "<Missile>"},
                                                    {13, "<Mine>"},
                                                    {17, "<Shield>"},
                                                    {18, "<Turret>"},
                                                    {40, "<Skatable Section>"},
                                                    {41, "<Skatable Facility>"},
                                                    {42, "<Skater>"}};
  std::map<uint32_t, std::string> registered;
  for (uint32_t code = 0; code < 1024; ++code)
    if (GetObjectFactory().IsRegistered(code)) registered[code] = GetObjectFactory().Make(code)->GetInfoString();
  EXPECT_EQ(registered, expected);
}

TEST(WorldServices, ClearHooksRunOncePerClearHoweverOftenTheyAreAdded) {
  DebugCapture quiet;
  NoServices scope;
  GetWorldServices().AddClearHook(&CountClear);
  GetWorldServices().AddClearHook(&CountClear);
  GetWorldServices().AddClearHook(nullptr);
  EXPECT_EQ(GetWorldServices().clearHooks.size(), 1u);
  g_clears = 0;
  {
    CGameWorld world(nullptr, nullptr);  // the constructor's reset clears once
    EXPECT_EQ(g_clears, 1);
    world.ClearWorld();
    world.ResetWorld();
    EXPECT_EQ(g_clears, 3);
  }
  EXPECT_EQ(g_clears, 4);  // and the destructor once more
}

TEST(WorldServices, AWorldWithoutItsHigherPartsStillRunsAndRefusesWhatItCannotHold) {
  DebugCapture quiet;
  NoServices scope;
  EXPECT_EQ(CreateSpriteSheet(), nullptr);
  CGameWorld world(nullptr, nullptr);
  EXPECT_EQ(world.GetScene(), nullptr);
  EXPECT_EQ(world.GetEffects(), nullptr);
  EXPECT_EQ(world.GetMouseCursor(), nullptr);
  EXPECT_EQ(world.GetLightList(), nullptr);
  EXPECT_EQ(world.GetShadowRenderer(), nullptr);
  EXPECT_EQ(world.GetCurrentCamera(), nullptr);
  EXPECT_TRUE(world.GetTerrainInstances().empty());
  EXPECT_EQ(world.AddTerrainMesh(nullptr, nullptr, false, false), nullptr);
  // No scene side holds cameras: the camera is refused and stays with the caller.
  std::unique_ptr<CGenericCam> camera = std::make_unique<CObserverCam>();
  const CGenericCam* kept = camera.get();
  EXPECT_EQ(world.AddCamera(std::move(camera)), CGameWorld::kNoCamera);
  EXPECT_EQ(camera.get(), kept);
  EXPECT_EQ(world.GetCameraCount(), 0u);
  EXPECT_EQ(std::make_pair(world.GetViewWidth(), world.GetViewHeight()), std::make_pair(0, 0));  // nothing to measure
  // Object types are a registry of their own: the session manager is still object 1.
  ASSERT_NE(world.GetSessionManager(), nullptr);
  EXPECT_EQ(world.RegisterNewObject(std::make_unique<Plain>()), 0u);  // not networked: taken, no ID
  std::unique_ptr<CGameObject> networked = std::make_unique<Plain>();
  networked->SetFlags(CGameObject::kNetworked);
  EXPECT_EQ(world.RegisterNewObject(std::move(networked)), 2u);
  EXPECT_EQ(networked, nullptr);
  world.StartServer();  // no transport registered: a server without a link sends nothing
  world.AddLayerOnTop(std::make_unique<CGameActionLayer>());
  world.Tick(0.033f);
  world.Render(nullptr);
  EXPECT_EQ(world.GetLayerCount(), 1u);
}

TEST(WorldServices, TheLinksTrafficIsReportedEveryTenSecondsAndANewModeClosesTheLink) {
  DebugCapture log;
  NoServices scope;
  GetWorldServices().createNetLink = &MakeQuietLink;
  CGameWorld world(nullptr, nullptr);
  world.StartServer();
  // Bytes a second over the period since the last report, at most one report every 10 s.
  plat::UseManualClock(1000);
  QuietLink::traffic = {1000, 2000, 3000, 4000};
  world.Tick(0.033f);
  plat::AdvanceClock(10001);
  world.Tick(0.033f);  // reports, whenever an earlier world last did
  log.Clear();
  plat::AdvanceClock(10000);
  world.Tick(0.033f);  // exactly 10 s on: too soon
  QuietLink::traffic = {1500, 4000, 3000, 9000};
  plat::AdvanceClock(1);
  world.Tick(0.033f);
  plat::UseRealClock();
  EXPECT_EQ(log.Text(), "<********************** Network Use Report *********************>\n"
                        "TCP Send: 50, TCP Rec: 200, UDP Send: 0, UDP Rec: 500, Total: 750 In BytesPerSecond\n");
  // The old mode's link is closed even where no transport replaces it.
  GetWorldServices().createNetLink = nullptr;
  world.StartClient();
  EXPECT_EQ(QuietLink::open, 0);
}

TEST(WorldServices, TheRegisteredPartsAreMadeForEachWorld) {
  DebugCapture quiet;
  CGameWorld first(nullptr, nullptr);
  ASSERT_NE(first.GetScene(), nullptr);
  EXPECT_NE(first.GetMouseCursor(), nullptr);
  EXPECT_NE(CreateSpriteSheet(), nullptr);
  CGameWorld second(nullptr, nullptr);
  EXPECT_NE(second.GetScene(), first.GetScene());
  EXPECT_NE(second.GetLightList(), first.GetLightList());  // two missing lists would be equal
  ASSERT_NE(first.GetShadowRenderer(), nullptr);
  EXPECT_EQ(first.GetShadowRenderer(), first.GetScene()->GetShadowRenderer());
  EXPECT_NE(second.GetShadowRenderer(), first.GetShadowRenderer());
  // Each scene side holds its own cameras.
  EXPECT_EQ(first.AddCamera(std::make_unique<CObserverCam>()), 0u);
  EXPECT_EQ(first.AddCamera(std::make_unique<CObserverCam>()), 1u);
  EXPECT_EQ(second.GetCameraCount(), 0u);
  EXPECT_NE(first.GetCamera(1), nullptr);
  EXPECT_EQ(first.GetCamera(2), nullptr);
}

}  // namespace
