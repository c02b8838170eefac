// The demo level folder: written by the engine's writers, read back by the level loader's readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <set>

#include "core/world/GameWorld.h"
#include "core/input/SkateSettings.h"
#include "core/spatial/Octree.h"
#include "core/spatial/OctreeNode.h"
#include "park/grid/Grid.h"
#include "park/world/VerezIvor.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LevelLights.h"
#include "scene/lighting/Light.h"
#include "scene/lighting/LightList.h"
#include "scene/lighting/LightMapData.h"
#include "scene/lighting/LightRecord.h"
#include "scene/lighting/StaticLighting.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContentLevel.h"

using testing_support::DebugCapture;
using testing_support::ReadAll;
using testing_support::TempFolder;

namespace {

// Baked light is only read when the settings ask for it.
class LightDataSettings {
 public:
  LightDataSettings() : previous_(GetSettings()) {
    settings_.detailFlags = 1;
    SetSettings(&settings_);
  }
  ~LightDataSettings() { SetSettings(previous_); }

 private:
  CSkateSettings settings_;
  CSettings* previous_;
};

Vector3 Centroid(const ShadedMesh& mesh, uint32_t f) {
  const uint16_t* idx = &mesh.indices[3 * f];
  return (mesh.positions[idx[0]] + mesh.positions[idx[1]] + mesh.positions[idx[2]]) * (1.0f / 3.0f);
}

// Whether p lies below a face that faces up and covers p seen from above.
bool UnderAnUpFace(const ShadedMesh& mesh, const Vector3& p, uint32_t slot) {
  for (uint32_t f = 0; f < mesh.faceCount; ++f) {
    if (mesh.faceRecords[f].textureSlot != slot || mesh.faceNormals[f].z < 0.9f) continue;
    const uint16_t* idx = &mesh.indices[3 * f];
    const Vector3& a = mesh.positions[idx[0]];
    const Vector3& b = mesh.positions[idx[1]];
    const Vector3& c = mesh.positions[idx[2]];
    const float d1 = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
    const float d2 = (c.x - b.x) * (p.y - b.y) - (c.y - b.y) * (p.x - b.x);
    const float d3 = (a.x - c.x) * (p.y - c.y) - (a.y - c.y) * (p.x - c.x);
    const bool inside = (d1 >= 0 && d2 >= 0 && d3 >= 0) || (d1 <= 0 && d2 <= 0 && d3 <= 0);
    if (inside && a.z > p.z) return true;
  }
  return false;
}

}  // namespace

