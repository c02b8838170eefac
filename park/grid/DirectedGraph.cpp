#include "park/grid/DirectedGraph.h"

#include "core/data/DebugPrintf.h"
#include "core/spatial/PriorityQueue.h"
#include "platform/system/Win32.h"

namespace {
// One open queue for every search of the program: searches run one at a time on the main thread,
// and its storage then settles on the largest search seen.
CPriorityQueue& OpenQueue() {
  static CPriorityQueue queue;
  return queue;
}
}  // namespace

void CDirectedGraph::GetSuccessors(CGraphNode*, SuccessorList&) {}

float CDirectedGraph::EdgeCost(const CGraphNode*, const CGraphNode*, const void*) { return 1.0f; }

float CDirectedGraph::Heuristic(const CGraphNode*, const CGraphNode*) { return 0.0f; }

bool CDirectedGraph::FindPath(CGraphNode* start, CGraphNode* goal, GraphPath* path) {
  if (start == nullptr || goal == nullptr || path == nullptr) return false;
  const uint32_t stamp = ++m_searchStamp;
  m_expandedCount = 0;
  CPriorityQueue& open = OpenQueue();
  start->costSoFar = start->estimate = start->total = 0.0f;
  start->parent = nullptr;
  start->reachedBy = nullptr;
  open.Push(start);
  SuccessorList successors;
  bool found = false;
  while (!open.IsEmpty()) {
    CGraphNode* node = static_cast<CGraphNode*>(open.Pop());
    ++m_expandedCount;
    node->closedStamp = stamp;
    if (node == goal) {
      found = true;
      break;
    }
    successors.clear();
    GetSuccessors(node, successors);
    for (const GraphStep& step : successors) {
      CGraphNode* next = step.node;
      if (next == nullptr || next->closedStamp == stamp) continue;
      const float g = EdgeCost(node, next, step.edge) + node->costSoFar;
      if (next->IsQueued()) {
        // A later route of equal cost never replaces the first parent.
        if (!(g < next->costSoFar)) continue;
        next->costSoFar = g;
        next->parent = node;
        next->total = g + next->estimate;
        next->reachedBy = step.edge;
        open.Update(next);
      } else {
        next->costSoFar = g;
        next->estimate = Heuristic(next, goal);
        next->total = next->estimate + g;
        next->parent = node;
        next->reachedBy = step.edge;
        open.Push(next);
      }
    }
  }
  open.Clear();
  if (!found) return false;
  for (CGraphNode* node = goal; node != nullptr; node = node == start ? nullptr : node->parent)
    path->push_back(GraphStep{node, node == start ? nullptr : node->reachedBy});
  return true;
}

// Tarjan's algorithm with an explicit stack of frames, so that long chains of nodes (a park's
// grid can hold a million squares) cannot overflow the call stack. Stamps mark the state:
// below s unvisited, s on the node stack, s + 1 finished into a component.
void CDirectedGraph::CalculateStronglyConnectedComponents(const std::vector<CGraphNode*>& roots,
                                                          std::vector<std::vector<CGraphNode*>>* components) {
  const DWORD started = timeGetTime();
  const uint32_t stamp = ++m_searchStamp;
  m_firstComponentId = ++m_nextComponentId;
  m_visitCounter = 0.0f;
  for (CGraphNode* root : roots)
    if (root != nullptr && root->closedStamp < stamp) VisitComponents(root, stamp, components);
  ++m_searchStamp;
  DebugPrintf("Time to CalculateStronglyConnectedComponents: %d\n", static_cast<int>(timeGetTime() - started));
}

// The frames and the successor lists live in members that keep their storage between runs.
void CDirectedGraph::VisitComponents(CGraphNode* root, uint32_t stamp,
                                     std::vector<std::vector<CGraphNode*>>* components) {
  StartFrame(root, stamp);
  while (!m_frames.empty()) {
    Frame& frame = m_frames.back();
    CGraphNode* node = frame.node;
    // The successors already visited only lower the low link; the first one not yet visited is
    // walked into.
    float low = node->costSoFar;
    CGraphNode* unvisited = nullptr;
    for (; frame.next < frame.end; ++frame.next) {
      CGraphNode* next = m_steps[frame.next].node;
      if (next == nullptr) continue;
      if (next->closedStamp < stamp) {
        unvisited = next;
        break;
      }
      if (next->closedStamp == stamp && next->total < low) low = next->total;
    }
    node->costSoFar = low;
    if (unvisited != nullptr) {
      StartFrame(unvisited, stamp);  // frame is not used again before this one finishes
      continue;
    }
    m_steps.resize(frame.first);
    m_frames.pop_back();
    if (node->total == node->costSoFar) CloseComponent(node, stamp, components);
    if (m_frames.empty()) break;
    Frame& parent = m_frames.back();
    if (node->costSoFar < parent.node->costSoFar) parent.node->costSoFar = node->costSoFar;
    ++parent.next;
  }
}

void CDirectedGraph::StartFrame(CGraphNode* node, uint32_t stamp) {
  const size_t first = m_steps.size();
  GetSuccessors(node, m_steps);
  // The walk looks at every successor's stamp, most of them only after coming back from deep
  // below; asked for now, they arrive meanwhile instead of stalling the walk one by one.
  for (size_t i = first; i < m_steps.size(); ++i)
    if (const CGraphNode* next = m_steps[i].node) __builtin_prefetch(&next->closedStamp);
  // Filled in place: copying a whole frame in after writing it apart stalls on every visit.
  Frame& frame = m_frames.emplace_back();
  frame.node = node;
  frame.first = frame.next = first;
  frame.end = m_steps.size();
  node->closedStamp = stamp;
  node->total = node->costSoFar = m_visitCounter;
  m_visitCounter += 1.0f;
  m_nodeStack.push_back(node);
}

void CDirectedGraph::CloseComponent(CGraphNode* node, uint32_t stamp,
                                    std::vector<std::vector<CGraphNode*>>* components) {
  std::vector<CGraphNode*> members;
  CGraphNode* member = nullptr;
  do {
    member = m_nodeStack.back();
    m_nodeStack.pop_back();
    member->closedStamp = stamp + 1;
    member->componentId = m_nextComponentId;
    if (components != nullptr) members.push_back(member);
  } while (member != node);
  if (components != nullptr) components->push_back(std::move(members));
  ++m_nextComponentId;
}
