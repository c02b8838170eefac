// A seeded park day of the generated demo park, its skaters with the real body and animator and
// let in at the gate, ticked by the headless runner as the in-game controller ticks the park: the
// runner's checks hold (nobody still for a minute or down for half a minute), every skater stays
// finite and inside the world and finds a route when it wants to skate, takes the pieces' jumps
// and grinds, lands or crashes and gets up, and the thirsty find the drinks stand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "park/grid/PathEdgeInfo.h"
#include "park/pieces/SkatableSection.h"
#include "park/runner/ParkRunner.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterBody.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContentPark.h"

namespace {

constexpr float kTick = CParkRunner::kTickSeconds;

// What one skater has been seen doing, by object ID (skaters come and go).
struct Watch {
  uint32_t state = 0;
  int32_t routeIndex = -1;
  uint32_t motionMode = 1;
  float noRouteTime = 0.0f;  // deciding to skate with no route
  float landed = 0.0f;       // tricks it has landed
};

struct Counts {
  std::map<uint32_t, int> linksTaken;  // by link type
  int crashes = 0, recoveries = 0, standVisits = 0, maxSkaters = 0;
};

struct DemoParkRun : ::testing::Test {
  DemoParkRun() : park(nullptr, nullptr) {
    plat::srand(77);
    ClearPlacedSectionList();
    RegisterSkaterBody();
  }
  ~DemoParkRun() override {
    park.ClearWorld();
    DemoContent::ReleaseDemoPark();
    ClearPlacedSectionList();
  }
  // No skater decides to skate for long without finding a route. Standing still and lying
  // crashed are the runner's own checks.
  void CheckProgress(const CSkater& s, Watch& w, float dt) {
    const bool planless = s.mind.state == CSkater::kDeciding && s.mind.goal == CSkater::kGoalSkate && s.route.steps.empty();
    w.noRouteTime = planless ? w.noRouteTime + dt : 0.0f;
    ASSERT_LE(w.noRouteTime, 10.0f) << "skater " << s.GetID() << " finds no skating route";
  }
  // Links taken, tricks landed, crashes and recoveries, visits to the stands.
  void Count(const CSkater& s, Watch& w) {
    if (s.route.index != w.routeIndex && s.route.index >= 0 &&
        static_cast<size_t>(s.route.index) < s.route.steps.size()) {
      const CSkater::RouteStep& step = s.route.steps[static_cast<size_t>(s.route.index)];
      if (step.hasLink) ++counts.linksTaken[step.edge.kind];
    }
    w.routeIndex = s.route.index;
    w.landed = s.ability.totalB;
    if (s.body.motionMode != w.motionMode) {
      if (s.body.motionMode == CSkater::kCrashed) ++counts.crashes;
      if (w.motionMode == CSkater::kCrashed) ++counts.recoveries;
      w.motionMode = s.body.motionMode;
    }
    if (s.mind.state != w.state && s.mind.state == CSkater::kUsingFacility && s.mind.goal != CSkater::kGoalRest)
      ++counts.standVisits;
    w.state = s.mind.state;
  }
  void Observe(const CSkater& s, float dt) {
    const Vector3 p = s.GetCentre();
    ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << s.GetID();
    ASSERT_TRUE(DemoContent::DemoParkWorldBox().ContainsBox(Box(p, p)))
        << s.GetID() << " at " << p.x << ", " << p.y << ", " << p.z;
    Watch& w = watch[s.GetID()];
    CheckProgress(s, w, dt);
    if (HasFatalFailure()) return;
    Count(s, w);
  }

  testing_support::DebugCapture capture;
  CVerezIvor park;
  DemoContent::DemoPark demo;
  std::map<uint32_t, Watch> watch;
  Counts counts;
};

TEST_F(DemoParkRun, SkatersSkateAParkDay) {
  ASSERT_TRUE(DemoContent::BuildDemoPark(park, demo));
  CParkRunner runner(park);
  const uint32_t firstDay = park.GetClock().GetDay();
  int ticks = 0;
  for (; ticks < 10000 && park.GetClock().GetDay() < firstDay + 1; ++ticks) {
    runner.Tick();
    const std::vector<CSkater*> skaters = GetSkaterList();  // a copy: observing changes nothing
    counts.maxSkaters = std::max(counts.maxSkaters, static_cast<int>(skaters.size()));
    for (CSkater* s : skaters) {
      Observe(*s, kTick);
      if (HasFatalFailure()) return;
    }
  }
  for (const std::string& v : runner.GetViolations()) ADD_FAILURE() << v;
  std::printf("ticks %d, skaters up to %d, crashes %d, recoveries %d, stand visits %d\n", ticks, counts.maxSkaters,
              counts.crashes, counts.recoveries, counts.standVisits);
  for (const auto& kv : counts.linksTaken) std::printf("  link type %u taken %d times\n", kv.first, kv.second);
  EXPECT_GE(park.GetClock().GetDay(), firstDay + 1);
  EXPECT_GE(counts.maxSkaters, 5);
  // The pieces are skated, not only walked round: jumps, airs and grinds are all taken.
  EXPECT_GT(counts.linksTaken[kLinkSkate], 100);
  EXPECT_GT(counts.linksTaken[kLinkOllie], 5);
  EXPECT_GT(counts.linksTaken[kLinkAir] + counts.linksTaken[kLinkFreeAir], 5);
  EXPECT_GT(counts.linksTaken[kLinkGrindLeft] + counts.linksTaken[kLinkGrindRight], 2);
  float landed = 0.0f;
  for (const auto& kv : watch) landed += kv.second.landed;
  EXPECT_GT(landed, 20.0f);
  // Crashes happen and the skaters get up again (each skater may still be down at the end, or
  // have been taken out of the park while down).
  EXPECT_GT(counts.crashes, 5);
  EXPECT_GE(counts.recoveries, counts.crashes - static_cast<int>(watch.size()));
  EXPECT_GE(counts.standVisits, 1);
}

}  // namespace
