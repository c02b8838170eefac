// The path search and the components of CDirectedGraph on random graphs, against Boost.Graph's
// Dijkstra and strong_components and a brute-force reachability closure.
#include <gtest/gtest.h>

#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/dijkstra_shortest_paths.hpp>
#include <boost/graph/strong_components.hpp>

#include <map>
#include <memory>
#include <random>
#include <vector>

#include "park/grid/DirectedGraph.h"
#include "tests/support/ListGraph.h"

namespace {

using testing_support::Edge;
using testing_support::ListGraph;

using BoostGraph = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS, boost::no_property,
                                         boost::property<boost::edge_weight_t, double>>;

std::unique_ptr<ListGraph> RandomGraph(std::mt19937& rng, int n, int edgeCount, bool integerWeights) {
  auto g = std::make_unique<ListGraph>(n);
  std::uniform_int_distribution<int> pick(0, n - 1);
  std::uniform_int_distribution<int> weight(0, 9);
  for (int i = 0; i < edgeCount; ++i) {
    const int a = pick(rng), b = pick(rng);  // self-loops and parallel edges included
    g->edges[static_cast<size_t>(a)].push_back(Edge{b, integerWeights ? static_cast<float>(weight(rng)) : 1.0f});
  }
  return g;
}

BoostGraph ToBoost(const ListGraph& g) {
  BoostGraph b(g.nodes.size());
  for (size_t a = 0; a < g.edges.size(); ++a)
    for (const Edge& e : g.edges[a]) boost::add_edge(a, static_cast<size_t>(e.to), e.weight, b);
  return b;
}

std::vector<double> BoostDistances(const BoostGraph& b, int source) {
  std::vector<double> dist(boost::num_vertices(b));
  boost::dijkstra_shortest_paths(b, static_cast<size_t>(source), boost::distance_map(dist.data()));
  return dist;
}

// Checks the whole path: goal first, start last with no edge, every step an edge of the graph
// whose weights add up to the expected cost.
void ExpectValidPath(const ListGraph& g, const GraphPath& path, int start, int goal, double cost) {
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(g.Index(path.front().node), static_cast<size_t>(goal));
  EXPECT_EQ(g.Index(path.back().node), static_cast<size_t>(start));
  EXPECT_EQ(path.back().edge, nullptr);
  double sum = 0.0;
  for (size_t i = 0; i + 1 < path.size(); ++i) {
    const Edge* e = static_cast<const Edge*>(path[i].edge);
    const size_t from = g.Index(path[i + 1].node);
    ASSERT_NE(e, nullptr);
    bool listed = false;
    for (const Edge& candidate : g.edges[from]) listed |= &candidate == e;
    EXPECT_TRUE(listed) << "step " << i << " uses an edge that does not leave its predecessor";
    EXPECT_EQ(static_cast<size_t>(e->to), g.Index(path[i].node));
    sum += e->weight;
  }
  EXPECT_EQ(sum, cost);
}

TEST(DirectedGraph, FindPathMatchesDijkstraOnRandomGraphs) {
  std::mt19937 rng(19);
  for (int trial = 0; trial < 300; ++trial) {
    const int n = 2 + trial % 40;
    auto g = RandomGraph(rng, n, n * (1 + trial % 4), true);
    const BoostGraph b = ToBoost(*g);
    std::uniform_int_distribution<int> pick(0, n - 1);
    // Several searches on one graph: stamps, not clearing, must keep them independent.
    for (int q = 0; q < 5; ++q) {
      const int s = pick(rng), t = pick(rng);
      const std::vector<double> dist = BoostDistances(b, s);
      GraphPath path{GraphStep{nullptr, &path}};  // a marker the search must leave alone
      const bool found = g->FindPath(g->At(s), g->At(t), &path);
      const bool reachable = dist[static_cast<size_t>(t)] < std::numeric_limits<double>::max();
      ASSERT_EQ(found, reachable) << trial << " " << s << "->" << t;
      ASSERT_EQ(path.front().edge, &path);
      if (!found) {
        EXPECT_EQ(path.size(), 1u);
        continue;
      }
      path.erase(path.begin());
      ExpectValidPath(*g, path, s, t, dist[static_cast<size_t>(t)]);
      EXPECT_EQ(g->At(t)->costSoFar, dist[static_cast<size_t>(t)]);
    }
  }
}

TEST(DirectedGraph, FindPathEdgeCases) {
  ListGraph g(4);
  g.edges[0] = {{1, 1.0f}, {2, 1.0f}};
  g.edges[1] = {{3, 1.0f}};
  g.edges[2] = {{3, 1.0f}};
  GraphPath path;
  EXPECT_FALSE(g.FindPath(nullptr, g.At(0), &path));
  EXPECT_FALSE(g.FindPath(g.At(0), nullptr, &path));
  EXPECT_FALSE(g.FindPath(g.At(0), g.At(1), nullptr));
  ASSERT_TRUE(g.FindPath(g.At(2), g.At(2), &path));
  EXPECT_EQ(g.GetExpandedCount(), 1u);
  // Two routes of equal cost: the heap lets the later of two equal entries out first, so node 2
  // closes first and node 1's equal offer afterwards never replaces it.
  path.clear();
  ASSERT_TRUE(g.FindPath(g.At(0), g.At(3), &path));
  ASSERT_EQ(path.size(), 3u);
  EXPECT_EQ(path[1].node, g.At(2));
  // Unreachable: every reachable node was closed, nothing appended, nothing left queued.
  path.clear();
  EXPECT_FALSE(g.FindPath(g.At(3), g.At(0), &path));
  EXPECT_TRUE(path.empty());
  EXPECT_EQ(g.GetExpandedCount(), 1u);
  for (const auto& node : g.nodes) EXPECT_FALSE(node.IsQueued());
}

std::vector<std::vector<bool>> ReachabilityClosure(const ListGraph& g) {
  const size_t n = g.nodes.size();
  std::vector<std::vector<bool>> reach(n, std::vector<bool>(n, false));
  for (size_t a = 0; a < n; ++a) {
    reach[a][a] = true;
    for (const Edge& e : g.edges[a]) reach[a][static_cast<size_t>(e.to)] = true;
  }
  for (size_t k = 0; k < n; ++k)
    for (size_t i = 0; i < n; ++i)
      if (reach[i][k])
        for (size_t j = 0; j < n; ++j)
          if (reach[k][j]) reach[i][j] = true;
  return reach;
}

TEST(DirectedGraph, ComponentsMatchBoostAndReachability) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 200; ++trial) {
    const int n = 1 + trial % 50;
    auto g = RandomGraph(rng, n, n + trial % 60, false);
    // Some roots only: nodes no root reaches must keep what they had.
    std::vector<CGraphNode*> roots;
    std::uniform_int_distribution<int> pick(0, n - 1);
    for (int r = 0; r < 1 + trial % 3; ++r) roots.push_back(g->At(pick(rng)));
    for (auto& node : g->nodes) node.componentId = 12345;
    std::vector<std::vector<CGraphNode*>> components;
    g->CalculateStronglyConnectedComponents(roots, &components);
    const auto reach = ReachabilityClosure(*g);
    std::vector<bool> reached(static_cast<size_t>(n), false);
    for (CGraphNode* root : roots)
      for (int j = 0; j < n; ++j) reached[static_cast<size_t>(j)] = reached[static_cast<size_t>(j)] || reach[g->Index(root)][static_cast<size_t>(j)];
    std::vector<int> boostComponent(static_cast<size_t>(n));
    const BoostGraph b = ToBoost(*g);
    boost::strong_components(b, boost::make_iterator_property_map(boostComponent.begin(), boost::get(boost::vertex_index, b)));
    size_t listed = 0;
    for (const auto& c : components) listed += c.size();
    size_t reachedCount = 0;
    for (int i = 0; i < n; ++i) {
      const auto& a = g->nodes[static_cast<size_t>(i)];
      if (!reached[static_cast<size_t>(i)]) {
        EXPECT_EQ(a.componentId, 12345u);
        continue;
      }
      ++reachedCount;
      EXPECT_GE(a.componentId, g->GetFirstComponentId());
      EXPECT_LT(a.componentId, g->GetNextComponentId());
      for (int j = 0; j < n; ++j) {
        if (!reached[static_cast<size_t>(j)]) continue;
        const bool same = a.componentId == g->nodes[static_cast<size_t>(j)].componentId;
        EXPECT_EQ(same, boostComponent[static_cast<size_t>(i)] == boostComponent[static_cast<size_t>(j)]);
      }
    }
    EXPECT_EQ(listed, reachedCount);
    EXPECT_EQ(components.size(), g->GetNextComponentId() - g->GetFirstComponentId());
  }
}

TEST(DirectedGraph, ComponentsOfLongChainsNeedNoRecursion) {
  const int n = 100000;
  ListGraph g(n);
  for (int i = 0; i + 1 < n; ++i) g.edges[static_cast<size_t>(i)].push_back(Edge{i + 1, 1.0f});
  std::vector<std::vector<CGraphNode*>> components;
  g.CalculateStronglyConnectedComponents({g.At(0)}, &components);
  EXPECT_EQ(components.size(), static_cast<size_t>(n));
  // The chain's last node finishes first.
  EXPECT_EQ(components.front().front(), g.At(n - 1));
  // Closing the chain into one cycle makes one component of all of it, with fresh ids.
  const uint32_t before = g.GetNextComponentId();
  g.edges[static_cast<size_t>(n - 1)].push_back(Edge{0, 1.0f});
  components.clear();
  g.CalculateStronglyConnectedComponents({g.At(n / 2)}, &components);
  ASSERT_EQ(components.size(), 1u);
  EXPECT_EQ(components[0].size(), static_cast<size_t>(n));
  EXPECT_GT(g.At(0)->componentId, before);
  EXPECT_EQ(g.At(0)->componentId, g.At(n - 1)->componentId);
}

}  // namespace
