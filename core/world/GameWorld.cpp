// CGameWorld: construction, reset and clear, the world tick, cameras, lights, level data and windows.
#include "core/world/GameWorld.h"

#include "core/world/GameActionLayer.h"
#include "core/world/GameObject.h"
#include "core/world/GlobalArt.h"
#include "core/input/InputMan.h"
#include "core/services/NetLink.h"
#include "core/input/Settings.h"
#include "core/world/WorldAccess.h"
#include "core/services/WorldEffects.h"
#include "core/services/WorldPointer.h"
#include "core/services/WorldScene.h"
#include "core/services/WorldServices.h"
#include "core/services/WorldSession.h"
#include "core/services/WorldSound.h"
#include "core/spatial/BezierSpline.h"
#include "core/spatial/BoundedObject.h"
#include "core/data/DebugPrintf.h"
#include "core/data/FileBuffer.h"
#include "core/data/ResourceTable.h"

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
  const WorldServices& services = GetWorldServices();
  if (services.createScene != nullptr) m_scene = services.createScene(*this);
  if (services.createEffects != nullptr) m_effects = services.createEffects();
  if (services.createPointer != nullptr) m_pointer = services.createPointer();
  m_globalArt = std::make_unique<CGlobalArt>();
  m_globalArt->Load();
  ResetWorld();
}

CGameWorld::~CGameWorld() {
  // Layers first, bottom to top; the vector is taken over so a destructor that looks at the stack
  // finds it empty rather than half deleted.
  std::vector<std::unique_ptr<CGameActionLayer>> layers;
  layers.swap(m_layers);
  for (std::unique_ptr<CGameActionLayer>& layer : layers) layer.reset();
  CGameWorld::ClearWorld();
  m_globalArt.reset();
  m_scene.reset();
  m_netLink.reset();
  if (GetGameWorld() == this) SetGameWorld(nullptr);
}

void CGameWorld::ResetWorld() {
  SetGameWorld(this);
  ClearWorld();
  // The clear set the ID counter to 1, so the session manager is always object 1.
  // A refused session manager goes with the pointer.
  if (std::unique_ptr<CGameObject> session = CreateObject(1)) AddObject(std::move(session));
  if (m_resourceTable != nullptr && m_effects != nullptr) m_effects->StartLevel(m_resourceTable);
  m_stepCount = 0;
  m_worldTime = 0.0;
  m_octree.Reset(Box(Vector3(0.0f, 0.0f, 0.0f), Vector3(1.0f, 1.0f, 1.0f)));
  m_currentCamera = 0;
  m_overview = 0;
}

void CGameWorld::SetResourceTable(CResourceTable* table) {
  m_resourceTable = table;
  if (m_effects != nullptr) m_effects->ResetEffectManager();
}

void CGameWorld::ClearWorld() {
  ++m_clearGeneration;  // tells an update pass in progress that its objects are gone
  // Each object leaves its container before it is deleted, so a destructor that looks at the world
  // does not find it half gone.
  for (std::list<std::unique_ptr<CGameObject>>* list : {&m_localList, &m_passiveList}) {
    while (!list->empty()) {
      std::unique_ptr<CGameObject> object = std::move(list->front());
      list->pop_front();
      DeleteObject(std::move(object));
    }
  }
  while (!m_objects.empty()) {
    auto it = m_objects.begin();
    std::unique_ptr<CGameObject> object = std::move(it->second);
    m_objects.erase(it);
    DeleteObject(std::move(object));
  }
  m_nextObjectID = 1;

  // Whatever else is still filed (the scene's lights and terrain, collision faces) is unfiled with
  // the tree's cells; its owners delete it below or when they go.
  m_octree.DestroyNodes();
  m_octree.ClearResults();

  if (m_effects != nullptr) m_effects->Clear();
  if (m_soundManager != nullptr) m_soundManager->Release();
  SetSinglePlayer();
  // Terrain, sky, cameras (the render view stops drawing from their projections), lights, textures.
  if (m_scene != nullptr) m_scene->Clear();
  for (WorldServices::ClearHook hook : GetWorldServices().clearHooks) hook();
  if (m_resourceTable != nullptr) m_resourceTable->ReleaseLevelResources();
}

void CGameWorld::DeleteObject(std::unique_ptr<CGameObject> object) {
  if (CBoundedObject* bounded = dynamic_cast<CBoundedObject*>(object.get())) m_octree.RemoveObject(bounded);
}

void CGameWorld::Tick(float dt) {
  if (m_pointer != nullptr) m_pointer->Update();
  m_tickLength = dt;
  m_tickRate = dt != 0.0f ? 1.0f / dt : 0.0f;
  ReportNetworkUse();
  if (m_effects != nullptr) m_effects->UpdateParticles(dt);

  std::vector<InputEvent> events;
  if (m_inputMan != nullptr) {
    m_inputMan->BeginFrame();
    m_inputMan->TakeEvents(events);
  }
  RunLayerPass(dt, events);
  // A layer may have reset the world during the pass; the scene checks the camera index afresh.
  if (m_scene != nullptr) m_scene->HandleCameraInput(m_currentCamera, events);
  if (m_effects != nullptr) m_effects->UpdateWeather(dt);
  if (m_soundManager != nullptr) {
    m_soundManager->Update(Milliseconds(dt), m_scene != nullptr ? m_scene->GetCameraFrame(m_currentCamera) : nullptr);
    m_soundManager->ServiceSoundCapture();
  }
}

