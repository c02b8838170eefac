// CRenderView: camera-facing sprites and quads, screen polygons and the depth-sorted translucent queue.
#include <algorithm>
#include <cmath>

#include "core/math/ViewFrustum.h"
#include "render/image/Texture.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"
#include "scene/lighting/FogState.h"

namespace {

const uint16_t kQuadIndices[6] = {0, 1, 2, 1, 3, 2};
const uint16_t kTriangleIndices[3] = {0, 1, 2};

float ApproxDistance(const Vector3& d) {
  const float ax = std::fabs(d.x), ay = std::fabs(d.y), az = std::fabs(d.z);
  const float big = std::max(ax, std::max(ay, az));
  return big + 0.25f * (ax + ay + az - big);
}

// The texture is inset by 2 % on each side, so neighbouring cells of a sheet never bleed in.
float CornerU(int c) { return (c & 1) ? 0.98f : 0.02f; }
float CornerV(int c) { return c < 2 ? 0.02f : 0.98f; }

// A NaN key would break the ordering; it sorts as nearest.
float SortKey(float key) { return std::isnan(key) ? -3.4e38f : key; }

// A queued triangle's key is a third of its harmonic-mean depth. An orthographic camera gives
// every corner the rhw of the near plane, which would leave a see-through mesh's faces in mesh
// order, far ones over near ones; there the corners' depths are read back from z (linear in
// depth) and a third of their mean is the key.
float OrthographicKey(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, float nearD, float farD) {
  return (3.0f * nearD + (a.z + b.z + c.z) * (farD - nearD)) / 9.0f;
}

}  // namespace

void CRenderView::QueueTranslucentBatch(CTexture* texture) {
  const uint32_t base = static_cast<uint32_t>(m_store.size());
  m_store.insert(m_store.end(), m_vertices.begin(), m_vertices.end());
  for (size_t i = 0; i + 2 < m_indices.size(); i += 3) {
    const uint32_t a = base + m_indices[i], b = base + m_indices[i + 1], c = base + m_indices[i + 2];
    const float key = m_orthographic ? OrthographicKey(m_store[a], m_store[b], m_store[c], m_near, m_far)
                                     : 1.0f / (m_store[a].rhw + m_store[b].rhw + m_store[c].rhw);
    m_sortOrder.push_back(static_cast<uint32_t>(m_queue.size()));
    m_queue.push_back(QueueEntry{QueueKind::kTriangle, key, a, b, c, texture});
  }
}

bool CRenderView::PlaceSprite(const Vector3& point, SpritePlace& place) const {
  if (!m_view) return false;
  place.view = m_view->GetFrame().WorldToLocalPoint(point);
  if (place.view.x < m_near) return false;
  place.centre = ProjectPoint(place.view);
  if (place.centre.rhw == kBehindNearPlane) return false;
  float fog = 1.0f;
  if (m_fog && m_fog->enabled) {
    const float height = HeightFog(point.z);
    float v = ApproxDistance(place.view) * m_fog->inverseVisibilityDistance * height;
    if (v < m_fog->offset) v = m_fog->offset;
    fog = 1.0f - std::min(1.0f, std::max(0.0f, v));
  }
  place.specular = FogWord(fog);
  place.scale = m_orthographic ? m_orthoScale : place.centre.rhw * m_perspectiveScale;
  return true;
}

void CRenderView::QueueQuad(float depth, CTexture* texture) {
  const uint32_t first = static_cast<uint32_t>(m_store.size() - 4);
  if (m_currentQuadRun >= 0) {
    m_quadRuns.push_back(QuadRunRecord{depth, first, texture});
    ++m_queue[m_currentQuadRun].second;
    return;
  }
  m_sortOrder.push_back(static_cast<uint32_t>(m_queue.size()));
  m_queue.push_back(QueueEntry{QueueKind::kQuad, depth, first, 0, 0, texture});
}

void CRenderView::PushSpriteCorner(const SpritePlace& place, float dx, float dy, int corner, uint32_t colour) {
  const ProjectedPoint& c = place.centre;
  m_store.push_back(ScreenVertex{c.x + dx, c.y + dy, c.z, c.rhw, colour, place.specular, CornerU(corner),
                                 CornerV(corner), 0.0f, 0.0f});
}

