// The graph's path search and components beside Boost.Graph on the same graphs in the same run:
// on the demo level's park grid with the instant-action park placed (its successors built on the
// fly, as the skaters search it), A* between 200 pairs of places and the components from the
// entrances, apart and in turn for their ratio; on synthetic adjacency lists, A* on a 256 x 256
// grid with obstacles, best-first search on random graphs of 100,000 nodes, and strongly connected
// components of 1,000,000 nodes.
#include <benchmark/benchmark.h>

#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/astar_search.hpp>
#include <boost/graph/strong_components.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/EngineRegistration.h"
#include "bench/DemoLevelPark.h"
#include "bench/PairedRatio.h"
#include "park/grid/DirectedGraph.h"
#include "park/grid/Grid.h"
#include "tests/support/ListGraph.h"

namespace {

using testing_support::Edge;
using testing_support::ListGraph;

using BoostGraph = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS, boost::no_property,
                                         boost::property<boost::edge_weight_t, float>>;

BoostGraph ToBoost(const ListGraph& g) {
  BoostGraph b(g.nodes.size());
  for (size_t a = 0; a < g.edges.size(); ++a)
    for (const Edge& e : g.edges[a]) boost::add_edge(a, static_cast<size_t>(e.to), e.weight, b);
  return b;
}

constexpr int kSide = 256;

// A 256 x 256 grid of unit moves with a fifth of the cells walled off (corners kept open).
std::unique_ptr<ListGraph> MakeGrid() {
  auto g = std::make_unique<ListGraph>(kSide * kSide, kSide);
  std::mt19937 rng(7);
  std::vector<char> wall(static_cast<size_t>(kSide * kSide));
  for (size_t i = 0; i < wall.size(); ++i) wall[i] = rng() % 5 == 0;
  wall.front() = wall.back() = 0;
  for (int r = 0; r < kSide; ++r)
    for (int c = 0; c < kSide; ++c) {
      if (wall[static_cast<size_t>(r * kSide + c)]) continue;
      static const int kMoves[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
      for (const auto& m : kMoves) {
        const int nc = c + m[0], nr = r + m[1];
        if (nc < 0 || nr < 0 || nc >= kSide || nr >= kSide || wall[static_cast<size_t>(nr * kSide + nc)]) continue;
        g->edges[static_cast<size_t>(r * kSide + c)].push_back(Edge{nr * kSide + nc, 1.0f});
      }
    }
  return g;
}

std::unique_ptr<ListGraph> MakeRandom(int n, int degree, uint32_t seed) {
  auto g = std::make_unique<ListGraph>(n);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> pick(0, n - 1);
  std::uniform_real_distribution<float> weight(1.0f, 10.0f);
  for (int a = 0; a < n; ++a)
    for (int k = 0; k < degree; ++k) g->edges[static_cast<size_t>(a)].push_back(Edge{pick(rng), weight(rng)});
  return g;
}

struct FoundGoal {};
struct GoalVisitor : boost::default_astar_visitor {
  size_t goal;
  explicit GoalVisitor(size_t g) : goal(g) {}
  void examine_vertex(size_t v, const BoostGraph&) const {
    if (v == goal) throw FoundGoal();
  }
};

template <class H>
float BoostAStar(const BoostGraph& b, size_t start, size_t goal, H heuristic) {
  const size_t n = boost::num_vertices(b);
  std::vector<size_t> parent(n);
  std::vector<float> dist(n), rank(n);
  try {
    boost::astar_search(b, start, heuristic,
                        boost::visitor(GoalVisitor(goal)).predecessor_map(parent.data()).distance_map(dist.data()).rank_map(rank.data()));
  } catch (const FoundGoal&) {
  }
  return dist[goal];
}

struct Manhattan : boost::astar_heuristic<BoostGraph, float> {
  size_t goal;
  explicit Manhattan(size_t g) : goal(g) {}
  float operator()(size_t v) const {
    const int a = static_cast<int>(v), b = static_cast<int>(goal);
    return static_cast<float>(std::abs(a % kSide - b % kSide) + std::abs(a / kSide - b / kSide));
  }
};
struct Zero : boost::astar_heuristic<BoostGraph, float> {
  float operator()(size_t) const { return 0.0f; }
};

void BM_GridFindPath(benchmark::State& state) {
  auto g = MakeGrid();
  for (auto _ : state) {
    GraphPath path;
    benchmark::DoNotOptimize(g->FindPath(&g->nodes.front(), &g->nodes.back(), &path));
    benchmark::DoNotOptimize(path.size());
  }
}
BENCHMARK(BM_GridFindPath)->Unit(benchmark::kMillisecond);

void BM_GridBoostAStar(benchmark::State& state) {
  const BoostGraph b = ToBoost(*MakeGrid());
  const size_t goal = kSide * kSide - 1;
  for (auto _ : state) benchmark::DoNotOptimize(BoostAStar(b, 0, goal, Manhattan(goal)));
}
BENCHMARK(BM_GridBoostAStar)->Unit(benchmark::kMillisecond);

constexpr int kRandomNodes = 100000;

void BM_RandomFindPath(benchmark::State& state) {
  auto g = MakeRandom(kRandomNodes, 4, 11);
  int i = 0;
  for (auto _ : state) {
    GraphPath path;
    const int goal = 1 + (i++ * 7919) % (kRandomNodes - 1);
    benchmark::DoNotOptimize(g->FindPath(&g->nodes[0], &g->nodes[static_cast<size_t>(goal)], &path));
  }
}
BENCHMARK(BM_RandomFindPath)->Unit(benchmark::kMillisecond);

void BM_RandomBoostAStar(benchmark::State& state) {
  const BoostGraph b = ToBoost(*MakeRandom(kRandomNodes, 4, 11));
  int i = 0;
  for (auto _ : state) {
    const size_t goal = 1 + static_cast<size_t>((i++ * 7919) % (kRandomNodes - 1));
    benchmark::DoNotOptimize(BoostAStar(b, 0, goal, Zero()));
  }
}
BENCHMARK(BM_RandomBoostAStar)->Unit(benchmark::kMillisecond);

constexpr int kComponentNodes = 1000000;

void BM_Components(benchmark::State& state) {
  auto g = MakeRandom(kComponentNodes, 1, 13);
  std::vector<CGraphNode*> roots;
  for (auto& n : g->nodes) roots.push_back(&n);
  for (auto _ : state) {
    g->CalculateStronglyConnectedComponents(roots, nullptr);
    benchmark::DoNotOptimize(g->GetNextComponentId());
  }
}
BENCHMARK(BM_Components)->Unit(benchmark::kMillisecond);

void BM_BoostStrongComponents(benchmark::State& state) {
  const BoostGraph b = ToBoost(*MakeRandom(kComponentNodes, 1, 13));
  std::vector<size_t> component(boost::num_vertices(b));
  for (auto _ : state) benchmark::DoNotOptimize(boost::strong_components(b, component.data()));
}
BENCHMARK(BM_BoostStrongComponents)->Unit(benchmark::kMillisecond);

// --- The demo level's park grid ---

// The grid's goal estimate written out on plain positions: four times the largest axis difference
// plus a quarter of the other two.
float ParkEstimate(const Vector3& a, const Vector3& b) {
  float d[3] = {std::fabs(b.x - a.x), std::fabs(b.y - a.y), std::fabs(b.z - a.z)};
  std::sort(d, d + 3);
  return 4.0f * (d[2] + 0.25f * (d[0] + d[1]));
}

// Every node reachable from the entrances, numbered in the order found, and for Boost the grid's
// own steps between them with the costs a search without a skater gives them. 200 start and goal
// pairs are drawn from the entrance's component, so that every search reaches its goal.
struct ParkGraph {
  ParkGraph() : level(3) {
    if (!level.built || level.park.GetGrid() == nullptr) return;
    grid = level.park.GetGrid();
    std::unordered_map<CGraphNode*, size_t> index;
    SuccessorList successors;
    std::vector<std::pair<size_t, std::pair<size_t, float>>> steps;
    for (CGridSquare* entrance : grid->GetEntrances())
      if (index.emplace(entrance, nodes.size()).second) nodes.push_back(entrance);
    for (size_t a = 0; a < nodes.size(); ++a) {
      successors.clear();
      grid->GetSuccessors(nodes[a], successors);
      for (const GraphStep& step : successors) {
        if (step.node == nullptr) continue;
        const auto found = index.emplace(step.node, nodes.size());
        if (found.second) nodes.push_back(step.node);
        steps.push_back({a, {found.first->second, grid->EdgeCost(nodes[a], step.node, step.edge)}});
      }
    }
    for (size_t i = 0; i < nodes.size(); ++i) boost::add_vertex(boost);
    for (const auto& s : steps) boost::add_edge(s.first, s.second.first, s.second.second, boost);
    for (CGraphNode* node : nodes) positions.push_back(static_cast<CSkatePathNode*>(node)->GetPosition());
    grid->UpdateComponents();
    std::vector<size_t> connected;
    for (size_t i = 0; i < nodes.size(); ++i)
      if (grid->IsConnected(*static_cast<CSkatePathNode*>(nodes[i]))) connected.push_back(i);
    std::mt19937 rng(17);
    std::uniform_int_distribution<size_t> pick(0, connected.empty() ? 0 : connected.size() - 1);
    for (int k = 0; k < 200 && !connected.empty(); ++k) pairs.push_back({connected[pick(rng)], connected[pick(rng)]});
  }
  bool Ready() const { return grid != nullptr && !pairs.empty(); }

  DemoLevelPark level;
  CGrid* grid = nullptr;
  std::vector<CGraphNode*> nodes;
  std::vector<Vector3> positions;
  BoostGraph boost;
  std::vector<std::pair<size_t, size_t>> pairs;
};

ParkGraph& Park() {
  static bool registered = (RegisterEngine(), true);
  (void)registered;
  static ParkGraph park;
  return park;
}

struct ParkEstimateTo : boost::astar_heuristic<BoostGraph, float> {
  const std::vector<Vector3>* positions;
  size_t goal;
  ParkEstimateTo(const std::vector<Vector3>& p, size_t g) : positions(&p), goal(g) {}
  float operator()(size_t v) const { return ParkEstimate((*positions)[v], (*positions)[goal]); }
};

void ReportPark(benchmark::State& state, const ParkGraph& p) {
  state.counters["nodes"] = static_cast<double>(p.nodes.size());
  state.counters["edges"] = static_cast<double>(boost::num_edges(p.boost));
}

// Our search between every pair; the number of goals reached.
size_t ParkSearches(ParkGraph& p) {
  GraphPath path;
  size_t found = 0;
  for (const auto& [start, goal] : p.pairs) {
    path.clear();
    found += p.grid->FindPath(p.nodes[start], p.nodes[goal], &path) ? 1 : 0;
    benchmark::DoNotOptimize(path.data());
  }
  return found;
}

void BoostParkSearches(const ParkGraph& p) {
  for (const auto& [start, goal] : p.pairs)
    benchmark::DoNotOptimize(BoostAStar(p.boost, start, goal, ParkEstimateTo(p.positions, goal)));
}

// The park recomputes its components after every placement or sale, so each run follows a change
// of the squares under a 4 x 4 footprint in the middle of the grid (listed again with the same
// ids, which leaves the graph as it was).
void ParkComponents(ParkGraph& p) {
  const GridCell middle{p.grid->GetSize().column / 2, p.grid->GetSize().row / 2};
  for (int r = middle.row; r < middle.row + 4; ++r)
    for (int c = middle.column; c < middle.column + 4; ++c)
      if (CGridSquare* square = p.grid->GetSquare(c, r)) square->SetObjectIds(square->GetObjectIds());
  p.grid->UpdateComponents();
  benchmark::DoNotOptimize(p.grid->GetNextComponentId());
}

size_t BoostParkComponents(const ParkGraph& p, std::vector<size_t>& component) {
  const size_t count = boost::strong_components(p.boost, component.data());
  benchmark::DoNotOptimize(component.data());
  return count;
}

void BM_ParkGridFindPath(benchmark::State& state) {
  ParkGraph& p = Park();
  if (!p.Ready()) return state.SkipWithError("the demo level park could not be built");
  size_t found = 0;
  for (auto _ : state) found += ParkSearches(p);
  if (found != p.pairs.size() * state.iterations()) state.SkipWithError("a goal was not reached");
  ReportPark(state, p);
}
BENCHMARK(BM_ParkGridFindPath)->Unit(benchmark::kMillisecond);

void BM_ParkGridBoostAStar(benchmark::State& state) {
  ParkGraph& p = Park();
  if (!p.Ready()) return state.SkipWithError("the demo level park could not be built");
  for (auto _ : state) BoostParkSearches(p);
  ReportPark(state, p);
}
BENCHMARK(BM_ParkGridBoostAStar)->Unit(benchmark::kMillisecond);

// Both in turn in every iteration: the counter "ratio" is ours over Boost.
void BM_ParkGridFindPathOverBoost(benchmark::State& state) {
  ParkGraph& p = Park();
  if (!p.Ready()) return state.SkipWithError("the demo level park could not be built");
  RunPaired(
      state, [&] { ParkSearches(p); }, [&] { BoostParkSearches(p); });
}
BENCHMARK(BM_ParkGridFindPathOverBoost)->Unit(benchmark::kMillisecond);

void BM_ParkGridComponents(benchmark::State& state) {
  ParkGraph& p = Park();
  if (!p.Ready()) return state.SkipWithError("the demo level park could not be built");
  for (auto _ : state) ParkComponents(p);
  state.counters["components"] = static_cast<double>(p.grid->GetNextComponentId() - p.grid->GetFirstComponentId());
  ReportPark(state, p);
}
BENCHMARK(BM_ParkGridComponents)->Unit(benchmark::kMillisecond);

void BM_ParkGridBoostStrongComponents(benchmark::State& state) {
  ParkGraph& p = Park();
  if (!p.Ready()) return state.SkipWithError("the demo level park could not be built");
  std::vector<size_t> component(boost::num_vertices(p.boost));
  size_t count = 0;
  for (auto _ : state) count = BoostParkComponents(p, component);
  state.counters["components"] = static_cast<double>(count);
  ReportPark(state, p);
}
BENCHMARK(BM_ParkGridBoostStrongComponents)->Unit(benchmark::kMillisecond);

void BM_ParkGridComponentsOverBoost(benchmark::State& state) {
  ParkGraph& p = Park();
  if (!p.Ready()) return state.SkipWithError("the demo level park could not be built");
  std::vector<size_t> component(boost::num_vertices(p.boost));
  RunPaired(
      state, [&] { ParkComponents(p); }, [&] { BoostParkComponents(p, component); });
}
BENCHMARK(BM_ParkGridComponentsOverBoost)->Unit(benchmark::kMillisecond);

}  // namespace
