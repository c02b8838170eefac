// The park's tick (motion, decisions, path searches, scores) on the demo level's instant-action
// park (64 x 64 squares, written by the generator into a temporary folder): with 50, 200 and 500
// skaters let in at the gate at once, where the crowd piles up, and with 500 spread over the whole
// park as a busy day leaves them. Then a 100-day headless run of the small in-memory demo park
// (24 x 24) with its own arrivals.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "app/EngineRegistration.h"
#include "bench/DemoLevelPark.h"
#include "core/math/Box.h"
#include "park/grid/Grid.h"
#include "park/runner/ParkRunner.h"
#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
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

// Every skater is set down on a random open square the gate reaches, then the park runs for half
// a minute: the crowd is skating, queueing and crashing all over the park rather than at the gate.
void BM_ParkTickSpreadOverThePark(benchmark::State& state) {
  RegisterEngine();
  LevelPark bench(5);
  if (!bench.built) return state.SkipWithError("the demo level park could not be built");
  const CGrid& grid = *bench.park.GetGrid();
  std::vector<const CGridSquare*> open;
  for (int i = 0; i < grid.GetSquareCount(); ++i) {
    const CGridSquare* square = grid.GetSquareByIndex(i);
    if (square->skateable != 0 && square->exit == 0 && !square->IsBlocked() && grid.IsConnected(*square))
      open.push_back(square);
  }
  if (open.empty()) return state.SkipWithError("the park has no open square");
  CParkRunner runner(bench.park);
  runner.SetCheckInvariants(false);
  runner.SpawnSkaters(static_cast<int>(state.range(0)));
  for (CSkater* skater : GetSkaterList()) {
    const CGridSquare* square = open[static_cast<size_t>(plat::rand()) % open.size()];
    skater->GetMotion().PlaceOnGroundAt(square->centre + Vector3(0.0f, 0.0f, skater->GetHeightOffset()));
  }
  runner.RunTicks(900);
  const uint64_t skaterTicksBefore = runner.GetSkaterTicks();
  for (auto _ : state) runner.Tick();
  state.counters["skaters"] = static_cast<double>(runner.Digest().skaterCount);
  state.counters["skater_ticks"] = benchmark::Counter(static_cast<double>(runner.GetSkaterTicks() - skaterTicksBefore),
                                                      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParkTickSpreadOverThePark)->Arg(500)->Unit(benchmark::kMillisecond);

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
