// CRenderView: frame begin and end, render options and the calls that reach the back end.
#include "render/RenderView.h"

#include "core/math/ViewFrustum.h"
#include "render/RasterizerInterface.h"
#include "scene/lighting/FogState.h"

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

bool CRenderView::BeginFrame(ViewFrustum* view, FrameViewport viewport, FrameBackEnd backEnd,
                             FrameOutput output) {
  if (view) m_view = view;
  m_current = output != FrameOutput::kTransformOnly ? m_default : nullptr;
  ++m_batchStamp;
  m_frameStartStamp = m_batchStamp;
  if (m_current) {
    m_current->SetBackfaceCulling(true);
    m_current->SetZWrite(true);
    m_current->SetScene(m_fog);
  }
  const PixelBufferDesc* desc = m_current ? m_current->GetBackBufferDesc() : nullptr;
  if (desc && desc->width && desc->height)
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

ProjectedPoint CRenderView::ProjectPoint(const Vector3& p) const {
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

// The sorted translucent queue and the mesh paths arrive with the scene drawing; until
// then nothing is queued, so there is nothing to flush or draw.
void CRenderView::FlushSortedQueue() {}

void CRenderView::DrawMesh(CMeshInstance* instance) {}

void CRenderView::DrawBackgroundMesh(CMeshInstance* instance) {}
