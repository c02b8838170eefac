// CRenderWorldScene: the world's scene side: lights, fog, shadows, terrain and sky instances, level
// splines, cameras and the scene pass.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/services/WorldScene.h"

class CGameWorld;
class CBoundedObject;
class CMeshSection;
struct WorldServices;

class CRenderWorldScene : public CWorldScene {
 public:
  static constexpr uint32_t kTerrainPolygonColour = 0xFFFFFF00u;  // bytes b, g, r, a: yellow
  explicit CRenderWorldScene(CGameWorld& world);
  ~CRenderWorldScene() override;
  CRenderWorldScene(const CRenderWorldScene&) = delete;
  CRenderWorldScene& operator=(const CRenderWorldScene&) = delete;

  LightList* GetLightList() const override { return m_lightList.get(); }
  FogState* GetFogState() const override { return m_fogState.get(); }
  ShadowRenderer* GetShadowRenderer() const override { return m_shadowRenderer.get(); }
  CMeshInstance* GetSkyInstance() const override { return m_sky.get(); }
  const std::vector<CMeshInstance*>& GetTerrainInstances() const override { return m_terrainView; }
  void AddLight(std::unique_ptr<CLight>&& light) override;
  bool RemoveLight(CLight* light) override;
  bool LoadLightData(CMeshInstance* instance, const std::string& file, const std::string& levelDirectory) override;
  bool GenerateLightData(CMeshInstance* instance, const char* file, float texelSize) override;
  CMeshInstance* AddTerrainMesh(ShadedMesh* mesh, const COrientation* transform, bool growOctree,
                                bool shadowCaster) override;
  CMeshInstance* SetSkyMesh(ShadedMesh* mesh, const COrientation* transform) override;
  void AddSpline(std::unique_ptr<CBezierSpline>&& spline) override;
  void RelightBox(const Box& box) override;
  void Clear() override;

  uint32_t AddCamera(std::unique_ptr<CGenericCam>&& camera) override;
  size_t GetCameraCount() const override { return m_cameras.size(); }
  CGenericCam* GetCamera(size_t index) const override;
  CGenericCam* GetCameraOrDefault(size_t index) const override;
  void BindCamera(CRenderView* view, size_t index) const override;
  void HandleCameraInput(size_t index, const std::vector<InputEvent>& events) override;
  const COrientation* GetCameraFrame(size_t index) const override;

  void RenderScene(CRenderView* view, PixelBufferDesc** locked) override;
  void ReleaseLock(CRenderView* view, PixelBufferDesc** locked) override;
  void PresentFrame(CRenderView* view) override;
  bool GetBackBufferSize(const CRenderView* view, int* width, int* height) const override;

 private:
  // A terrain instance with the draw sections a buffered back end gets of it, filed in the octree;
  // the sections go before the instance they draw.
  struct TerrainPiece {
    std::unique_ptr<CMeshInstance> instance;
    std::vector<std::unique_ptr<CMeshSection>> sections;
  };

  // The octree and light overlays the view's debug flags ask for.
  void DrawDebugOverlays(CRenderView* view) const;

  CGameWorld& m_world;
  std::unique_ptr<LightList> m_lightList;
  std::unique_ptr<FogState> m_fogState;
  std::unique_ptr<ShadowRenderer> m_shadowRenderer;
  std::unique_ptr<CMeshInstance> m_sky;
  std::vector<std::unique_ptr<CLight>> m_lights;  // filed in the octree
  std::vector<TerrainPiece> m_terrain;
  std::vector<CMeshInstance*> m_terrainView;  // the same instances, as the interface hands them out
  std::vector<std::unique_ptr<CBezierSpline>> m_splines;
  std::vector<std::unique_ptr<CGenericCam>> m_cameras;
  std::vector<CBoundedObject*> m_visible;
};

// Every world built afterwards gets this scene side.
void RegisterRenderWorldScene(WorldServices& services);
