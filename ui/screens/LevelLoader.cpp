// CLevelLoader: the steps of a level load, each on the parts of the engine that own them.
#include "ui/screens/LevelLoader.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "core/world/AssetPreloader.h"
#include "core/input/Settings.h"
#include "core/data/DebugPrintf.h"
#include "core/spatial/Octree.h"
#include "core/data/ResourceTable.h"
#include "core/services/WorldEffects.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/pieces/SkatableSection.h"
#include "park/saved/SavedGame.h"
#include "park/world/VerezIvor.h"
#include "physics/terrain/TerrainPolygon.h"
#include "platform/files/FileSystem.h"
#include "render/image/Texture.h"
#include "render/view/RenderView.h"
#include "scene/camera/LevelCameraPaths.h"
#include "scene/camera/ObserverCam.h"
#include "scene/camera/SkateCam.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LevelLights.h"
#include "scene/lighting/LightList.h"
#include "scene/lighting/ShadowRenderer.h"
#include "scene/lighting/StaticLighting.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "ui/screens/LevelPaths.h"
#include "ui/screens/LevelSkeleton.h"

namespace {
// Level folders below the data root, by level index.
const char* const kLevels[] = {"data/levels/demo/"};

// Shadow projectors by texture side 2^0 .. 2^8: more and finer shadows at higher mesh detail.
constexpr uint32_t kLowDetailShadows[ShadowRenderer::kSizeExponents] = {0, 0, 0, 0, 0, 4, 0, 0, 0};
constexpr uint32_t kMediumDetailShadows[ShadowRenderer::kSizeExponents] = {0, 0, 0, 0, 0, 4, 2, 0, 0};
constexpr uint32_t kHighDetailShadows[ShadowRenderer::kSizeExponents] = {0, 0, 0, 0, 0, 4, 2, 1, 0};
}  // namespace

CLevelLoader::CLevelLoader(std::string dataRoot) : m_root(std::move(dataRoot)) {
  if (!m_root.empty() && m_root.back() != '/' && m_root.back() != '\\') m_root += '/';
}

CLevelLoader::~CLevelLoader() = default;

int CLevelLoader::GetLevelCount() { return static_cast<int>(sizeof(kLevels) / sizeof(kLevels[0])); }

std::string CLevelLoader::GetLevelFolder(int levelIndex) const {
  if (levelIndex < 0 || levelIndex >= GetLevelCount()) return std::string();
  return m_root + kLevels[levelIndex];
}

std::vector<int> CLevelLoader::FindLevels() const {
  std::vector<int> found;
  for (int i = 0; i < GetLevelCount(); ++i)
    if (plat::FileExists((GetLevelFolder(i) + kTerrainFile).c_str())) found.push_back(i);
  return found;
}

