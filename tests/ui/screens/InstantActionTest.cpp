// Instant action on the generated data: the park the generator saves beside the demo level comes
// back through the start routine whole (pieces, facilities, their entries joined to the level's
// grid, enough score for about ten skaters), and broken content starts a game that says what it
// lacks in a notice while it runs on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/world/WorldAccess.h"
#include "core/data/ResourceTable.h"
#include "core/math/RayInfo.h"
#include "core/math/Vector2.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/world/ParkScores.h"
#include "park/world/VerezIvor.h"
#include "physics/terrain/TerrainPatch.h"
#include "physics/terrain/TerrainTriangleTree.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/patch/CurvedPatch.h"
#include "scene/patch/CurvedPatchInstance.h"
#include "tests/support/TempFolder.h"
#include "tests/ui/screens/DemoGameTest.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentCatalog.h"
#include "tools/DemoContentImages.h"
#include "tools/DemoContentSounds.h"
#include "tools/DemoContentInstantPark.h"
#include "tools/DemoContentLevel.h"
#include "ui/park/GameHooks.h"
#include "ui/screens/NewGame.h"
#include "ui/screens/NoticeScreen.h"

using testing_support::DebugCapture;
using testing_support::TempFolder;

namespace {

// The placed pieces of the park (not the terrain), split into sections and facilities.
struct Pieces {
  std::vector<const CSkatableSection*> sections, facilities;
};
Pieces PiecesOf(const CVerezIvor& park) {
  Pieces out;
  for (uint32_t id = 1; id < park.GetNextObjectID(); ++id) {
    const auto* section = dynamic_cast<const CSkatableSection*>(park.GetObjectByID(id));
    if (section == nullptr || section->IsTerrain()) continue;
    (dynamic_cast<const CSkatableFacility*>(section) != nullptr ? out.facilities : out.sections).push_back(section);
  }
  return out;
}

bool JoinsGridSquare(const CSkatePathNode& node) {
  const CSkatePathNode* n = &node;
  do {
    if (dynamic_cast<const CGridSquare*>(n) != nullptr) return true;
    n = n->GetRingNext();
  } while (n != &node);
  return false;
}

// The lines of the notice on top, or none.
std::vector<std::string> NoticeLines(const CVerezIvor& park) {
  for (size_t i = park.GetLayerCount(); i-- > 0;)
    if (auto* notice = dynamic_cast<CNoticeScreen*>(park.GetLayer(i)))
      if (!notice->IsMarkedForRemoval()) return notice->GetPanel().GetLines();
  return {};
}

class InstantAction : public ui_test::DemoGameTest {
 protected:
  // The demo data with the instant park, written once for the suite.
  static void SetUpTestSuite() { WriteSuiteData(true); }
  // The demo data without the instant park below root, for a test to change.
  void WriteOwnDemoData(const TempFolder& root) {
    WriteDemoData(root, false);
    SetGameWorld(park.get());
  }
  static std::string ParkFile(const std::string& root) { return root + "data/levels/demo/" + kInstantActionFile; }
};

}  // namespace

