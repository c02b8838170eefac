// Level data and the managers the world owns or drives: light data, terrain and sky instances,
// sound, effects, weather, and destroy announcements in server mode.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "combat/ItemTypeRegistry.h"
#include "core/world/GameMessage.h"
#include "core/world/GameObject.h"
#include "core/world/GameWorld.h"
#include "core/input/SkateSettings.h"
#include "core/data/ResourceTable.h"
#include "effects/ParticleManager.h"
#include "effects/WeatherManager.h"
#include "physics/collision/CollisionObject.h"
#include "physics/terrain/TerrainPolygon.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/VertexSharingTable.h"
#include "sound/SoundManager.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContent.h"

namespace {

using testing_support::DebugCapture;
using testing_support::TempFolder;

class SettingsScope {
 public:
  explicit SettingsScope(CSettings* settings) : m_previous(GetSettings()) { SetSettings(settings); }
  ~SettingsScope() { SetSettings(m_previous); }

 private:
  CSettings* m_previous;
};

TEST(WorldLevel, LightDataFailuresMakeTheTerrainLitAtRunTime) {
  DebugCapture log;
  TempFolder folder;
  CSkateSettings settings;
  SettingsScope scope(&settings);
  CGameWorld world(nullptr, nullptr);
  world.SetLevelDirectory(folder.Path());

  // Baked light switched off: nothing to read, nothing to fall back to.
  settings.detailFlags = 0;
  EXPECT_TRUE(world.LoadLightData(nullptr));
  EXPECT_FALSE(world.AddTerrainMesh(nullptr, nullptr, false, false)->IsLightingStale());

  // Switched on but the file is missing: the failure is reported so the terrain gets run-time light.
  settings.detailFlags = 1;
  EXPECT_FALSE(world.LoadLightData(nullptr));
  EXPECT_TRUE(world.AddTerrainMesh(nullptr, nullptr, false, false)->IsLightingStale());

  // A file that is there but not accepted is reported as invalid.
  folder.Write("lights.bin", std::string(64, '\0'));
  log.Clear();
  EXPECT_FALSE(world.LoadLightData(nullptr));
  EXPECT_NE(log.Text().find("CGameWorld: Attempted to load Light Data, but invalid: "), std::string::npos);
  world.SetSkyMesh(nullptr, nullptr);
  world.SetSkyMesh(nullptr, nullptr);  // the old sky is deleted, not leaked
  world.ResetWorld();
  EXPECT_TRUE(world.GetTerrainInstances().empty());
  EXPECT_EQ(world.GetSkyInstance(), nullptr);
}

// A 3 x 3 grid folded along its middle column into a ridge whose two sides meet at about 127
// degrees (slope 2 on each side), so only a smoothing angle above that joins their normals.
void MakeRidge(ShadedMesh& mesh) {
  ASSERT_TRUE(mesh.CreateGrid(3, nullptr, 1));
  for (uint32_t r = 0; r < 3; ++r)
    for (uint32_t c = 0; c < 3; ++c) mesh.allPositions[3 * r + c] = Vector3(float(c), float(r), c == 1 ? 0.0f : -2.0f);
  mesh.SetFrame(0);
}

TEST(WorldLevel, TheSkyGetsTheNormalsBoundsAndRenderGroupsItLacks) {
  DebugCapture quiet;
  CGameWorld world(nullptr, nullptr);
  ShadedMesh sky;
  MakeRidge(sky);
  ASSERT_EQ(0u, sky.normalCount);
  ASSERT_EQ(nullptr, sky.sharingTable);
  CMeshInstance* instance = world.SetSkyMesh(&sky, nullptr);
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(instance, world.GetSkyInstance());
  EXPECT_EQ(&sky, instance->GetMesh());
  // Smoothed over a full turn: one normal per vertex, the ridge's three included.
  EXPECT_EQ(9u, sky.normalCount);
  EXPECT_NE(0u, sky.flags & ShadedMesh::kFlagCompressedNormals);
  for (uint32_t f = 0; f < sky.faceCount; ++f)
    for (uint32_t k = 0; k < 3; ++k)
      EXPECT_EQ(sky.indices[3 * f + k], sky.normalRecords[sky.faceRecords[f].corners[k].normal].vertex);
  EXPECT_EQ(Vector3(0.0f, 0.0f, -2.0f), sky.bounds.min);
  EXPECT_EQ(Vector3(2.0f, 2.0f, 0.0f), sky.bounds.max);
  // Every face agrees with its neighbours at each shared vertex: one render group of all 8.
  ASSERT_NE(sky.sharingTable, nullptr);
  ASSERT_EQ(1u, sky.sharingTable->GetGroupCount());
  EXPECT_EQ(8u, sky.sharingTable->GetGroupSize(0));

  // A sky that has its own normals keeps them: here split along the ridge (3 vertices twice).
  ShadedMesh creased;
  MakeRidge(creased);
  ASSERT_TRUE(creased.ComputeNormalsAndBounds(1.0f));
  ASSERT_EQ(12u, creased.normalCount);
  ASSERT_NE(world.SetSkyMesh(&creased, nullptr), nullptr);
  EXPECT_EQ(12u, creased.normalCount);
  ASSERT_NE(creased.sharingTable, nullptr);
  EXPECT_EQ(2u, creased.sharingTable->GetGroupCount()) << "the crease parts the two sides";
  world.ResetWorld();  // drops the sky instance before the meshes go
}

TEST(WorldLevel, RelightingABoxMarksTerrainCornersAndWholeObjectInstances) {
  DebugCapture quiet;
  CGameWorld world(nullptr, nullptr);
  std::unique_ptr<ShadedMesh> ground(DemoContent::BuildGroundGrid(9, 2.0f));
  CMeshInstance* terrain = world.AddTerrainMesh(ground.get(), nullptr, true, false);
  ASSERT_NE(terrain, nullptr);
  ASSERT_EQ(ground->faceCount, terrain->GetTerrainPolygonCount());
  std::unique_ptr<ShadedMesh> crateMesh(DemoContent::BuildGroundGrid(2, 1.0f));
  struct Piece {
    CCollisionObject object;
    CMeshInstance instance;
  } lit, unlit;
  for (Piece* piece : {&lit, &unlit}) {
    ASSERT_TRUE(piece->instance.SetMesh(crateMesh.get(), false, false, true, 0, 10, nullptr, true, nullptr));
    piece->object.BorrowMeshInstance(&piece->instance);
    piece->object.SetBounds(Box(Vector3(3, 3, -1), Vector3(4, 4, 1)));
  }
  lit.object.AddBoundFlags(CBoundedObject::kReceivesLights);
  world.GetOctree().InsertObject(&lit.object);
  world.GetOctree().InsertObject(&unlit.object);

  const uint32_t kFresh = 77;
  auto freshen = [&](CMeshInstance& instance) {
    for (uint32_t n = 0; n < instance.GetMesh()->normalCount; ++n) instance.SetNormalStamp(n, kFresh);
  };
  for (CMeshInstance* instance : {terrain, &lit.instance, &unlit.instance}) freshen(*instance);

  const Box box(Vector3(2.5f, 2.5f, -5.0f), Vector3(4.5f, 3.5f, 5.0f));
  world.RelightBox(box);
  // Reference: the corners of every face whose box touches the query box (touching counts).
  std::vector<bool> stale(ground->normalCount, false);
  uint32_t touched = 0;
  for (uint32_t f = 0; f < ground->faceCount; ++f) {
    const Box& face = terrain->GetTerrainPolygons()[f].GetBounds();
    const bool overlap = face.min.x <= box.max.x && box.min.x <= face.max.x && face.min.y <= box.max.y &&
                         box.min.y <= face.max.y && face.min.z <= box.max.z && box.min.z <= face.max.z;
    if (!overlap) continue;
    ++touched;
    for (const MeshCorner& corner : ground->faceRecords[f].corners) stale[corner.normal] = true;
  }
  ASSERT_GT(touched, 0u);
  ASSERT_LT(touched, ground->faceCount / 4) << "the box must leave most of the terrain alone";
  for (uint32_t n = 0; n < ground->normalCount; ++n)
    EXPECT_EQ(stale[n] ? 0u : kFresh, terrain->GetNormalStamp(n)) << "normal " << n;
  // Objects that receive lights are relit whole; the others are left alone.
  for (uint32_t n = 0; n < crateMesh->normalCount; ++n) {
    EXPECT_EQ(0u, lit.instance.GetNormalStamp(n));
    EXPECT_EQ(kFresh, unlit.instance.GetNormalStamp(n));
  }
  world.GetOctree().RemoveObject(&lit.object);
  world.GetOctree().RemoveObject(&unlit.object);
  world.ResetWorld();
}

std::string Words(std::initializer_list<uint32_t> words) {
  std::string bytes;
  for (uint32_t w : words)
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((w >> (8 * i)) & 0xFF));
  return bytes;
}

