// ShadowRenderer: the projector pool, the caster search around the camera and the per-frame hand-out.
#include "scene/lighting/ShadowRenderer.h"

#include <algorithm>
#include <cmath>

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/spatial/BoundedObject.h"
#include "core/spatial/Octree.h"
#include "core/math/ViewFrustum.h"
#include "scene/mesh/SceneDrawInterface.h"
#include "scene/lighting/Light.h"
#include "scene/lighting/LightList.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/lighting/ShadowProjector.h"

namespace {

constexpr uint32_t kShadowRayMask = 1024;
constexpr uint32_t kCastsProjectedShadowLight = 0x4;

// Half-extent length over the approximate distance to the camera; 0 at the camera itself.
float ApparentSize(const Box& box, const Vector3& eye) {
  const float distance = (box.GetCenter() - eye).ApproxLength();
  if (!(distance > 0.0f)) return 0.0f;
  return (box.GetSize() * 0.5f).Length() / distance;
}

}  // namespace

ShadowRenderer::~ShadowRenderer() { Clear(); }

void ShadowRenderer::Setup(CSceneDrawInterface* view, COctree* octree, const uint32_t* counts, size_t countLength,
                           float maxDistance) {
  Clear();
  m_view = view;
  m_octree = octree;
  m_maxDistance = maxDistance;
  if (!counts) return;
  const size_t last = std::min<size_t>(countLength, kSizeExponents);
  for (size_t i = last; i-- > 0;)
    for (uint32_t n = 0; n < counts[i]; ++n)
      m_projectors.push_back(std::make_unique<ShadowProjector>(this, static_cast<uint32_t>(i), 1.0f));
}

void ShadowRenderer::Clear() {
  m_projectors.clear();
}

float ShadowRenderer::ComputeReach(const ViewFrustum& camera) const {
  float reach = m_maxDistance;
  if (camera.IsOrthographic()) {
    if (camera.GetOrthoWidth() > 0.0f) reach = m_maxDistance / camera.GetOrthoWidth();
  } else {
    const float tangent = camera.GetTanHalfFov();
    // A zero angle would divide by zero; the maximum distance is the sane bound then.
    if (tangent > 0.0f && m_maxDistance >= 0.0f) reach = std::sqrt(m_maxDistance / (2.0f * tangent));
  }
  return reach * m_reachFactor;
}

Box ShadowRenderer::ComputeCasterBox(const ViewFrustum& camera) const {
  const float reach = ComputeReach(camera);
  const COrientation& frame = camera.GetFrame();
  Box box;
  box.SetFromCenterRadius(frame.position, 0.1f * reach);
  for (int i = 0; i < 4; ++i) {
    Vector3 corner;
    camera.GetCornerAtDistance(corner, i, reach);
    box.ExtendByPoint(frame.LocalToWorldPoint(corner));
  }
  return box;
}

void ShadowRenderer::CollectCasters(const ViewFrustum& camera, std::vector<CMeshInstance*>& out) {
  COctree::ObjectList found;
  m_octree->QueryBox(ComputeCasterBox(camera), &found, CBoundedObject::kCastsProjectedShadow);
  const Vector3 eye = camera.GetFrame().position;
  std::vector<std::pair<float, CBoundedObject*>> sized;
  sized.reserve(found.size());
  for (CBoundedObject* object : found) sized.emplace_back(ApparentSize(object->GetBounds(), eye), object);
  std::stable_sort(sized.begin(), sized.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  for (const auto& entry : sized) {
    CMeshInstance* instance = entry.second->GetOwnerInstance();
    // Several bounded objects of one caster would otherwise cast its shadow several times.
    if (instance && std::find(out.begin(), out.end(), instance) == out.end()) out.push_back(instance);
  }
}

void ShadowRenderer::Assign(size_t k, CMeshInstance* caster, CLight* light) {
  const uint32_t side = m_projectors[k]->GetTextureSide();
  for (size_t j = k; j < m_projectors.size() && m_projectors[j]->GetTextureSide() == side; ++j) {
    if (m_projectors[j]->GetCaster() == caster && m_projectors[j]->GetLight() == light) {
      std::swap(m_projectors[j], m_projectors[k]);
      return;
    }
  }
  m_projectors[k]->Assign(caster, light);
}

void ShadowRenderer::Render() {
  const CGameWorld* world = GetGameWorld();
  Render(world ? static_cast<float>(world->GetWorldTime()) : 0.0f);
}

void ShadowRenderer::Render(float now) {
  ViewFrustum* camera = m_view ? m_view->GetView() : nullptr;
  LightList* lights = m_view ? m_view->GetLightList() : nullptr;
  if (!m_octree || !camera || !lights || m_projectors.empty()) return;

  std::vector<CMeshInstance*> casters;
  CollectCasters(*camera, casters);
  size_t next = 0;
  for (CMeshInstance* caster : casters) {
    if (next == m_projectors.size()) break;
    ObjectLightState& state = caster->GetLightingState();
    // Shadow rays must pass over the caster's own objects, or it would shadow itself.
    m_octree->SetRayExclusion(caster->GetCurrentLOD());
    lights->UpdateObjectLights(state, caster->GetWorldMatrix().position, now, kShadowRayMask);
    m_octree->SetRayExclusion(nullptr);
    for (const LightCacheEntry& entry : state.entries) {
      if (next == m_projectors.size()) break;
      CLight* light = lights->GetLight(entry.index);
      if (!light || light != entry.light) continue;  // the cache names a light that has gone
      light->SetInfluence(entry.influence);
      if ((light->GetLightFlags() & kCastsProjectedShadowLight) == 0 || entry.influence == 0.0f) continue;
      Assign(next, caster, light);
      m_projectors[next++]->Update();
    }
  }
  for (; next < m_projectors.size(); ++next) m_projectors[next]->Clear();
}