TEST_F(InstantAction, TheSavedParkComesBackWholeOnTheLevelsGrid) {
  ASSERT_TRUE(StartInstantAction(park.get(), Root())) << log.Text();
  EXPECT_TRUE(NoticeLines(*park).empty()) << log.Text();
  EXPECT_STREQ(park->GetParkState().parkName, "Instant Action");
  EXPECT_EQ(park->GetParkState().money, kStartingMoneyEasy);
  const CGrid* grid = park->GetGrid();
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->GetSize().column, 64) << "the level's own grid";

  const Pieces pieces = PiecesOf(*park);
  EXPECT_EQ(pieces.sections.size(), 13u);
  std::vector<std::string> facilityNames;
  for (const CSkatableSection* facility : pieces.facilities) facilityNames.push_back(facility->GetName());
  std::sort(facilityNames.begin(), facilityNames.end());
  EXPECT_EQ(facilityNames, (std::vector<std::string>{"Drinks stand", "First aid", "Restroom", "Skate shop",
                                                     "Snack stand", "T-shirt stand"}));
  // Five or more kinds among the sections, each at most twice.
  std::vector<int> perType(10, 0);
  for (const CSkatableSection* section : pieces.sections) {
    ASSERT_NE(section->GetDefinition(), nullptr);
    ASSERT_LT(section->GetDefinition()->type, 10);
    ++perType[static_cast<size_t>(section->GetDefinition()->type)];
  }
  EXPECT_EQ(std::count_if(perType.begin(), perType.end(), [](int n) { return n > 0; }), 8);
  EXPECT_EQ(*std::max_element(perType.begin(), perType.end()), 2);

  // Every entry of every piece stands in a ring with a grid square that the entrance reaches.
  int entries = 0;
  for (const auto* list : {&pieces.sections, &pieces.facilities})
    for (const CSkatableSection* piece : *list) {
      // Placed pieces come back solid, not at the half alpha of a piece in hand.
      EXPECT_FALSE(piece->IsHeld());
      EXPECT_EQ(piece->GetMeshInstance()->GetAlpha(), 1.0f) << piece->GetName();
      for (const auto& node : piece->GetPathNodes()) {
        if (!node->external) continue;
        ++entries;
        EXPECT_TRUE(JoinsGridSquare(*node)) << piece->GetName();
        EXPECT_TRUE(grid->IsRingConnected(*node)) << piece->GetName();
      }
    }
  EXPECT_EQ(entries, 40 + 6 * 2);  // each stand has a way in and a way out

  // The stored scores are those of the loaded pieces, and they call about ten skaters.
  const ParkState& state = park->GetParkState();
  EXPECT_FLOAT_EQ(state.variety, ComputeVariety(*park));
  EXPECT_FLOAT_EQ(state.connectivity, ComputeConnectivity(*park));
  EXPECT_FLOAT_EQ(state.capacity, ComputeCapacity(*park));
  EXPECT_FLOAT_EQ(state.capacity, 13.0f);
  EXPECT_FLOAT_EQ(state.connectivity, 40.0f / 41.0f);
  const double target = std::trunc((state.variety + state.connectivity + 0.001) * 0.5 * std::trunc(state.capacity));
  EXPECT_EQ(target, 11.0);

  // Skaters come in at the level's entrances and leave by its exits, all on its grid.
  EXPECT_EQ(grid->GetEntrances().size(), 4u);
  EXPECT_EQ(grid->GetExits().size(), 4u);
  log.Clear();
  const uint32_t skater = park->SpawnSkater();
  EXPECT_NE(skater, 0u) << log.Text();
}

// The mound's top is one curved patch: the skaters' ground rays meet the surface the patch
// evaluates to, within its collision tessellation's error (eight segments an edge: under 0.02 here).
TEST_F(InstantAction, TheMoundsCurvedPatchIsWhatTheSkatersRaysMeet) {
  constexpr uint32_t kStaticTerrain = 0x100000;
  constexpr float kFacetError = 0.02f;
  ASSERT_TRUE(StartInstantAction(park.get(), Root())) << log.Text();
  CSkatableSection* mound = nullptr;
  for (const CSkatableSection* section : PiecesOf(*park).sections)
    if (std::string(section->GetName()) == "Mound") mound = const_cast<CSkatableSection*>(section);
  ASSERT_NE(mound, nullptr);
  CMeshInstance* instance = mound->GetMeshInstance();
  ASSERT_TRUE(instance->GetPatchState() != nullptr && instance->GetTerrainPatchCount() == 1u);
  const CurvedPatch& patch = *instance->GetPatchState()->GetPatches();
  const COrientation& world = instance->GetWorldMatrix();
  auto surface = [&](float u, float v) { return world.LocalToWorldPoint(patch.Evaluate(0, u, v)); };
  COctree& octree = park->GetOctree();
  const uint32_t builds = TriTree::GetBuildCount();
  auto rayDown = [&](const Vector3& p, CBoundedObject*& hit) {
    RayInfo ray(p + Vector3(0, 0, 2), p - Vector3(0, 0, 0.4f));
    hit = nullptr;
    const bool met = octree.RayQuery(ray, &hit, kStaticTerrain, false, 1.0f) && dynamic_cast<CTerrainPatch*>(hit);
    return met ? ray : RayInfo();
  };
  for (const Vector2 at : {Vector2(0.5f, 0.5f), Vector2(0.25f, 0.7f), Vector2(0.9f, 0.15f), Vector2(0.05f, 0.5f)}) {
    SCOPED_TRACE(testing::Message() << at.x << ", " << at.y);
    const Vector3 p = surface(at.x, at.y);
    CBoundedObject* hit = nullptr;
    const RayInfo ray = rayDown(p, hit);
    ASSERT_NE(dynamic_cast<CTerrainPatch*>(hit), nullptr) << "the patch, not the ground under it";
    EXPECT_NEAR(ray.start.z + (ray.end.z - ray.start.z) * ray.result.time, p.z, kFacetError);
    EXPECT_NEAR(ray.result.u, at.x, 0.01f);
    EXPECT_NEAR(ray.result.v, at.y, 0.01f);
  }
  EXPECT_EQ(TriTree::GetBuildCount(), builds + 1) << "one tree, built on the first ray and kept";

  // Lifted, the mound takes its patch out of the skaters' way; put down again, it is back; and
  // the park plays on over it for a minute.
  CBoundedObject* hit = nullptr;
  mound->PickUp();
  rayDown(surface(0.5f, 0.5f), hit);
  EXPECT_TRUE(hit == nullptr || dynamic_cast<CTerrainPatch*>(hit) == nullptr) << "no patch of a piece in hand";
  mound->Place();
  rayDown(surface(0.5f, 0.5f), hit);
  EXPECT_NE(dynamic_cast<CTerrainPatch*>(hit), nullptr);
  for (int i = 0; i < 1800; ++i) park->Tick(0.033f);
}