void CRenderView::DrawSprite(const Vector3& point, float size, CTexture* texture, uint32_t colour) {
  SpritePlace place;
  if (!PlaceSprite(point, place)) return;
  const float h = size * place.scale;
  for (int corner = 0; corner < 4; ++corner)
    PushSpriteCorner(place, (corner & 1) ? h : -h, corner < 2 ? -h : h, corner, colour);
  if (texture) HintTextureScale(texture, h * 4.0f);
  QueueQuad(place.view.x, texture);
}

void CRenderView::DrawDirectedSprite(const Vector3& point, const Vector2& d, float size, CTexture* texture,
                                     uint32_t colour) {
  SpritePlace place;
  if (!PlaceSprite(point, place)) return;
  const float h = size * place.scale;
  for (int corner = 0; corner < 4; ++corner) {
    const float ox = ((corner & 1) ? d.y : -d.y) + ((corner & 2) ? -d.x : d.x);
    const float oy = ((corner & 1) ? -d.x : d.x) + ((corner & 2) ? -d.y : d.y);
    PushSpriteCorner(place, h * ox, h * oy, corner, colour);
  }
  QueueQuad(place.view.x, texture);
}

void CRenderView::DrawParticleQuad(const Vector3& point, const Vector2& a, const Vector2& b, CTexture* texture,
                                   uint32_t colour) {
  SpritePlace place;
  if (!PlaceSprite(point, place)) return;
  for (int corner = 0; corner < 4; ++corner) {
    Vector2 o = (corner & 1) ? Vector2(-a.x, -a.y) : a;
    o = (corner & 2) ? Vector2(o.x - b.x, o.y - b.y) : Vector2(o.x + b.x, o.y + b.y);
    PushSpriteCorner(place, place.scale * o.x, place.scale * o.y, corner, colour);
  }
  QueueQuad(place.view.x, texture);
}

void CRenderView::DrawQuadViewAxes(const Vector3& point, const Vector3& a, const Vector3& b, CTexture* texture,
                                   uint32_t colour) {
  if (!m_view) return;
  const Vector3 centre = m_view->GetFrame().WorldToLocalPoint(point);
  if (centre.x < m_near) return;
  const float height = HeightFog(point.z);
  float largest = m_invFar;
  for (int corner = 0; corner < 4; ++corner) {
    const Vector3 p = centre + ((corner & 2) ? -b : b) + ((corner & 1) ? -a : a);
    // A quad reaching behind the near plane is dropped whole; its corners so far stay unreferenced.
    if (p.x <= m_near) return;
    const ProjectedPoint s = ProjectPoint(p);
    largest = std::max(largest, s.rhw);
    m_store.push_back(ScreenVertex{s.x, s.y, s.z, s.rhw, colour, FogWord(DistanceFog(p, height)), CornerU(corner),
                                   corner >= 2 ? 0.02f : 0.98f, 0.0f, 0.0f});
  }
  if (texture) HintTextureScale(texture, m_orthographic ? m_textureScale : largest * m_textureScale);
  QueueQuad(centre.x, texture);
}

void CRenderView::DrawQuadWorldAxes(const Vector3& point, const Vector3& a, const Vector3& b, CTexture* texture,
                                    uint32_t colour) {
  if (!m_view) return;
  const COrientation& eye = m_view->GetFrame();
  DrawQuadViewAxes(point, eye.WorldToLocalVector(a), eye.WorldToLocalVector(b), texture, colour);
}

void CRenderView::DrawBeam(const Vector3& a, const Vector3& b, float width, CTexture* texture, uint32_t colour,
                           uint32_t endColour) {
  if (!m_view) return;
  const COrientation& eye = m_view->GetFrame();
  const Vector3& forward = eye.GetXAxis();
  Vector3 p = a, q = b;
  const float da = (a - eye.GetPosition()).Dot(forward), db = (b - eye.GetPosition()).Dot(forward);
  if (da < m_near && db < m_near) return;
  if (da < m_near) p = a + (b - a) * ((m_near - da) / (db - da));
  if (db < m_near) q = b + (a - b) * ((m_near - db) / (da - db));
  const Vector3 mid = (p + q) * 0.5f;
  const Vector3 half = (q - p) * 0.5f;
  Vector3 side = half.Cross(mid - eye.GetPosition());
  float length = side.ApproxLength();
  if (length == 0.0f) length = 1.0f;
  side = side * (width / length);
  const size_t before = m_store.size();
  DrawQuadWorldAxes(mid, side, half, texture, colour);
  if (m_store.size() == before + 4) {
    // Corners 0 and 1 lie at the end reached by adding the half segment: the far end, b.
    m_store[before].diffuse = endColour;
    m_store[before + 1].diffuse = endColour;
  }
}

