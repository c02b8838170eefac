// The level loader on the generated demo level: every step lands on the park, and broken content
// (no grid origin, catalog items naming missing meshes, unknown levels) fails with a logged line
// while the park stays usable.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/world/AssetPreloader.h"
#include "core/input/InputMan.h"
#include "core/input/SkateSettings.h"
#include "core/services/WorldServices.h"
#include "core/spatial/BezierSpline.h"
#include "core/spatial/Octree.h"
#include "core/spatial/OctreeNode.h"
#include "core/world/WorldAccess.h"
#include "core/data/LittleEndian.h"
#include "core/data/ResourceTable.h"
#include "park/grid/Grid.h"
#include "park/grid/Path3D.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/world/VerezIvor.h"
#include "physics/terrain/TerrainPolygon.h"
#include "platform/system/Platform.h"
#include "scene/camera/GenericCam.h"
#include "scene/camera/ScriptCam.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LightList.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/WorkingFolder.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentCatalog.h"
#include "tools/DemoContentImages.h"
#include "tools/DemoContentLevel.h"
#include "tools/DemoContentLevelArt.h"
#include "tools/DemoContentLevelPaths.h"
#include "tools/DemoContentLevelSkeleton.h"
#include "ui/screens/LevelLoader.h"
#include "ui/screens/LevelPaths.h"
#include "ui/screens/LevelSkeleton.h"
#include "effects/AttachGlow.h"
#include "effects/CloudLayer.h"
#include "effects/EffectManager.h"
#include "effects/WeatherManager.h"
#include "park/controller/GameLogic.h"
#include "park/pieces/SkatableFacility.h"
#include "tools/DemoContentEffects.h"

using testing_support::DebugCapture;
using testing_support::WorkingFolder;

namespace {

// The demo data in a fresh working folder, and a park whose resource table knows its files.
class DemoLevel : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.Entered());
    settings.meshDetail = 0.5f;
    settings.detailFlags = 1;  // baked light may be read
    previous = GetSettings();
    SetSettings(&settings);
    ASSERT_TRUE(DemoContent::WriteAll("data") && DemoContent::WriteLevel("data") && DemoContent::WriteCatalogs("data") &&
                DemoContent::WriteImages("data") && DemoContent::WriteLevelTextures("data"));
    PreloadAssets(&table);
    park = std::make_unique<CVerezIvor>(nullptr, nullptr);
    park->SetResourceTable(&table);
    log.Clear();
  }
  void TearDown() override {
    FreeObjectCatalog();
    park->ClearGrid();
    park->ClearWorld();
    EXPECT_EQ(CBezierSpline::FindByID(DemoContent::kDemoCameraPathSpline), nullptr) << "splines go with the level";
    park.reset();
    SetSettings(previous);
  }

  CSkateSettings settings;
  CSettings* previous = nullptr;

  WorkingFolder folder;
  DebugCapture log;
  CResourceTable table;
  std::unique_ptr<CVerezIvor> park;
};

}  // namespace

