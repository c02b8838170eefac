// CDirectedGraph: best-first path search and strongly connected components over any graph that
// supplies successors, edge costs and a goal estimate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "park/grid/GraphNode.h"

// One step of a successor list or a path: the node and the graph's edge record leading to it
// (opaque here; null for the start of a path).
struct GraphStep {
  CGraphNode* node;
  const void* edge;
};
using SuccessorList = std::vector<GraphStep>;
using GraphPath = std::vector<GraphStep>;

class CDirectedGraph {
 public:
  CDirectedGraph() = default;
  virtual ~CDirectedGraph() = default;
  CDirectedGraph(const CDirectedGraph&) = delete;
  CDirectedGraph& operator=(const CDirectedGraph&) = delete;

  // Appends the node's successors to out, whatever out already holds.
  virtual void GetSuccessors(CGraphNode* node, SuccessorList& out);
  virtual float EdgeCost(const CGraphNode* from, const CGraphNode* to, const void* edge);
  virtual float Heuristic(const CGraphNode* node, const CGraphNode* goal);

  // Appends the path goal-first to path and returns true; false (path untouched) when an argument
  // is null or the goal cannot be reached. A closed node is never reopened, so with an estimate
  // that overshoots the result need not be the cheapest route.
  bool FindPath(CGraphNode* start, CGraphNode* goal, GraphPath* path);

  // Gives every node reachable from the roots a component id of this run; nodes nobody reaches
  // keep older ids. With a list, one vector per component is appended (in completion order).
  void CalculateStronglyConnectedComponents(const std::vector<CGraphNode*>& roots,
                                            std::vector<std::vector<CGraphNode*>>* components);

  uint32_t GetSearchStamp() const { return m_searchStamp; }
  uint32_t GetFirstComponentId() const { return m_firstComponentId; }
  uint32_t GetNextComponentId() const { return m_nextComponentId; }
  uint32_t GetExpandedCount() const { return m_expandedCount; }

 private:
  // A node on the depth-first path; its successors are m_steps[first, end), and next is the one
  // to look at when the walk comes back to it.
  struct Frame {
    CGraphNode* node;
    size_t first;
    size_t next;
    size_t end;
  };
  void VisitComponents(CGraphNode* root, uint32_t stamp, std::vector<std::vector<CGraphNode*>>* components);
  void StartFrame(CGraphNode* node, uint32_t stamp);
  void CloseComponent(CGraphNode* node, uint32_t stamp, std::vector<std::vector<CGraphNode*>>* components);

  uint32_t m_searchStamp = 0;
  uint32_t m_firstComponentId = 0;
  uint32_t m_nextComponentId = 0;
  uint32_t m_expandedCount = 0;
  float m_visitCounter = 0.0f;
  std::vector<CGraphNode*> m_nodeStack;
  std::vector<Frame> m_frames;
  SuccessorList m_steps;  // the successors of every frame, deepest last
};