void CRenderView::DrawScreenQuad(const ScreenPolygonPoint* points, CTexture* texture, uint32_t count) {
  ResetBatch();
  if (!points || count < 3) return;
  float scale = 0.0f;
  for (uint32_t i = 0; i < count; ++i) {
    const ScreenPolygonPoint& p = points[i];
    m_vertices.push_back(ScreenVertex{p.x, p.y, 0.0f, 1.0f, p.colour, 0xFF000000u, p.u, p.v, 0.0f, 0.0f});
    if (i == 0) continue;
    const ScreenPolygonPoint& o = points[i - 1];
    const float texels = std::fabs(p.u - o.u) + std::fabs(p.v - o.v);
    if (texels > 0.0f) scale = std::max(scale, (std::fabs(p.x - o.x) + std::fabs(p.y - o.y)) / texels);
  }
  if (texture) HintTextureScale(texture, scale);
  const uint16_t last = static_cast<uint16_t>(count - 1);
  for (uint32_t i = 2; i < count; ++i)
    m_indices.insert(m_indices.end(), {last, static_cast<uint16_t>(last - i), static_cast<uint16_t>(last - i + 1)});
  DrawBatch(texture, nullptr);
  ResetBatch();
}

void CRenderView::BeginQuadRun(const Box& bounds) {
  if (!m_view) return;
  const float depth = m_view->GetFrame().WorldToLocalPoint(bounds.GetCenter()).x;
  m_currentQuadRun = static_cast<int32_t>(m_queue.size());
  m_sortOrder.push_back(static_cast<uint32_t>(m_queue.size()));
  m_queue.push_back(QueueEntry{QueueKind::kQuadRun, depth, static_cast<uint32_t>(m_quadRuns.size()), 0, 0, nullptr});
}

void CRenderView::EndQuadRun() {
  if (m_currentQuadRun < 0) return;
  const QueueEntry& run = m_queue[m_currentQuadRun];
  std::stable_sort(m_quadRuns.begin() + run.first, m_quadRuns.begin() + run.first + run.second,
                   [](const QuadRunRecord& a, const QuadRunRecord& b) { return SortKey(a.depth) > SortKey(b.depth); });
  m_currentQuadRun = -1;
}

void CRenderView::FlushSortedQueue() {
  if (m_queue.empty()) return;
  // Far to near; entries at equal depth keep the order they were queued in.
  std::stable_sort(m_sortOrder.begin(), m_sortOrder.end(), [this](uint32_t a, uint32_t b) {
    return SortKey(m_queue[a].key) > SortKey(m_queue[b].key);
  });
  if (m_current) {
    m_current->SetBackfaceCulling(false);
    m_current->SetZWrite(false);
  }
  for (uint32_t index : m_sortOrder) {
    const QueueEntry& e = m_queue[index];
    switch (e.kind) {
      case QueueKind::kQuad:
        SendTriangles(&m_store[e.first], 4, kQuadIndices, 2, e.texture, nullptr, m_drawFactor);
        if (m_current) m_stats.quadTriangles += 2;
        break;
      case QueueKind::kTriangle: {
        ScreenVertex corners[3] = {m_store[e.first], m_store[e.second], m_store[e.third]};
        SendTriangles(corners, 3, kTriangleIndices, 1, e.texture, nullptr, m_drawFactor);
        break;
      }
      case QueueKind::kBuffer:
        if (m_current) m_current->DrawQueuedBuffer(e.instance, 2);
        break;
      case QueueKind::kQuadRun:
        for (uint32_t r = e.first; r < e.first + e.second && r < m_quadRuns.size(); ++r) {
          SendTriangles(&m_store[m_quadRuns[r].first], 4, kQuadIndices, 2, m_quadRuns[r].texture, nullptr,
                        m_drawFactor);
          if (m_current) m_stats.quadTriangles += 2;
        }
        break;
      case QueueKind::kRange:
        if (m_current) m_current->DrawBufferRange(e.first, e.second);
        break;
    }
  }
  ResetQueue();
  ResetBatch();
  if (m_current) {
    m_current->SetBackfaceCulling(true);
    m_current->SetZWrite(true);
  }
}
