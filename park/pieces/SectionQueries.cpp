// Queries over the path nodes and links of the placed pieces, for the skaters' planning.
#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "core/world/WorldAccess.h"
#include "park/grid/Grid.h"
#include "park/pieces/SkatableSection.h"
#include "park/world/VerezIvor.h"

namespace {

CGrid* ParkGrid() {
  auto* park = dynamic_cast<CVerezIvor*>(GetGameWorld());
  return park != nullptr ? park->GetGrid() : nullptr;
}

uint32_t KindOf(const CSkatePathNode* node) {
  auto* piece = dynamic_cast<const CObjectSkatePathNode*>(node);
  return piece != nullptr ? piece->kind : 0;
}

bool KindMatches(uint32_t kind, uint32_t wanted) { return wanted == 1 ? kind >= 2 && kind <= 5 : kind == wanted; }

// The 3 x 3 squares around the square holding the position; empty off the grid unless asked to
// take the nearest square on the grid's edge instead.
std::vector<CGridSquare*> SquaresAround(const CGrid& grid, const Vector3& position, bool nearestOnGrid = false) {
  std::vector<CGridSquare*> out;
  const float column = std::floor((position.x - grid.GetOrigin().x) / grid.GetSquareWidth());
  const float row = std::floor((position.y - grid.GetOrigin().y) / grid.GetSquareDepth());
  GridCell cell{static_cast<int>(column), static_cast<int>(row)};
  if (!(column >= 0.0f && row >= 0.0f && column < grid.GetSize().column && row < grid.GetSize().row)) {
    if (!nearestOnGrid || !std::isfinite(position.x) || !std::isfinite(position.y)) return out;
    cell = grid.GetCellClamped(position.x, position.y);
  }
  for (int dr = -1; dr <= 1; ++dr)
    for (int dc = -1; dc <= 1; ++dc)
      if (CGridSquare* s = grid.GetSquare(cell.column + dc, cell.row + dr)) out.push_back(s);
  return out;
}

float DistanceSquared(const Vector3& a, const Vector3& b) {
  const Vector3 d = a - b;
  return d.x * d.x + d.y * d.y + d.z * d.z;
}

// Which placed section lists each piece node id first, in placed order, as the scan of
// FindNodeByID would find it. Routes ask for every node ahead of every skater each tick, and
// scanning every placed piece for each was a tenth of a crowded park's tick. An answer is checked
// before it is used, and what the index does not know goes to the scan, so new sections and
// nodes need not drop it; a section leaving the list, nodes made (their ids may repeat one of an
// earlier section) and another world being the game's do.
struct NodeIndex {
  std::unordered_map<uint32_t, uint32_t> sectionOf;
  const CGameWorld* world = nullptr;
  bool valid = false;
};

NodeIndex& Index() {
  static NodeIndex index;
  return index;
}

void BuildIndex(NodeIndex& index) {
  index.sectionOf.clear();
  index.world = GetGameWorld();
  index.valid = true;
  for (uint32_t id : GetPlacedSectionList())
    if (CSkatableSection* section = GetPlacedSection(id))
      for (const auto& node : section->GetPathNodes()) index.sectionOf.emplace(node->GetNodeId(), id);
}

}  // namespace

void DropPathNodeIndex() { Index().valid = false; }

CSkatePathNode* FindNodeByID(uint32_t nodeId) {
  if (nodeId == CSkatePathNode::kNone) return nullptr;
  CGrid* grid = ParkGrid();
  if (grid != nullptr && nodeId < static_cast<uint32_t>(grid->GetSquareCount())) return grid->GetSquareByIndex(static_cast<int>(nodeId));
  NodeIndex& index = Index();
  if (!index.valid || index.world != GetGameWorld()) BuildIndex(index);
  const auto it = index.sectionOf.find(nodeId);
  if (it != index.sectionOf.end())
    if (CSkatableSection* section = GetPlacedSection(it->second))
      if (CSkatePathNode* node = section->FindPathNode(nodeId)) return node;
  // Not listed, or its section has gone from the world since: the scan decides.
  for (uint32_t id : GetPlacedSectionList())
    if (CSkatableSection* section = GetPlacedSection(id))
      if (CSkatePathNode* node = section->FindPathNode(nodeId)) return node;
  return nullptr;
}

