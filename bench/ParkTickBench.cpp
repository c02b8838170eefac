// The park's tick with 50, 200 and 500 skaters let in at once (motion, decisions, path searches,
// scores) on the demo level's instant-action park (64 x 64 squares, written by the generator into
// a temporary folder), and a 100-day headless run of the small in-memory demo park (24 x 24) with
// its own arrivals.
#include <benchmark/benchmark.h>

#include <memory>

#include "app/EngineRegistration.h"
#include "bench/DemoLevelPark.h"
#include "core/math/Box.h"
#include "park/runner/ParkRunner.h"
#include "park/world/VerezIvor.h"
#include "platform/Platform.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentPark.h"

namespace {

struct BenchPark {
  explicit BenchPark(uint32_t seed) : park(nullptr, nullptr) {
    plat::srand(seed);
    park.GetOctree().Reset(Box(Vector3(-50.0f, -50.0f, -50.0f), Vector3(80.0f, 80.0f, 50.0f)));
    built = DemoContent::BuildDemoPark(park, content);
  }
  ~BenchPark() {
    park.ClearWorld();
    DemoContent::ReleaseDemoPark();
  }
  DemoContent::DemoPark content;
  CVerezIvor park;
  bool built = false;
};

// The demo level with the instant-action layout placed.
using LevelPark = DemoLevelPark;

void BM_ParkTickOnTheDemoLevel(benchmark::State& state) {
  RegisterEngine();
  LevelPark bench(3);
  if (!bench.built) return state.SkipWithError("the demo level park could not be built");
  CParkRunner runner(bench.park);
  runner.SetCheckInvariants(false);
  runner.SpawnSkaters(static_cast<int>(state.range(0)));
  runner.RunTicks(300);  // ten seconds: the crowd starts to spread out from the gate
  const uint64_t skaterTicksBefore = runner.GetSkaterTicks();
  for (auto _ : state) runner.Tick();
  state.counters["skaters"] = static_cast<double>(runner.Digest().skaterCount);
  state.counters["skater_ticks"] = benchmark::Counter(static_cast<double>(runner.GetSkaterTicks() - skaterTicksBefore),
                                                      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParkTickOnTheDemoLevel)->Arg(50)->Arg(200)->Arg(500)->Unit(benchmark::kMillisecond);


void BM_HundredParkDays(benchmark::State& state) {
  RegisterEngine();
  for (auto _ : state) {
    BenchPark bench(4);
    if (!bench.built) return state.SkipWithError("the demo park could not be built");
    CParkRunner runner(bench.park);
    runner.SetCheckInvariants(false);
    runner.RunDays(100);
    state.counters["ticks"] = static_cast<double>(runner.GetTickCount());
    state.counters["skater_ticks_per_s"] =
        benchmark::Counter(static_cast<double>(runner.GetSkaterTicks()), benchmark::Counter::kIsRate);
  }
}
BENCHMARK(BM_HundredParkDays)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
