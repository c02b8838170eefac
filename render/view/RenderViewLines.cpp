// CRenderView: world-space lines, flat triangles and quads, sent to the back end at once.
#include <utility>
#include <vector>

#include "core/math/ViewFrustum.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderDebug.h"
#include "render/view/RenderView.h"

namespace {
constexpr uint32_t kNoFog = 0xFF000000u;
const uint16_t kQuadIndices[6] = {0, 1, 2, 1, 3, 2};
}  // namespace

void CRenderView::DrawLine3D(const Vector3& a, const Vector3& b, uint32_t colour) {
  if (!m_view) return;
  const COrientation& eye = m_view->GetFrame();
  ClipCorner ends[2];
  const Vector3 points[2] = {eye.WorldToLocalPoint(a), eye.WorldToLocalPoint(b)};
  for (int i = 0; i < 2; ++i) {
    const ProjectedPoint p = ProjectPoint(points[i]);
    ends[i] = ClipCorner{points[i], ScreenVertex{p.x, p.y, p.z, p.rhw, colour, kNoFog, 0, 0, 0, 0}};
  }
  const bool behind0 = ends[0].view.x <= m_near, behind1 = ends[1].view.x <= m_near;
  if (behind0 && behind1) return;
  ScreenVertex line[2] = {ends[0].vertex, ends[1].vertex};
  // The end behind the camera moves along the line onto the near plane.
  if (behind0) line[0] = ClipEdge(ends[0], ends[1]);
  if (behind1) line[1] = ClipEdge(ends[1], ends[0]);
  static const uint16_t kLineIndices[2] = {0, 1};
  if (m_current) m_current->DrawLines(line, 2, kLineIndices, 1);
}

void CRenderView::DrawTriangle3D(const Vector3& a, const Vector3& b, const Vector3& c, uint32_t colour,
                                 bool twoSided) {
  if (!m_view) return;
  const COrientation& eye = m_view->GetFrame();
  ClipCorner corners[3];
  const Vector3 world[3] = {a, b, c};
  for (int i = 0; i < 3; ++i) {
    const Vector3 v = eye.WorldToLocalPoint(world[i]);
    const ProjectedPoint p = ProjectPoint(v);
    corners[i] = ClipCorner{v, ScreenVertex{p.x, p.y, p.z, p.rhw, colour, kNoFog, 0, 0, 0, 0}};
  }
  // Corners behind the camera are clipped as mesh faces are, never sent with the behind mark.
  ++m_batchStamp;
  std::vector<ScreenVertex> savedVertices;
  std::vector<uint16_t> savedIndices;
  savedVertices.swap(m_vertices);
  savedIndices.swap(m_indices);
  AppendClippedTriangle(corners);
  if (!m_indices.empty()) {
    SendTriangles(m_vertices.data(), GetBatchVertexCount(), m_indices.data(), GetBatchTriangleCount(), nullptr,
                  nullptr, 0.0f);
    if (twoSided) {
      for (size_t i = 0; i < m_indices.size(); i += 3) std::swap(m_indices[i + 1], m_indices[i + 2]);
      SendTriangles(m_vertices.data(), GetBatchVertexCount(), m_indices.data(), GetBatchTriangleCount(), nullptr,
                    nullptr, 0.0f);
    }
  }
  m_vertices.swap(savedVertices);
  m_indices.swap(savedIndices);
}

void CRenderView::DrawQuad3D(const Vector3 corners[4], uint32_t colour, CTexture* texture, CTexture* lightMap) {
  if (!m_view) return;
  const COrientation& eye = m_view->GetFrame();
  ScreenVertex quad[4];
  for (int i = 0; i < 4; ++i) {
    const ProjectedPoint p = ProjectPoint(eye.WorldToLocalPoint(corners[i]));
    if (p.rhw == kBehindNearPlane) return;
    const float u = (i & 1) ? 1.0f : 0.0f, v = (i & 2) ? 1.0f : 0.0f;
    quad[i] = ScreenVertex{p.x, p.y, p.z, p.rhw, colour, kNoFog, u, v, u, v};
  }
  SendTriangles(quad, 4, kQuadIndices, 2, texture, lightMap, 0.0f);
}

void CRenderView::DrawDebugSphere(const Vector3& centre, float radius, uint32_t colour) {
  COrientation frame;
  frame.SetPosition(centre);
  ::DrawDebugSphere(*this, frame, radius, colour);
}