void FindTargetNodes(std::vector<CSkatePathNode*>& out, const CSkatePathNode* from, uint32_t kind) {
  if (from == nullptr || from->GetComponentId() == CGraphNode::kNoComponent) return;
  const size_t first = out.size();
  for (uint32_t id : GetPlacedSectionList()) {
    CSkatableSection* section = GetPlacedSection(id);
    if (section == nullptr) continue;
    for (const auto& node : section->GetPathNodes()) {
      CSkatePathNode* rep = node->GetRingRepresentative();
      if (!KindMatches(KindOf(rep), kind) || rep->GetComponentId() != from->GetComponentId()) continue;
      // A ring shared by several nodes is one target.
      if (std::find(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(), rep) == out.end()) out.push_back(rep);
    }
  }
}

CSkatePathNode* FindNearestNode(const Vector3& position, float maxRise) {
  CGrid* grid = ParkGrid();
  if (grid == nullptr) return nullptr;
  // The nearest node in reach, and the nearest of all for when none is.
  CSkatePathNode* best[2] = {nullptr, nullptr};
  float bestDistance[2] = {0.0f, 0.0f};
  auto consider = [&](CSkatePathNode* node) {
    if (node == nullptr || !grid->IsConnected(*node)) return;
    const float d = DistanceSquared(node->GetPosition(), position);
    const int k = node->GetPosition().z - position.z > maxRise ? 1 : 0;
    if (best[k] == nullptr || d < bestDistance[k]) best[k] = node, bestDistance[k] = d;
  };
  // A skater pushed a little way off the grid (thrown by a crash, shoved by another) starts from
  // the grid's edge and so walks back, rather than being lost to the park.
  for (CGridSquare* square : SquaresAround(*grid, position, true)) {
    if (grid->IsCornerWalkable(*square)) consider(square);
    if (!square->IsBlocked()) continue;
    for (uint32_t id : square->GetObjectIds())
      if (CSkatableSection* section = GetPlacedSection(id))
        for (const auto& node : section->GetPathNodes()) consider(node->GetRingRepresentative());
  }
  return best[0] != nullptr ? best[0] : best[1];
}

void FindLinksNear(std::vector<const SectionLink*>& out, const Vector3& position, float radius, uint32_t typeMask) {
  CGrid* grid = ParkGrid();
  if (grid == nullptr) return;
  std::vector<uint32_t> seen;
  const float r2 = radius * radius;
  for (CGridSquare* square : SquaresAround(*grid, position))
    for (uint32_t id : square->GetObjectIds()) {
      if (std::find(seen.begin(), seen.end(), id) != seen.end()) continue;
      seen.push_back(id);
      CSkatableSection* section = GetPlacedSection(id);
      if (section == nullptr) continue;
      for (const SectionLink& link : section->GetPathLinks()) {
        if ((link.edge.kind & typeMask) != typeMask || link.from == nullptr || link.to == nullptr) continue;
        const Vector3 a = link.from->GetPosition();
        const Vector3 ab = link.to->GetPosition() - a;
        const float len2 = ab.x * ab.x + ab.y * ab.y + ab.z * ab.z;
        float t = 0.0f;
        if (len2 > 0.0f) {
          const Vector3 ap = position - a;
          t = std::min(1.0f, std::max(0.0f, (ap.x * ab.x + ap.y * ab.y + ap.z * ab.z) / len2));
        }
        if (DistanceSquared(a + ab * t, position) <= r2) out.push_back(&link);
      }
    }
}
