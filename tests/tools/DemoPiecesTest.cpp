// The demo pieces and facilities: every catalog definition's mesh, written and read back through
// the resource table, becomes a piece that joins the demo level's grid where its texts say and
// leaves it exactly as it was when picked up.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/world/WorldAccess.h"
#include "core/data/ResourceTable.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/world/VerezIvor.h"
#include "scene/patch/CurvedPatch.h"
#include "tests/support/ParkState.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentCatalog.h"
#include "tools/DemoContentLevel.h"
#include "tools/DemoContentPieces.h"

namespace {

using testing_support::DebugCapture;
using testing_support::ParkGridState;
using testing_support::RingIds;
using testing_support::TakeParkGridState;
using testing_support::TempFolder;

ShadedMesh* WorldMesh(int id) { return static_cast<ShadedMesh*>(GetWorldResource(id)); }

size_t CountLinks(const DemoContent::PieceSpec& spec) {
  size_t n = 0;
  for (const DemoContent::PieceNode& node : spec.nodes)
    for (size_t at = node.text.find("dest="); at != std::string::npos; at = node.text.find("dest=", at + 1)) ++n;
  return n;
}

// The mound's nodes stand where skaters ride it: on its patch (rows along x, so the patch's v runs
// with x and u with y), the four rim corners on the ground and the top at the peak; below the patch
// its one face lies flat on the ground.
TEST(DemoPieces, TheMoundsNodesLieOnItsPatch) {
  const std::unique_ptr<ShadedMesh> mound = DemoContent::BuildMoundPiece();
  ASSERT_TRUE(mound && mound->patches);
  for (const DemoContent::PieceNode& node : DemoContent::MoundSpec().nodes) {
    const Vector3 on = mound->patches->Evaluate(0, node.at.y / DemoContent::kMoundSide, node.at.x / DemoContent::kMoundSide);
    EXPECT_NEAR((on - node.at).Length(), 0.0f, 1e-5f) << node.text;
  }
  const Box faces = mound->GetTransformedBounds(nullptr);
  EXPECT_TRUE(faces.min.z == 0.0f && faces.max.z == 0.0f);
}

TEST(DemoPieces, EveryCatalogPieceJoinsTheDemoGridAndLeavesItAsItWas) {
  TempFolder folder;
  DebugCapture log;
  const std::string data = folder.MakeFolder("data");
  ASSERT_TRUE(DemoContent::WriteAll(data));
  ASSERT_TRUE(DemoContent::WriteCatalogs(data));
  std::map<std::string, DemoContent::PieceSpec> specs;
  for (DemoContent::PieceSpec& spec : DemoContent::PieceSpecs()) specs[spec.name + ".mesh"] = spec;
  specs[std::string(DemoContent::kMoundPiece) + ".mesh"] = DemoContent::MoundSpec();

  // Owned outside the park, which holds them without owning them.
  CResourceTable table;
  for (const auto& entry : std::filesystem::directory_iterator(data + "/meshes"))
    if (entry.path().extension() == ".mesh") ASSERT_GE(table.Add(entry.path().string().c_str()), 0);
  std::unique_ptr<ShadedMesh> level = DemoContent::BuildLevelMesh();
  ASSERT_NE(level, nullptr);
  CObjectCatalog catalog;
  const CSkatableSection::Sources saved = CSkatableSection::GetSources();
  CSkatableSection::SetSources({&WorldMesh, nullptr, nullptr});
  {
    CVerezIvor park(nullptr, nullptr);
    park.SetResourceTable(&table);
    park.SetLevelDirectory(folder.Path());
    park.AddTerrainMesh(level.get(), nullptr, true, false);
    CGrid* grid = CGrid::InitFromTerrain(park);
    ASSERT_NE(grid, nullptr);
    catalog.Load(folder.Path());
    ClearPlacedSectionList();

    int placedCount = 0;
    for (int position = 0; position < CObjectCatalog::kTableSize; ++position) {
      const ObjectDefinition* def = catalog.GetDefinition(position);
      if (def == nullptr) continue;
      const char* path = table.GetPath(def->mesh);
      ASSERT_NE(path, nullptr) << def->name;
      const std::string file = std::filesystem::path(path).filename().string();
      SCOPED_TRACE(std::string(def->name) + " " + file);
      const auto spec = specs.find(file);
      const bool piece = spec != specs.end();
      // Spread over open ground between the raised blocks, clear of the gates.
      const int column = 18 + 4 * (placedCount % 10), row = 24 + 7 * (placedCount / 10);
      ++placedCount;
      const bool facility = def->type >= 13 && def->type != CSkatableSection::kSponsorType;
      std::unique_ptr<CSkatableSection> made =
          facility ? std::make_unique<CSkatableFacility>() : std::make_unique<CSkatableSection>();
      CSkatableSection* section = made.get();
      COrientation frame;
      frame.SetPosition(grid->GetSquare(column, row)->GetPosition());
      ASSERT_TRUE(section->InitFromMesh(frame, def->mesh, false));
      section->SetDefinition(def, true);
      if (facility) EXPECT_EQ(static_cast<CSkatableFacility*>(section)->GetUseFee(), def->useFee);
      ASSERT_NE(park.RegisterNewObject(std::move(made)), 0u);
      const ParkGridState before = TakeParkGridState(park);
      section->Place();
      EXPECT_FALSE(section->IsHeld());

      const auto& nodes = section->GetPathNodes();
      ASSERT_EQ(nodes.size(), piece ? spec->second.nodes.size() : 0u);
      EXPECT_EQ(section->GetPathLinks().size(), piece ? CountLinks(spec->second) : 0u);
      if (piece) EXPECT_EQ(section->GetObstacle(), nullptr);  // its own faces collide, no sphere markers
      int joined = 0;
      for (size_t i = 0; i < nodes.size(); ++i) {
        const Vector3 at = spec->second.nodes[i].at;
        std::set<uint32_t> want{nodes[i]->GetNodeId()};
        const bool onCorner = at.z == 0.0f && at.x == static_cast<float>(static_cast<int>(at.x)) &&
                              at.y == static_cast<float>(static_cast<int>(at.y));
        EXPECT_EQ(onCorner, nodes[i]->external) << spec->second.nodes[i].text;
        if (onCorner) {
          want.insert(grid->GetSquare(column + static_cast<int>(at.x), row + static_cast<int>(at.y))->GetNodeId());
          ++joined;
        }
        EXPECT_EQ(RingIds(nodes[i].get()), want) << spec->second.nodes[i].text;
      }
      if (piece) EXPECT_GE(joined, 1);
      // Joined through its squares, the piece is part of the park the skaters walk in: the search
      // takes a ring as one place, so the place counts when any node of it was reached.
      grid->UpdateComponents();
      for (const auto& node : nodes)
        if (node->external) EXPECT_TRUE(grid->IsRingConnected(*node)) << node->GetNodeId();
      section->PickUp();
      EXPECT_TRUE(TakeParkGridState(park) == before);
    }
    EXPECT_EQ(placedCount, 21);
    park.ClearWorld();  // the terrain instance goes before the level mesh
  }
  CSkatableSection::SetSources(saved);
  EXPECT_EQ(log.Text().find("could not"), std::string::npos);
}

}  // namespace