TEST(DemoLevel, LevelMeshFacesOutwardAndCarriesItsLightsKeyAndRenderGroups) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildLevelMesh());
  ASSERT_NE(mesh, nullptr);
  // Every face faces open air: the ground up, and a point just in front of any block face is
  // under no block top (a wall or top wound the wrong way puts that point inside its block).
  for (uint32_t f = 0; f < mesh->faceCount; ++f) {
    const Vector3& n = mesh->faceNormals[f];
    if (mesh->faceRecords[f].textureSlot == 0) {
      EXPECT_FLOAT_EQ(n.z, 1.0f) << "ground face " << f;
    } else {
      EXPECT_FALSE(UnderAnUpFace(*mesh, Centroid(*mesh, f) + n * 0.05f, 1)) << "block face " << f;
    }
  }
  // Inside the world box, where the level loader's light clipping expects the level.
  const Box world = DemoContent::LevelWorldBox();
  EXPECT_TRUE(world.ContainsBox(mesh->bounds));

  // One readable light record of each kind.
  std::vector<int> points;
  mesh->CollectAttachPoints(LightRecord::kAttachType, points);
  std::set<int32_t> types;
  for (int i : points) {
    const AttachPoint& point = mesh->attachPoints[static_cast<size_t>(i)];
    ASSERT_EQ(point.GetLength(), LightRecord::kSize);
    LightRecord record;
    ASSERT_TRUE(record.Read(point.GetData(), point.GetLength()));
    types.insert(record.type);
  }
  EXPECT_EQ(types, (std::set<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(points.size(), 4u);

  uint32_t key[4];
  mesh->GetMeshKey(key);
  EXPECT_NE(key[0] | key[1] | key[2] | key[3], 0u);
}

TEST(DemoLevel, TheWrittenFolderLoadsBackThroughTheLevelReaders) {
  TempFolder folder;
  DebugCapture log;
  LightDataSettings settings;
  const std::string data = folder.MakeFolder("data");
  ASSERT_TRUE(DemoContent::WriteLevel(data));
  const std::string level = data + "/" + DemoContent::kLevelFolder + "/";
  EXPECT_NE(log.Text().find("CGameWorld: Generating Light Data: " + level + "lights.bin\n"), std::string::npos);

  ShadedMesh mesh;
  ASSERT_TRUE(mesh.Load((level + DemoContent::kLevelMeshFile).c_str(), nullptr, 0, false, false, false));
  std::unique_ptr<ShadedMesh> built(DemoContent::BuildLevelMesh());
  ASSERT_EQ(mesh.faceCount, built->faceCount);
  ASSERT_NE(mesh.sharingTable, nullptr);

  CGameWorld world(nullptr, nullptr);
  world.SetLevelDirectory(level);
  log.Clear();
  CMeshInstance* terrain = world.AddTerrainMesh(&mesh, nullptr, true, true);

  // "lights.bin": every face got its record, and the pages it names were loaded.
  EXPECT_NE(log.Text().find("CGameWorld: Loading Light Data: " + level + "lights.bin\n"), std::string::npos);
  EXPECT_FALSE(terrain->IsLightingStale());
  const LightMapData* maps = terrain->GetLightMapData();
  ASSERT_NE(maps, nullptr);
  EXPECT_EQ(maps->handedOut, mesh.faceCount);
  ASSERT_GE(maps->pages.size(), 1u);
  for (const auto& page : maps->pages) EXPECT_NE(page, nullptr);
  uint32_t mapped = 0;
  for (uint32_t f = 0; f < mesh.faceCount; ++f) {
    const auto* record = static_cast<const FaceLightRecord*>(terrain->GetFaceColours()[f].lightRecord);
    ASSERT_NE(record, nullptr) << f;
    mapped += record->page != nullptr ? 1 : 0;
  }
  EXPECT_EQ(mapped, mesh.faceCount);  // the sun reaches every face

  // Level lights: all four records become lights; the default lights are not needed.
  std::vector<LevelLightSource> sources;
  CollectLevelLightSources(mesh, COrientation(), sources);
  log.Clear();
  EXPECT_EQ(AddLevelLights(world, sources, DemoContent::LevelWorldBox()), 4u);
  EXPECT_EQ(log.Text().find("Default Lights"), std::string::npos);
  std::set<uint32_t> kinds;
  for (size_t i = 0; i < world.GetLightList()->GetCount(); ++i) kinds.insert(world.GetLightList()->GetLight(i)->GetType());
  EXPECT_EQ(kinds, (std::set<uint32_t>{CLight::kTypeAmbient, CLight::kTypeDirectional, CLight::kTypePoint, CLight::kTypeSpot}));

  // "vlights.bin": loads without a rebuild, and is exactly what this level load computes.
  const std::vector<uint8_t> vlightsFile = ReadAll(level + "vlights.bin");
  log.Clear();
  ASSERT_TRUE(StaticLighting::LoadOrRebuild(world.GetOctree(), *world.GetLightList(), level));
  EXPECT_EQ(log.Text().find("Saving Static lights"), std::string::npos);
  EXPECT_EQ(StaticLighting::BuildFile(world.GetOctree(), *world.GetLightList()), vlightsFile);
  ASSERT_GE(vlightsFile.size(), 8u);
  EXPECT_EQ(vlightsFile[4], 1u);  // one entry: the terrain, whose polygons are drawn and so lit

  // "visnodes.bin": each record lands on its cell with its flags and visible cells.
  world.LoadVisibilityNodes(nullptr);
  ASSERT_TRUE(world.IsVisibilityLoaded());
  COctree& octree = world.GetOctree();
  for (const VisibilityFileRecord& record : DemoContent::LevelVisibilityRecords()) {
    COctreeNode* cell = octree.FindCellByCode(record.code, false);
    ASSERT_NE(cell, nullptr) << record.code;
    ASSERT_NE(cell->visibility, nullptr) << record.code;
    EXPECT_EQ(cell->visibility->flags, record.flags);
    std::vector<uint32_t> codes;
    for (const COctreeNode* seen : cell->visibility->cells) codes.push_back(seen->GetCellCode());
    EXPECT_EQ(codes, record.visible);
  }
  // An open park hides nothing: from anywhere inside, the recorded cells reach every drawn object.
  COctree::ObjectList all;
  octree.CollectAll(&all, CBoundedObject::kRenderable);
  std::sort(all.begin(), all.end());
  ASSERT_GE(all.size(), mesh.faceCount);
  for (const Vector3& eye : {Vector3(5, 5, 3), Vector3(60, 30, 6), Vector3(33, 33, 4)}) {
    COctree::ObjectList visible;
    octree.CollectVisible(eye, &visible, CBoundedObject::kRenderable);
    std::sort(visible.begin(), visible.end());
    visible.erase(std::unique(visible.begin(), visible.end()), visible.end());
    EXPECT_EQ(visible, all);
  }

  // "terrain.ini": the block for each detail setting reads back as written.
  const float details[] = {0.0f, 0.5f, 1.0f};
  const std::vector<DemoContent::LevelFogBlock> blocks = DemoContent::LevelFogBlocks();
  ASSERT_EQ(blocks.size(), 3u);
  for (size_t i = 0; i < blocks.size(); ++i) {
    SCOPED_TRACE(blocks[i].name);
    FogState fog;
    ASSERT_TRUE(LoadLevelFog(fog, level.c_str(), details[i], 0.0f));
    const FogSettings& want = blocks[i].settings;
    const FogSettings& got = fog.settings;
    EXPECT_EQ(got.constantFog, want.constantFog);
    EXPECT_EQ(got.startElevation, want.startElevation);
    EXPECT_EQ(got.endElevation, want.endElevation);
    EXPECT_EQ(got.zeroVisibilityDistance, want.zeroVisibilityDistance);
    EXPECT_EQ(got.offsetCoefficient, want.offsetCoefficient);
    EXPECT_EQ(got.offsetCoefficientBG, want.offsetCoefficientBG);
    EXPECT_EQ(got.insideColor, want.insideColor);
    EXPECT_EQ(got.outsideColor, want.outsideColor);
  }
  world.ClearWorld();  // the terrain instance goes before the mesh it shows
}

TEST(DemoLevel, TheWrittenGridDataIsTheGridALevelStartSetsUp) {
  TempFolder folder;
  DebugCapture log;
  LightDataSettings settings;
  const std::string data = folder.MakeFolder("data");
  ASSERT_TRUE(DemoContent::WriteLevel(data));
  const std::string level = data + "/" + DemoContent::kLevelFolder + "/";
  const std::vector<uint8_t> file = ReadAll(level + "grid_data.bin");
  ASSERT_EQ(file.size(), 16u + 12u + 64u * 64u * 31u);

  ShadedMesh mesh;
  ASSERT_TRUE(mesh.Load((level + DemoContent::kLevelMeshFile).c_str(), nullptr, 0, false, false, false));
  CVerezIvor park(nullptr, nullptr);
  park.SetLevelDirectory(level);
  park.AddTerrainMesh(&mesh, nullptr, true, false);
  log.Clear();
  CGrid* grid = CGrid::InitFromTerrain(park);
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(log.Text().find("re-calculating"), std::string::npos);  // the written cache is taken
  EXPECT_EQ(grid->GetSize().column, 64);
  EXPECT_EQ(grid->GetSize().row, 64);
  EXPECT_EQ(grid->GetOrigin().x, 2.0f);
  // Four gate squares at each end, an 8 x 10 lawn, and ground under every square.
  ASSERT_EQ(grid->GetEntrances().size(), 4u);
  ASSERT_EQ(grid->GetExits().size(), 4u);
  EXPECT_EQ(grid->GetEntrances()[0], grid->GetSquare(30, 1));
  EXPECT_EQ(grid->GetExits()[3], grid->GetSquare(33, 62));
  int grass = 0, unskateable = 0;
  for (int i = 0; i < grid->GetSquareCount(); ++i) {
    grass += grid->GetSquareByIndex(i)->grass;
    unskateable += grid->GetSquareByIndex(i)->skateable == 0;
  }
  EXPECT_EQ(grass, 80);
  EXPECT_EQ(unskateable, 0);
  EXPECT_EQ(grid->GetSquare(63, 10)->buildable, 0);
  EXPECT_FLOAT_EQ(grid->GetSquare(12, 14)->centre.z, 5.0f);  // on the first block
  // Nothing is built in or on a building: every buildable square, centre and corner, stands on
  // the ground, so a piece set down anywhere it may go stands there too.
  int raised = 0;
  for (int i = 0; i < grid->GetSquareCount(); ++i) {
    const CGridSquare& square = *grid->GetSquareByIndex(i);
    raised += square.centre.z > 2.0f;
    if (square.buildable == 0) continue;
    EXPECT_EQ(square.centre.z, 2.0f) << i;
    EXPECT_EQ(square.GetPosition().z, 2.0f) << i;
  }
  EXPECT_EQ(raised, 8 * 12 + 12 * 8 + 8 * 8 + 12 * 12);  // the four blocks' roofs
  EXPECT_TRUE(grid->IsConnected(*grid->GetExits()[0]));  // skaters can walk from the gate to the exit
  std::vector<uint8_t> body;
  grid->WriteCache(body);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 16, file.end()), body);
  park.ClearWorld();
}
