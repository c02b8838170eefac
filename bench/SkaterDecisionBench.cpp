// The skaters' decisions in a busy park: 500 skaters on a 64 x 64 grid with 30 pieces to skate and
// 6 facilities. One decision of one skater (a skating route or a facility search), and one second
// of park time for all of them (their minds and the stand-in bodies, 20 ticks).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "park/grid/Grid.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/ParkPieces.h"

namespace {

constexpr int kSide = 64;
constexpr int kSkaters = 500;
constexpr int kPieces = 30;
constexpr int kFacilities = 6;

using testing_support::PieceMesh;

// A park with its pieces, facilities and skaters; built once and shared by the benchmarks.
struct BusyPark {
  BusyPark() : park(nullptr, nullptr) {
    plat::srand(4242);
    ClearPlacedSectionList();
    park.GetOctree().Reset(Box(Vector3(-10, -10, -10), Vector3(kSide + 10, kSide + 10, 50)));
    auto grid = std::make_unique<CGrid>(kSide, kSide, Vector3(), 1.0f, 1.0f);
    for (int i = 0; i < grid->GetSquareCount(); ++i) {
      grid->GetSquareByIndex(i)->directionMask = 0xFF;
      grid->GetSquareByIndex(i)->flat = 1;
    }
    grid->GetSquare(1, 1)->entrance = 1;
    grid->GetSquare(kSide - 2, kSide - 2)->exit = 1;
    grid->CollectGates();
    park.SetGrid(std::move(grid));
    meshes.push_back(PieceMesh(testing_support::KickerNodes()));
    const char* kinds[] = {"buy_food", "buy_drink", "pee", "first_aid", "buy_tshirt", "buy_skateboard"};
    for (const char* kind : kinds)
      meshes.push_back(PieceMesh({{Vector3(0, 0, 0), "skatenode 1 external line link dest=2 type=walk"},
                                  {Vector3(0.5f, 0.5f, 0),
                                   std::string("skatenode 2 target ") + kind + " line action link dest=1 type=walk"}}));
    for (int i = 0; i < 7; ++i) {
      catalog.meshes[i] = meshes[static_cast<size_t>(i)].get();
      catalog.defs[i].mesh = i;
      catalog.defs[i].type = 30 + i;
      catalog.defs[i].useFee = 2.0f;
    }
    // Pieces on a coarse lattice, so that none overlaps and the open ground between stays walkable.
    int placed = 0;
    for (int row = 4; row < kSide - 4 && placed < kPieces + kFacilities; row += 8)
      for (int column = 4 + (row / 8 % 2) * 4; column < kSide - 4 && placed < kPieces + kFacilities; column += 8) {
        const int def = placed < kPieces ? 0 : 1 + (placed - kPieces);
        const float x = static_cast<float>(column), y = static_cast<float>(row);
        CSkatableSection* raw = def == 0 ? testing_support::AddHeldPiece(park, def, &catalog.defs[def], x, y)
                                         : testing_support::AddHeldPiece<CSkatableFacility>(park, def,
                                                                                            &catalog.defs[def], x, y);
        raw->Place();
        ++placed;
      }
    park.GetGrid()->UpdateComponents();
    for (int i = 0; i < kSkaters; ++i) {
      CSkater* s = testing_support::AddSkater(park,
                                              Vector3(2.2f + static_cast<float>(plat::rand() % (kSide - 4)),
                                                      2.2f + static_cast<float>(plat::rand() % (kSide - 4)), 0.45f));
      skaters.push_back(s->GetID());
    }
  }
  CSkater* Skater(size_t i) { return dynamic_cast<CSkater*>(park.GetObjectByID(skaters[i % skaters.size()])); }

  std::vector<std::unique_ptr<ShadedMesh>> meshes;
  CVerezIvor park;
  std::vector<uint32_t> skaters;
  testing_support::TestPieceCatalog catalog{7};  // last: the sources go before the park does
};

BusyPark& Park() {
  static BusyPark* park = new BusyPark();  // lives to the end of the program
  return *park;
}

// One decision: a content skater past its wait plans a skating route; every fourth one is hungry
// or thirsty enough to look for a stand first.
void BM_DecideOneSkater(benchmark::State& state) {
  BusyPark& busy = Park();
  size_t i = 0;
  int64_t routed = 0;
  for (auto _ : state) {
    CSkater* s = busy.Skater(i);
    if (s == nullptr) {
      ++i;
      continue;
    }
    s->needs = CSkater::Needs();
    if (i % 4 == 1) s->needs.hunger = 0.8f;
    if (i % 4 == 3) s->needs.thirst = 0.8f;
    s->mind.goal = CSkater::kGoalNone;
    s->SetState(CSkater::kDeciding, 0);
    s->times.decisionTimer = 1.0f;
    s->DecideWhatToDo();
    benchmark::DoNotOptimize(s->route.steps.data());
    routed += s->mind.state == CSkater::kSkating || s->mind.state == CSkater::kHeadingToGoal ? 1 : 0;
    ++i;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  // The share of decisions that ended with a route (the rest found nothing worth going to).
  state.counters["routed"] = static_cast<double>(routed) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DecideOneSkater)->Unit(benchmark::kMicrosecond);

// One second of park time for all skaters: 20 ticks of the world, minds and stand-in bodies.
void BM_OneParkSecond(benchmark::State& state) {
  BusyPark& busy = Park();
  for (auto _ : state) {
    for (int tick = 0; tick < 20; ++tick) {
      busy.park.Tick(0.05f);
      busy.park.UpdateObjects(0.05f);
    }
  }
  state.counters["skaters"] = static_cast<double>(GetSkaterList().size());
}
BENCHMARK(BM_OneParkSecond)->Unit(benchmark::kMillisecond);

}  // namespace
