#include "render/view/RenderWorldScene.h"

#include <algorithm>

#include "core/world/GameWorld.h"
#include "core/services/WorldEffects.h"
#include "core/services/WorldServices.h"
#include "core/spatial/BezierSpline.h"
#include "core/spatial/BoundedObject.h"
#include "core/math/CullVolume.h"
#include "core/data/DebugPrintf.h"
#include "core/data/FileBuffer.h"
#include "core/spatial/Octree.h"
#include "core/spatial/OctreeNode.h"
#include "core/math/ViewFrustum.h"
#include "physics/terrain/TerrainCollision.h"
#include "physics/terrain/TerrainPolygon.h"
#include "render/view/PixelBufferDesc.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderDebug.h"
#include "render/view/RenderView.h"
#include "scene/camera/GenericCam.h"
#include "scene/camera/ObserverCam.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/Light.h"
#include "scene/lighting/LightList.h"
#include "scene/lighting/LightMapper.h"
#include "scene/lighting/LightingRefresh.h"
#include "scene/lighting/ShadowRenderer.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshSection.h"
#include "scene/mesh/ShadedMesh.h"

namespace {
constexpr uint32_t kSectionDepth = 5;  // octree depth the level sections are filed at
constexpr float kFullTurn = 6.2831855f;  // smoothing angle of the sky's normals
constexpr uint32_t kCellColour = 0xFF00FFFFu;

// Every colliding face of the instance where the instance stands, as one polygon set.
void DrawTerrainPolygons(CSceneDrawInterface& view, CMeshInstance& terrain, uint32_t colour) {
  std::vector<std::vector<Vector3>> polygons;
  const CTerrainPolygon* faces = terrain.GetTerrainPolygons();
  for (uint32_t i = 0; i < terrain.GetTerrainPolygonCount(); ++i) {
    if (!faces[i].IsBound()) continue;
    const uint32_t face = static_cast<uint32_t>(faces[i].GetFace());
    polygons.push_back({terrain.GetCornerWorldPosition(face, 0), terrain.GetCornerWorldPosition(face, 1),
                        terrain.GetCornerWorldPosition(face, 2)});
  }
  DrawDebugPolygons(view, polygons, colour, true);
}

// Only cells holding objects: the empty ones would bury the picture in lines.
void DrawOccupiedCells(CSceneDrawInterface& view, const COctreeNode& cell) {
  if (!cell.objects.empty()) DrawDebugBounds(view, cell.bounds, kCellColour);
  for (const COctreeNode* child : cell.children)
    if (child != nullptr) DrawOccupiedCells(view, *child);
}
}  // namespace

CRenderWorldScene::CRenderWorldScene(CGameWorld& world)
    : m_world(world),
      m_lightList(std::make_unique<LightList>(&world.GetOctree())),
      m_fogState(std::make_unique<FogState>()),
      m_shadowRenderer(std::make_unique<ShadowRenderer>()) {}

CRenderWorldScene::~CRenderWorldScene() = default;

// --- Level state ---

void CRenderWorldScene::AddLight(std::unique_ptr<CLight>&& light) {
  m_lightList->Add(light.get());
  m_world.GetOctree().InsertObject(light.get());
  m_lights.push_back(std::move(light));
}

bool CRenderWorldScene::RemoveLight(CLight* light) {
  const auto held = std::find_if(m_lights.begin(), m_lights.end(),
                                 [light](const std::unique_ptr<CLight>& l) { return l.get() == light; });
  if (held == m_lights.end()) return false;
  m_lightList->Remove(light);
  m_lights.erase(held);  // its destructor unfiles it
  return true;
}

bool CRenderWorldScene::LoadLightData(CMeshInstance* instance, const std::string& file,
                                      const std::string& levelDirectory) {
  uint32_t size = 0;
  char* data = LoadFileToBuffer(file.c_str(), &size);
  if (data == nullptr) return false;
  DebugPrintf("CGameWorld: Loading Light Data: %s\n", file.c_str());
  const bool loaded = LightMapper::Load(instance, reinterpret_cast<const uint8_t*>(data), size, levelDirectory, true);
  FreeFileBuffer(data);
  if (!loaded) DebugPrintf("CGameWorld: Attempted to load Light Data, but invalid: %s\n", file.c_str());
  return loaded;
}

