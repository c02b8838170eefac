// Placing and picking up a piece in a park of 200 placed demo pieces, with everything the park
// refreshes around it (footprint squares, node rings, path components, skaters, scores), beside
// one recomputation of the path components alone - the share of a placement the graph takes.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "app/EngineRegistration.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/PiecePlacement.h"
#include "park/pieces/SkatableSection.h"
#include "park/world/VerezIvor.h"
#include "tools/DemoContentPieces.h"

namespace {

constexpr int kPieces = 200;
constexpr int kSide = 64;    // squares per grid side
constexpr int kSpacing = 4;  // squares between piece corners: room for a 2 x 3 footprint and a path
constexpr int kFirstMeshId = 7000;

struct BenchPark {
  std::vector<std::unique_ptr<ShadedMesh>> meshes;
  std::vector<std::unique_ptr<ObjectDefinition>> definitions;
  std::unique_ptr<CVerezIvor> park;
  uint32_t probe = 0;
};

BenchPark* g_bench = nullptr;

ShadedMesh* Mesh(int id) {
  const int i = id - kFirstMeshId;
  return i >= 0 && i < static_cast<int>(g_bench->meshes.size()) ? g_bench->meshes[static_cast<size_t>(i)].get()
                                                                : nullptr;
}
const ObjectDefinition* Definition(int i) {
  return i >= 0 && i < static_cast<int>(g_bench->definitions.size())
             ? g_bench->definitions[static_cast<size_t>(i)].get()
             : nullptr;
}
ShadedMesh* NoTerrain() { return nullptr; }

uint32_t Buy(CVerezIvor& park, const ObjectDefinition& def, float x, float y) {
  auto piece = std::make_unique<CSkatableSection>();
  COrientation frame;
  frame.SetPosition(Vector3(x, y, 0.0f));
  if (!piece->InitFromMesh(frame, def.mesh, false)) return 0;
  piece->SetDefinition(&def, true);
  return park.RegisterNewObject(std::move(piece));
}

// Built once: the skatable demo pieces (every piece but the stands) in turn on a lattice of
// corners, each placed through the park; the probe waits, held, in a free spot in the middle.
BenchPark& GetBenchPark() {
  static BenchPark bench;
  if (bench.park) return bench;
  RegisterEngine();
  g_bench = &bench;
  CSkatableSection::SetSources({&Mesh, &Definition, &NoTerrain});
  for (const DemoContent::PieceSpec& spec : DemoContent::PieceSpecs()) {
    if (spec.name.find("stand") != std::string::npos || spec.name == "restroom" || spec.name == "firstaid" ||
        spec.name == "skateshop")
      continue;
    auto def = std::make_unique<ObjectDefinition>();
    def->mesh = kFirstMeshId + static_cast<int>(bench.meshes.size());
    def->type = static_cast<int>(bench.definitions.size());
    def->footprintWidth = 2, def->footprintLength = 2;
    def->footprint[0][0] = def->footprint[0][1] = def->footprint[1][0] = def->footprint[1][1] = 1;
    def->cost = 500.0;
    bench.meshes.push_back(DemoContent::BuildPiece(spec));
    bench.definitions.push_back(std::move(def));
  }
  bench.park = std::make_unique<CVerezIvor>(nullptr, nullptr);
  CVerezIvor& park = *bench.park;
  auto grid = std::make_unique<CGrid>(kSide, kSide, Vector3(), 1.0f, 1.0f);
  for (int i = 0; i < grid->GetSquareCount(); ++i) grid->GetSquareByIndex(i)->directionMask = 0xFF;
  grid->GetSquare(0, 0)->entrance = 1;
  grid->CollectGates();
  park.SetGrid(std::move(grid));
  const int perRow = (kSide - 2) / kSpacing;
  const int middle = (perRow / 2) * perRow + perRow / 2;  // left free for the probe
  int placed = 0;
  for (int slot = 0; placed < kPieces; ++slot) {
    if (slot == middle) continue;
    const float x = 1.0f + static_cast<float>((slot % perRow) * kSpacing);
    const float y = 1.0f + static_cast<float>((slot / perRow) * kSpacing);
    const ObjectDefinition& def = *bench.definitions[static_cast<size_t>(placed) % bench.definitions.size()];
    PlacePieceInPark(park, Buy(park, def, x, y));
    ++placed;
  }
  bench.probe = Buy(park, *bench.definitions[0], 1.0f + static_cast<float>((middle % perRow) * kSpacing),
                    1.0f + static_cast<float>((middle / perRow) * kSpacing));
  return bench;
}

// One iteration: the probe is placed and picked up again, each with its full refresh.
void BM_PlaceAndPickUp(benchmark::State& state) {
  BenchPark& bench = GetBenchPark();
  CVerezIvor& park = *bench.park;
  for (auto _ : state) {
    if (!PlacePieceInPark(park, bench.probe) || !LiftPieceFromPark(park, bench.probe)) {
      state.SkipWithError("the probe could not be placed");
      break;
    }
  }
  state.counters["placed"] = static_cast<double>(GetPlacedSectionList().size());
  state.counters["place+pickup/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlaceAndPickUp)->Unit(benchmark::kMicrosecond);

// The path components of the same park, recomputed alone.
void BM_UpdateComponents(benchmark::State& state) {
  BenchPark& bench = GetBenchPark();
  CGrid& grid = *bench.park->GetGrid();
  for (auto _ : state) grid.UpdateComponents();
  state.counters["components"] = static_cast<double>(grid.GetNextComponentId() - grid.GetFirstComponentId());
}
BENCHMARK(BM_UpdateComponents)->Unit(benchmark::kMicrosecond);

}  // namespace
