// The grid as a graph: corner-to-corner moves over the squares, piece links through node rings,
// the skater's edge costs and the goal estimate.
#include <algorithm>
#include <cmath>

#include "park/grid/Grid.h"
#include "park/grid/PathLinkOwner.h"

// Offsets are (column, row). For a straight move P1 and P2 border the edge walked along, P3/P4 and
// P5/P6 are the pairs beside them and P0 repeats the neighbour; diagonal moves need all seven.
const GridCell CGrid::kNeighbour[kDirections] = {{0, 1}, {0, -1}, {1, 0}, {-1, 0}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
const GridCell CGrid::kClearance[kDirections][kClearanceCells] = {
    {{0, 1}, {-1, 0}, {0, 0}, {-1, 1}, {0, 1}, {0, -1}, {-1, -1}},
    {{0, -1}, {-1, -1}, {0, -1}, {-1, -2}, {0, -2}, {0, 0}, {-1, 0}},
    {{1, 0}, {0, -1}, {0, 0}, {1, -1}, {1, 0}, {-1, 0}, {-1, -1}},
    {{-1, 0}, {-1, -1}, {-1, 0}, {-2, -1}, {-2, 0}, {0, 0}, {0, -1}},
    {{-1, 0}, {0, 0}, {1, 0}, {0, 1}, {-1, 1}, {1, -1}, {0, -1}},
    {{0, 0}, {0, -1}, {1, -1}, {0, -2}, {1, 0}, {-1, -2}, {-1, -1}},
    {{0, 0}, {-1, 0}, {-2, 0}, {-1, 1}, {-2, -1}, {0, 1}, {-1, -1}},
    {{-1, 0}, {-1, -1}, {-2, -1}, {-1, -2}, {-2, 0}, {0, -2}, {0, -1}},
};

namespace {
// Largest axis difference plus a quarter of the other two: the park's cheap distance.
// The two smaller differences are added in either order, which gives the same sum.
float ApproxDistance(const Vector3& a, const Vector3& b) {
  const float x = std::fabs(b.x - a.x), y = std::fabs(b.y - a.y), z = std::fabs(b.z - a.z);
  const float low = std::min(x, y), high = std::max(x, y);
  return z > high ? z + 0.25f * (low + high) : high + 0.25f * (low + z);
}

float Clamp01(float v) { return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v; }
}  // namespace

void CGrid::GetSuccessors(CGraphNode* node, SuccessorList& out) {
  CSkatePathNode* start = static_cast<CSkatePathNode*>(node);
  CSkatePathNode* r = start;
  do {
    if (r->IsPieceNode())
      AddPieceSuccessors(*r, out);
    else
      AddSquareSuccessors(*static_cast<const CGridSquare*>(r), out);
    r = r->GetRingNext();
  } while (r != start);
}

void CGrid::AddPieceSuccessors(const CSkatePathNode& node, SuccessorList& out) const {
  if (CPathLinkOwner* piece = FindPiece(node.GetOwnerPieceId())) piece->AppendLinkSuccessors(&node, out);
}

void CGrid::AddSquareSuccessors(const CGridSquare& square, SuccessorList& out) {
  // Every square of a ring searched here is one of this grid's.
  const size_t index = static_cast<size_t>(&square - m_squares.get());
  const unsigned moves = square.directionMask & GetClearMoves(index);
  for (int d = 0; d < kDirections; ++d) {
    if ((moves & (1u << d)) == 0) continue;
    // A clear move's neighbour lies in the grid.
    CGridSquare* target = &m_squares[index + static_cast<size_t>(kNeighbour[d].row * m_columns + kNeighbour[d].column)];
    // Written in place: a step built apart and copied in stalls the copy on the two stores just
    // made, which costs this loop (run for every square a search reaches) several times over.
    GraphStep& step = out.emplace_back();
    step.node = target;
    // Only straight moves onto grass are walked; a diagonal move is always skated.
    step.edge = d < 4 && target->grass != 0 ? &m_grassEdge : &m_plainEdge;
  }
}

uint8_t CGrid::GetClearMoves(size_t index) {
  ClearMoves& kept = m_clearMoves[index];
  if (!kept.known) {
    kept.moves = ComputeClearMoves(static_cast<int>(index) % m_columns, static_cast<int>(index) / m_columns);
    kept.known = true;
  }
  return kept.moves;
}

// A straight move needs the two squares along its edge free and each pair beside them alike (both
// free or both covered); a diagonal move needs all seven free.
uint8_t CGrid::ComputeClearMoves(int c, int r) const {
  // The squares of the window every clearance offset lies in, a bit each (row by row) for those
  // that are covered; each is looked at once.
  constexpr int kSide = kClearanceBehind + 1 + kClearanceAhead;
  auto bit = [](int dc, int dr) { return (dr + kClearanceBehind) * kSide + dc + kClearanceBehind; };
  auto inside = [this](int column, int row) { return column >= 0 && column < m_columns && row >= 0 && row < m_rows; };
  unsigned window = 0;
  for (int dr = -kClearanceBehind; dr <= kClearanceAhead; ++dr)
    for (int dc = -kClearanceBehind; dc <= kClearanceAhead; ++dc)
      if (inside(c + dc, r + dr) && m_squares[static_cast<size_t>((r + dr) * m_columns + c + dc)].IsBlocked())
        window |= 1u << bit(dc, dr);
  auto blocked = [&](int d, int k) {
    return ((window >> bit(kClearance[d][k].column, kClearance[d][k].row)) & 1u) != 0;
  };
  unsigned moves = 0;
  for (int d = 0; d < 4; ++d) {
    if (!inside(c + kNeighbour[d].column, r + kNeighbour[d].row) || blocked(d, 1) || blocked(d, 2)) continue;
    if (blocked(d, 3) != blocked(d, 4) || blocked(d, 5) != blocked(d, 6)) continue;
    moves |= 1u << d;
  }
  for (int d = 4; d < kDirections; ++d) {
    if (!inside(c + kNeighbour[d].column, r + kNeighbour[d].row)) continue;
    bool clear = true;
    for (int k = 0; k < kClearanceCells && clear; ++k) clear = !blocked(d, k);
    if (clear) moves |= 1u << d;
  }
  return static_cast<uint8_t>(moves);
}

float CGrid::EdgeCost(const CGraphNode* fromNode, const CGraphNode* toNode, const void* edgeRecord) {
  const auto* from = static_cast<const CSkatePathNode*>(fromNode);
  const auto* to = static_cast<const CSkatePathNode*>(toNode);
  const auto* edge = static_cast<const PathEdgeInfo*>(edgeRecord);
  const float dist = ApproxDistance(from->GetPosition(), to->GetPosition());
  if (edge == nullptr) return dist;
  // Without a searching skater (the park's own queries) every skill counts as zero.
  const PathSkills none;
  const PathSkills& skill = m_searchSkills != nullptr ? *m_searchSkills : none;
  const float v = edge->difficulty;
  // The detour mark is the piece node's queue-place flag: skaters pass through a line only when
  // it is where they are going.
  const float detour = to->IsPieceNode() && to->IsDetour() ? 10.0f : 0.0f;
  float factor;
  switch (edge->kind) {
    case kLinkAir: factor = std::min(std::fabs(v - skill.air), 1.0f) + 1.0f; break;
    case kLinkFreeAir: factor = v + 1.0f; break;
    case kLinkWalk: factor = Clamp01(v - skill.skating) + 0.5f + 1.0f + detour; break;
    case kLinkOllie: factor = std::min(std::fabs(v - skill.ollie), 1.0f) + 1.0f; break;
    case kLinkSkate:
    case kLinkSkateToTop: factor = Clamp01(v - skill.skating) + 1.0f + detour; break;
    case kLinkGrindLeft:
    case kLinkGrindRight: factor = Clamp01(1.0f - skill.grind) + 1.0f; break;
    default: factor = v + 1.0f; break;
  }
  return factor * dist;
}

// Four times the distance overshoots the cheapest remaining cost on purpose: the search heads
// for the goal and closes far fewer nodes, at the price of routes that are not always cheapest.
float CGrid::Heuristic(const CGraphNode* node, const CGraphNode* goal) {
  return 4.0f * ApproxDistance(static_cast<const CSkatePathNode*>(node)->GetPosition(),
                               static_cast<const CSkatePathNode*>(goal)->GetPosition());
}

bool CGrid::FindPathForSkater(const PathSkills* skills, CSkatePathNode* start, CSkatePathNode* goal,
                              GraphPath* path) {
  m_searchSkills = skills;
  const bool found = FindPath(start, goal, path);
  m_searchSkills = nullptr;
  return found;
}

void CGrid::UpdateComponents() {
  const std::vector<CGraphNode*> roots(m_entrances.begin(), m_entrances.end());
  CalculateStronglyConnectedComponents(roots, nullptr);
}

bool CGrid::IsConnected(const CSkatePathNode& node) const {
  if (m_entrances.empty() || m_entrances.front()->GetComponentId() == CGraphNode::kNoComponent) return false;
  return node.GetComponentId() == m_entrances.front()->GetComponentId();
}

bool CGrid::IsRingConnected(const CSkatePathNode& node) const {
  const CSkatePathNode* n = &node;
  do {
    if (IsConnected(*n)) return true;
    n = n->GetRingNext();
  } while (n != &node);
  return false;
}
