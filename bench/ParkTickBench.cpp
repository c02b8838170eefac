// The park's tick on the demo park with 50, 200 and 500 skaters let in at once (motion,
// decisions, path searches, scores), and a 100-day headless run with the park's own arrivals.
#include <benchmark/benchmark.h>

#include <memory>

#include "app/EngineRegistration.h"
#include "core/math/Box.h"
#include "park/ParkRunner.h"
#include "park/VerezIvor.h"
#include "platform/Platform.h"
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

void BM_ParkTick(benchmark::State& state) {
  RegisterEngine();
  BenchPark bench(3);
  if (!bench.built) return state.SkipWithError("the demo park could not be built");
  CParkRunner runner(bench.park);
  runner.SetCheckInvariants(false);
  runner.SpawnSkaters(static_cast<int>(state.range(0)));
  runner.RunTicks(300);  // let the crowd spread out from the gate
  const uint64_t skaterTicksBefore = runner.GetSkaterTicks();
  for (auto _ : state) runner.Tick();
  state.counters["skaters"] = static_cast<double>(runner.Digest().skaterCount);
  state.counters["skater_ticks"] = benchmark::Counter(static_cast<double>(runner.GetSkaterTicks() - skaterTicksBefore),
                                                      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParkTick)->Arg(50)->Arg(200)->Arg(500)->Unit(benchmark::kMillisecond);

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
