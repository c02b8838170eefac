// The level's terrain as a section: its skate nodes join the rings of the squares under them at
// the terrain instance's frame, every square lists it without being blocked by it, its links reach
// the park's component, and it leaves the squares as it found them.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "park/grid/Grid.h"
#include "park/pieces/SkatableSection.h"
#include "park/world/VerezIvor.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/ParkState.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::DebugCapture;

ShadedMesh* g_terrainSource = nullptr;
ShadedMesh* TerrainSource() { return g_terrainSource; }

// A flat 6 x 6 sheet carrying the grid's origin text and skate nodes, all on attach type 50000.
std::unique_ptr<ShadedMesh> TerrainMesh() {
  auto mesh = std::make_unique<ShadedMesh>();
  EXPECT_TRUE(mesh->CreateGrid(7, nullptr, 0));
  for (uint32_t r = 0; r < 7; ++r)
    for (uint32_t c = 0; c < 7; ++c) mesh->allPositions[r * 7 + c] = Vector3(static_cast<float>(c), static_cast<float>(r), 0.0f);
  mesh->ComputeAllFaceNormals();
  EXPECT_TRUE(mesh->ComputeNormalsAndBounds(1.0f));
  mesh->ComputeVertexNormals();
  mesh->ComputeBounds();
  const std::pair<Vector3, std::string> texts[] = {
      {Vector3(0, 0, 0), "name = gridorigin, columns = 8, rows = 8"},
      {Vector3(1, 2, 0), "skatenode 1 external link dest=2 type=skate_to_top"},
      {Vector3(1.5f, 2.5f, 1.0f), "skatenode 2 target grind link dest=3 type=grind_left"},
      {Vector3(2, 3, 0.005f), "skatenode 3 external link dest=1 type=walk"},  // within the join distance
      {Vector3(3, 3, 0.02f), "skatenode 4 target air"},                      // too high to join
  };
  for (const auto& t : texts) {
    COrientation at;
    at.SetPosition(t.first);
    mesh->AddAttachPoint(at, CSkatableSection::kSkateNodeAttach, static_cast<uint32_t>(t.second.size() + 1),
                         t.second.c_str(), false);
  }
  return mesh;
}

using testing_support::RingIds;

struct TerrainPark : ::testing::Test {
  TerrainPark() : park(nullptr, nullptr) {
    ClearPlacedSectionList();
    mesh = TerrainMesh();
    COrientation shifted;
    shifted.SetPosition(Vector3(2.0f, 1.0f, 0.0f));
    terrain = park.AddTerrainMesh(mesh.get(), &shifted, true, false);
    auto grid = std::make_unique<CGrid>(8, 8, Vector3(), 1.0f, 1.0f);
    for (int i = 0; i < grid->GetSquareCount(); ++i) grid->GetSquareByIndex(i)->directionMask = 0xF;
    grid->AddEntrance(grid->GetSquare(0, 0));
    park.SetGrid(std::move(grid));
  }
  ~TerrainPark() override {
    CSkatableSection::SetSources({nullptr, nullptr, nullptr});
    g_terrainSource = nullptr;
  }
  void UseSource(ShadedMesh* source) {
    g_terrainSource = source;
    CSkatableSection::SetSources({nullptr, nullptr, &TerrainSource});
  }
  CGrid& Grid() { return *park.GetGrid(); }
  uint32_t SquareId(int c, int r) { return Grid().GetSquare(c, r)->GetNodeId(); }

  std::unique_ptr<ShadedMesh> mesh;  // outlives the park's instance and section of it
  CVerezIvor park;
  CMeshInstance* terrain = nullptr;
};

