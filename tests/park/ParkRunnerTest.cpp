// Headless park runs on the demo park: the invariants hold over long runs, and a seed reproduces
// the whole run while another seed does not.
#include <gtest/gtest.h>

#include <memory>

#include "core/math/Box.h"
#include "park/ParkRunner.h"
#include "park/Skater.h"
#include "park/VerezIvor.h"
#include "platform/Platform.h"
#include "tools/DemoContentPark.h"

namespace {

// One park made from scratch per run, so runs share nothing but the code.
struct DemoRun {
  explicit DemoRun(uint32_t seed) : park(nullptr, nullptr) {
    plat::srand(seed);
    park.GetOctree().Reset(Box(Vector3(-50.0f, -50.0f, -50.0f), Vector3(80.0f, 80.0f, 50.0f)));
    built = DemoContent::BuildDemoPark(park, content);
  }
  ~DemoRun() {
    park.ClearWorld();
    DemoContent::ReleaseDemoPark();
  }
  DemoContent::DemoPark content;
  CVerezIvor park;
  bool built = false;
};

ParkRunDigest RunFor(uint32_t seed, int skaters, int ticks) {
  DemoRun run(seed);
  EXPECT_TRUE(run.built);
  CParkRunner runner(run.park);
  EXPECT_EQ(runner.SpawnSkaters(skaters), skaters);
  runner.RunTicks(ticks);
  for (const std::string& v : runner.GetViolations()) ADD_FAILURE() << v;
  return runner.Digest();
}

TEST(ParkRunner, ASeedReproducesTheWholeRunAndAnotherSeedDoesNot) {
  const ParkRunDigest a = RunFor(11, 12, 900);
  const ParkRunDigest b = RunFor(11, 12, 900);
  EXPECT_EQ(a.Describe(), b.Describe());
  EXPECT_EQ(a, b);
  const ParkRunDigest c = RunFor(12, 12, 900);
  EXPECT_NE(a, c) << a.Describe();
  // The run did something: skaters came, paid and are counted where they are.
  EXPECT_GE(a.entered, 12u);
  EXPECT_EQ(a.entered - a.exited, a.skaterCount);
  EXPECT_GT(a.totals[4], 0.0);  // admission
}

TEST(ParkRunner, ADemoParkRunsForDaysWithEveryInvariantHolding) {
  DemoRun run(5);
  ASSERT_TRUE(run.built);
  CParkRunner runner(run.park);
  runner.SpawnSkaters(10);
  const uint32_t day0 = run.park.GetClock().GetDay() + run.park.GetClock().GetWeek() * CSimClock::kDaysPerWeek;
  runner.RunDays(2);
  const CSimClock& clock = run.park.GetClock();
  EXPECT_EQ(clock.GetDay() + clock.GetWeek() * CSimClock::kDaysPerWeek, day0 + 2);
  for (const std::string& v : runner.GetViolations()) ADD_FAILURE() << v;
  const ParkRunDigest d = runner.Digest();
  EXPECT_EQ(d.entered - d.exited, d.skaterCount);
  EXPECT_GT(d.totals[1], 0.0);  // maintenance was charged every day
  EXPECT_GT(runner.GetSkaterTicks(), 0u);
}

}  // namespace
