// CGameWorld: the world: game objects by ID, message routing, the layer stack, cameras, octree, lights and the world tick.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/input/InputEvent.h"
#include "core/world/MessageReceiver.h"
#include "core/world/VisibilityMode.h"
#include "core/spatial/Octree.h"
#include "platform/system/Win32.h"

class CGameObject;
class CBezierSpline;
class CBoundedObject;
class CGameActionLayer;
class CGenericCam;
class CLight;
class LightList;
class FogState;
class ShadowRenderer;
class CInputMan;
class CWorldSound;
class CResourceTable;
class CEffectManager;
class CWeatherManager;
class CGlobalArt;
class CMeshInstance;
class CNetLink;
class CRenderView;
class CSessionManager;
class CWorldEffects;
class CWorldPointer;
class CWorldScene;
class CWorldSession;
struct PixelBufferDesc;
struct Box;
class ViewFrustum;
class ShadedMesh;
class COrientation;

// Ownership: the world owns its objects, layers, cameras and lights. Every function that takes one over
// (AddObject, RegisterNewObject, AddLayerOnTop and the other AddLayer functions, AddCamera, AddLight) takes a
// std::unique_ptr by rvalue reference and moves from it only when it keeps the object. When it
// refuses, the object is still in the caller's pointer, uninitialised, for the caller to retry, keep
// or drop. (A pointer of a derived type is converted to a temporary first; a refused object then
// goes with that temporary.)
class CGameWorld : public CMessageReceiver {
 public:
  // Network modes.
  static constexpr uint32_t kModeNone = 0;
  static constexpr uint32_t kModeSinglePlayer = 1;
  static constexpr uint32_t kModeServer = 2;
  static constexpr uint32_t kModeClient = 4;

  // Message destinations besides a player's network ID.
  static constexpr uint32_t kToAllPlayers = 0;
  static constexpr uint32_t kToLocal = 0xFFFFFFFFu;
  static constexpr uint32_t kUnassignedNetworkID = 0xFFFFFFFEu;

  CGameWorld(HWND window, HINSTANCE instance);
  ~CGameWorld() override;
  CGameWorld(const CGameWorld&) = delete;
  CGameWorld& operator=(const CGameWorld&) = delete;

  // --- Virtual operations (after those of CMessageReceiver) ---
  void HandleMessage(uint32_t senderID, const uint8_t* message) override;
  void HandleNetworkEvent(const uint32_t* event) override;
  virtual void OnBeforeSceneDraw(CRenderView* view) {}
  // locked: the frame's shared back-buffer lock, null while unlocked.
  virtual void DrawOverlay(CRenderView* view, PixelBufferDesc** locked);
  virtual void ClearWorld();
  virtual void OnPlayerDisconnect(uint32_t playerID);
  // A new object of the type code from the program's factory, or null.
  virtual std::unique_ptr<CGameObject> CreateObject(uint32_t typeCode);

  // --- Setup ---
  void ResetWorld();
  void SetResourceTable(CResourceTable* table);
  CResourceTable* GetResourceTable() const { return m_resourceTable; }
  void SetInputManager(CInputMan* input) { m_inputMan = input; }
  CInputMan* GetInputManager() const { return m_inputMan; }
  void SetSoundManager(CWorldSound* sound) { m_soundManager = sound; }
  CWorldSound* GetSoundManager() const { return m_soundManager; }
  void SetRenderView(CRenderView* view) { m_renderView = view; }
  CRenderView* GetRenderView() const { return m_renderView; }

  // --- Objects ---
  // How code adds an object it made. Networked objects are filed by ID (single player and server) and
  // the ID is returned; 0 with the object left in `object` means it was refused (its ID is taken or
  // 0, or the world is a client's, whose objects the server creates). Objects that are not networked
  // go to the local or passive list, are always taken, and the result is 0.
  uint32_t RegisterNewObject(std::unique_ptr<CGameObject>&& object, uint32_t id = 0xFFFFFFFFu);
  // Files the object under an ID without initialising it: the next free ID for 0xFFFFFFFF, the
  // object's own in client mode, else id. Returns the ID, or 0 when refused (the ID is taken or 0).
  uint32_t AddObject(std::unique_ptr<CGameObject>&& object, uint32_t id = 0xFFFFFFFFu);
  CGameObject* GetObjectByID(uint32_t id) const;
  void RemoveObject(uint32_t id);
  void UpdateObjects(float dt);
  // The session object (object 1) through its interface, or null.
  CWorldSession* GetSession() const;
  CSessionManager* GetSessionManager() const;
  size_t GetObjectCount() const { return m_objects.size(); }
  size_t GetLocalObjectCount() const { return m_localList.size(); }
  size_t GetPassiveObjectCount() const { return m_passiveList.size(); }
  uint32_t GetNextObjectID() const { return m_nextObjectID; }

