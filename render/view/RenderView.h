// CRenderView: the drawing context through which every frame is drawn; it binds the scene
// (camera, fog, lights) to the current renderer back end and holds the frame's render state.
#pragma once

#include <cstdint>
#include <vector>

#include "core/math/Box.h"
#include "core/math/Color.h"
#include "core/math/Matrix4.h"
#include "core/math/Orientation.h"
#include "core/math/Vector2.h"
#include "core/math/Vector3.h"
#include "render/view/ScreenVertex.h"
#include "render/view/ZBufferMode.h"
#include "scene/mesh/SceneDrawInterface.h"

class CRasterizerInterface;
class CMeshInstance;
class CMeshLayer;
class CMeshSection;
class CTexture;
class LightList;
struct FaceLightRecord;
struct FogState;
class ViewFrustum;

// A view-space point projected to the screen.
struct ProjectedPoint {
  float x;
  float y;
  float z;    // depth 0..1
  float rhw;  // reciprocal depth; kBehindNearPlane marks a point at or behind the near plane
};

// Per-frame counters, zeroed by BeginFrame.
struct RenderStatistics {
  uint32_t trianglesSent = 0;
  uint32_t quadTriangles = 0;  // triangles of sprites and quad runs from the sorted queue
  uint32_t verticesTransformed = 0;
  uint32_t verticesEmitted = 0;
  uint32_t cornersRelit = 0;
  uint32_t clipVertices = 0;
};

// One corner of a screen-space polygon drawn by DrawScreenQuad.
struct ScreenPolygonPoint {
  float x, y;
  float u, v;
  uint32_t colour;
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
  // Objects smaller than this on screen are not drawn.
  static constexpr float kSmallestDrawnSize = 4.0f;
  // 16-bit indices address this many vertices of one batch.
  static constexpr uint32_t kBatchVertexLimit = 65536;

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

  // Starts a frame; a null view keeps the current camera. A null box takes the back buffer's size.
  // False means nothing is drawn.
  bool BeginFrame(ViewFrustum* view, FrameViewport viewport, FrameBackEnd backEnd, FrameOutput output,
                  const Box* viewportBox = nullptr);
  void EndFrame();
  void Clear(bool depth, bool target, uint32_t colour);
  void SetZBufferMode(ZBufferMode mode);
  void EnableAlphaSorting(bool on);
  void EnableLOD(bool on);

  // ---- meshes (RenderViewMesh.cpp) ----
  void DrawMesh(CMeshInstance* instance) override;
  // The instance to draw at its on-screen size (a level-of-detail entry), null when too small.
  CMeshInstance* SelectLOD(CMeshInstance* instance);
  void RenderMeshInstance(CMeshInstance* instance);
  // Object-to-camera transform of the next vertices; every transformed vertex of earlier objects is stale.
  void SetObjectTransform(const COrientation& world);
  void DrawBackgroundMesh(CMeshInstance* instance);
  void DrawMeshLayer(CMeshLayer* layer);
  // Draws the instance and its children flat in its tint (the shadow textures are drawn this way).
  void DrawShadowCaster(CMeshInstance* instance);
  // The vertex-buffer path of a world mesh section; runs only when the back end offers vertex buffers.
  void DrawMeshSection(CMeshSection* section) override;
  bool CanDrawVertexBuffers() const override;

  // ---- buffered meshes (RenderViewBuffered.cpp) ----
  // One level-of-detail instance through the back end's own buffers, queued for the sorted pass.
  void DrawBufferedInstance(CMeshInstance* instance);
  // Texture scale hints of the buffered paths, which never see their screen vertices: the
  // nearest point of the bounds stands in for the nearest vertex.
  void UpdateInstanceTextureHints(CMeshInstance* instance);
  void UpdateSectionTextureHints(CMeshSection* section);
  // For back ends filling a section's buffers: one range of their own, drawn by the sorted pass
  // through DrawBufferRange(first, count) at camera depth key.
  void QueueBufferRange(float key, uint32_t first, uint32_t count);
  // Whether sections and buffered instances refine their curved patches for the camera (on at start).
  void EnablePatchLOD(bool on) { m_patchLOD = on; }
  // The clock the buffered instances' light caches are refreshed by.
  void SetWorldTime(float now) { m_worldTime = now; }
  // The relight interval grows from the first to the last bound as objects shrink from
  // start + 1/scale pixels to start pixels.
  void SetRelightRamp(float start, float scale);
  void SetLODScale(float scale) { m_lodScale = scale; }
  float GetProjectedSize() const { return m_projectedSize; }