bool CRenderWorldScene::GenerateLightData(CMeshInstance* instance, const char* file, float texelSize) {
  return LightMapper::GenerateAll(instance, *m_lightList, file, texelSize);
}

CMeshInstance* CRenderWorldScene::AddTerrainMesh(ShadedMesh* mesh, const COrientation* transform, bool growOctree,
                                                 bool shadowCaster) {
  CRenderView* view = m_world.GetRenderView();
  CRasterizerInterface* rasterizer = view ? view->GetRasterizer() : nullptr;
  const bool vertexBuffers = rasterizer && rasterizer->IsVertexBufferAvailable();
  m_terrain.push_back(TerrainPiece{std::make_unique<CMeshInstance>(), {}});
  TerrainPiece& piece = m_terrain.back();
  CMeshInstance* instance = piece.instance.get();
  m_terrainView.push_back(instance);
  const Matrix4 place = transform ? transform->ToMatrix4() : Matrix4();
  instance->SetMesh(mesh, !vertexBuffers, false, true, 0xFFFFFFFFu, 0xFFFFFFFFu, transform ? &place : nullptr, true,
                    nullptr);
  COctree& octree = m_world.GetOctree();
  if (vertexBuffers) {
    CMeshSection::Build(instance, piece.sections, CMeshSection::kWorldFaceLimit);
    for (const std::unique_ptr<CMeshSection>& section : piece.sections)
      octree.InsertObjectAtDepth(section.get(), kSectionDepth);
  }
  // After the sections, so that each face finds the section that draws it.
  BuildTerrainCollisionPolygons(&octree, instance, nullptr, 7, nullptr, growOctree, shadowCaster);
  if (!m_world.LoadLightData(instance)) instance->InvalidateLighting();  // lit at run time instead
  return instance;
}

CMeshInstance* CRenderWorldScene::SetSkyMesh(ShadedMesh* mesh, const COrientation* transform) {
  if (mesh != nullptr) {
    // A sky made without normals still needs them to be shaded and its bounds to be placed; a
    // full turn joins every corner around a vertex, so the dome shades without creases.
    if (mesh->normalCount == 0 || mesh->normalRecords == nullptr) mesh->ComputeNormalsAndBounds(kFullTurn);
    mesh->BuildVertexSharing();  // the drawing takes its render groups from the table
  }
  m_sky = std::make_unique<CMeshInstance>();
  const Matrix4 place = transform ? transform->ToMatrix4() : Matrix4();
  m_sky->SetMesh(mesh, false, false, false, 0x0FFFFFFFu, 0x0FFFFFFFu, transform ? &place : nullptr, true, nullptr);
  return m_sky.get();
}

void CRenderWorldScene::AddSpline(std::unique_ptr<CBezierSpline>&& spline) { m_splines.push_back(std::move(spline)); }

void CRenderWorldScene::RelightBox(const Box& box) {
  COctree& octree = m_world.GetOctree();
  octree.QueryBox(box, CBoundedObject::kReceivesLights);
  // Each object marks what it lights: a terrain face only its corners, not the whole level.
  for (CBoundedObject* object : octree.GetResults()) object->MarkLightingStale();
  octree.ClearResults();
  // A changed piece also changes the shadow rays of the lights that see it: what those lights
  // see around it is lit again too.
  LightingRefresh::InvalidateBox(*m_lightList, octree, box);
}

void CRenderWorldScene::Clear() {
  // The projectors name casters and receivers of the level going away; the next level sets up its own.
  m_shadowRenderer->Clear();
  m_terrainView.clear();
  m_terrain.clear();
  m_sky.reset();
  CRenderView* view = m_world.GetRenderView();
  for (const std::unique_ptr<CGenericCam>& camera : m_cameras) {
    // The render view must not keep drawing from a deleted camera's projection.
    if (view != nullptr && camera != nullptr && view->GetView() == &camera->GetView()) view->SetView(nullptr);
  }
  // After the cameras that follow them.
  m_cameras.clear();
  m_splines.clear();
  m_lightList->Clear();
  m_lights.clear();
  if (view != nullptr && view->GetRasterizer() != nullptr) view->GetRasterizer()->ReleaseAllTextures();
}

// --- Cameras ---

uint32_t CRenderWorldScene::AddCamera(std::unique_ptr<CGenericCam>&& camera) {
  m_cameras.push_back(std::move(camera));
  return static_cast<uint32_t>(m_cameras.size() - 1);
}