TEST_F(DemoLevel, EveryStepLandsOnThePark) {
  CLevelLoader loader;
  EXPECT_EQ(loader.GetLevelFolder(0), "data/levels/demo/");
  ASSERT_TRUE(loader.LoadLevel(*park, 0)) << log.Text();
  EXPECT_EQ(park->GetLevelDirectory(), "data/levels/demo/");
  // The level's textures are found beside its mesh.
  EXPECT_EQ(log.Text().find("did not load"), std::string::npos) << log.Text();
  CMeshInstance* terrain = loader.GetTerrain();
  ASSERT_NE(terrain, nullptr);
  ASSERT_EQ(park->GetTerrainInstances().size(), 1u);
  // One walkable polygon per face of the terrain, for the controller's picking.
  const ShadedMesh* mesh = terrain->GetMesh();
  ASSERT_EQ(terrain->GetTerrainPolygonCount(), mesh->faceCount);
  for (uint32_t i = 0; i < terrain->GetTerrainPolygonCount(); ++i)
    ASSERT_NE(terrain->GetTerrainPolygons()[i].GetBoundFlags() & CBoundedObject::kWalkable, 0u) << i;
  // The view-from-a-piece, chase and park cameras, then the level's script camera; the
  // orthographic park camera is current.
  ASSERT_EQ(park->GetCameraCount(), 4u);
  EXPECT_EQ(park->GetCurrentCameraIndex(), CLevelLoader::kParkCamera);
  EXPECT_TRUE(park->GetCamera(CLevelLoader::kParkCamera)->GetView().IsOrthographic());
  EXPECT_FALSE(park->GetCamera(CLevelLoader::kViewFromPieceCamera)->GetView().IsOrthographic());
  EXPECT_EQ(park->GetCamera(CLevelLoader::kChaseCamera)->GetCameraType(), 2u);
  // The park camera looks down (-1, -1, -2) at the level's middle from its set distance, wide
  // enough for the level's larger side.
  const CGenericCam& overview = *park->GetCamera(CLevelLoader::kParkCamera);
  const Box box = park->GetOctree().GetRootBox();
  const Vector3 centre = (box.min + box.max) * 0.5f;
  CInputMan input;
  plat::SetKeyState('F', true);
  park->GetCamera(CLevelLoader::kViewFromPieceCamera)->UpdateCamera(nullptr, 1.0f, &input, 0, 0, nullptr);
  plat::SetKeyState('F', false);
  EXPECT_EQ(park->GetCamera(CLevelLoader::kViewFromPieceCamera)->GetFrame().GetPosition(), centre + Vector3(27, 0, 0))
      << "from the middle, a second of plain thrust forward damped to 0.9";
  const float k = 1.0f / std::sqrt(6.0f);
  const Vector3 look = overview.GetFrame().axes.m[0], eye = overview.GetFrame().GetPosition();
  const Vector3 wantEye = centre + Vector3(k, k, 2 * k) * CLevelLoader::kParkCameraDistance;
  for (int a = 0; a < 3; ++a) {
    EXPECT_NEAR(look[a], (a == 2 ? -2 : -1) * k, 1e-5f) << a;
    EXPECT_NEAR(eye[a], wantEye[a], 1e-3f) << a;
  }
  EXPECT_FLOAT_EQ(overview.GetView().GetOrthoWidth(), std::max(box.max.x - box.min.x, box.max.y - box.min.y));
  // The script camera is found by its ID, stands at the frame stored with its block and flies
  // along its spline: at a quarter of its move time it is a quarter of the way round.
  CScriptCam* script = CScriptCam::FindById(DemoContent::kDemoScriptCamera, park.get());
  ASSERT_EQ(script, park->GetCamera(3));
  ASSERT_EQ(script->GetSegmentCount(), 1u);
  const CBezierSpline* path = CBezierSpline::FindByID(DemoContent::kDemoCameraPathSpline);
  ASSERT_NE(path, nullptr);
  EXPECT_EQ(script->GetFrame().position, path->GetPoints()[0].position);
  EXPECT_FALSE(script->IsPlaying());
  script->Play();
  for (int tick = 0; tick < 2; ++tick) script->UpdateCamera(nullptr, 5.0f, nullptr, 0, 0, nullptr);
  Vector3 quarter;
  ASSERT_TRUE(path->GetPointAtFraction(quarter, 0.25f));
  EXPECT_EQ(script->GetFrame().position, quarter);
  // The four light records, no default lights, and the baked vertex lights taken as written.
  EXPECT_EQ(park->GetLightList()->GetCount(), 4u);
  EXPECT_NE(log.Text().find("Loading Static Vertex Lights.\n"), std::string::npos);
  EXPECT_EQ(log.Text().find("Saving Static lights"), std::string::npos);
  // Visibility between the two octree counts.
  const size_t before = log.Text().find("Octree Nodes Before Visibility: ");
  const size_t after = log.Text().find("Octree Nodes After Visibility: ");
  ASSERT_NE(after, std::string::npos);
  EXPECT_LT(before, after);
  EXPECT_TRUE(park->IsVisibilityLoaded());
  // Fog: the default mesh detail of 0.5 takes the "medfog" block.
  const FogState* fog = park->GetFogState();
  ASSERT_TRUE(fog->enabled);
  const FogSettings want = DemoContent::LevelFogBlocks()[1].settings;
  EXPECT_EQ(fog->settings.zeroVisibilityDistance, want.zeroVisibilityDistance);
  EXPECT_EQ(fog->settings.startElevation, want.startElevation);
  EXPECT_EQ(fog->settings.offsetCoefficient, want.offsetCoefficient);

  // The grid comes from the written "grid_data.bin"; the terrain joins it as a section.
  log.Clear();
  ASSERT_TRUE(loader.SetUpGrid(*park)) << log.Text();
  CGrid* grid = park->GetGrid();
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(log.Text().find("re-calculating"), std::string::npos);
  EXPECT_EQ(grid->GetSize().column, 64);
  EXPECT_EQ(grid->GetEntrances().size(), 4u);
  EXPECT_EQ(grid->GetExits().size(), 4u);
  EXPECT_NE(park->GetObjectByID(grid->GetTerrainId()), nullptr);
  // A grid already there (the controller's) is kept.
  EXPECT_TRUE(loader.SetUpGrid(*park));
  EXPECT_EQ(park->GetGrid(), grid);

  // Every catalog item of the demo names a mesh the data holds.
  log.Clear();
  EXPECT_TRUE(loader.LoadCatalogs(*park)) << log.Text();
  // Loading them again registers no piece file twice, the one at index 0 included.
  CResourceTable fresh;
  park->SetResourceTable(&fresh);
  EXPECT_TRUE(loader.LoadCatalogs(*park)) << log.Text();
  const int registered = fresh.GetCount();
  EXPECT_TRUE(loader.LoadCatalogs(*park));
  EXPECT_EQ(fresh.GetCount(), registered);
  EXPECT_TRUE(fresh.FindByName("data/meshes/kicker.mesh") >= 0 && fresh.FindByName("data/meshes/kicker.tga") >= 0);
  park->SetResourceTable(&table);
  EXPECT_EQ(GetObjectCatalog().GetSectionCategories().size(), 4u);
  EXPECT_EQ(GetObjectCatalog().GetFacilityCategories().size(), 5u);
}