void CGameWorld::ReportNetworkUse() {
  // One set of figures for the process, whichever transport runs.
  static DWORD lastReport = 0;
  static uint32_t last[4] = {0, 0, 0, 0};
  if (m_netLink == nullptr) return;
  m_netLink->Update(Milliseconds(m_tickLength));
  const CNetLink::Traffic traffic = m_netLink->GetTraffic();
  const uint32_t now[4] = {traffic.tcpSent, traffic.tcpReceived, traffic.udpSent, traffic.udpReceived};
  const char* banner = m_networkMode == kModeClient
                           ? "<********************* Network Use Report ********************>\n"
                           : "<********************** Network Use Report *********************>\n";
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

uint32_t CGameWorld::AddCamera(std::unique_ptr<CGenericCam>&& camera) {
  if (m_scene == nullptr || camera == nullptr) return kNoCamera;
  return m_scene->AddCamera(std::move(camera));
}

CGenericCam* CGameWorld::GetCurrentCamera() const {
  return m_scene != nullptr ? m_scene->GetCameraOrDefault(m_currentCamera) : nullptr;
}

void CGameWorld::SetCurrentCamera(uint32_t index) {
  m_currentCamera = index;
  if (m_renderView != nullptr && m_scene != nullptr) m_scene->BindCamera(m_renderView, index);
}

size_t CGameWorld::GetCameraCount() const { return m_scene != nullptr ? m_scene->GetCameraCount() : 0; }

CGenericCam* CGameWorld::GetCamera(size_t index) const { return m_scene != nullptr ? m_scene->GetCamera(index) : nullptr; }

// --- Lights and level data ---

void CGameWorld::AddLight(std::unique_ptr<CLight>&& light) {
  if (light != nullptr && m_scene != nullptr) m_scene->AddLight(std::move(light));
}

bool CGameWorld::RemoveLight(CLight* light) { return m_scene != nullptr && m_scene->RemoveLight(light); }

LightList* CGameWorld::GetLightList() const { return m_scene != nullptr ? m_scene->GetLightList() : nullptr; }

FogState* CGameWorld::GetFogState() const { return m_scene != nullptr ? m_scene->GetFogState() : nullptr; }

ShadowRenderer* CGameWorld::GetShadowRenderer() const {
  return m_scene != nullptr ? m_scene->GetShadowRenderer() : nullptr;
}

CMeshInstance* CGameWorld::GetSkyInstance() const { return m_scene != nullptr ? m_scene->GetSkyInstance() : nullptr; }

const std::vector<CMeshInstance*>& CGameWorld::GetTerrainInstances() const {
  static const std::vector<CMeshInstance*> none;
  return m_scene != nullptr ? m_scene->GetTerrainInstances() : none;
}

CEffectManager* CGameWorld::GetEffectManager() const {
  return m_effects != nullptr ? m_effects->GetEffectManager() : nullptr;
}

CWeatherManager* CGameWorld::GetWeatherManager() const {
  return m_effects != nullptr ? m_effects->GetWeatherManager() : nullptr;
}

bool CGameWorld::LoadLightData(CMeshInstance* instance) {
  const std::string path = m_levelDirectory + "lights.bin";
  const CSettings* settings = GetSettings();
  if (settings == nullptr || (settings->detailFlags & 1u) == 0) return true;  // baked light not wanted
  // A missing file means there is no baked light: false makes the caller light the terrain at run time.
  if (m_scene == nullptr) return false;
  return m_scene->LoadLightData(instance, path, m_levelDirectory);
}

bool CGameWorld::GenerateLightData(CMeshInstance* instance, const char* path, float texelSize) {
  const std::string file = path != nullptr ? std::string(path) : m_levelDirectory + "lights.bin";
  DebugPrintf("CGameWorld: Generating Light Data: %s\n", file.c_str());
  return m_scene != nullptr && m_scene->GenerateLightData(instance, file.c_str(), texelSize);
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
  // A refused file leaves the octree's old records in place, and with them the loaded state.
  if (loaded) m_visibilityLoaded = 1;
}

CMeshInstance* CGameWorld::AddTerrainMesh(ShadedMesh* mesh, const COrientation* transform, bool growOctree,
                                          bool shadowCaster) {
  return m_scene != nullptr ? m_scene->AddTerrainMesh(mesh, transform, growOctree, shadowCaster) : nullptr;
}

CMeshInstance* CGameWorld::SetSkyMesh(ShadedMesh* mesh, const COrientation* transform) {
  return m_scene != nullptr ? m_scene->SetSkyMesh(mesh, transform) : nullptr;
}

void CGameWorld::AddSpline(std::unique_ptr<CBezierSpline>&& spline) {
  if (m_scene != nullptr && spline != nullptr) m_scene->AddSpline(std::move(spline));
}

void CGameWorld::RelightBox(const Box& box) {
  if (m_scene != nullptr) m_scene->RelightBox(box);
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
  int width = 0, height = 0;
  if (m_scene != nullptr && m_scene->GetBackBufferSize(m_renderView, &width, &height)) return width;
  return GetClientWidth();
}

int CGameWorld::GetViewHeight() const {
  int width = 0, height = 0;
  if (m_scene != nullptr && m_scene->GetBackBufferSize(m_renderView, &width, &height)) return height;
  return GetClientHeight();
}

void CGameWorld::SetSinglePlayer() {
  m_netLink.reset();
  m_networkMode = kModeSinglePlayer;
}

void CGameWorld::StartServer() {
  SetSinglePlayer();
  const WorldServices& services = GetWorldServices();
  if (services.createNetLink != nullptr) m_netLink = services.createNetLink(true, this);
  m_networkMode = kModeServer;
}

void CGameWorld::StartClient() {
  SetSinglePlayer();
  const WorldServices& services = GetWorldServices();
  if (services.createNetLink != nullptr) m_netLink = services.createNetLink(false, this);
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
  if (CWorldSession* session = GetSession()) session->PlayerLeft(playerID);
}