TEST_F(InstantAction, AMissingOrCutParkFileLeavesAnEmptyParkAndANotice) {
  const std::string whole = testing_support::ReadBytes(ParkFile(Root()));
  ASSERT_GT(whole.size(), 400u);
  TempFolder copy;
  WriteOwnDemoData(copy);
  // No file at all, then cuts inside the park block, the object block and the skater block's count.
  for (size_t size : {size_t{0}, size_t{3}, size_t{200}, whole.size() / 2, whole.size() - 1}) {
    SCOPED_TRACE(size);
    if (size > 0) copy.Write("data/levels/demo/" + std::string(kInstantActionFile), whole.substr(0, size));
    log.Clear();
    ASSERT_TRUE(StartInstantAction(park.get(), copy.Path()));
    EXPECT_NE(log.Text().find("InstantAction: the park " + ParkFile(copy.Path()) +
                              " could not be loaded; an empty park is running\n"),
              std::string::npos)
        << log.Text();
    EXPECT_EQ(NoticeLines(*park),
              (std::vector<std::string>{"THE INSTANT ACTION PARK COULD NOT BE LOADED", "AN EMPTY PARK IS RUNNING"}));
    const Pieces pieces = PiecesOf(*park);
    EXPECT_TRUE(pieces.sections.empty() && pieces.facilities.empty());
    EXPECT_NE(park->GetGrid(), nullptr) << "the empty park is playable";
    EXPECT_EQ(park->GetParkState().money, kStartingMoneyEasy);
    park->RemoveAllLayers();
  }
  // A start after all that takes the good file again.
  ASSERT_TRUE(StartInstantAction(park.get(), Root()));
  EXPECT_EQ(PiecesOf(*park).sections.size(), 13u);
}

TEST_F(InstantAction, ALevelWithoutAGridAndItemsWithoutMeshesStartWithANotice) {
  TempFolder broken;
  WriteOwnDemoData(broken);
  const std::string folder = broken.Path() + "data";
  std::string ramps;
  for (const auto& file : DemoContent::CatalogFiles())
    if (file.relativePath == "objects/ramps.ini") ramps = file.text;
  const std::string mesh = "mesh=quarterpipe.mesh";
  ramps.replace(ramps.find(mesh), mesh.size(), "mesh=nosuch.mesh");
  broken.Write("data/objects/ramps.ini", ramps);
  ASSERT_TRUE(StartNewGame(park.get(), 0, kStartingMoneyMedium, "Gridded", broken.Path()));
  EXPECT_EQ(NoticeLines(*park), std::vector<std::string>{"SOME BUILD ITEMS HAVE NO MESH AND ARE NOT OFFERED"});
  EXPECT_NE(park->GetGrid(), nullptr);
  park->RemoveAllLayers();

  // The level's mesh without its grid origin (and without the cached grid).
  std::unique_ptr<ShadedMesh> bare = DemoContent::BuildGroundGrid(9, 4.0f);
  ASSERT_TRUE(bare->Save((folder + "/levels/demo/terrain.mesh").c_str(), nullptr));
  std::filesystem::remove(folder + "/levels/demo/grid_data.bin");
  ASSERT_TRUE(StartNewGame(park.get(), 0, kStartingMoneyMedium, "Gridless", broken.Path()));
  EXPECT_EQ(NoticeLines(*park), (std::vector<std::string>{"SOME BUILD ITEMS HAVE NO MESH AND ARE NOT OFFERED",
                                                          "THIS LEVEL HAS NO BUILD GRID: NOTHING CAN BE BUILT"}));
  EXPECT_EQ(park->GetGrid(), nullptr);
  // The gridless game runs and lets nobody in.
  for (int i = 0; i < 10; ++i) park->Tick(0.033f);
  EXPECT_EQ(park->SpawnSkater(), 0u);
}