std::string CLevelLoader::GetLevelName(int levelIndex) {
  if (levelIndex < 0 || levelIndex >= GetLevelCount()) return std::string();
  std::string folder = kLevels[levelIndex];
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  std::string name = folder.substr(folder.find_last_of('/') + 1);
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

ShadedMesh* CLevelLoader::ReadTerrainMesh(CVerezIvor& park, const std::string& path) {
  if (!plat::FileExists(path.c_str())) return nullptr;
  // Through the park's resource table when it has one, so the terrain section finds the same mesh.
  if (CResourceTable* table = park.GetResourceTable()) {
    int index = table->FindByName(path.c_str());
    if (index < 0) index = table->Add(path.c_str());
    return ShadedMesh::FromResource(table, index);
  }
  auto mesh = std::make_unique<ShadedMesh>();
  if (!mesh->Load(path.c_str(), nullptr, 0, false, false, false)) return nullptr;
  m_ownedMesh = std::move(mesh);
  return m_ownedMesh.get();
}

void CLevelLoader::MarkWalkable(CMeshInstance& terrain) {
  CTerrainPolygon* polygons = terrain.GetTerrainPolygons();
  for (uint32_t i = 0; i < terrain.GetTerrainPolygonCount(); ++i)
    polygons[i].SetBoundFlags(polygons[i].GetBoundFlags() | CBoundedObject::kWalkable);
}

void CLevelLoader::ListLevelTextures(CVerezIvor& park, const ShadedMesh& mesh) {
  std::vector<CTexture*> textures;
  for (CTextureProperties* properties : mesh.textures)
    if (auto* texture = dynamic_cast<CTexture*>(properties)) textures.push_back(texture);
  park.SetLevelTextures(textures);
  park.PreloadLevelTextures();
}

void CLevelLoader::AddLights(CVerezIvor& park, const ShadedMesh& mesh) {
  std::vector<LevelLightSource> sources;
  CollectLevelLightSources(mesh, COrientation(), sources);
  AddLevelLights(park, sources, park.GetOctree().GetRootBox());
  if (LightList* lights = park.GetLightList())
    StaticLighting::LoadOrRebuild(park.GetOctree(), *lights, park.GetLevelDirectory());
}

void CLevelLoader::AddCameras(CVerezIvor& park, const ShadedMesh& mesh) {
  const Box box = park.GetOctree().GetRootBox();
  const Vector3 centre = (box.min + box.max) * 0.5f;
  // The view from a piece: an observer the controller places at the piece's frame.
  auto fromPiece = std::make_unique<CObserverCam>();
  const float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, centre.x, centre.y, centre.z};
  fromPiece->SetPlacement(frame, 0, kObserverDamping);
  // The chase camera behind a controlled skater: eye behind and above, looking at its head.
  auto chase = std::make_unique<CSkateCam>();
  chase->SetParams(0.0f, 0.0f, 0.0f, -4.0f, 0.0f, 2.0f, 0.0f, 0.0f, 1.0f);
  // The park camera: orthographic over the whole level, looking down the controller's start
  // direction at the middle.
  auto parkCamera = std::make_unique<CObserverCam>();
  ViewFrustum& view = parkCamera->GetView();
  view.SetOrthographic();
  view.SetOrthoWidth(std::max(box.max.x - box.min.x, box.max.y - box.min.y));
  Vector3 direction(-1.0f, -1.0f, -2.0f);
  direction.Normalize();
  COrientation& eye = parkCamera->GetFrame();
  eye.SetPosition(centre - direction * kParkCameraDistance);
  eye.LookAtWithUp(centre, Vector3(0, 0, 1));
  park.AddCamera(std::move(fromPiece));
  park.AddCamera(std::move(chase));
  park.AddCamera(std::move(parkCamera));
  park.SetCurrentCamera(kParkCamera);
  // The level's own camera paths, after the three above; the splines first, since the script
  // cameras look theirs up by ID. Nothing here starts a script camera playing.
  LevelCameraPaths paths = ReadLevelCameraPaths(mesh, COrientation());
  for (std::unique_ptr<CBezierSpline>& spline : paths.splines) park.AddSpline(std::move(spline));
  for (std::unique_ptr<CScriptCam>& camera : paths.cameras) park.AddCamera(std::move(camera));
}

void CLevelLoader::AddLevelEffects(CVerezIvor& park, const ShadedMesh& mesh) {
  CWorldEffects* effects = park.GetEffects();
  if (effects == nullptr) return;
  // A new game clears the world rather than resetting it, and a clear takes the effect and
  // weather managers with it: the level gets fresh ones, as a reset would have given it.
  effects->StartLevel(park.GetResourceTable());
  // After the cameras, which the level's triggers follow.
  effects->AddLevelEffects(mesh, COrientation());
}

void CLevelLoader::SetUpShadows(CVerezIvor& park, float meshDetail) {
  ShadowRenderer* shadows = park.GetShadowRenderer();
  if (shadows == nullptr) return;
  const uint32_t* counts = meshDetail <= 0.0f   ? kLowDetailShadows
                           : meshDetail <= 0.5f ? kMediumDetailShadows
                                                : kHighDetailShadows;
  shadows->Setup(park.GetRenderView(), &park.GetOctree(), counts, ShadowRenderer::kSizeExponents,
                 ShadowRenderer::kDefaultMaxDistance);
}

void CLevelLoader::LoadVisibility(CVerezIvor& park) {
  COctree& octree = park.GetOctree();
  octree.Reset(octree.GetRootBox());
  // The cells saved for this very terrain, when the level has them; coarsening never removes them.
  LoadLevelSkeleton(octree, park.GetLevelDirectory(), park.GetLevelDirectory() + kTerrainFile);
  for (int pass = 0; pass < 3; ++pass) octree.Coarsen(kCoarsenLimit);
  DebugPrintf("Octree Nodes Before Visibility: %d\n", static_cast<int>(octree.CountNodes(0)));
  park.LoadVisibilityNodes(nullptr);
  DebugPrintf("Octree Nodes After Visibility: %d\n", static_cast<int>(octree.CountNodes(0)));
}