CGenericCam* CRenderWorldScene::GetCamera(size_t index) const {
  return index < m_cameras.size() ? m_cameras[index].get() : nullptr;
}

CGenericCam* CRenderWorldScene::GetCameraOrDefault(size_t index) const {
  if (CGenericCam* camera = GetCamera(index)) return camera;
  static CObserverCam* defaultCamera = new CObserverCam();  // lives for the whole process
  return defaultCamera;
}

void CRenderWorldScene::BindCamera(CRenderView* view, size_t index) const {
  if (view != nullptr) view->SetView(&GetCameraOrDefault(index)->GetView());
}

void CRenderWorldScene::HandleCameraInput(size_t index, const std::vector<InputEvent>& events) {
  if (index >= m_cameras.size()) return;
  for (const InputEvent& event : events) m_cameras[index]->HandleInputEvent(event);
}

const COrientation* CRenderWorldScene::GetCameraFrame(size_t index) const {
  return &GetCameraOrDefault(index)->GetView().GetFrame();
}

// --- Drawing ---

void CRenderWorldScene::RenderScene(CRenderView* view, PixelBufferDesc** locked) {
  if (view == nullptr) return;
  CRasterizerInterface* r = view->GetRasterizer();
  const bool hardware = r != nullptr && r->GetUserValue() == kRasterizerHardware;
  if (locked != nullptr && *locked != nullptr && hardware) {
    r->UnlockBackBuffer();
    *locked = nullptr;
  }
  CGenericCam* camera = m_world.GetCurrentCamera();
  view->SetScene(m_fogState.get(), m_lightList.get());
  view->SetView(&camera->GetView());
  camera->GetView().BuildCullVolume(CullVolume::kFrustum);
  // The shadow textures are drawn in passes of their own, before the frame of the scene begins.
  m_shadowRenderer->Render(static_cast<float>(m_world.GetWorldTime()));

  const bool overview = m_world.GetOverview();
  COctree& octree = m_world.GetOctree();
  ViewFrustum overviewView;
  if (overview) {
    // The whole level from above: look down at the centre of the octree's root box.
    overviewView = camera->GetView();
    const Box& root = octree.GetRootBox();
    const Vector3 centre = root.GetCenter();
    const Vector3 size = root.GetSize();
    const float height = (size.x > size.y ? size.x : size.y) + size.z;
    overviewView.GetFrame().SetPosition(Vector3(centre.x, centre.y, root.max.z + height));
    overviewView.GetFrame().LookAtWithUp(centre, Vector3(1.0f, 0.0f, 0.0f));
    overviewView.SetFieldOfViewFromExtent(28.0f, 35.0f);
    view->SetView(&overviewView);
    view->EnableLOD(false);
  }

  if (view->BeginFrame(view->GetView(), CRenderView::FrameViewport::kBackBuffer, CRenderView::FrameBackEnd::kDefault,
                       CRenderView::FrameOutput::kDraw)) {
    ViewFrustum* active = view->GetView();
    if (active->GetCullVolume() == nullptr) active->BuildCullVolume(CullVolume::kFrustum);
    if (r != nullptr) {
      r->SetClipping(!overview);
      r->SetBackfaceCulling(!overview);
    }
    m_world.CollectVisible(active, overview);
    m_visible = octree.GetResults();  // a copy: rendering may query the octree again
    octree.ClearResults();

    if (hardware) {
      view->Clear(true, false, 0);
      view->SetZBufferMode(ZBufferMode::kOff);
      if (!active->IsOrthographic()) {
        view->EnableAlphaSorting(false);
        r->SetZWrite(false);
        r->SetBackfaceCulling(false);
        r->SetPerspectiveCorrection(false);
        if (m_sky != nullptr) view->DrawBackgroundMesh(m_sky.get());
        r->SetPerspectiveCorrection(true);
        r->SetZWrite(false);
        // The overview looks down on the level from above the clouds.
        if (CWorldEffects* effects = m_world.GetEffects(); effects != nullptr && !overview)
          effects->RenderWeather(view);
      }
      m_world.OnBeforeSceneDraw(view);
      r->SetPerspectiveCorrection(true);
      view->EnableAlphaSorting(true);
      r->SetZWrite(true);
      if (!overview) r->SetBackfaceCulling(true);
      view->SetZBufferMode(ZBufferMode::kZBuffer);
    } else {
      // The weather is the software back end's only sky, drawn before the depth clear below.
      if (CWorldEffects* effects = m_world.GetEffects(); effects != nullptr && !overview && !active->IsOrthographic())
        effects->RenderWeather(view);
      m_world.OnBeforeSceneDraw(view);
      view->EnableAlphaSorting(true);
      if (r != nullptr) {
        r->SetPerspectiveCorrection(true);
        r->SetZWrite(true);
        if (!overview) r->SetBackfaceCulling(true);
      }
      view->SetZBufferMode(ZBufferMode::kZBuffer);
      view->Clear(true, false, 0);
    }
    CMeshInstance::ClearLightCounters();
    view->SetWorldTime(static_cast<float>(m_world.GetWorldTime()));
    for (CBoundedObject* object : m_visible) object->Render(view);
    // Terrain sections drawn through vertex buffers come with the mesh-section work; neither back end
    // offers vertex buffers, so the terrain is drawn as whole instances.
    for (CMeshInstance* instance : m_terrainView) {
      view->DrawMesh(instance);
      // The visibility pass lists the faces afresh every frame.
      instance->ResetPartialDrawLists();
    }
    if (hardware) {
      if (CWorldEffects* effects = m_world.GetEffects()) effects->Render(view);
      view->EnableAlphaSorting(false);
    }
    if (r != nullptr) {
      r->SetBackfaceCulling(false);
      r->SetPerspectiveCorrection(true);
      r->SetZWrite(false);
    }
    view->FlushSortedQueue();
    // The software back end draws its faces only as the frame ends, over every line drawn before,
    // so its overlays come after the end.
    if (hardware) DrawDebugOverlays(view);
    view->EndFrame();
    if (!hardware) DrawDebugOverlays(view);
    m_visible.clear();
  }

  if (overview) {
    m_world.SetOverview(false);
    view->SetView(&camera->GetView());
    view->EnableLOD(true);
    if (r != nullptr) {
      r->SetBackfaceCulling(true);
      r->SetClipping(true);
    }
  }
}