TEST(WorldLevel, OnlyAcceptedVisibilityDataMarksTheWorldAsHavingIt) {
  DebugCapture log;
  TempFolder folder;
  CGameWorld world(nullptr, nullptr);
  world.SetLevelDirectory(folder.Path());

  // One record: the root (code 0) sees its child 0 (code 1).
  folder.Write("visnodes.bin", Words({1, 0, 0, 1, 0, 1}));
  world.LoadVisibilityNodes(nullptr);
  ASSERT_NE(world.GetOctree().GetRoot()->visibility, nullptr);
  EXPECT_EQ(1u, world.GetOctree().GetRoot()->visibility->cells.size());

  // A record that claims two listed cells but holds one is refused: the records read before stay,
  // and so does the loaded state.
  folder.Write("visnodes.bin", Words({1, 0, 0, 2, 0, 1}));
  log.Clear();
  world.LoadVisibilityNodes(nullptr);
  ASSERT_NE(world.GetOctree().GetRoot()->visibility, nullptr);
  EXPECT_EQ(1u, world.GetOctree().GetRoot()->visibility->cells.size());
  EXPECT_NE(log.Text().find("CGameWorld: Loading Visibility Nodes from: "), std::string::npos);

  // A missing file changes nothing either.
  world.LoadVisibilityNodes((folder.Path() + "none.bin").c_str());
  EXPECT_TRUE(world.IsVisibilityLoaded());

  // A world whose first file is refused has no visibility data: the scene culls the whole tree.
  CGameWorld fresh(nullptr, nullptr);
  fresh.SetLevelDirectory(folder.Path());
  fresh.LoadVisibilityNodes(nullptr);
  EXPECT_FALSE(fresh.IsVisibilityLoaded());
}

