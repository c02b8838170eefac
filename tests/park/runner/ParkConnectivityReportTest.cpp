// The connectivity report of the demo park laid out from the demo generator's pieces: its counts
// against the pieces' own texts, the entries that fail, and the report following a sale.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "park/grid/Grid.h"
#include "park/pieces/PiecePlacement.h"
#include "park/pieces/PieceSale.h"
#include "park/pieces/SkatableSection.h"
#include "park/runner/ParkConnectivityReport.h"
#include "park/world/ParkScores.h"
#include "park/world/VerezIvor.h"
#include "tests/support/ParkState.h"
#include "tools/DemoContentPark.h"
#include "tools/DemoContentPieces.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

bool HasLine(const std::string& text, const std::string& line) {
  for (const std::string& l : Lines(text))
    if (l == line) return true;
  return false;
}

std::string Format(const char* format, double a, double b, double c) {
  char line[128];
  std::snprintf(line, sizeof line, format, a, b, c);
  return line;
}

using testing_support::ConnectedEntriesBySearch;

// The squares and piece nodes that the first entrance reaches and that reach it back, by plain
// walks over the grid's successors: forward from the entrance, then back along the edges seen.
std::pair<int, int> EntranceComponentByWalks(CGrid& grid) {
  CGraphNode* entrance = grid.GetEntrances().front();
  std::map<CGraphNode*, std::vector<CGraphNode*>> into;
  std::set<CGraphNode*> seen{entrance};
  std::vector<CGraphNode*> todo{entrance};
  while (!todo.empty()) {
    CGraphNode* node = todo.back();
    todo.pop_back();
    SuccessorList next;
    grid.GetSuccessors(node, next);
    for (const GraphStep& step : next) {
      into[step.node].push_back(node);
      if (seen.insert(step.node).second) todo.push_back(step.node);
    }
  }
  std::set<CGraphNode*> both{entrance};
  todo = {entrance};
  while (!todo.empty()) {
    CGraphNode* node = todo.back();
    todo.pop_back();
    for (CGraphNode* from : into[node])
      if (both.insert(from).second) todo.push_back(from);
  }
  int squares = 0, pieceNodes = 0;
  for (const CGraphNode* node : both)
    ++(static_cast<const CSkatePathNode*>(node)->IsPieceNode() ? pieceNodes : squares);
  return {squares, pieceNodes};
}

struct DemoParkReport : ::testing::Test {
  DemoParkReport() : park(nullptr, nullptr) { ClearPlacedSectionList(); }
  ~DemoParkReport() override {
    park.ClearWorld();
    DemoContent::ReleaseDemoPark();
    ClearPlacedSectionList();
  }
  CVerezIvor park;
  DemoContent::DemoPark demo;
};