  // ---- lighting (RenderViewLighting.cpp) ----
  // Relights one mesh vertex, stores the colour in every face corner sharing its normal and returns (face, corner)'s.
  Color ComputeFaceLight(CMeshInstance* instance, uint32_t face, uint32_t corner, const FaceLightRecord* record);
  // The same lighting for one corner, not stored.
  Color ComputeVertexLight(CMeshInstance* instance, uint32_t face, uint32_t corner);

  // ---- lines and flat shapes (RenderViewLines.cpp) ----
  void DrawLine3D(const Vector3& a, const Vector3& b, uint32_t colour) override;
  void DrawTriangle3D(const Vector3& a, const Vector3& b, const Vector3& c, uint32_t colour, bool twoSided) override;
  void DrawQuad3D(const Vector3 corners[4], uint32_t colour, CTexture* texture, CTexture* lightMap);
  void DrawDebugSphere(const Vector3& centre, float radius, uint32_t colour) override;
  // Which diagnostic overlays the scene draws (CSceneDrawInterface::DebugFlag bits); none at start.
  void SetDebugFlags(uint32_t flags) { m_debugFlags = flags; }
  uint32_t GetDebugFlags() const override { return m_debugFlags; }

  // ---- sprites and the sorted queue (RenderViewSprites.cpp) ----
  void QueueTranslucentBatch(CTexture* texture);
  void DrawSprite(const Vector3& point, float size, CTexture* texture, uint32_t colour);
  void DrawDirectedSprite(const Vector3& point, const Vector2& direction, float size, CTexture* texture,
                          uint32_t colour);
  void DrawParticleQuad(const Vector3& point, const Vector2& axisA, const Vector2& axisB, CTexture* texture,
                        uint32_t colour);
  void DrawQuadViewAxes(const Vector3& point, const Vector3& axisA, const Vector3& axisB, CTexture* texture,
                        uint32_t colour);
  void DrawQuadWorldAxes(const Vector3& point, const Vector3& axisA, const Vector3& axisB, CTexture* texture,
                         uint32_t colour);
  void DrawBeam(const Vector3& a, const Vector3& b, float width, CTexture* texture, uint32_t colour,
                uint32_t endColour);
  void DrawScreenQuad(const ScreenPolygonPoint* points, CTexture* texture, uint32_t count);
  void BeginQuadRun(const Box& bounds);
  void EndQuadRun();
  void FlushSortedQueue();
  size_t GetQueuedCount() const { return m_queue.size(); }

  // ---- batch utilities on the current batch ----
  void ResetBatch();
  void SetBatchAlpha(uint8_t alpha);
  void PushBatchToFarPlane();
  void OffsetBatchDepth(float d);
  void DrawBatch(CTexture* texture, CTexture* lightMap);
  uint32_t GetBatchVertexCount() const { return static_cast<uint32_t>(m_vertices.size()); }
  uint32_t GetBatchTriangleCount() const { return static_cast<uint32_t>(m_indices.size() / 3); }

  // The shadow textures (RenderViewShadow.cpp).
  bool HasBackEnd() const override { return m_current != nullptr; }
  std::unique_ptr<CTextureProperties> CreateShadowTexture(uint32_t side) const override;
  void LoadTexture(CTextureProperties* texture) override;
  void ReleaseTexture(CTextureProperties* texture) override;
  bool DrawShadowTexture(CTextureProperties* target, ViewFrustum* projection, CMeshInstance* caster) override;

  CRasterizerInterface* GetRasterizer() const { return m_current; }
  // The camera record is the caller's: the world's render pass swaps its own in for a frame and
  // puts the previous one back, and whoever set it must keep it alive while it is bound.
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
  uint32_t GetBatchStamp() const { return m_batchStamp; }
  const RenderStatistics& GetStatistics() const { return m_stats; }

  // Viewport of the current frame (256 x 256 until a back end answers).
  float GetViewportWidth() const { return m_viewportWidth; }
  float GetViewportHeight() const { return m_viewportHeight; }
  float GetOriginX() const { return m_originX; }
  float GetOriginY() const { return m_originY; }
  float GetCentreX() const { return m_centreX; }
  float GetCentreY() const { return m_centreY; }
  float GetHalfSize() const { return m_halfSize; }

