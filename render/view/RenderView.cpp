// CRenderView: frame begin and end, render options and the calls that reach the back end.
#include "render/view/RenderView.h"

#include "core/math/ViewFrustum.h"
#include "render/view/RasterizerInterface.h"
#include "scene/lighting/FogState.h"
#include "scene/mesh/MeshInstance.h"

CRenderView::CRenderView() = default;

CRenderView::~CRenderView() = default;

void CRenderView::Setup(CRasterizerInterface* rasterizer, ViewFrustum* view, FogState* fog, LightList* lights,
                        uint32_t optionMask) {
  m_default = rasterizer;
  m_current = rasterizer;
  m_view = view;
  m_fog = fog;
  m_lights = lights;
  SetRenderOptions(optionMask);
}

void CRenderView::SetRenderOptions(uint32_t flags) {
  m_flags = flags;
  if (!m_current) return;
  m_current->SetPerspectiveCorrection((flags & kPerspectiveCorrection) != 0);
  m_current->SetFogEnable((flags & kFog) != 0);
  m_current->SetBilinearFilter((flags & kBilinearFilter) != 0);
  m_current->SetBackfaceCulling(true);
  m_current->SetZBufferMode(ZBufferMode::kZBuffer, false);
  m_current->SetZWrite(true);
}

void CRenderView::SetDevice(CRasterizerInterface* rasterizer, uint32_t flags) {
  if (!m_current) return;
  m_default = rasterizer;
  m_current = rasterizer;
  SetRenderOptions(flags);
}

void CRenderView::SetScene(FogState* fog, LightList* lights) {
  m_fog = fog;
  m_lights = lights;
}

void CRenderView::SetViewport(float originX, float originY, float width, float height) {
  m_originX = originX;
  m_originY = originY;
  m_viewportWidth = width;
  m_viewportHeight = height;
  m_halfSize = 0.5f * (width > height ? width : height);
  m_centreX = 0.5f * width;
  m_centreY = 0.5f * height;
}

void CRenderView::ResetQueue() {
  m_queue.clear();
  m_sortOrder.clear();
  m_store.clear();
  m_quadRuns.clear();
  m_currentQuadRun = -1;
}

bool CRenderView::BeginFrame(ViewFrustum* view, FrameViewport viewport, FrameBackEnd backEnd, FrameOutput output,
                             const Box* viewportBox) {
  if (view) m_view = view;
  m_current = output != FrameOutput::kTransformOnly ? m_default : nullptr;
  ResetQueue();
  ResetBatch();
  m_frameStartStamp = m_batchStamp;
  m_objectStamp = m_batchStamp;  // no vertex of an earlier frame is reused
  m_stats = RenderStatistics();
  if (m_current) {
    m_current->SetBackfaceCulling(true);
    m_current->SetZWrite(true);
    m_current->SetScene(m_fog);
  }
  const PixelBufferDesc* desc = (m_current && !viewportBox) ? m_current->GetBackBufferDesc() : nullptr;
  if (viewportBox)
    SetViewport(viewportBox->min.x, viewportBox->min.y, viewportBox->max.x - viewportBox->min.x,
                viewportBox->max.y - viewportBox->min.y);
  else if (desc && desc->width && desc->height)
    SetViewport(0.0f, 0.0f, static_cast<float>(desc->width), static_cast<float>(desc->height));
  else
    SetViewport(0.0f, 0.0f, 256.0f, 256.0f);
  SetupCamera();
  if (m_fog) {
    // The fog strength follows the camera height; the back end gets its colour every frame,
    // whether fog is on or not.
    if (m_view) m_fog->UpdateForCamera(m_view->GetFrame().GetPosition());
    if (m_current) {
      Color colour;
      m_fog->ComputeColor(colour);
      m_current->SetFogColour(colour.ToWord());
    }
  }
  return m_current ? m_current->BeginScene(m_view, 0) : true;
}

namespace {
float Reciprocal(float v) { return v != 0.0f ? 1.0f / v : 0.0f; }
}  // namespace

