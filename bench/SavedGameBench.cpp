// Saving and loading a park of 200 pieces and 500 skaters with routes, in memory and through
// files, beside a plain copy, file write and file read of the same number of bytes. File cases
// are timed on the wall clock: the write waits for the disk.
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
#include "platform/FileSystem.h"
#include "platform/FileWrite.h"
#include "platform/Platform.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

constexpr int kSide = 48;
constexpr int kPieces = 200;
constexpr int kSkaters = 500;

ObjectDefinition g_definitions[2];
std::unique_ptr<ShadedMesh> g_kicker, g_stand;

ShadedMesh* BenchMesh(int id) { return id == 100 ? g_kicker.get() : id == 101 ? g_stand.get() : nullptr; }
const ObjectDefinition* BenchDefinition(int index) { return index >= 0 && index < 2 ? &g_definitions[index] : nullptr; }
ShadedMesh* NoTerrain() { return nullptr; }

std::unique_ptr<ShadedMesh> MeshWithNodes(const std::vector<std::pair<Vector3, std::string>>& nodes) {
  auto mesh = std::make_unique<ShadedMesh>();
  mesh->CreateGrid(2, nullptr, 0);
  for (const auto& n : nodes) {
    COrientation at;
    at.SetPosition(n.first);
    mesh->AddAttachPoint(at, CSkatableSection::kSkateNodeAttach, static_cast<uint32_t>(n.second.size() + 1),
                         n.second.c_str(), false);
  }
  return mesh;
}

// One park for the whole program: 200 pieces (every fifth a facility) on a 48 x 48 grid, 500
// skaters each with a route across the open ground.
struct BenchPark {
  BenchPark() : park(nullptr, nullptr) {
    plat::srand(3);
    park.GetOctree().Reset(Box(Vector3(-10, -10, -10), Vector3(kSide + 10, kSide + 10, 10)));
    auto made = std::make_unique<CGrid>(kSide, kSide, Vector3(), 1.0f, 1.0f);
    for (int i = 0; i < made->GetSquareCount(); ++i) made->GetSquareByIndex(i)->directionMask = 0xF;
    for (int r = 0; r < kSide; ++r) made->GetSquare(kSide / 2, r)->grass = 1;
    made->AddEntrance(made->GetSquare(0, 0));
    park.SetGrid(std::move(made));
    g_kicker = MeshWithNodes({{Vector3(0, 0, 0), "skatenode 1 external link dest=2 type=skate_to_top"},
                              {Vector3(0.5f, 0.5f, 1.0f), "skatenode 2 target air link dest=3 type=skate"},
                              {Vector3(1, 1, 0), "skatenode 3 external link dest=1 type=walk"}});
    g_stand = MeshWithNodes({{Vector3(0, 0, 0), "skatenode 1 external line link dest=2 type=walk"},
                             {Vector3(0.5f, 0.5f, 0), "skatenode 2 target buy_food action link dest=1 type=walk"}});
    for (int i = 0; i < 2; ++i) {
      g_definitions[i].catalogNumber = static_cast<uint16_t>(i);
      g_definitions[i].mesh = 100 + i;
      g_definitions[i].footprint[0][0] = 1;
      g_definitions[i].cost = 500.0;
      g_definitions[i].useFee = 2.0f;
    }
    CSkatableSection::SetSources({&BenchMesh, &BenchDefinition, &NoTerrain});
    // Pieces on every other square of every third row; skaters walk the rows between.
    int placed = 0;
    for (int r = 2; r < kSide && placed < kPieces; r += 3)
      for (int c = 1; c < kSide - 1 && placed < kPieces; c += 2, ++placed) {
        const bool facility = placed % 5 == 4;
        std::unique_ptr<CSkatableSection> section =
            facility ? std::make_unique<CSkatableFacility>() : std::make_unique<CSkatableSection>();
        CSkatableSection* raw = section.get();
        COrientation frame;
        frame.SetPosition(Vector3(static_cast<float>(c), static_cast<float>(r), 0.0f));
        raw->InitFromMesh(frame, facility ? 101 : 100, false);
        raw->SetDefinition(&g_definitions[facility ? 1 : 0], true);
        park.RegisterNewObject(std::move(section));
        raw->Place();
      }
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> pick(0, kSide - 1);
    CGrid& grid = *park.GetGrid();
    for (int i = 0; i < kSkaters; ++i) {
      auto owned = std::make_unique<CSkater>();
      CSkater* skater = owned.get();
      const int row = 3 * (pick(rng) % (kSide / 3)) + 1;  // rows with no piece beside them
      COrientation frame;
      frame.SetPosition(Vector3(static_cast<float>(pick(rng)), static_cast<float>(row), 0.5f));
      skater->LoadBody(frame);
      park.RegisterNewObject(std::move(owned));
      GraphPath path;
      CSkatePathNode* from = grid.GetSquare(static_cast<int>(frame.position.x), row);
      CSkatePathNode* to = grid.GetSquare(pick(rng), row);
      if (grid.FindPathForSkater(nullptr, from, to, &path)) skater->SetRouteFromPath(path, from);
    }
    grid.UpdateComponents();
    CSavedGame::Save(park, controller, bytes);
    file = (std::filesystem::temp_directory_path() / "kelvarun_savedgame_bench.sav").string();
  }
  ~BenchPark() { std::remove(file.c_str()); }

  CVerezIvor park;
  ControllerSaveFields controller;
  std::vector<uint8_t> bytes;
  std::string file;
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