// Damaged copies of the demo data, one file changed each time, so that a name wanting a mesh finds
// another kind: a catalog mesh naming a picture, a sound, the crate (a rigid body) or the buggy (a
// vehicle); a missing ramp mesh beside a picture holding its name; a family of a rigid body and a
// mesh; the crate as the level's terrain or the skater's body. LOAD GAME from the main menu (which
// checks the file against the level's data), then INSTANT ACTION with a skater: each is a mesh
// that is not there, and the piece's park is refused whole, the level running empty with a notice.
TEST_F(InstantAction, NamesFindingAssetsOfAnotherKindAreMeshesThatAreNotThere) {
  TempFolder copy;
  WriteOwnDemoData(copy);
  const std::string dataFolder = copy.Path() + "data/";
  ASSERT_TRUE(DemoContent::WriteImages(dataFolder) && DemoContent::WriteSounds(dataFolder) &&
              DemoContent::WriteInstantActionPark(dataFolder));
  const auto bytes = [&](const char* file) { return testing_support::ReadBytes(dataFolder + file); };
  const std::string crate = bytes("meshes/crate.mesh");
  const auto ramps = [&](const std::string& mesh) {
    std::string text = bytes("objects/ramps.ini");
    for (size_t at; (at = text.find("mesh=kicker.mesh")) != std::string::npos;) text.replace(at, 16, "mesh=" + mesh);
    return std::make_pair(std::string("objects/ramps.ini"), text);
  };
  constexpr size_t kWhole = 13;  // the sections of instant action's park
  const struct {
    std::vector<std::pair<std::string, std::string>> files;  // written below data/; no bytes: removed
    bool levelStarts;
    size_t sections;
  } cases[] = {
      {{ramps("kicker.tga")}, true, 0},
      {{ramps("ollie.wav")}, true, 0},
      {{ramps("crate.mesh")}, true, 0},
      {{ramps("buggy.mesh")}, true, 0},
      {{{"meshes/kicker.mesh", ""}, {"meshes/kicker.mesh.tga", bytes("meshes/kicker.tga")}}, true, 0},
      {{{"meshes/kicker1.mesh", crate}, {"meshes/kicker2.mesh", bytes("meshes/kicker.mesh")}, ramps("kicker2.mesh")},
       true, 0},
      {{{"levels/demo/terrain.mesh", crate}}, false, 0},
      {{{"people/boarder/boarder.mesh", crate}}, true, kWhole},
  };
  // What the program registers at start-up besides the level's and the pieces' files.
  const auto registerStartUpFiles = [&](CResourceTable& startUp) {
    for (const char* file : {"sounds/ollie.wav", "people/boarder/boarder.mesh"})
      if (startUp.FindByName(file) < 0) startUp.Add((dataFolder + file).c_str());
  };
  registerStartUpFiles(table);
  for (const auto& damage : cases) {
    SCOPED_TRACE(damage.files.back().first);
    std::vector<std::pair<std::string, std::string>> undo;
    for (const auto& file : damage.files) {
      undo.emplace_back(file.first, bytes(file.first.c_str()));
      if (file.second.empty()) std::filesystem::remove(dataFolder + file.first);
      else copy.Write("data/" + file.first, file.second);
    }
    CResourceTable menuTable;
    auto menuPark = std::make_unique<CVerezIvor>(nullptr, nullptr);
    menuPark->SetResourceTable(&menuTable);
    registerStartUpFiles(menuTable);
    SetGameWorld(menuPark.get());
    log.Clear();
    EXPECT_EQ(LoadSavedGame(menuPark.get(), ParkFile(copy.Path()).c_str(), copy.Path()),
              damage.sections == kWhole ? SavedGameLoad::kLoaded : SavedGameLoad::kNotLoaded);
    ClearRunningGame(*menuPark);
    FreeObjectCatalog();
    menuPark.reset();
    SetGameWorld(park.get());
    EXPECT_EQ(StartInstantAction(park.get(), copy.Path()), damage.levelStarts);
    EXPECT_EQ(PiecesOf(*park).sections.size(), damage.sections);
    if (damage.levelStarts) {
      EXPECT_EQ(NoticeLines(*park).size(), damage.sections == kWhole ? 0u : 2u);
      EXPECT_NE(park->SpawnSkater(), 0u);
      for (int tick = 0; tick < 30; ++tick) park->Tick(0.033f);
    }
    EXPECT_TRUE(log.Text().find("; not used\n") != std::string::npos ||
                log.Text().find("the family is refused\n") != std::string::npos) << "the asset was asked for";
    park->RemoveAllLayers();
    ClearRunningGame(*park);
    FreeObjectCatalog();
    for (const auto& file : undo)
      if (file.second.empty()) std::filesystem::remove(dataFolder + file.first);
      else copy.Write("data/" + file.first, file.second);
  }
}