bool CLevelLoader::LoadLevel(CVerezIvor& park, int levelIndex) {
  const std::string folder = GetLevelFolder(levelIndex);
  if (folder.empty()) {
    DebugPrintf("LevelLoader: there is no level %d\n", levelIndex);
    return false;
  }
  ShadedMesh* mesh = ReadTerrainMesh(park, folder + kTerrainFile);
  if (mesh == nullptr) {
    DebugPrintf("LevelLoader: cannot read the terrain mesh of %s\n", folder.c_str());
    return false;
  }
  park.SetLevelDirectory(folder);
  m_terrain = park.AddTerrainMesh(mesh, nullptr, true, true);
  if (m_terrain == nullptr) {
    DebugPrintf("LevelLoader: the world has no scene side for the terrain\n");
    return false;
  }
  MarkWalkable(*m_terrain);
  AddCameras(park, *mesh);
  AddLevelPaths(park, *mesh, COrientation());
  AddLevelEffects(park, *mesh);
  ListLevelTextures(park, *mesh);
  AddLights(park, *mesh);
  LoadVisibility(park);
  const CSettings* settings = GetSettings();
  const float detail = settings != nullptr ? settings->meshDetail : 1.0f;
  if (FogState* fog = park.GetFogState()) LoadLevelFog(*fog, folder.c_str(), detail, 0.0f);
  SetUpShadows(park, detail);
  return true;
}

bool CLevelLoader::CheckSavedGame(CVerezIvor& park, int levelIndex, const uint8_t* data, size_t size) {
  const std::string folder = GetLevelFolder(levelIndex);
  CResourceTable* table = park.GetResourceTable();
  if (folder.empty() || table == nullptr) {
    DebugPrintf("LevelLoader: a game of level %d cannot be checked without the level or a resource table\n",
                levelIndex);
    return false;
  }
  // Registering is what a start of the level does too; nothing loaded for the park changes.
  RegisterPieceFiles(*table);
  CObjectCatalog catalog;
  catalog.Load(m_root);
  ShadedMesh* terrain = ReadTerrainMesh(park, folder + kTerrainFile);
  const CSkatableSection::Sources sources{
      [table](int meshId) { return ShadedMesh::FromResource(table, meshId); },
      [&catalog](int index) { return catalog.GetDefinition(index); }, [terrain] { return terrain; }};
  // The grid a start of the level makes from this terrain (CGrid::InitFromTerrain).
  return CSavedGame::Check(data, size, sources, terrain != nullptr ? CGrid::SquareCountOf(*terrain) : 0);
}

bool CLevelLoader::SetUpGrid(CVerezIvor& park) {
  if (park.GetGrid() != nullptr) return true;
  if (CGrid::InitFromTerrain(park) == nullptr) {
    DebugPrintf("LevelLoader: the level has no build grid\n");
    return false;
  }
  return CSkatableSection::AddTerrainSection(park) != nullptr;
}

void CLevelLoader::RegisterPieceFiles(CResourceTable& table) const {
  std::vector<std::string> paths;
  const std::string folder = m_root + kPieceFolder;
  ScanFiles(folder.c_str(), "*.mesh", paths, true);
  ScanFiles(folder.c_str(), "*.tga", paths, true);
  for (const std::string& path : paths)
    if (table.FindByName(path.c_str()) < 0) table.Add(path.c_str());
}

bool CLevelLoader::LoadCatalogs(CVerezIvor& park) {
  if (CResourceTable* table = park.GetResourceTable()) RegisterPieceFiles(*table);
  CObjectCatalog& catalog = GetObjectCatalog();
  catalog.Load(m_root);
  bool complete = true;
  for (int i = 0; i < CObjectCatalog::kTableSize; ++i) {
    const ObjectDefinition* definition = catalog.GetDefinition(i);
    if (definition == nullptr || definition->mesh >= 0) continue;
    DebugPrintf("LevelLoader: catalog object %d (%s) names a mesh that was not found\n", i, definition->name);
    complete = false;
  }
  return complete;
}