  // --- Messages ---
  // The scratch buffer of at least size bytes, filled with 0xCD. Each message-dispatch depth has its own
  // buffer, so a message stays valid while its handler runs even when the handler sends others.
  uint8_t* AllocMessage(uint32_t size);
  void SendMessage(uint32_t destination, const uint8_t* message, bool reliable, bool critical);

  // --- Tick and layers ---
  void Tick(float dt);
  bool HasLayers() const { return !m_layers.empty(); }
  size_t GetLayerCount() const { return m_layers.size(); }
  CGameActionLayer* GetLayer(size_t index) const { return index < m_layers.size() ? m_layers[index].get() : nullptr; }
  uint32_t GetCurrentLayerIndex() const { return m_currentLayer; }
  void SetCurrentLayerIndex(uint32_t index) { m_currentLayer = index; }
  // The stack takes every layer but a null one.
  void AddLayerAtBottom(std::unique_ptr<CGameActionLayer>&& layer);
  void AddLayerOnTop(std::unique_ptr<CGameActionLayer>&& layer);
  void AddLayerAboveCurrent(std::unique_ptr<CGameActionLayer>&& layer);
  void AddLayerBelowCurrent(std::unique_ptr<CGameActionLayer>&& layer);
  bool BringCurrentLayerToTop();
  void RemoveTopLayer();
  void RemoveCurrentLayer();
  void RemoveAllLayers();
  void DeactivateAllLayers();
  void ActivateAllLayers();

  // --- Drawing ---
  void Render(CRenderView* view);
  void RenderScene(CRenderView* view, PixelBufferDesc** locked);

  // --- Cameras ---
  static constexpr uint32_t kNoCamera = 0xFFFFFFFFu;
  // Takes the camera and returns its index; without a scene side it refuses (kNoCamera) and the
  // camera stays in the caller's pointer.
  uint32_t AddCamera(std::unique_ptr<CGenericCam>&& camera);
  // The current camera, or a default camera; null only without a scene side.
  CGenericCam* GetCurrentCamera() const;
  void SetCurrentCamera(uint32_t index);
  uint32_t GetCurrentCameraIndex() const { return m_currentCamera; }
  size_t GetCameraCount() const;
  CGenericCam* GetCamera(size_t index) const;

  // --- Lights and level data ---
  void AddLight(std::unique_ptr<CLight>&& light);
  // Deletes a light the world holds; false for any other.
  bool RemoveLight(CLight* light);
  bool LoadLightData(CMeshInstance* instance);
  // Bakes the scenery instance's light with the world's lights into "lights.bin" at path (the
  // level folder's when null) and the light-map pages beside it. False when anything failed.
  bool GenerateLightData(CMeshInstance* instance, const char* path, float texelSize);
  void LoadVisibilityNodes(const char* path);
  void RelightBox(const Box& box);
  // The level's scenery: a mesh instance lit from "lights.bin" or, failing that, at run time.
  // transform may be null. Returns the new instance (owned by the world's scene side; null without one).
  CMeshInstance* AddTerrainMesh(ShadedMesh* mesh, const COrientation* transform, bool growOctree, bool shadowCaster);
  // Replaces the sky; transform may be null. Returns the new instance (owned by the world's scene side).
  CMeshInstance* SetSkyMesh(ShadedMesh* mesh, const COrientation* transform);
  // Keeps a camera path of the level (found by its ID) until the world is cleared; without a
  // scene side the spline is dropped.
  void AddSpline(std::unique_ptr<CBezierSpline>&& spline);
  void SetLevelDirectory(const std::string& dir) { m_levelDirectory = dir; }
  const std::string& GetLevelDirectory() const { return m_levelDirectory; }
  bool IsVisibilityLoaded() const { return m_visibilityLoaded != 0; }

  // --- Windows and network ---
  HWND GetWindow() const { return m_window; }
  HINSTANCE GetInstance() const { return m_instance; }
  int GetClientWidth() const;
  int GetClientHeight() const;
  int GetViewWidth() const;
  int GetViewHeight() const;
  void SetSinglePlayer();
  void StartServer();
  void StartClient();
  uint32_t GetNetworkMode() const { return m_networkMode; }

