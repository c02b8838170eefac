// CWorldScene: the world's scene and render side as the world sees it: lights, fog, shadows, terrain and sky, cameras and the draw.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/input/InputEvent.h"

class CBezierSpline;
class CGenericCam;
class CLight;
class CMeshInstance;
class CRenderView;
class COrientation;
class FogState;
class LightList;
class ShadedMesh;
class ShadowRenderer;
struct Box;
struct PixelBufferDesc;

// The scene and render folders sit above the world, so the world owns its level geometry, lights and
// cameras through this interface; the render folder implements it and registers a factory at start-up
// (see WorldServices). Pointers handed out stay owned by the scene side.
class CWorldScene {
 public:
  virtual ~CWorldScene() = default;

  // --- Level state ---
  virtual LightList* GetLightList() const = 0;
  virtual FogState* GetFogState() const = 0;
  virtual ShadowRenderer* GetShadowRenderer() const = 0;
  virtual CMeshInstance* GetSkyInstance() const = 0;
  virtual const std::vector<CMeshInstance*>& GetTerrainInstances() const = 0;
  // The scene keeps the light, filed in the world's octree, until the world clears.
  virtual void AddLight(std::unique_ptr<CLight>&& light) = 0;
  // Unfiles and deletes a light the scene holds; false for any other.
  virtual bool RemoveLight(CLight* light) = 0;
  // Reads baked light from file into the instance; false when it is missing or refused.
  virtual bool LoadLightData(CMeshInstance* instance, const std::string& file, const std::string& levelDirectory) = 0;
  virtual bool GenerateLightData(CMeshInstance* instance, const char* file, float texelSize) = 0;
  virtual CMeshInstance* AddTerrainMesh(ShadedMesh* mesh, const COrientation* transform, bool growOctree,
                                        bool shadowCaster) = 0;
  virtual CMeshInstance* SetSkyMesh(ShadedMesh* mesh, const COrientation* transform) = 0;
  // Keeps a camera path of the level until the level goes.
  virtual void AddSpline(std::unique_ptr<CBezierSpline>&& spline) = 0;
  virtual void RelightBox(const Box& box) = 0;
  // The scene's share of a world clear: terrain, sky, splines, cameras, lights, shadows and the
  // renderer's textures.
  virtual void Clear() = 0;

  // --- Cameras (the world keeps the current index) ---
  // Takes the camera and returns its index.
  virtual uint32_t AddCamera(std::unique_ptr<CGenericCam>&& camera) = 0;
  virtual size_t GetCameraCount() const = 0;
  virtual CGenericCam* GetCamera(size_t index) const = 0;
  // The camera at index, or a default camera that lives as long as the process.
  virtual CGenericCam* GetCameraOrDefault(size_t index) const = 0;
  // Points the view at the projection of the camera at index (or the default camera).
  virtual void BindCamera(CRenderView* view, size_t index) const = 0;
  virtual void HandleCameraInput(size_t index, const std::vector<InputEvent>& events) = 0;
  // Where the camera at index stands, for the sound listener.
  virtual const COrientation* GetCameraFrame(size_t index) const = 0;

  // --- Drawing ---
  virtual void RenderScene(CRenderView* view, PixelBufferDesc** locked) = 0;
  // The end of a frame pass: unlocks a back buffer the layers left locked, if any.
  virtual void ReleaseLock(CRenderView* view, PixelBufferDesc** locked) = 0;
  virtual void PresentFrame(CRenderView* view) = 0;
  // The size of the view's back buffer; false when it has none.
  virtual bool GetBackBufferSize(const CRenderView* view, int* width, int* height) const = 0;
};
