// CGameWorld: construction, reset and clear, the world tick, cameras, lights, level data and windows.
#include "core/GameWorld.h"

#include "combat/ItemTypeRegistry.h"
#include "core/GameActionLayer.h"
#include "core/GameObject.h"
#include "core/GlobalArt.h"
#include "core/InputMan.h"
#include "core/Settings.h"
#include "core/WorldAccess.h"
#include "core/math/BoundedObject.h"
#include "core/math/DebugPrintf.h"
#include "core/math/FileBuffer.h"
#include "core/math/ResourceTable.h"
#include "effects/EffectManager.h"
#include "effects/ParticleManager.h"
#include "effects/WeatherManager.h"
#include "net/NetClient.h"
#include "net/NetHost.h"
#include "net/SessionManager.h"
#include "physics/terrain/TerrainCollision.h"
#include "render/PixelBufferDesc.h"
#include "render/RasterizerInterface.h"
#include "render/RenderView.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/Light.h"
#include "scene/lighting/LightList.h"
#include "scene/lighting/LightMapper.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshSection.h"
#include "scene/camera/ObserverCam.h"
#include "scene/lighting/ShadowRenderer.h"
#include "sound/SoundManager.h"

namespace {
constexpr size_t kMinObjectBuckets = 100;

// Whole milliseconds of a step; out-of-range steps saturate instead of overflowing the conversion.
uint32_t Milliseconds(float dt) {
  const double ms = dt * 1000.0;
  if (!(ms > 0.0)) return 0u;
  return ms >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(ms);
}
}  // namespace

CGameWorld::CGameWorld(HWND window, HINSTANCE instance) : m_window(window), m_instance(instance) {
  m_objects.max_load_factor(1.0f);  // grow once the entries would exceed the buckets
  m_objects.reserve(kMinObjectBuckets);
  SetGameWorld(this);
  m_lightList = new LightList(&m_octree);
  m_fogState = new FogState();
  m_shadowRenderer = new ShadowRenderer();
  m_globalArt = new CGlobalArt();
  m_globalArt->Load();
  ResetWorld();
}

CGameWorld::~CGameWorld() {
  // Layers first, bottom to top; the vector is taken over so a destructor that looks at the stack
  // finds it empty rather than half deleted.
  std::vector<CGameActionLayer*> layers;
  layers.swap(m_layers);
  for (CGameActionLayer* layer : layers) delete layer;
  CGameWorld::ClearWorld();
  delete m_globalArt;
  delete m_shadowRenderer;
  delete m_lightList;
  delete m_fogState;
  delete m_client;
  delete m_server;
  if (GetGameWorld() == this) SetGameWorld(nullptr);
}

void CGameWorld::ResetWorld() {
  SetGameWorld(this);
  ClearWorld();
  // The clear set the ID counter to 1, so the session manager is always object 1.
  if (CGameObject* session = CreateObject(1)) {
    if (AddObject(session) == 0) delete session;
  }
  if (m_resourceTable != nullptr) {
    m_effectManager = new CEffectManager();
    m_weatherManager = new CWeatherManager(m_resourceTable);
  }
  m_stepCount = 0;
  m_worldTime = 0.0;
  m_octree.Reset(Box(Vector3(0.0f, 0.0f, 0.0f), Vector3(1.0f, 1.0f, 1.0f)));
  m_currentCamera = 0;
  m_overview = 0;
}

void CGameWorld::SetResourceTable(CResourceTable* table) {
  m_resourceTable = table;
  delete m_effectManager;  // a second table must not leak the first manager
  m_effectManager = new CEffectManager();
}