TEST_F(TerrainPark, NodesJoinTheSquaresUnderThemAtTheInstanceFrame) {
  ASSERT_NE(terrain, nullptr);
  // The level's "terrain.mesh", and with none to be had the scenery instance's own mesh.
  for (ShadedMesh* source : {mesh.get(), static_cast<ShadedMesh*>(nullptr)}) {
    SCOPED_TRACE(source != nullptr ? "from the level's terrain mesh" : "from the terrain instance");
    UseSource(source);
    CSkatableSection* section = CSkatableSection::AddTerrainSection(park);
    ASSERT_NE(section, nullptr);
    const uint32_t id = section->GetID();
    EXPECT_EQ(park.GetObjectByID(id), section);
    EXPECT_TRUE(section->IsTerrain());
    EXPECT_FALSE(section->IsHeld());
    EXPECT_EQ(Grid().GetTerrainId(), id);
    EXPECT_EQ(GetPlacedSectionList(), std::vector<uint32_t>{id});

    // The origin text is no node; the four nodes stand where the shifted instance puts them.
    const auto& n = section->GetPathNodes();
    ASSERT_EQ(n.size(), 4u);
    EXPECT_EQ(n[0]->GetPosition(), Vector3(3.0f, 3.0f, 0.0f));
    EXPECT_EQ(n[2]->GetPosition(), Vector3(4.0f, 4.0f, 0.005f));
    for (const auto& node : n) EXPECT_EQ(node->GetOwnerPieceId(), id);
    EXPECT_EQ(RingIds(n[0].get()), (std::set<uint32_t>{n[0]->GetNodeId(), SquareId(3, 3)}));
    EXPECT_EQ(RingIds(Grid().GetSquare(3, 3)), RingIds(n[0].get()));
    EXPECT_EQ(RingIds(n[1].get()), (std::set<uint32_t>{n[1]->GetNodeId()}));
    EXPECT_EQ(RingIds(n[2].get()), (std::set<uint32_t>{n[2]->GetNodeId(), SquareId(4, 4)}));
    EXPECT_EQ(RingIds(n[3].get()), (std::set<uint32_t>{n[3]->GetNodeId()}));
    EXPECT_EQ(RingIds(Grid().GetSquare(5, 4)), (std::set<uint32_t>{SquareId(5, 4)}));
    EXPECT_EQ(section->GetPathLinks().size(), 3u);

    // Listed first in every square, and never a reason to block one.
    for (int i = 0; i < Grid().GetSquareCount(); ++i) {
      ASSERT_EQ(Grid().GetSquareByIndex(i)->GetObjectIds(), std::vector<uint32_t>{id}) << "square " << i;
      ASSERT_FALSE(Grid().GetSquareByIndex(i)->IsBlocked()) << "square " << i;
    }
    Grid().GetSquare(2, 2)->AddObjectId(id + 100);
    EXPECT_TRUE(Grid().GetSquare(2, 2)->IsBlocked());
    Grid().GetSquare(2, 2)->RemoveObjectId(id + 100);

    // Components were computed with the links: the top is reached over its ramp from the square,
    // the node that joined nothing is not.
    EXPECT_TRUE(Grid().IsConnected(*n[0]));
    EXPECT_TRUE(Grid().IsConnected(*n[1]));
    EXPECT_FALSE(Grid().IsConnected(*n[3]));
    GraphPath path;
    ASSERT_TRUE(Grid().FindPathForSkater(nullptr, Grid().GetSquare(0, 0), n[1].get(), &path));
    EXPECT_EQ(path.front().node, n[1].get());
    EXPECT_EQ(FindNodeByID(n[1]->GetNodeId()), n[1].get());
    EXPECT_EQ(Grid().FindNode(n[2]->GetNodeId()), n[2].get());

    // Gone again: no square lists it, every ring is back to one.
    park.RemoveObject(id);
    EXPECT_EQ(park.GetObjectByID(id), nullptr);
    EXPECT_TRUE(GetPlacedSectionList().empty());
    for (int i = 0; i < Grid().GetSquareCount(); ++i) {
      ASSERT_TRUE(Grid().GetSquareByIndex(i)->GetObjectIds().empty()) << "square " << i;
      ASSERT_EQ(Grid().GetSquareByIndex(i)->GetRingSize(), 1) << "square " << i;
    }
  }
}

TEST_F(TerrainPark, AMeshNoInstanceShowsStandsAtItsOwnCoordinates) {
  std::unique_ptr<ShadedMesh> other = TerrainMesh();
  UseSource(other.get());
  CSkatableSection* section = CSkatableSection::AddTerrainSection(park);
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(section->GetPathNodes()[0]->GetPosition(), Vector3(1.0f, 2.0f, 0.0f));
  EXPECT_EQ(RingIds(Grid().GetSquare(1, 2)), (std::set<uint32_t>{section->GetPathNodes()[0]->GetNodeId(), SquareId(1, 2)}));
  park.RemoveObject(section->GetID());  // before its mesh goes
}

TEST(TerrainSection, RefusedWithoutAGridOrATerrain) {
  CVerezIvor park(nullptr, nullptr);
  DebugCapture log;
  EXPECT_EQ(CSkatableSection::AddTerrainSection(park), nullptr);
  EXPECT_NE(log.Text().find("no grid"), std::string::npos);
  park.SetGrid(std::make_unique<CGrid>(4, 4, Vector3(), 1.0f, 1.0f));
  log.Clear();
  EXPECT_EQ(CSkatableSection::AddTerrainSection(park), nullptr);
  EXPECT_NE(log.Text().find("no terrain mesh"), std::string::npos);
  EXPECT_EQ(park.GetGrid()->GetTerrainId(), CGrid::kNone);
  EXPECT_TRUE(park.GetGrid()->GetSquare(0, 0)->GetObjectIds().empty());
}

}  // namespace
