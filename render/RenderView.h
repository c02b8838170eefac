// CRenderView: the drawing context through which every frame is drawn; it binds the scene
// (camera, fog, lights) to the current renderer back end and holds the frame's render state.
#pragma once

#include <cstdint>

#include "core/math/Matrix4.h"
#include "core/math/Vector3.h"
#include "render/ZBufferMode.h"
#include "scene/mesh/SceneDrawInterface.h"

class CRasterizerInterface;
class CMeshInstance;
class CMeshSection;
class LightList;
struct FogState;
class ViewFrustum;

// A view-space point projected to the screen.
struct ProjectedPoint {
  float x;
  float y;
  float z;    // depth 0..1
  float rhw;  // reciprocal depth; kBehindNearPlane marks a point at or behind the near plane
};

class CRenderView : public CSceneDrawInterface {
 public:
  static constexpr float kBehindNearPlane = -3.4028235e+38f;
  static constexpr float kBehindDepth = 1.1754944e-38f;

  // Flag word bits.
  static constexpr uint32_t kPerspectiveCorrection = 1;
  static constexpr uint32_t kFog = 2;
  static constexpr uint32_t kBilinearFilter = 16;
  static constexpr uint32_t kAlphaSorting = 64;
  static constexpr uint32_t kLODOff = 128;
  static constexpr uint32_t kFirstFrameStamp = 1000;

  // Where a frame is drawn: only the back end's own back buffer is offered.
  enum class FrameViewport : uint32_t { kBackBuffer = 0 };
  // Which back end draws the frame: only the default one can be chosen.
  enum class FrameBackEnd : uint32_t { kDefault = 0 };
  // Whether the frame reaches a back end; a transform-only frame lights and clips but draws nothing.
  enum class FrameOutput : uint32_t { kTransformOnly = 0, kDraw = 1 };

  CRenderView();
  ~CRenderView() override;

  CRenderView(const CRenderView&) = delete;
  CRenderView& operator=(const CRenderView&) = delete;

  // Binds the back end (as default and current), the camera and the scene, then applies the options.
  void Setup(CRasterizerInterface* rasterizer, ViewFrustum* view, FogState* fog, LightList* lights,
             uint32_t optionMask);
  void SetRenderOptions(uint32_t flags);
  // Replaces the back end; nothing happens before Setup.
  void SetDevice(CRasterizerInterface* rasterizer, uint32_t flags);

  // Starts a frame; a null view keeps the current camera. False means nothing is drawn.
  bool BeginFrame(ViewFrustum* view, FrameViewport viewport, FrameBackEnd backEnd, FrameOutput output);
  void EndFrame();
  void Clear(bool depth, bool target, uint32_t colour);
  void SetZBufferMode(ZBufferMode mode);
  void EnableAlphaSorting(bool on);
  void EnableLOD(bool on);
  void FlushSortedQueue();
  void DrawMesh(CMeshInstance* instance) override;
  void DrawBackgroundMesh(CMeshInstance* instance);
  // Draws the instance and its children as a flat white silhouette while the instance's
  // shadow-caster byte is set (the shadow textures are drawn this way).
  void DrawShadowCaster(CMeshInstance* instance);
  // The vertex-buffer path of a world mesh section; runs only when the back end offers vertex buffers.
  void DrawMeshSection(CMeshSection* section) override;
  bool CanDrawVertexBuffers() const override;

  // The shadow textures (RenderViewShadow.cpp).
  bool HasBackEnd() const override { return m_current != nullptr; }
  std::unique_ptr<CTextureProperties> CreateShadowTexture(uint32_t side) const override;
  void LoadTexture(CTextureProperties* texture) override;
  bool DrawShadowTexture(CTextureProperties* target, ViewFrustum* projection, CMeshInstance* caster) override;

  CRasterizerInterface* GetRasterizer() const { return m_current; }
  ViewFrustum* GetView() const override { return m_view; }
  void SetView(ViewFrustum* view) { m_view = view; }
  void SetScene(FogState* fog, LightList* lights);
  FogState* GetFogState() const override { return m_fog; }
  LightList* GetLightList() const override { return m_lights; }
  float GetScaleFactor() const { return m_scaleFactor; }
  void SetScaleFactor(float scale) { m_scaleFactor = scale; }
  uint32_t GetFrameNumber() const override { return m_frameStamp; }
  void SetTextureDetail(uint32_t word) { m_textureDetail = word; }
  uint32_t GetTextureDetail() const { return m_textureDetail; }
  uint32_t GetFlags() const { return m_flags; }

  // Viewport of the current frame (256 x 256 until a back end answers).
  float GetViewportWidth() const { return m_viewportWidth; }
  float GetViewportHeight() const { return m_viewportHeight; }
  float GetCentreX() const { return m_centreX; }
  float GetCentreY() const { return m_centreY; }
  float GetHalfSize() const { return m_halfSize; }

  // Depth range and scales of the current frame's camera.
  const Matrix4& GetViewMatrix() const { return m_viewMatrix; }
  float GetFarDistance() const { return m_far; }
  float GetNearDistance() const { return m_near; }
  float GetPerspectiveScale() const { return m_perspectiveScale; }
  float GetOrthoScale() const { return m_orthoScale; }
  float GetTextureScale() const { return m_textureScale; }
  // View-space point (x = depth along the view, y left, z up) to screen pixels.
  ProjectedPoint ProjectPoint(const Vector3& p) const;

 private:
  void SetViewport(float originX, float originY, float width, float height);
  void SetupCamera();

  CRasterizerInterface* m_default = nullptr;
  CRasterizerInterface* m_current = nullptr;  // null draws nothing
  ViewFrustum* m_view = nullptr;
  FogState* m_fog = nullptr;
  LightList* m_lights = nullptr;
  uint32_t m_flags = 0;
  uint32_t m_frameStamp = kFirstFrameStamp;
  uint32_t m_batchStamp = 0;
  uint32_t m_frameStartStamp = 0;
  uint32_t m_textureDetail = 0;
  float m_scaleFactor = 1.0f;
  float m_drawFactor = 1.0f;
  float m_originX = 0.0f;
  float m_originY = 0.0f;
  float m_viewportWidth = 256.0f;
  float m_viewportHeight = 256.0f;
  float m_halfSize = 128.0f;
  float m_centreX = 128.0f;
  float m_centreY = 128.0f;
  Matrix4 m_viewMatrix{};
  float m_far = 0.0f;
  float m_near = 0.0f;
  float m_invFar = 0.0f;
  float m_invNear = 0.0f;
  float m_invRange = 0.0f;  // 1 / (far - near)
  float m_farTimesNear = 0.0f;
  float m_invTanHalfFov = 0.0f;
  float m_perspectiveScale = 0.0f;
  float m_invPerspectiveScale = 0.0f;
  float m_orthoScale = 0.0f;
  float m_nearPixelScale = 0.0f;
  float m_textureScale = 0.0f;
  bool m_orthographic = false;
};