void CGameWorld::ClearWorld() {
  ++m_clearGeneration;  // tells an update pass in progress that its objects are gone
  for (std::list<CGameObject*>* list : {&m_localList, &m_passiveList}) {
    while (!list->empty()) {
      CGameObject* object = list->front();
      list->pop_front();
      DeleteObject(object);
    }
  }
  while (!m_objects.empty()) {
    auto it = m_objects.begin();
    CGameObject* object = it->second;
    m_objects.erase(it);
    DeleteObject(object);
  }
  m_nextObjectID = 1;

  // Whatever else is still filed (static geometry, lights) is destroyed with the tree's cells.
  m_octree.CollectAll(0);
  std::vector<CBoundedObject*> leftovers = m_octree.GetResults();
  m_octree.DestroyNodes();
  for (CBoundedObject* object : leftovers)
    if ((object->GetBoundFlags() & CBoundedObject::kDoNotDelete) == 0) delete object;
  m_octree.CollectAll(0);
  if (!m_octree.GetResults().empty())
    DebugPrintf("Error in Environment Nuke! - %d objects remaining!\n", static_cast<int>(m_octree.GetResults().size()));
  m_octree.ClearResults();

  for (CMeshInstance* instance : m_terrainInstances) delete instance;
  m_terrainInstances.clear();
  delete m_skyInstance;
  m_skyInstance = nullptr;
  for (CGenericCam* camera : m_cameras) {
    // The render view must not keep drawing from a deleted camera's projection.
    if (m_renderView != nullptr && camera != nullptr && m_renderView->GetView() == &camera->GetView())
      m_renderView->SetView(nullptr);
    delete camera;
  }
  m_cameras.clear();
  delete m_effectManager;
  m_effectManager = nullptr;
  if (m_weatherManager != nullptr) m_weatherManager->Clear();
  delete m_weatherManager;
  m_weatherManager = nullptr;
  if (m_soundManager != nullptr) m_soundManager->Release();
  SetSinglePlayer();
  m_lightList->Clear();
  if (m_renderView != nullptr && m_renderView->GetRasterizer() != nullptr) m_renderView->GetRasterizer()->ReleaseAllTextures();
  ItemTypeRegistry::Clear();
  if (m_resourceTable != nullptr) m_resourceTable->ReleaseLevelResources();
}

void CGameWorld::DeleteObject(CGameObject* object) {
  if (CBoundedObject* bounded = dynamic_cast<CBoundedObject*>(object)) m_octree.RemoveObject(bounded);
  delete object;
}

void CGameWorld::Tick(float dt) {
  m_mouseCursor.Update();
  m_tickLength = dt;
  m_tickRate = dt != 0.0f ? 1.0f / dt : 0.0f;
  ReportNetworkUse();
  GetParticleManager()->Update(dt);

  std::vector<InputEvent> events;
  if (m_inputMan != nullptr) {
    m_inputMan->BeginFrame();
    m_inputMan->TakeEvents(events);
  }
  RunLayerPass(dt, events);
  // A layer may have reset the world during the pass, so the camera index is checked afresh.
  if (m_currentCamera < m_cameras.size())
    for (const InputEvent& event : events) m_cameras[m_currentCamera]->HandleInputEvent(event);
  if (m_weatherManager != nullptr) m_weatherManager->Update(dt);
  if (m_soundManager != nullptr) {
    m_soundManager->Update(Milliseconds(dt), &GetCurrentCamera()->GetView().GetFrame());
    m_soundManager->ServiceSoundCapture();
  }
}

void CGameWorld::ReportNetworkUse() {
  // One set of figures for the process, whichever transport runs.
  static DWORD lastReport = 0;
  static uint32_t last[4] = {0, 0, 0, 0};
  uint32_t now[4];
  const char* banner;
  const uint32_t ms = Milliseconds(m_tickLength);
  if (m_client != nullptr) {
    m_client->Update(ms);
    now[0] = m_client->TcpBytesSent;
    now[1] = m_client->TcpBytesReceived;
    now[2] = m_client->UdpBytesSent;
    now[3] = m_client->UdpBytesReceived;
    banner = "<********************* Network Use Report ********************>\n";
  } else if (m_server != nullptr) {
    m_server->Update(ms);
    now[0] = m_server->TotalTcpBytesSent;
    now[1] = m_server->TotalTcpBytesReceived;
    now[2] = m_server->TotalUdpBytesSent;
    now[3] = m_server->TotalUdpBytesReceived;
    banner = "<********************** Network Use Report *********************>\n";
  } else {
    return;
  }
  const DWORD time = timeGetTime();
  if (time - lastReport <= 10000) return;
  uint32_t rate[4];
  for (int i = 0; i < 4; ++i) {
    rate[i] = (now[i] - last[i]) * 1000u / 10000u;  // bytes per second over a 10 s period
    last[i] = now[i];
  }
  lastReport = time;
  OutputDebugStringA(banner);
  DebugPrintf("TCP Send: %d, TCP Rec: %d, UDP Send: %d, UDP Rec: %d, Total: %d In BytesPerSecond\n",
              static_cast<int>(rate[0]), static_cast<int>(rate[1]), static_cast<int>(rate[2]),
              static_cast<int>(rate[3]), static_cast<int>(rate[0] + rate[1] + rate[2] + rate[3]));
}

