#include "park/runner/ParkConnectivityReport.h"

#include <set>
#include <vector>

#include "park/grid/Grid.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/SkatableSection.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"

namespace {

struct Totals {
  int nodes = 0, external = 0, links = 0, alone = 0;
  int ringsBySize[4] = {};  // 2, 3, 4, 5 or more
  std::set<const CSkatePathNode*> ringsSeen;
};

bool InThisRun(const CGrid& grid, uint32_t component) {
  return component >= grid.GetFirstComponentId() && component < grid.GetNextComponentId();
}

// Each ring once, found from whichever of its nodes comes first.
void CountRing(const CSkatePathNode& node, Totals& t) {
  const int size = node.GetRingSize();
  if (size < 2) {
    ++t.alone;
    return;
  }
  const CSkatePathNode* n = &node;
  do {
    if (t.ringsSeen.count(n) != 0) return;
    n = n->GetRingNext();
  } while (n != &node);
  t.ringsSeen.insert(&node);
  ++t.ringsBySize[size >= 5 ? 3 : size - 2];
}

std::vector<CSkatableSection*> PlacedPieces(const CVerezIvor& park) {
  std::vector<CSkatableSection*> out;
  for (uint32_t id : GetPlacedSectionList())
    if (auto* s = dynamic_cast<CSkatableSection*>(park.GetObjectByID(id))) out.push_back(s);
  return out;
}

void ReportComponents(const CVerezIvor& park, const std::vector<CSkatableSection*>& pieces, std::string& out) {
  const CGrid* grid = park.GetGrid();
  if (grid == nullptr) {
    out += "components: no grid\n";
    return;
  }
  const uint32_t count = grid->GetNextComponentId() - grid->GetFirstComponentId();
  if (grid->GetEntrances().empty()) {
    plat::AppendFormat(out, "components: %u, no entrance\n", count);
    return;
  }
  int squares = 0, pieceNodes = 0;
  for (int i = 0; i < grid->GetSquareCount(); ++i) {
    const CGridSquare* s = grid->GetSquareByIndex(i);
    if (InThisRun(*grid, s->GetComponentId()) && grid->IsConnected(*s)) ++squares;
  }
  for (const CSkatableSection* piece : pieces)
    for (const auto& node : piece->GetPathNodes())
      if (InThisRun(*grid, node->GetComponentId()) && grid->IsConnected(*node)) ++pieceNodes;
  plat::AppendFormat(out, "components: %u, entrance component: %d squares and %d piece nodes\n", count, squares,
                     pieceNodes);
}

}  // namespace

std::string BuildConnectivityReport(CVerezIvor& park) {
  const CGrid* grid = park.GetGrid();
  const std::vector<CSkatableSection*> pieces = PlacedPieces(park);
  Totals t;
  std::string perPiece, failures;
  int failed = 0, scoredExternal = 0, scoredConnected = 0;
  for (CSkatableSection* piece : pieces) {
    int external = 0, joined = 0, connected = 0;
    for (const auto& node : piece->GetPathNodes()) {
      CountRing(*node, t);
      if (!node->external) continue;
      ++external;
      const bool isJoined = node->GetRingSize() > 1;
      const bool isConnected = grid != nullptr && grid->IsRingConnected(*node);
      joined += isJoined ? 1 : 0;
      connected += isConnected ? 1 : 0;
      if (isJoined && isConnected) continue;
      ++failed;
      const Vector3& p = node->GetPosition();
      plat::AppendFormat(failures, "  piece %u \"%s\" node %d: %s at (%.2f, %.2f, %.2f)\n", piece->GetID(),
                         piece->GetName(), node->number, isJoined ? "not connected" : "not joined", p.x, p.y, p.z);
    }
    t.nodes += static_cast<int>(piece->GetPathNodes().size());
    t.external += external;
    t.links += static_cast<int>(piece->GetPathLinks().size());
    const ObjectDefinition* def = piece->GetDefinition();
    const Vector3 at = piece->GetWorldMatrix().position;
    plat::AppendFormat(
        perPiece, "piece %u \"%s\" type %d at (%.2f, %.2f): %d nodes, %d external, %d joined, %d connected\n",
        piece->GetID(), piece->IsTerrain() ? "terrain" : piece->GetName(), def != nullptr ? def->type : -1, at.x, at.y,
        static_cast<int>(piece->GetPathNodes().size()), external, joined, connected);
    // The score's own rule: skatable types with a definition, never the terrain.
    if (def != nullptr && !piece->IsTerrain() && def->type >= 0 && def->type < 10) {
      scoredExternal += external;
      scoredConnected += connected;
    }
  }
  std::string out = "Connectivity report\n";
  plat::AppendFormat(out, "pieces: %d placed, %d nodes (%d external), %d links\n", static_cast<int>(pieces.size()),
                     t.nodes, t.external, t.links);
  const int joinedRings = t.ringsBySize[0] + t.ringsBySize[1] + t.ringsBySize[2] + t.ringsBySize[3];
  plat::AppendFormat(out, "rings: %d joined (%d of 2, %d of 3, %d of 4, %d of 5 or more), %d nodes alone\n",
                     joinedRings, t.ringsBySize[0], t.ringsBySize[1], t.ringsBySize[2], t.ringsBySize[3], t.alone);
  ReportComponents(park, pieces, out);
  out += perPiece;
  plat::AppendFormat(out, "connectivity: %d / (%d + 1) = %.4f\n", scoredConnected, scoredExternal,
                     static_cast<double>(scoredConnected) / static_cast<double>(scoredExternal + 1));
  plat::AppendFormat(out, "failed entries: %d\n", failed);
  out += failures;
  return out;
}
