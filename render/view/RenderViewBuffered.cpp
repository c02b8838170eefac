// CRenderView: the buffered paths, where a back end keeps meshes and world sections in buffers
// of its own and the view only lights, hints and queues them.
#include <algorithm>

#include "core/spatial/Octree.h"
#include "core/math/ViewFrustum.h"
#include "render/image/Texture.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"
#include "scene/lighting/LightList.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshSection.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/patch/CurvedPatchInstance.h"

namespace {
constexpr uint32_t kBufferedLightRayMask = 1024;  // shadow rays of the dynamic lighting
}  // namespace

bool CRenderView::CanDrawVertexBuffers() const { return m_current != nullptr && m_current->IsVertexBufferAvailable(); }

float CRenderView::StartFromDepth(float depth) const {
  if (depth > m_near) return 1.0f / depth;
  return m_near > 0.0f ? 1.0f / m_near : 0.0f;
}

void CRenderView::HintBufferedTexture(CTextureProperties* properties, float start) {
  if (properties == nullptr) return;
  // Every texture object a mesh holds is made by the render folder's loaders.
  CTexture* texture = static_cast<CTexture*>(properties);
  if (texture->dataPresent == 0) texture->Load(nullptr, true);
  if (m_orthographic) {
    HintTextureScale(texture, m_textureScale);
    return;
  }
  float nearest = start;
  for (const ScreenVertex& v : m_vertices) nearest = std::max(nearest, v.rhw);
  HintTextureScale(texture, nearest * m_textureScale);
}

void CRenderView::UpdateInstanceTextureHints(CMeshInstance* instance) {
  if (!instance || !instance->GetMesh() || !m_view) return;
  CMeshInstance* root = instance->GetRootInstance();
  if (root == nullptr) root = instance;
  if (root->GetTextureHintFrame() == m_frameStamp) return;
  root->SetTextureHintFrame(m_frameStamp);
  instance->UpdateWorldMatrix();
  const COrientation& eye = m_view->GetFrame();
  const Vector3 origin = instance->GetWorldMatrix().GetPosition();
  const float depth = (origin - eye.GetPosition()).Dot(eye.GetXAxis()) -
                      instance->GetWorldScale() * instance->GetMesh()->radius;
  const float start = StartFromDepth(depth);
  const ShadedMesh& mesh = *instance->GetMesh();
  for (uint32_t slot = 0; slot < mesh.GetSlotCount(); ++slot) HintBufferedTexture(instance->GetTexture(slot), start);
}

void CRenderView::UpdateSectionTextureHints(CMeshSection* section) {
  CMeshInstance* instance = section ? section->GetOwnerInstance() : nullptr;
  if (!instance || !instance->GetMesh() || !m_view) return;
  instance->UpdateWorldMatrix();
  const Vector3 eye = m_view->GetFrame().GetPosition();
  for (const MeshFaceGroup& group : section->GetGroups()) {
    const Box& box = group.bounds;
    const bool inside = eye.x >= box.min.x && eye.x <= box.max.x && eye.y >= box.min.y && eye.y <= box.max.y &&
                        eye.z >= box.min.z && eye.z <= box.max.z;
    float depth = m_near;
    if (!inside) {
      depth = (box.GetCorner(0) - eye).ApproxLength();
      for (int corner = 1; corner < 8; ++corner) depth = std::min(depth, (box.GetCorner(corner) - eye).ApproxLength());
    }
    HintBufferedTexture(instance->GetMesh()->GetTexture(group.key), StartFromDepth(depth));
  }
}

void CRenderView::DrawMeshSection(CMeshSection* section) {
  if (!section || !CanDrawVertexBuffers()) return;
  UpdateSectionTextureHints(section);
  CMeshInstance* instance = section->GetOwnerInstance();
  if (m_patchLOD && m_view && instance && section->GetPatchIndex() >= 0) {
    if (CurvedPatchInstance* patches = instance->GetPatchState()) patches->UpdateLOD(*m_view);
  }
  m_current->FillVertexBuffer(section, this);
}

void CRenderView::QueueBufferRange(float key, uint32_t first, uint32_t count) {
  m_sortOrder.push_back(static_cast<uint32_t>(m_queue.size()));
  m_queue.push_back(QueueEntry{QueueKind::kRange, key, first, count, 0, nullptr});
}

void CRenderView::DrawBufferedInstance(CMeshInstance* instance) {
  if (!instance || !instance->GetMesh() || !m_view || !CanDrawVertexBuffers()) return;
  instance->UpdateWorldMatrix();
  const Vector3 origin = instance->GetWorldMatrix().GetPosition();
  if (m_lights != nullptr) {
    // The instance must not shadow itself: its own objects are left out of the light rays.
    COctree* octree = m_lights->GetOctree();
    if (octree) octree->SetRayExclusion(instance->GetCurrentLOD());
    ObjectLightState& state = instance->GetLightingState();
    m_lights->UpdateObjectLights(state, origin, m_worldTime, kBufferedLightRayMask);
    m_lights->SelectByIndices(state);
    if (octree) octree->SetRayExclusion(nullptr);
  }
  UpdateInstanceTextureHints(instance);
  if (m_patchLOD) {
    if (CurvedPatchInstance* patches = instance->GetPatchState()) patches->UpdateLOD(*m_view);
  }
  CMeshInstance* root = instance->GetRootInstance();
  instance->GetMesh()->SetFrame(static_cast<uint32_t>((root ? root : instance)->GetFrame()));
  if (!m_current->DrawQueuedBuffer(instance, 1)) return;
  const COrientation& eye = m_view->GetFrame();
  const float key = (origin - eye.GetPosition()).Dot(eye.GetXAxis());
  m_sortOrder.push_back(static_cast<uint32_t>(m_queue.size()));
  m_queue.push_back(QueueEntry{QueueKind::kBuffer, key, 0, 0, 0, nullptr, instance});
}