// --- Cameras ---

uint32_t CGameWorld::AddCamera(CGenericCam* camera) {
  m_cameras.push_back(camera);
  return static_cast<uint32_t>(m_cameras.size() - 1);
}

CGenericCam* CGameWorld::GetCurrentCamera() const {
  if (m_currentCamera < m_cameras.size() && m_cameras[m_currentCamera] != nullptr) return m_cameras[m_currentCamera];
  static CObserverCam* defaultCamera = new CObserverCam();  // lives for the whole process
  return defaultCamera;
}

void CGameWorld::SetCurrentCamera(uint32_t index) {
  m_currentCamera = index;
  if (m_renderView != nullptr) m_renderView->SetView(&GetCurrentCamera()->GetView());
}

// --- Lights and level data ---

void CGameWorld::AddLight(CLight* light) {
  if (light == nullptr) return;
  m_lightList->Add(light);
  m_octree.InsertObject(light);
}

void CGameWorld::RemoveLight(CLight* light) {
  if (light == nullptr) return;
  m_lightList->Remove(light);
  if (light->IsFiled()) m_octree.RemoveObject(light);
}

bool CGameWorld::LoadLightData(CMeshInstance* instance) {
  const std::string path = m_levelDirectory + "lights.bin";
  const CSettings* settings = GetSettings();
  if (settings == nullptr || (settings->detailFlags & 1u) == 0) return true;  // baked light not wanted
  uint32_t size = 0;
  char* data = LoadFileToBuffer(path.c_str(), &size);
  // A missing file means there is no baked light: false makes the caller light the terrain at run time.
  if (data == nullptr) return false;
  DebugPrintf("CGameWorld: Loading Light Data: %s\n", path.c_str());
  const bool loaded =
      LightMapper::Load(instance, reinterpret_cast<const uint8_t*>(data), size, m_levelDirectory, true);
  FreeFileBuffer(data);
  if (!loaded) DebugPrintf("CGameWorld: Attempted to load Light Data, but invalid: %s\n", path.c_str());
  return loaded;
}

bool CGameWorld::GenerateLightData(CMeshInstance* instance, const char* path, float texelSize) {
  const std::string file = path != nullptr ? std::string(path) : m_levelDirectory + "lights.bin";
  DebugPrintf("CGameWorld: Generating Light Data: %s\n", file.c_str());
  return LightMapper::GenerateAll(instance, *m_lightList, file.c_str(), texelSize);
}

void CGameWorld::LoadVisibilityNodes(const char* path) {
  if (path == nullptr) {
    const std::string defaultPath = m_levelDirectory + "visnodes.bin";
    LoadVisibilityNodes(defaultPath.c_str());
    return;
  }
  uint32_t size = 0;
  char* data = LoadFileToBuffer(path, &size);
  if (data == nullptr) return;  // the file functions logged it; the octree keeps its records
  // The octree replaces its records only with a file it accepted whole, so a refused file
  // leaves the world with the records (or the culling fallback) it had.
  const bool loaded = m_octree.LoadVisibility(reinterpret_cast<const uint8_t*>(data), size);
  DebugPrintf("CGameWorld: Loading Visibility Nodes from: %s\n", path);
  FreeFileBuffer(data);
  if (loaded) m_visibilityLoaded = 1;
}