TEST_F(DemoParkReport, CountsMatchThePiecesTextsAndTheSearch) {
  ASSERT_TRUE(DemoContent::BuildDemoPark(park, demo));
  ASSERT_EQ(demo.pieceIds.size(), 16u);
  // The totals from the pieces' own texts, by the mesh each definition names; the entries of the
  // skatable pieces apart from the stands'.
  const std::vector<DemoContent::PieceSpec> specs = DemoContent::PieceSpecs();
  int nodes = 0, external = 0, links = 0, skatableExternal = 0;
  for (const auto& def : demo.definitions) {
    for (const DemoContent::PieceSpec& spec : specs) {
      if (spec.name != def->name) continue;
      for (const DemoContent::PieceNode& n : spec.nodes) {
        ++nodes;
        const int entry = n.text.find(" external") != std::string::npos ? 1 : 0;
        external += entry;
        skatableExternal += def->type < 10 ? entry : 0;
        for (size_t at = n.text.find("link dest"); at != std::string::npos; at = n.text.find("link dest", at + 1))
          ++links;
      }
    }
  }
  const std::string report = BuildConnectivityReport(park);
  SCOPED_TRACE(report);
  EXPECT_EQ(Lines(report).front(), "Connectivity report");
  char line[160];
  std::snprintf(line, sizeof line, "pieces: 16 placed, %d nodes (%d external), %d links", nodes, external, links);
  EXPECT_TRUE(HasLine(report, line));
  // Every entry but the offset funbox's four is joined, each to its square; the bench's far corner,
  // the second kicker's entry and the square there share one ring of three.
  std::snprintf(line, sizeof line, "rings: %d joined (%d of 2, 1 of 3, 0 of 4, 0 of 5 or more), %d nodes alone",
                external - 5, external - 6, nodes - (external - 4));
  EXPECT_TRUE(HasLine(report, line));
  EXPECT_EQ(park.GetGrid()->GetSquare(12, 9)->GetRingSize(), 3);

  // The second kicker's right entry is joined to its square, but that square lies in the lane of
  // one square between the kicker and the stairs, where the grid lets nobody walk. The funbox
  // half a square off joins nothing. Each failed entry is listed; every other one connects.
  EXPECT_TRUE(HasLine(report, "failed entries: 5"));
  EXPECT_TRUE(HasLine(report, "  piece " + std::to_string(demo.pieceIds[9]) +
                                  " \"kicker\" node 2: not connected at (13.00, 9.00, 0.00)"));
  EXPECT_TRUE(HasLine(report, "piece " + std::to_string(demo.pieceIds[9]) +
                                  " \"kicker\" type 2 at (12.00, 9.00): 5 nodes, 4 external, 4 joined, 3 connected"));
  const std::string offset = "  piece " + std::to_string(demo.offsetPieceId) + " \"funbox\" node ";
  EXPECT_TRUE(HasLine(report, offset + "1: not joined at (10.50, 14.50, 0.00)"));
  EXPECT_TRUE(HasLine(report, offset + "2: not joined at (12.50, 14.50, 0.00)"));
  EXPECT_TRUE(HasLine(report, offset + "3: not joined at (10.50, 16.50, 0.00)"));
  EXPECT_EQ(Lines(report).back(), offset + "4: not joined at (12.50, 16.50, 0.00)");
  EXPECT_EQ(ConnectedEntriesBySearch(*park.GetGrid()), external - 5);

  // The connectivity line is the park's score over the skatable pieces (the stands' entries are
  // not counted).
  const int scored = skatableExternal;
  const int connected = ConnectedEntriesBySearch(*park.GetGrid(), true);
  EXPECT_EQ(connected, scored - 5);
  EXPECT_FLOAT_EQ(park.GetParkState().connectivity, static_cast<float>(connected) / static_cast<float>(scored + 1));
  EXPECT_TRUE(HasLine(report, Format("connectivity: %.0f / (%.0f + 1) = %.4f", connected, scored,
                                     static_cast<double>(connected) / (scored + 1))));
  // The component count: the ids the last search gave out, each held by some square or node.
  // Here the entrance reaches one component.
  const CGrid& grid = *park.GetGrid();
  std::set<uint32_t> ids;
  for (int i = 0; i < grid.GetSquareCount(); ++i) ids.insert(grid.GetSquareByIndex(i)->GetComponentId());
  for (uint32_t id : GetPlacedSectionList())
    for (const auto& node : static_cast<CSkatableSection*>(park.GetObjectByID(id))->GetPathNodes())
      ids.insert(node->GetComponentId());
  ids.erase(ids.begin(), ids.lower_bound(grid.GetFirstComponentId()));  // an earlier search's
  ids.erase(CGraphNode::kNoComponent);                                    // not reached from the entrance
  ASSERT_GT(grid.GetFirstComponentId(), 1u);  // not the first search: the ids do not start at 1
  const auto [squares, pieceNodes] = EntranceComponentByWalks(*park.GetGrid());
  std::snprintf(line, sizeof line, "components: %zu, entrance component: %d squares and %d piece nodes", ids.size(),
                squares, pieceNodes);
  EXPECT_TRUE(HasLine(report, line));
  EXPECT_EQ(ids.size(), 1u);
}

TEST_F(DemoParkReport, FollowsASaleAndALift) {
  ASSERT_TRUE(DemoContent::BuildDemoPark(park, demo));
  ASSERT_TRUE(SellPiece(park, demo.offsetPieceId));
  park.UpdateObjects(0.0f);
  std::string report = BuildConnectivityReport(park);
  EXPECT_TRUE(HasLine(report, "failed entries: 1")) << report;
  EXPECT_EQ(report.find("\"funbox\" type 8 at (10.50"), std::string::npos);
  EXPECT_NE(report.find("pieces: 15 placed"), std::string::npos);
  // Lifting the second kicker leaves the bench's corner joined to its square only, and nothing fails.
  const uint32_t secondKicker = demo.pieceIds[9];
  ASSERT_TRUE(LiftPieceFromPark(park, secondKicker));
  report = BuildConnectivityReport(park);
  EXPECT_NE(report.find("pieces: 14 placed"), std::string::npos) << report;
  EXPECT_TRUE(HasLine(report, "rings: 36 joined (36 of 2, 0 of 3, 0 of 4, 0 of 5 or more), 22 nodes alone")) << report;
  EXPECT_EQ(park.GetGrid()->GetSquare(12, 9)->GetRingSize(), 2);
  EXPECT_TRUE(HasLine(report, "failed entries: 0")) << report;
  // An empty park still reports, with nothing to list.
  for (uint32_t id : std::vector<uint32_t>(GetPlacedSectionList())) ASSERT_TRUE(SellPiece(park, id));
  park.UpdateObjects(0.0f);
  report = BuildConnectivityReport(park);
  EXPECT_TRUE(HasLine(report, "pieces: 0 placed, 0 nodes (0 external), 0 links")) << report;
  EXPECT_TRUE(HasLine(report, "connectivity: 0 / (0 + 1) = 0.0000")) << report;
  EXPECT_EQ(park.GetParkState().connectivity, 0.0f);
  EXPECT_EQ(park.GetParkState().variety, 0.0f);
  EXPECT_EQ(park.GetParkState().capacity, 0.0f);
}

}  // namespace
