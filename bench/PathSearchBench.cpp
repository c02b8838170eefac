// The graph's path search and components beside Boost.Graph on the same graphs in the same run:
// A* on a 256 x 256 grid with obstacles, best-first search on random graphs of 100,000 nodes,
// and strongly connected components of 1,000,000 nodes.
#include <benchmark/benchmark.h>

#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/astar_search.hpp>
#include <boost/graph/strong_components.hpp>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "park/grid/DirectedGraph.h"
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

}  // namespace