CMeshInstance* CGameWorld::AddTerrainMesh(ShadedMesh* mesh, const COrientation* transform, bool growOctree,
                                          bool shadowCaster) {
  CRasterizerInterface* rasterizer = m_renderView ? m_renderView->GetRasterizer() : nullptr;
  const bool vertexBuffers = rasterizer && rasterizer->IsVertexBufferAvailable();
  CMeshInstance* instance = new CMeshInstance();
  const Matrix4 place = transform ? transform->ToMatrix4() : Matrix4();
  instance->SetMesh(mesh, !vertexBuffers, false, true, 0xFFFFFFFFu, 0xFFFFFFFFu, transform ? &place : nullptr, true,
                    nullptr);
  m_terrainInstances.push_back(instance);
  if (vertexBuffers) {
    // The sections are filed in the octree, which owns them from here (ClearWorld deletes them).
    std::vector<CMeshSection*> sections;
    CMeshSection::Build(instance, sections, CMeshSection::kWorldFaceLimit);
    for (CMeshSection* section : sections) m_octree.InsertObjectAtDepth(section, 5);
  }
  // After the sections, so that each face finds the section that draws it.
  BuildTerrainCollisionPolygons(&m_octree, instance, nullptr, 7, nullptr, growOctree, shadowCaster);
  if (!LoadLightData(instance)) instance->InvalidateLighting();  // lit at run time instead
  return instance;
}

CMeshInstance* CGameWorld::SetSkyMesh(ShadedMesh* mesh, const COrientation* transform) {
  delete m_skyInstance;
  m_skyInstance = new CMeshInstance();
  const Matrix4 place = transform ? transform->ToMatrix4() : Matrix4();
  m_skyInstance->SetMesh(mesh, false, false, false, 0x0FFFFFFFu, 0x0FFFFFFFu, transform ? &place : nullptr, true,
                         nullptr);
  return m_skyInstance;
}

void CGameWorld::RelightBox(const Box& box) {
  m_octree.QueryBox(box, CBoundedObject::kReceivesLights);
  for (CBoundedObject* object : m_octree.GetResults())
    if (CMeshInstance* instance = object->GetOwnerInstance()) instance->InvalidateLighting();
  m_octree.ClearResults();
}

// --- Windows and network modes ---

int CGameWorld::GetClientWidth() const {
  RECT rect = {0, 0, 0, 0};
  if (m_window == nullptr || !GetClientRect(m_window, &rect)) return 0;
  return rect.right - rect.left;
}

int CGameWorld::GetClientHeight() const {
  RECT rect = {0, 0, 0, 0};
  if (m_window == nullptr || !GetClientRect(m_window, &rect)) return 0;
  return rect.bottom - rect.top;
}

int CGameWorld::GetViewWidth() const {
  if (m_renderView != nullptr && m_renderView->GetRasterizer() != nullptr)
    if (const PixelBufferDesc* desc = m_renderView->GetRasterizer()->GetBackBufferDesc())
      return static_cast<int>(desc->width);
  return GetClientWidth();
}

int CGameWorld::GetViewHeight() const {
  if (m_renderView != nullptr && m_renderView->GetRasterizer() != nullptr)
    if (const PixelBufferDesc* desc = m_renderView->GetRasterizer()->GetBackBufferDesc())
      return static_cast<int>(desc->height);
  return GetClientHeight();
}

void CGameWorld::SetSinglePlayer() {
  delete m_client;
  m_client = nullptr;
  delete m_server;
  m_server = nullptr;
  m_networkMode = kModeSinglePlayer;
}

void CGameWorld::StartServer() {
  SetSinglePlayer();
  m_server = new NetHost();
  m_server->SetReceiver(this);
  m_networkMode = kModeServer;
}

void CGameWorld::StartClient() {
  SetSinglePlayer();
  m_client = new NetClient();
  m_client->SetReceiver(this);
  m_networkMode = kModeClient;
}

void CGameWorld::HandleNetworkEvent(const uint32_t* event) {
  if (event == nullptr) return;
  if (event[0] == 0)
    OnPlayerDisconnect(event[1]);
  else
    OutputDebugStringA("oh you\n");
}

void CGameWorld::OnPlayerDisconnect(uint32_t playerID) {
  OutputDebugStringA("CGameWorld: Handling Player Disconnect...\n");
  if (CSessionManager* session = GetSessionManager()) session->PlayerLeft(playerID);
}
