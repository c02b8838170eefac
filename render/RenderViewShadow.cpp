// CRenderView: the shadow textures (made, loaded, drawn as flat silhouettes) and the section vertex-buffer hand-off.
#include <vector>

#include "core/math/ViewFrustum.h"
#include "render/PixelBufferDesc.h"
#include "render/RasterizerInterface.h"
#include "render/RenderView.h"
#include "render/Texture.h"
#include "scene/lighting/FogSettings.h"
#include "scene/lighting/FogState.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

constexpr uint32_t kSilhouetteColour = 0xFFFFFFFFu;
constexpr uint32_t kShadowBackground = 0xFF000000u;
// A render target kept in memory; the bits of 0x1C0000 stay clear.
constexpr uint32_t kShadowTextureFlags = 0x230000u;
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
      if (child.instance) pending.push_back(child.instance.get());
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

bool CRenderView::CanDrawVertexBuffers() const { return m_current != nullptr && m_current->IsVertexBufferAvailable(); }

std::unique_ptr<CTextureProperties> CRenderView::CreateShadowTexture(uint32_t side) const {
  auto texture = std::make_unique<CTexture>();
  texture->name = "Shadow Texture";
  texture->width = side;
  texture->height = side;
  // The render target's pixel format, so the silhouette can be drawn straight into it.
  if (const PixelBufferDesc* desc = m_current ? m_current->GetBackBufferDesc() : nullptr) {
    texture->bytesPerPixel = desc->bytesPerPixel;
    texture->redMask = desc->redMask;
    texture->greenMask = desc->greenMask;
    texture->blueMask = desc->blueMask;
  }
  texture->flags = kShadowTextureFlags;
  return texture;
}

// The scene hands back only textures this view made, so they are CTexture objects.
void CRenderView::LoadTexture(CTextureProperties* texture) {
  if (m_current) m_current->SelectTexture(static_cast<CTexture*>(texture));
}

bool CRenderView::DrawShadowTexture(CTextureProperties* target, ViewFrustum* projection, CMeshInstance* caster) {
  CRasterizerInterface* rasterizer = m_current;
  if (!rasterizer || !caster) return false;
  // A refused target keeps the old texture.
  if (!rasterizer->SetRenderTarget(static_cast<CTexture*>(target), 0, 0xFFFFFFFFu, 0)) return false;

  ViewFrustum* camera = m_view;
  FogState* fog = m_fog;
  LightList* lights = m_lights;
  FogState white;
  FogSettings constant;
  constant.constantFog = 1;
  white.Set(constant);
  SetScene(&white, lights);

  bool drawn = false;
  if (BeginFrame(projection, FrameViewport::kBackBuffer, FrameBackEnd::kDefault, FrameOutput::kDraw)) {
    Clear(true, true, kShadowBackground);
    caster->SetShadowCaster(true);
    DrawShadowCaster(caster);
    caster->SetShadowCaster(false);
    FlushSortedQueue();
    drawn = true;
  }
  EndFrame();

  SetView(camera);
  SetScene(fog, lights);
  rasterizer->SetRenderTarget(nullptr, 0, 0xFFFFFFFFu, 1);
  return drawn;
}