  // Depth range and scales of the current frame's camera.
  const Matrix4& GetViewMatrix() const { return m_viewMatrix; }
  const Matrix4& GetModelViewMatrix() const { return m_modelView; }
  float GetFarDistance() const { return m_far; }
  float GetNearDistance() const { return m_near; }
  float GetPerspectiveScale() const { return m_perspectiveScale; }
  float GetOrthoScale() const { return m_orthoScale; }
  float GetTextureScale() const { return m_textureScale; }
  // View-space point (x = depth along the view, y left, z up) to screen pixels.
  // Inline: the mesh path projects every vertex through it.
  ProjectedPoint ProjectPoint(const Vector3& p) const {
    if (p.x <= m_near) return ProjectedPoint{0.0f, 0.0f, kBehindDepth, kBehindNearPlane};
    ProjectedPoint out;
    if (m_orthographic) {
      out.x = m_centreX - p.y * m_orthoScale;
      out.y = m_centreY - p.z * m_orthoScale;
      out.z = (p.x - m_near) * m_invRange;
      out.rhw = m_invNear;
    } else {
      out.rhw = 1.0f / p.x;
      const float k = out.rhw * m_perspectiveScale;
      out.x = m_centreX - p.y * k;
      out.y = m_centreY - p.z * k;
      out.z = (m_far - out.rhw * m_farTimesNear) * m_invRange;
    }
    return out;
  }

 private:
  // A mesh vertex transformed for the current object, kept at the vertex's own index and valid
  // while its stamp is the object stamp; a new object only moves the stamp on.
  struct TransformedVertex {
    Vector3 view;
    uint32_t stamp;
    ProjectedPoint screen;
    uint32_t specular;     // fog byte on top
    int32_t output;        // renderer vertex in the current batch, when outputBatch is the batch stamp
    uint32_t outputBatch;
    // The output's colour and uv, kept here so sharing needs no read of the batch.
    uint32_t outputDiffuse;
    float outputU;
    float outputV;
  };
  static constexpr uint32_t kNoStamp = 0xFFFFFFFFu;
  // What the per-vertex work of one object needs, looked up once rather than per corner.
  struct VertexSource {
    CMeshInstance* instance;
    const Vector3* positions;  // the shown frame when the fetch is the plain rigid one, else null
    uint32_t positionCount;
    bool identity;             // world geometry: fogged by each vertex's own height
    bool fog;
    float objectHeightFog;
  };
  // The per-corner state of a material group, looked up once per batch (RenderViewMesh.cpp).
  struct CornerSource;
  // A corner on its way to a triangle: its view-space point, screen vertex and behind flag.
  struct ClipCorner {
    Vector3 view;
    ScreenVertex vertex;
  };
  enum class QueueKind : uint32_t { kQuad = 1, kTriangle = 2, kBuffer = 3, kQuadRun = 4, kRange = 5 };
  struct QueueEntry {
    QueueKind kind;
    float key;          // camera depth (or a third of the harmonic depth for triangles); larger first
    uint32_t first;     // first vertex, first corner, first run record or back-end word
    uint32_t second;    // quad count of a run, second corner or back-end word
    uint32_t third;     // third corner
    CTexture* texture;
    CMeshInstance* instance = nullptr;  // a buffered instance (kind 3)
  };
  struct QuadRunRecord {
    float depth;
    uint32_t first;
    CTexture* texture;
  };
  // What happens to a full batch.
  enum class BatchSink : uint32_t { kDraw, kQueue, kBackground };

  void SetViewport(float originX, float originY, float width, float height);
  void SetupCamera();
  void ResetQueue();