void CRenderView::SetupCamera() {
  if (!m_view) return;
  m_viewMatrix = m_view->GetFrame().ToViewMatrix();
  // Fog hides the far plane, so fogged scenes draw 1.5 times further.
  m_far = (m_fog && m_fog->enabled) ? m_view->GetFar() * 1.5f : m_view->GetFar();
  m_near = m_view->GetNear();
  m_invFar = Reciprocal(m_far);
  m_invNear = Reciprocal(m_near);
  m_invRange = Reciprocal(m_far - m_near);
  m_farTimesNear = m_far * m_near;
  m_orthographic = m_view->IsOrthographic();
  if (m_orthographic) {
    m_orthoScale = Reciprocal(m_view->GetOrthoWidth()) * 2.0f * m_halfSize;
    m_nearPixelScale = m_orthoScale;
    m_textureScale = 2.0f * m_orthoScale;
  } else {
    m_invTanHalfFov = Reciprocal(m_view->GetTanHalfFov());
    m_perspectiveScale = m_halfSize * m_invTanHalfFov;
    m_invPerspectiveScale = Reciprocal(m_perspectiveScale);
    m_nearPixelScale = m_invNear * m_perspectiveScale;
    m_textureScale = 2.0f * m_perspectiveScale;
  }
}

void CRenderView::EndFrame() {
  ++m_frameStamp;
  if (m_current) m_current->EndScene();
  m_current = m_default;
}

void CRenderView::Clear(bool depth, bool target, uint32_t colour) {
  if (m_current) m_current->Clear(depth, target, colour);
}

void CRenderView::SetZBufferMode(ZBufferMode mode) {
  if (m_current) m_current->SetZBufferMode(mode, false);
}

void CRenderView::EnableAlphaSorting(bool on) {
  if (on)
    m_flags |= kAlphaSorting;
  else
    m_flags &= ~kAlphaSorting;
}

void CRenderView::EnableLOD(bool on) {
  if (on)
    m_flags &= ~kLODOff;
  else
    m_flags |= kLODOff;
}

void CRenderView::SetObjectTransform(const COrientation& world) {
  ++m_batchStamp;
  m_objectStamp = m_batchStamp;
  m_lightsSelected = false;
  m_modelView = world.ToMatrix4() * m_viewMatrix;
  for (int i = 0; i < 3; ++i) m_mvRows[i] = Vector3(m_modelView.m[0][i], m_modelView.m[1][i], m_modelView.m[2][i]);
  m_mvTranslation = m_modelView.GetTranslation();
  if (!m_view) return;
  // Back-face tests run in object space, so the eye and the view direction go there; the exact
  // inverse keeps them right for scaled objects too.
  const COrientation& eye = m_view->GetFrame();
  bool ok = true;
  m_eyeInObject = CMeshInstance::WorldToLocalExact(world, eye.GetPosition(), ok);
  const Vector3 ahead = CMeshInstance::WorldToLocalExact(world, eye.GetPosition() + eye.GetXAxis(), ok);
  m_viewDirInObject = ahead - m_eyeInObject;
}

void CRenderView::ResetBatch() {
  ++m_batchStamp;
  m_vertices.clear();
  m_indices.clear();
  m_batchLightPage = nullptr;
}

void CRenderView::SetBatchAlpha(uint8_t alpha) {
  for (ScreenVertex& v : m_vertices) v.diffuse = (v.diffuse & 0x00FFFFFFu) | (static_cast<uint32_t>(alpha) << 24);
}

void CRenderView::PushBatchToFarPlane() {
  for (ScreenVertex& v : m_vertices) {
    v.z = 0.99999f;
    v.rhw = 0.000001f;
  }
}

void CRenderView::OffsetBatchDepth(float d) {
  for (ScreenVertex& v : m_vertices) {
    v.z -= d;
    v.rhw += d;
  }
}

void CRenderView::DrawBatch(CTexture* texture, CTexture* lightMap) {
  SendTriangles(m_vertices.data(), GetBatchVertexCount(), m_indices.data(), GetBatchTriangleCount(), texture, lightMap,
                m_drawFactor);
}

void CRenderView::SendTriangles(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices,
                                uint32_t triangles, CTexture* texture, CTexture* lightMap, float drawFactor) {
  if (!m_current || triangles == 0) return;
  m_current->DrawTriangles(vertices, vertexCount, indices, triangles, texture, lightMap, drawFactor);
  m_stats.trianglesSent += triangles;
}

void CRenderView::SetRelightRamp(float start, float scale) {
  m_relightRampStart = start;
  m_relightRampScale = scale;
}