TEST(WorldLevel, ManagersFollowTheWorldsResetsAndTicks) {
  DebugCapture quiet;
  CResourceTable table;  // the world holds these without owning them, so they outlive it
  CSoundManager sound;
  CGameWorld world(nullptr, nullptr);
  world.SetResourceTable(&table);
  world.SetResourceTable(&table);  // a second table replaces the effect manager without a leak
  world.ResetWorld();
  ASSERT_NE(world.GetWeatherManager(), nullptr);
  EXPECT_NE(world.GetEffectManager(), nullptr);

  world.SetSoundManager(&sound);
  const uint32_t particles = GetParticleManager()->GetUpdateCount();
  const uint32_t clears = ItemTypeRegistry::GetClearCount();
  world.Tick(0.033f);
  world.Tick(0.033f);
  EXPECT_EQ(sound.GetUpdateCount(), 2u);
  EXPECT_EQ(world.GetWeatherManager()->GetUpdateCount(), 2u);
  EXPECT_EQ(GetParticleManager()->GetUpdateCount(), particles + 2);
  world.ResetWorld();
  EXPECT_EQ(sound.GetReleaseCount(), 1u);
  EXPECT_EQ(ItemTypeRegistry::GetClearCount(), clears + 1);
  world.SetSoundManager(nullptr);
}

TEST(WorldLevel, ServerModeAnnouncesDestroyedObjects) {
  DebugCapture log;
  CGameWorld world(nullptr, nullptr);
  world.StartServer();
  CGameObject* object = new CGameObject();
  object->SetNetworkFlags(true, false, false, false, true, false, false);
  const uint32_t id = world.RegisterNewObject(std::unique_ptr<CGameObject>(object));
  ASSERT_NE(id, 0u);
  object->MarkForRemoval();
  world.UpdateObjects(0.033f);
  EXPECT_EQ(world.GetObjectByID(id), nullptr);
  EXPECT_NE(log.Text().find("GameWorld: Destroy Message Sent for Object ID=" + std::to_string(id) + ", <No Info Available>\n"),
            std::string::npos);
  // A client hands new objects to the server and keeps nothing itself.
  world.StartClient();
  CGameObject* other = new CGameObject();
  other->SetNetworkFlags(true, false, false, false, false, false, false);
  EXPECT_EQ(world.RegisterNewObject(std::unique_ptr<CGameObject>(other)), 0u);
  EXPECT_NE(log.Text().find("GameWorld: Ignoring New Object Creation\n"), std::string::npos);
  world.ResetWorld();
  EXPECT_EQ(world.GetNetworkMode(), CGameWorld::kModeSinglePlayer);
}

}  // namespace
