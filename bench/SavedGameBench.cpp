// Saving and loading a park of 200 pieces and 500 skaters with routes, in memory and through
// files, beside a plain copy, file write and file read of the same number of bytes. File cases
// are timed on the wall clock: the write waits for the disk. The park is built from the tests'
// piece fixture.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/EngineRegistration.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/saved/SavedGame.h"
#include "park/skater/Skater.h"
#include "park/world/ParkClearing.h"
#include "park/world/VerezIvor.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FileWrite.h"
#include "platform/system/Platform.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/ParkPieces.h"

namespace {

constexpr int kSide = 48;
constexpr int kPieces = 200;
constexpr int kSkaters = 500;

// One park for the whole program: 200 pieces (every fifth a facility) on a 48 x 48 grid, 500
// skaters each with a route across the open ground.
struct BenchPark {
  BenchPark() : park(nullptr, nullptr) {
    plat::srand(3);
    park.GetOctree().Reset(Box(Vector3(-10, -10, -10), Vector3(kSide + 10, kSide + 10, 10)));
    auto made = testing_support::OpenGroundGrid(kSide, kSide, 0xF);
    for (int r = 0; r < kSide; ++r) made->GetSquare(kSide / 2, r)->grass = 1;
    made->AddEntrance(made->GetSquare(0, 0));
    park.SetGrid(std::move(made));
    kicker = testing_support::PieceMesh(testing_support::KickerNodes());
    stand = testing_support::PieceMesh(
        {{Vector3(0, 0, 0), "skatenode 1 external line link dest=2 type=walk"},
         {Vector3(0.5f, 0.5f, 0), "skatenode 2 target buy_food action link dest=1 type=walk"}});
    catalog.meshes = {{100, kicker.get()}, {101, stand.get()}};
    for (int i = 0; i < 2; ++i) {
      catalog.defs[i].mesh = 100 + i;
      catalog.defs[i].cost = 500.0;
      catalog.defs[i].useFee = 2.0f;
    }
    // Pieces on every other square of every third row; skaters walk the rows between.
    int placed = 0;
    for (int r = 2; r < kSide && placed < kPieces; r += 3)
      for (int c = 1; c < kSide - 1 && placed < kPieces; c += 2, ++placed) {
        const float x = static_cast<float>(c), y = static_cast<float>(r);
        CSkatableSection* raw = placed % 5 == 4 ? testing_support::AddHeldPiece<CSkatableFacility>(
                                                      park, 101, &catalog.defs[1], x, y)
                                                : testing_support::AddHeldPiece(park, 100, &catalog.defs[0], x, y);
        raw->Place();
      }
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> pick(0, kSide - 1);
    CGrid& grid = *park.GetGrid();
    for (int i = 0; i < kSkaters; ++i) {
      const int row = 3 * (pick(rng) % (kSide / 3)) + 1;  // rows with no piece beside them
      const int column = pick(rng);
      CSkater* skater = testing_support::AddSkater(park,
                                                   Vector3(static_cast<float>(column), static_cast<float>(row), 0.5f));
      GraphPath path;
      CSkatePathNode* from = grid.GetSquare(column, row);
      CSkatePathNode* to = grid.GetSquare(pick(rng), row);
      if (grid.FindPathForSkater(nullptr, from, to, &path)) skater->SetRouteFromPath(path, from);
    }
    grid.UpdateComponents();
    CSavedGame::Save(park, controller, bytes);
    file = (std::filesystem::temp_directory_path() / "kelvarun_savedgame_bench.sav").string();
  }
  ~BenchPark() { std::remove(file.c_str()); }

  std::unique_ptr<ShadedMesh> kicker, stand;
  CVerezIvor park;
  ControllerSaveFields controller;
  std::vector<uint8_t> bytes;
  std::string file;
  testing_support::TestPieceCatalog catalog{2};  // last: the sources go before the park does
};

BenchPark& Park() {
  static bool registered = (RegisterEngine(), true);
  (void)registered;
  static BenchPark park;
  return park;
}

void Report(benchmark::State& state, size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
  state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_SaveInMemory(benchmark::State& state) {
  BenchPark& p = Park();
  std::vector<uint8_t> out;
  for (auto _ : state) {
    CSavedGame::Save(p.park, p.controller, out);
    benchmark::DoNotOptimize(out.data());
  }
  Report(state, p.bytes.size());
}

void BM_LoadInMemory(benchmark::State& state) {
  BenchPark& p = Park();
  for (auto _ : state) {
    const bool ok = CSavedGame::Load(p.park, p.controller, p.bytes.data(), p.bytes.size());
    if (!ok) state.SkipWithError("the park did not load");
  }
  Report(state, p.bytes.size());
}

void BM_PlainCopy(benchmark::State& state) {
  BenchPark& p = Park();
  std::vector<uint8_t> out;
  for (auto _ : state) {
    out.assign(p.bytes.begin(), p.bytes.end());
    benchmark::DoNotOptimize(out.data());
  }
  Report(state, p.bytes.size());
}

void BM_SaveToFile(benchmark::State& state) {
  BenchPark& p = Park();
  for (auto _ : state)
    if (!CSavedGame::SaveToFile(p.park, p.controller, p.file.c_str())) state.SkipWithError("the file was not written");
  Report(state, p.bytes.size());
}

void BM_PlainFileWrite(benchmark::State& state) {
  BenchPark& p = Park();
  for (auto _ : state)
    if (!plat::ReplaceFileContents(p.file.c_str(), p.bytes.data(), p.bytes.size()))
      state.SkipWithError("the file was not written");
  Report(state, p.bytes.size());
}

void BM_LoadFromFile(benchmark::State& state) {
  BenchPark& p = Park();
  plat::ReplaceFileContents(p.file.c_str(), p.bytes.data(), p.bytes.size());
  for (auto _ : state)
    if (!CSavedGame::LoadFromFile(p.park, p.controller, p.file.c_str())) state.SkipWithError("the park did not load");
  Report(state, p.bytes.size());
}

void BM_PlainFileRead(benchmark::State& state) {
  BenchPark& p = Park();
  plat::ReplaceFileContents(p.file.c_str(), p.bytes.data(), p.bytes.size());
  std::vector<uint8_t> in(p.bytes.size());
  for (auto _ : state) {
    plat::CReadFile f;
    if (!f.Open(p.file.c_str()) || f.Read(in.data(), in.size()) != in.size()) state.SkipWithError("no read");
    benchmark::DoNotOptimize(in.data());
  }
  Report(state, p.bytes.size());
}

}  // namespace

BENCHMARK(BM_SaveInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainFileWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainFileRead)->Unit(benchmark::kMillisecond)->UseRealTime();
