// ParkGridState: everything a placement may touch in the park, in plain values, so a test can
// check that a pick-up gives back exactly what the placement took; and the search's count of
// connected entries, the reference for the park's own connectivity.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "park/grid/Grid.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/SkatableSection.h"
#include "park/world/VerezIvor.h"

namespace testing_support {

// The node ids of the ring node stands in.
inline std::set<uint32_t> RingIds(const CSkatePathNode* node) {
  std::set<uint32_t> out;
  const CSkatePathNode* n = node;
  do {
    out.insert(n->GetNodeId());
    n = n->GetRingNext();
  } while (n != node);
  return out;
}

// The entries of placed pieces (of the skatable ones, types below 10, when asked) that the search
// can reach from the first entrance and leave again, any node of the entry's ring counting.
inline int ConnectedEntriesBySearch(CGrid& grid, bool skatableOnly = false) {
  CSkatePathNode* entrance = grid.GetEntrances().front();
  int connected = 0;
  for (uint32_t id : GetPlacedSectionList()) {
    const CSkatableSection* s = GetPlacedSection(id);
    if (skatableOnly && s->GetDefinition()->type >= 10) continue;
    for (const auto& node : s->GetPathNodes()) {
      if (!node->external) continue;
      bool reached = false;
      CSkatePathNode* m = node.get();
      do {
        GraphPath there, back;
        reached = reached || (grid.FindPath(entrance, m, &there) && grid.FindPath(m, entrance, &back));
        m = m->GetRingNext();
      } while (m != node.get());
      connected += reached ? 1 : 0;
    }
  }
  return connected;
}

struct ParkGridState {
  std::vector<std::vector<uint32_t>> squareIds;
  std::vector<std::set<uint32_t>> rings;
  std::vector<uint32_t> components;  // the partition, renumbered in square order
  std::vector<uint32_t> placed;
  size_t octreeObjects = 0;
  bool operator==(const ParkGridState& o) const {
    return squareIds == o.squareIds && rings == o.rings && components == o.components && placed == o.placed &&
           octreeObjects == o.octreeObjects;
  }
};

// Recomputes the components first unless asked to take them as the park left them; component ids
// are fresh per run, so the partition is compared.
inline ParkGridState TakeParkGridState(CVerezIvor& park, bool recomputeComponents = true) {
  CGrid& grid = *park.GetGrid();
  if (recomputeComponents) grid.UpdateComponents();
  ParkGridState s;
  std::map<uint32_t, uint32_t> renumber;
  for (int i = 0; i < grid.GetSquareCount(); ++i) {
    const CGridSquare* sq = grid.GetSquareByIndex(i);
    s.squareIds.push_back(sq->GetObjectIds());
    s.rings.push_back(RingIds(sq));
    uint32_t c = sq->GetComponentId();
    // Nodes this run did not reach keep older ids: they count as one "unreached" class.
    if (c < grid.GetFirstComponentId() || c >= grid.GetNextComponentId()) c = CGraphNode::kNoComponent;
    if (renumber.count(c) == 0) renumber[c] = static_cast<uint32_t>(renumber.size());
    s.components.push_back(renumber[c]);
  }
  s.placed = GetPlacedSectionList();
  s.octreeObjects = park.GetOctree().GetObjectCount();
  return s;
}

}  // namespace testing_support