  // Mesh path (RenderViewMesh.cpp).
  // Every material group of the instance; background groups go behind everything.
  void DrawMaterialGroups(CMeshInstance* instance, bool background);
  void DrawFlatInstance(CMeshInstance* instance, uint32_t colour);
  void DrawFaceBatch(CMeshInstance* instance, const uint32_t* faces, uint32_t count, BatchSink sink);
  // Curved patches (RenderViewPatches.cpp): every patch of the instance at its render levels,
  // refreshed from the camera first.
  void DrawCurvedPatches(CMeshInstance* instance);
  CTexture* PatchTexture(CMeshInstance* instance, uint32_t patch) const;
  void SelectPatchLights(CMeshInstance* instance);
  // One patch vertex in the object's space made a screen vertex; its view-space point goes to `view`.
  ScreenVertex PatchVertex(const Vector3& local, const Vector3& normal, const Vector2& uv, bool lit, float alpha,
                           bool identity, Vector3& view);
  bool IsFaceHidden(const VertexSource& source, uint32_t face, const Vector3* faceNormals,
                    const Vector3* framePositions, bool skinned);
  int32_t TransformVertex(CMeshInstance* instance, uint32_t vertex, bool identity);
  VertexSource MakeVertexSource(CMeshInstance* instance, bool identity) const;
  // The vertex's transformed record (its own index), transformed now if stale.
  int32_t TransformCached(const VertexSource& source, uint32_t vertex);
  void TransformInto(const VertexSource& source, uint32_t vertex, TransformedVertex& t);
  // Every vertex of a rigid source at once, so the divides of neighbouring vertices overlap.
  void TransformAll(const VertexSource& source);
  struct FaceCorners;
  uint16_t EmitCorner(const CornerSource& source, uint32_t face, uint32_t corner, int32_t record,
                      const FaceCorners& shared);
  void FinishBatch(BatchSink sink, CTexture* texture);
  void AppendClippedTriangle(const ClipCorner corners[3]);
  ScreenVertex ClipEdge(const ClipCorner& behind, const ClipCorner& front);
  float HeightFog(float z) const;
  float DistanceFog(const Vector3& viewPoint, float heightFog) const;
  static uint32_t FogWord(float fog);
  void HintTextureScale(CTexture* texture, float scale);
  void HintBatchTexture(CTexture* texture, float meshScale);
  // The hint of one texture of a buffered path from the nearest depth's reciprocal.
  void HintBufferedTexture(CTextureProperties* texture, float start);
  float StartFromDepth(float depth) const;
  CTexture* FaceTexture(const CMeshInstance* instance, uint32_t face) const;
  void SendTriangles(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices, uint32_t triangles,
                     CTexture* texture, CTexture* lightMap, float drawFactor);

  // Sprites (RenderViewSprites.cpp).
  // Where a sprite at a world point lands: its view-space point, projected centre, fog word and
  // the pixels a world unit spans there.
  struct SpritePlace {
    Vector3 view;
    ProjectedPoint centre;
    uint32_t specular;
    float scale;
  };
  // False when no view is set or the point is at or behind the near plane.
  bool PlaceSprite(const Vector3& point, SpritePlace& place) const;
  // Stores one corner of a sprite quad, offset in pixels from its centre.
  void PushSpriteCorner(const SpritePlace& place, float dx, float dy, int corner, uint32_t colour);
  void QueueQuad(float depth, CTexture* texture);

  CRasterizerInterface* m_default = nullptr;
  CRasterizerInterface* m_current = nullptr;  // null draws nothing
  ViewFrustum* m_view = nullptr;
  FogState* m_fog = nullptr;
  LightList* m_lights = nullptr;
  uint32_t m_flags = 0;
  uint32_t m_debugFlags = 0;
  bool m_patchLOD = true;
  float m_worldTime = 0.0f;
  uint32_t m_frameStamp = kFirstFrameStamp;
  uint32_t m_batchStamp = 0;
  uint32_t m_objectStamp = 0;
  uint32_t m_frameStartStamp = 0;
  uint32_t m_textureDetail = 0;
  float m_scaleFactor = 1.0f;
  float m_drawFactor = 1.0f;
  float m_projectedSize = 0.0f;
  float m_relightRampStart = 0.0f;
  float m_relightRampScale = 0.0f;
  float m_lodScale = 1.0f;
  float m_originX = 0.0f;
  float m_originY = 0.0f;
  float m_viewportWidth = 256.0f;
  float m_viewportHeight = 256.0f;
  float m_halfSize = 128.0f;
  float m_centreX = 128.0f;
  float m_centreY = 128.0f;
  Matrix4 m_viewMatrix{};
  Matrix4 m_modelView{};
  // Rows of the model-view rotation and its translation, for the per-vertex transform.
  Vector3 m_mvRows[3];
  Vector3 m_mvTranslation;
  Vector3 m_objectPosition;
  Vector3 m_eyeInObject;
  Vector3 m_viewDirInObject;
  bool m_lightsSelected = false;
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
  RenderStatistics m_stats;

  std::vector<TransformedVertex> m_transformed;
  std::vector<ScreenVertex> m_vertices;
  std::vector<uint16_t> m_indices;
  const void* m_batchLightPage = nullptr;  // light-map page of the batch's faces
  std::vector<uint32_t> m_groupFaces;      // scratch face list of a group built on the fly
  // Scratch tessellation of one patch: parameters, corner indices and view-space points.
  std::vector<Vector2> m_patchUVs;
  std::vector<uint16_t> m_patchTriangles;
  std::vector<Vector3> m_patchViews;

  std::vector<QueueEntry> m_queue;
  std::vector<uint32_t> m_sortOrder;
  std::vector<ScreenVertex> m_store;  // translucent vertices the queue refers to
  std::vector<QuadRunRecord> m_quadRuns;
  int32_t m_currentQuadRun = -1;
};
