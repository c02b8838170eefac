// CRenderView: frame begin and end, render options and the calls that reach the back end.
#include "render/RenderView.h"

#include "render/RasterizerInterface.h"

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
  m_current->SetZBufferMode(1, false);
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

bool CRenderView::BeginFrame(ViewFrustum* view, uint32_t a, uint32_t b, uint32_t c) {
  if (view) m_view = view;
  // Only the default back end can be chosen through the word arguments.
  m_current = c ? m_default : nullptr;
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
  return m_current ? m_current->BeginScene(m_view, 0) : true;
}

void CRenderView::EndFrame() {
  ++m_frameStamp;
  if (m_current) m_current->EndScene();
  m_current = m_default;
}

void CRenderView::Clear(bool depth, bool target, uint32_t colour) {
  if (m_current) m_current->Clear(depth, target, colour);
}

void CRenderView::SetZBufferMode(int mode) {
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