TEST_F(DemoLevel, ALevelWithoutAGridOriginFailsTheGridAndLeavesAUsablePark) {
  std::unique_ptr<ShadedMesh> bare = DemoContent::BuildGroundGrid(9, 4.0f);
  ASSERT_TRUE(bare->Save("data/levels/demo/terrain.mesh", nullptr));
  CLevelLoader loader;
  ASSERT_TRUE(loader.LoadLevel(*park, 0));
  log.Clear();
  EXPECT_FALSE(loader.SetUpGrid(*park));
  EXPECT_NE(log.Text().find("LevelLoader: the level has no build grid\n"), std::string::npos);
  EXPECT_EQ(park->GetGrid(), nullptr);
  // Still usable: nobody can arrive, the park ticks and clears.
  EXPECT_EQ(park->SpawnSkater(), 0u);
  park->Simulate(0.033f);
  park->TickParkState(0.033f);
}

TEST_F(DemoLevel, CatalogItemsNamingMissingMeshesAreReportedAndTheRestLoads) {
  std::string ramps;
  for (const auto& file : DemoContent::CatalogFiles())
    if (file.relativePath == "objects/ramps.ini") ramps = file.text;
  ASSERT_FALSE(ramps.empty());
  const std::string broken = "mesh=nosuch.mesh";
  ramps.replace(ramps.find("mesh=quarterpipe.mesh"), std::string("mesh=quarterpipe.mesh").size(), broken);
  folder.Write("data/objects/ramps.ini", ramps);
  CLevelLoader loader;
  log.Clear();
  EXPECT_FALSE(loader.LoadCatalogs(*park));
  EXPECT_NE(log.Text().find("names a mesh that was not found"), std::string::npos);
  int missing = 0, found = 0;
  for (int i = 0; i < CObjectCatalog::kTableSize; ++i)
    if (const ObjectDefinition* d = GetObjectCatalog().GetDefinition(i)) ++(d->mesh < 0 ? missing : found);
  EXPECT_EQ(missing, 1);
  EXPECT_GT(found, 10);
}

