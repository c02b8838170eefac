// ListGraph: a directed graph given by adjacency lists, whose edge records point at the Edge
// itself; laid out as a grid of `side` columns it estimates by the Manhattan distance between cells.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <vector>

#include "park/grid/DirectedGraph.h"

namespace testing_support {

struct Edge {
  int to;
  float weight;
};

class ListGraph : public CDirectedGraph {
 public:
  explicit ListGraph(int n, int side = 0) : nodes(static_cast<size_t>(n)), edges(static_cast<size_t>(n)), m_side(side) {}
  void GetSuccessors(CGraphNode* node, SuccessorList& out) override {
    for (const Edge& e : edges[Index(node)]) out.push_back(GraphStep{&nodes[static_cast<size_t>(e.to)], &e});
  }
  float EdgeCost(const CGraphNode*, const CGraphNode*, const void* edge) override {
    return static_cast<const Edge*>(edge)->weight;
  }
  float Heuristic(const CGraphNode* node, const CGraphNode* goal) override {
    return m_side > 0 ? Manhattan(static_cast<int>(Index(node)), static_cast<int>(Index(goal))) : 0.0f;
  }
  float Manhattan(int a, int b) const {
    return static_cast<float>(std::abs(a % m_side - b % m_side) + std::abs(a / m_side - b / m_side));
  }
  size_t Index(const CGraphNode* node) const { return static_cast<size_t>(static_cast<const Node*>(node) - nodes.data()); }
  CGraphNode* At(int i) { return &nodes[static_cast<size_t>(i)]; }

  struct Node : CGraphNode {};
  std::vector<Node> nodes;
  std::vector<std::vector<Edge>> edges;

 private:
  int m_side;
};

}  // namespace testing_support