  // --- State ---
  COctree& GetOctree() { return m_octree; }
  // The parts made through WorldServices; null when none was registered.
  CWorldScene* GetScene() const { return m_scene.get(); }
  CWorldEffects* GetEffects() const { return m_effects.get(); }
  CWorldPointer* GetMouseCursor() const { return m_pointer.get(); }
  LightList* GetLightList() const;
  FogState* GetFogState() const;
  ShadowRenderer* GetShadowRenderer() const;
  CGlobalArt* GetGlobalArt() const { return m_globalArt.get(); }
  CEffectManager* GetEffectManager() const;
  CWeatherManager* GetWeatherManager() const;
  uint32_t GetStepCount() const { return m_stepCount; }
  double GetWorldTime() const { return m_worldTime; }
  // A loaded game carries its world time on.
  void SetWorldTime(double t) { m_worldTime = t; }
  float GetTickLength() const { return m_tickLength; }
  float GetTickRate() const { return m_tickRate; }
  VisibilityMode GetVisibilityMode() const { return m_visibilityMode; }
  void SetVisibilityMode(VisibilityMode mode) { m_visibilityMode = mode; }
  void SetOverview(bool on) { m_overview = on ? 1 : 0; }
  bool GetOverview() const { return m_overview != 0; }
  CMeshInstance* GetSkyInstance() const;
  const std::vector<CMeshInstance*>& GetTerrainInstances() const;
  // Leaves in the octree's results the renderable objects the view sees (every one with overview).
  void CollectVisible(const ViewFrustum* view, bool overview);

  // Mouse state written by the window procedure and the frame loop; read by picking and the layers.
  uint8_t mouseOverUI = 0;
  uint8_t leftDown = 0;
  uint8_t rightDown = 0;
  uint8_t leftClick = 0;
  uint8_t rightClick = 0;
  int32_t cursorX = 0;
  int32_t cursorY = 0;
  int32_t lastButtonX = 0;
  int32_t lastButtonY = 0;
  uint8_t wheelUp = 0;
  uint8_t wheelDown = 0;

 protected:
  void RunLayerPass(float dt, const std::vector<InputEvent>& events);
  void ReportNetworkUse();
  void DeleteObject(std::unique_ptr<CGameObject> object);  // out of the octree, then delete

  HWND m_window = nullptr;
  HINSTANCE m_instance = nullptr;
  uint32_t m_stepCount = 0;
  double m_worldTime = 0.0;
  float m_tickLength = 0.0f;
  float m_tickRate = 0.0f;
  uint32_t m_networkMode = kModeNone;
  VisibilityMode m_visibilityMode = VisibilityMode::kCulled;
  uint8_t m_overview = 0;
  uint8_t m_visibilityLoaded = 0;
  CResourceTable* m_resourceTable = nullptr;
  COctree m_octree;
  std::unique_ptr<CWorldScene> m_scene;
  std::unique_ptr<CWorldEffects> m_effects;
  std::unique_ptr<CWorldPointer> m_pointer;
  std::unique_ptr<CGlobalArt> m_globalArt;
  CInputMan* m_inputMan = nullptr;
  CWorldSound* m_soundManager = nullptr;
  std::list<std::unique_ptr<CGameObject>> m_localList;    // non-networked, updated every pass
  std::list<std::unique_ptr<CGameObject>> m_passiveList;  // non-networked, never updated
  uint32_t m_nextObjectID = 1;
  std::unordered_map<uint32_t, std::unique_ptr<CGameObject>> m_objects;
  std::vector<std::unique_ptr<CGameActionLayer>> m_layers;  // index 0 at the bottom
  uint32_t m_currentLayer = 0;
  uint32_t m_currentCamera = 0;
  // One scratch buffer per message-dispatch depth (see AllocMessage).
  std::vector<std::unique_ptr<std::vector<uint8_t>>> m_messageBuffers;
  uint32_t m_dispatchDepth = 0;
  std::string m_levelDirectory;
  CRenderView* m_renderView = nullptr;
  // The server's host or the client's connection; none in single player.
  std::unique_ptr<CNetLink> m_netLink;

  // Working state of the update pass: the IDs present when it began, and a counter that
  // ClearWorld bumps so a pass notices that the world was emptied under it.
  std::vector<uint32_t> m_updateSnapshot;
  uint32_t m_clearGeneration = 0;
};