void CRenderWorldScene::DrawDebugOverlays(CRenderView* view) const {
  const uint32_t flags = view->GetDebugFlags();
  if ((flags & CSceneDrawInterface::kDebugOctree) && m_world.GetOctree().GetRoot() != nullptr)
    DrawOccupiedCells(*view, *m_world.GetOctree().GetRoot());
  if ((flags & CSceneDrawInterface::kDebugLights) && m_lightList != nullptr) DrawDebugLights(*view, *m_lightList);
  if (flags & CSceneDrawInterface::kDebugPaths) {
    // Their own drawing once more, over the terrain: a back end whose lines have no depth paints the
    // scene over what was drawn before it.
    COctree::ObjectList paths;
    m_world.GetOctree().CollectAll(&paths, CBoundedObject::kPath);
    for (CBoundedObject* path : paths) path->Render(view);
  }
  if (flags & CSceneDrawInterface::kDebugTerrainPolygons)
    for (CMeshInstance* terrain : m_terrainView) DrawTerrainPolygons(*view, *terrain, kTerrainPolygonColour);
}

void CRenderWorldScene::ReleaseLock(CRenderView* view, PixelBufferDesc** locked) {
  if (locked == nullptr || *locked == nullptr) return;
  *locked = nullptr;
  CRasterizerInterface* rasterizer = view != nullptr ? view->GetRasterizer() : nullptr;
  if (rasterizer != nullptr) rasterizer->UnlockBackBuffer();
}

void CRenderWorldScene::PresentFrame(CRenderView* view) {
  CRasterizerInterface* rasterizer = view != nullptr ? view->GetRasterizer() : nullptr;
  if (rasterizer != nullptr) rasterizer->PresentFrame();
}

bool CRenderWorldScene::GetBackBufferSize(const CRenderView* view, int* width, int* height) const {
  CRasterizerInterface* rasterizer = view != nullptr ? view->GetRasterizer() : nullptr;
  const PixelBufferDesc* desc = rasterizer != nullptr ? rasterizer->GetBackBufferDesc() : nullptr;
  if (desc == nullptr) return false;
  *width = static_cast<int>(desc->width);
  *height = static_cast<int>(desc->height);
  return true;
}

void RegisterRenderWorldScene(WorldServices& services) {
  services.createScene = [](CGameWorld& world) -> std::unique_ptr<CWorldScene> {
    return std::make_unique<CRenderWorldScene>(world);
  };
}
