// CRenderView: the flat silhouette pass of the shadow textures and the section vertex-buffer hand-off.
#include <vector>

#include "core/math/ViewFrustum.h"
#include "render/RasterizerInterface.h"
#include "render/RenderView.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

constexpr uint32_t kSilhouetteColour = 0xFFFFFFFFu;
// Each triangle gets its own three vertices; 16-bit indices bound one batch.
constexpr uint32_t kBatchTriangles = 65535 / 3;

void Flush(CRasterizerInterface* rasterizer, std::vector<ScreenVertex>& vertices, std::vector<uint16_t>& indices) {
  if (vertices.empty()) return;
  rasterizer->DrawTriangles(vertices.data(), static_cast<uint32_t>(vertices.size()), indices.data(),
                            static_cast<uint32_t>(indices.size() / 3), nullptr, nullptr, 1.0f);
  vertices.clear();
  indices.clear();
}

}  // namespace

void CRenderView::DrawShadowCaster(CMeshInstance* instance) {
  if (!instance || !instance->IsShadowCaster() || !m_current || !m_view) return;
  std::vector<CMeshInstance*> pending{instance};
  std::vector<ScreenVertex> vertices;
  std::vector<uint16_t> indices;
  const COrientation& eye = m_view->GetFrame();
  while (!pending.empty()) {
    CMeshInstance* node = pending.back();
    pending.pop_back();
    for (const CMeshInstance::ChildEntry& child : node->GetChildren())
      if (child.instance) pending.push_back(child.instance);
    const ShadedMesh* mesh = node->GetMesh();
    if (!mesh || !mesh->indices || !mesh->positions) continue;
    const COrientation& world = node->GetWorldMatrix();
    for (uint32_t face = 0; face < mesh->faceCount; ++face) {
      ScreenVertex corners[3] = {};
      bool visible = true;
      for (int k = 0; k < 3 && visible; ++k) {
        const uint32_t v = mesh->indices[3 * static_cast<size_t>(face) + k];
        if (v >= mesh->vertexCount) {
          visible = false;
          break;
        }
        const ProjectedPoint p = ProjectPoint(eye.WorldToLocalPoint(world.LocalToWorldPoint(mesh->positions[v])));
        visible = p.rhw != kBehindNearPlane;
        corners[k] = ScreenVertex{p.x, p.y, p.z, p.rhw, kSilhouetteColour, 0xFF000000u, 0, 0, 0, 0};
      }
      if (!visible) continue;  // the silhouette pass does not clip at the near plane
      for (const ScreenVertex& c : corners) {
        indices.push_back(static_cast<uint16_t>(vertices.size()));
        vertices.push_back(c);
      }
      if (indices.size() / 3 >= kBatchTriangles) Flush(m_current, vertices, indices);
    }
  }
  Flush(m_current, vertices, indices);
}

void CRenderView::DrawMeshSection(CMeshSection* section) {
  if (!section || !m_current || !m_current->IsVertexBufferAvailable()) return;
  m_current->FillVertexBuffer(section, nullptr);
}