TEST_F(DemoLevel, UnknownLevelsAScenelessWorldAndUnreadableTerrainFailWithoutTouchingThePark) {
  CLevelLoader loader;
  log.Clear();
  EXPECT_FALSE(loader.LoadLevel(*park, 7));
  EXPECT_FALSE(loader.LoadLevel(*park, -1));
  EXPECT_NE(log.Text().find("LevelLoader: there is no level 7\n"), std::string::npos);
  const WorldServices saved = std::exchange(GetWorldServices(), WorldServices());
  CVerezIvor sceneless(nullptr, nullptr);
  GetWorldServices() = saved;
  EXPECT_FALSE(loader.LoadLevel(sceneless, 0));
  folder.Write("data/levels/demo/terrain.mesh", "not a mesh");
  EXPECT_FALSE(loader.LoadLevel(*park, 0));
  EXPECT_TRUE(park->GetTerrainInstances().empty());
  EXPECT_TRUE(park->GetLevelDirectory().empty());
}

namespace {

// The cells of a tree as a block, which two trees of the same cells give byte for byte.
std::vector<uint8_t> CellsOf(const COctree& octree) {
  const uint8_t anyIdentity[COctree::kIdentitySize] = {};
  return octree.SaveSkeleton(anyIdentity);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
  }
  return bytes;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

// The level's path records become paths filed in the octree where their records place them; the
// level's "skeleton.bin" gives the tree its cells when it is the terrain's own, and a missing,
// foreign, other-version or short one leaves the tree with the cells the load makes itself.
TEST_F(DemoLevel, TheLevelsPathsAreFiledAndItsOwnSkeletonShapesTheOctree) {
  const std::string levelFolder = "data/levels/demo/";
  auto load = [&]() {
    park->ClearWorld();
    log.Clear();
    CLevelLoader loader;
    EXPECT_TRUE(loader.LoadLevel(*park, 0)) << log.Text();
  };
  load();
  EXPECT_NE(log.Text().find("LevelSkeleton: no data/levels/demo/skeleton.bin"), std::string::npos) << log.Text();
  COctree& octree = park->GetOctree();
  EXPECT_FALSE(octree.HasSkeleton());
  const std::vector<uint8_t> ownCells = CellsOf(octree);
  const uint32_t ownCount = octree.CountNodes(0);
  const Box ownBox = octree.GetRootBox();

  // Every path of the level, moved to where its record hangs and found there by a query.
  const std::vector<DemoContent::DemoPath> want = DemoContent::LevelPaths();
  ASSERT_EQ(park->GetPaths().size(), want.size());
  for (size_t p = 0; p < want.size(); ++p) {
    SCOPED_TRACE(p);
    const C3DPath& path = *park->GetPaths()[p];
    EXPECT_EQ(path.GetPathId(), want[p].id);
    EXPECT_EQ(path.GetBoundFlags() & ~1u, C3DPath::kBoundFlags) << "and filed";
    ASSERT_EQ(path.GetNodeCount(), want[p].nodes.size());
    ASSERT_EQ(path.GetEdges().size(), want[p].edges.size());
    Box box(want[p].nodes[0] + want[p].at, want[p].nodes[0] + want[p].at);
    for (size_t n = 0; n < want[p].nodes.size(); ++n) {
      const Vector3 at = want[p].nodes[n] + want[p].at;
      EXPECT_EQ(path.GetNode(n).position, at) << n;
      box.ExtendByPoint(at);
    }
    EXPECT_EQ(path.GetBounds().min, box.min);
    EXPECT_EQ(path.GetBounds().max, box.max);
    for (size_t e = 0; e < want[p].edges.size(); ++e) {
      const DemoContent::DemoPathEdge& edge = want[p].edges[e];
      EXPECT_EQ(path.GetEdges()[e].from, edge.from) << e;
      EXPECT_EQ(path.GetEdges()[e].to, edge.to) << e;
      const char* name = path.GetEdgeName(static_cast<int>(e));
      EXPECT_EQ(std::string(name != nullptr ? name : "-"), std::string(edge.name != nullptr ? edge.name : "-")) << e;
    }
    EXPECT_TRUE(octree.Contains(&path));
    std::vector<CBoundedObject*> found;
    octree.QueryBox(box, &found, CBoundedObject::kPath);
    EXPECT_NE(std::find(found.begin(), found.end(), &path), found.end());
  }
  // Only the paths carry the path bit.
  std::vector<CBoundedObject*> paths;
  octree.CollectAll(&paths, CBoundedObject::kPath);
  EXPECT_EQ(paths.size(), want.size());

  // The generator's skeleton: the load ends with its cells, every one kept by the coarsening,
  // and every object still filed.
  park->ClearWorld();
  ASSERT_TRUE(DemoContent::WriteLevelSkeleton("data"));
  SetGameWorld(park.get());
  const std::vector<uint8_t> skeleton = ReadBytes(levelFolder + kLevelSkeletonFile);
  ASSERT_GE(skeleton.size(), COctree::kSkeletonHeaderSize);
  const uint32_t skeletonCells = le::ReadU32(skeleton.data() + 44);
  ASSERT_EQ(skeleton.size(), COctree::kSkeletonHeaderSize + 8u * skeletonCells);
  load();
  EXPECT_NE(log.Text().find("LevelSkeleton: "), std::string::npos);
  ASSERT_TRUE(octree.HasSkeleton()) << log.Text();
  EXPECT_EQ(octree.CountNodes(COctreeNode::kSkeleton), skeletonCells);
  EXPECT_NE(octree.CountNodes(0), ownCount) << "the skeleton changes the tree the load ends with";
  EXPECT_EQ(log.Text().find("Deleting Octree Skeleton"), std::string::npos);
  for (const auto& path : park->GetPaths()) EXPECT_TRUE(octree.Contains(path.get()));
  std::vector<CBoundedObject*> all;
  octree.CollectAll(&all, 0);
  EXPECT_EQ(all.size(), octree.GetObjectCount());

  // Refused blocks: another level's identity, another version, cut short, and the level's own
  // whose root box is zero, tiny, distant or short of the level by a hair. The tree is the one the
  // load makes without a skeleton, cell for cell.
  std::vector<uint8_t> foreign = skeleton;
  foreign[4 + 7] ^= 0x40;
  std::vector<uint8_t> version = skeleton;
  version[0] = 2;
  const std::vector<uint8_t> shortBlock(skeleton.begin(), skeleton.begin() + 30);
  auto boxed = [&](const Box& box) {
    std::vector<uint8_t> block = skeleton;
    const float v[6] = {box.min.x, box.min.y, box.min.z, box.max.x, box.max.y, box.max.z};
    for (int i = 0; i < 6; ++i) le::WriteF32(block.data() + 20 + 4 * i, v[i]);
    return block;
  };
  const Box& level = ownBox;
  const Vector3 middle = (level.min + level.max) * 0.5f;
  const std::vector<uint8_t> zero = boxed(Box());
  const std::vector<uint8_t> tiny = boxed(Box(middle, middle + Vector3(0.01f, 0.01f, 0.01f)));
  const std::vector<uint8_t> distant = boxed(Box(level.min + Vector3(5000, 0, 0), level.max + Vector3(5000, 0, 0)));
  const std::vector<uint8_t> narrow = boxed(Box(level.min, level.max - Vector3(0, 0, 0.5f)));
  const std::vector<uint8_t>* refused[] = {&foreign, &version, &shortBlock, &zero, &tiny, &distant, &narrow};
  for (const std::vector<uint8_t>* bad : refused) {
    ASSERT_TRUE(WriteBytes(levelFolder + kLevelSkeletonFile, *bad));
    load();
    EXPECT_NE(log.Text().find("the octree keeps its own cells"), std::string::npos) << log.Text();
    EXPECT_FALSE(octree.HasSkeleton());
    EXPECT_EQ(octree.CountNodes(0), ownCount);
    EXPECT_EQ(CellsOf(octree), ownCells);
  }
  // A terrain mesh changed by one byte is another level to the skeleton written for it.
  ASSERT_TRUE(WriteBytes(levelFolder + kLevelSkeletonFile, skeleton));
  uint8_t identity[kLevelIdentitySize], changed[kLevelIdentitySize];
  std::vector<uint8_t> mesh = ReadBytes(levelFolder + CLevelLoader::kTerrainFile);
  ComputeLevelIdentity(mesh.data(), mesh.size(), identity);
  EXPECT_TRUE(std::equal(identity, identity + kLevelIdentitySize, skeleton.begin() + 4));
  mesh.back() ^= 1;
  ComputeLevelIdentity(mesh.data(), mesh.size(), changed);
  EXPECT_FALSE(std::equal(identity, identity + kLevelIdentitySize, changed));
}

// The level's effects as a new game meets them: its trigger is on exactly while the camera flight
// the controller starts has run from 4 s to 16 s; the food stand's beacon follows that trigger
// and its lamp the stand's damage; the cloud layer's surface is made with the level and goes with
// the world's clear.
TEST_F(DemoLevel, TheLevelsTriggerCloudsAndGlowsFollowTheFlightTheDamageAndTheWorld) {
  ASSERT_TRUE(DemoContent::WriteEffectTextures("data"));
  for (const std::string& file : DemoContent::EffectTextureFiles()) table.Add(("data/" + file).c_str());
  park->ClearWorld();  // as a new game starts: no effect or weather managers until the level comes
  EXPECT_EQ(park->GetWeatherManager(), nullptr);
  CLevelLoader loader;
  ASSERT_TRUE(loader.LoadLevel(*park, 0)) << log.Text();
  EXPECT_EQ(log.Text().find("CCloudLayer"), std::string::npos) << log.Text();

  // One cloud layer over the demo's box, textured, as fine as the settings' effect detail allows.
  const CWeatherManager* weather = park->GetWeatherManager();
  ASSERT_NE(weather, nullptr);
  ASSERT_EQ(weather->GetCloudLayerCount(), 1u);
  const CloudLayerRecord record = DemoContent::LevelCloudLayer();
  const ShadedMesh* clouds = weather->GetCloudLayer(0)->GetMesh();
  ASSERT_NE(clouds, nullptr);
  const uint32_t n = (1u << CCloudLayer::LevelsForDetail(record.levels, settings.option3)) + 1;
  EXPECT_EQ(clouds->vertexCount, n * n);
  EXPECT_NE(clouds->textures[0], nullptr);
  const Box world = DemoContent::LevelWorldBox();
  EXPECT_EQ(weather->GetCloudLayer(0)->GetBox().min.x, record.box[0] + (world.min.x + world.max.x) * 0.5f);

  // The terrain section carries the level mesh's attach points, its path records among them:
  // none of them is read as a glow.
  ASSERT_TRUE(loader.SetUpGrid(*park));
  EXPECT_EQ(log.Text().find("CAttachGlow"), std::string::npos) << log.Text();

  // The food stand, placed as the player places it, carries the lamp and the beacon.
  ASSERT_TRUE(loader.LoadCatalogs(*park));
  const int meshId = table.FindByName("data/meshes/foodstand.mesh");
  ASSERT_GE(meshId, 0);
  auto made = std::make_unique<CSkatableFacility>();
  CSkatableFacility* stand = made.get();
  COrientation at;
  at.position = Vector3(20, 20, 2);
  ASSERT_TRUE(stand->InitFromMeshData(at, static_cast<ShadedMesh*>(table.GetResource(meshId)), meshId, false));
  ASSERT_NE(park->RegisterNewObject(std::move(made)), 0u);
  ASSERT_EQ(stand->GetAttachObjectCount(), 2u);
  auto* lamp = dynamic_cast<CAttachGlow*>(stand->GetAttachObject(0));
  auto* beacon = dynamic_cast<CAttachGlow*>(stand->GetAttachObject(1));
  ASSERT_TRUE(lamp != nullptr && beacon != nullptr);
  // Nor is a glow read as a path.
  log.Clear();
  EXPECT_EQ(AddLevelPaths(*park, *static_cast<ShadedMesh*>(table.GetResource(meshId)), COrientation()), 0u);
  EXPECT_EQ(log.Text(), "");

  // The controller's flight key starts the level's script camera as the current camera.
  auto controller = std::make_unique<CGameLogic>();
  CGameLogic* logic = controller.get();
  park->AddLayerOnTop(std::move(controller));
  CScriptCam* flight = CScriptCam::FindById(DemoContent::kDemoScriptCamera, park.get());
  ASSERT_NE(flight, nullptr);
  InputEvent key;
  key.code = InputEvent::kKey;
  key.x = static_cast<float>(CGameLogic::kFlightKey);
  logic->HandleInputEvent(key);
  ASSERT_TRUE(flight->IsPlaying());
  EXPECT_EQ(park->GetCurrentCamera(), flight);
  CTrigger* trigger = park->GetEffectManager()->FindTrigger(DemoContent::LevelFlightTrigger().triggerId);
  ASSERT_NE(trigger, nullptr);
  EXPECT_EQ(trigger->GetValue(), 0.0f);
  // Quarter-second ticks land on both ends of the window; a whole step of fade per tick lets the
  // beacon reach each new value at once.
  const ScriptTriggerRecord window = DemoContent::LevelFlightTrigger();
  int on = 0;
  for (int tick = 0; tick < 90 && flight->IsPlaying(); ++tick) {
    logic->UpdateCamera(0.25f);
    stand->Update(0.25f);
    const float t = flight->GetElapsedTime();
    const float want = window.start <= t && t <= window.end ? 1.0f : 0.0f;
    ASSERT_EQ(trigger->GetValue(), want) << "at " << t;
    ASSERT_EQ(beacon->GetStrength(), want) << "at " << t;
    ASSERT_EQ(lamp->GetStrength(), 1.0f) << "the undamaged stand's lamp is lit";
    on += want > 0.0f;
  }
  EXPECT_EQ(on, 49) << "4 s to 16 s, both ends included";
  // Landed: the park camera is back and the trigger stays off.
  EXPECT_FALSE(flight->IsPlaying());
  EXPECT_EQ(park->GetCurrentCameraIndex(), CLevelLoader::kParkCamera);
  EXPECT_FALSE(logic->IsPerspectiveView());
  EXPECT_EQ(trigger->GetValue(), 0.0f);

  // Damage puts the lamp out (its index is lit only while the stand is undamaged), fading.
  stand->ApplyDamage(at.position, 30.0f);
  EXPECT_EQ(stand->GetAttachIntensity(1), 0.0f);
  for (const float want : {0.8f, 0.6f, 0.4f, 0.2f, 0.0f, 0.0f}) {
    stand->Update(0.05f);
    EXPECT_NEAR(lamp->GetStrength(), want, 1e-6f);
  }

  // The clear takes the layer with its surface (ASan sees any that stayed), and the triggers.
  park->ClearWorld();
  EXPECT_EQ(park->GetWeatherManager(), nullptr);
  EXPECT_EQ(park->GetEffectManager(), nullptr);
}
