// LightingRefresh: the relighting request that follows a park piece being placed, moved or removed.
#include "scene/lighting/LightingRefresh.h"

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/spatial/BoundedObject.h"
#include "core/spatial/Octree.h"
#include "core/math/CullVolume.h"
#include "scene/lighting/Light.h"
#include "scene/lighting/LightList.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/lighting/ShadowProjector.h"

namespace {
constexpr uint32_t kShadowLightMask = 0x1 | 0x4;
}  // namespace

void LightingRefresh::CollectLightFrustums(LightList& lights, const Box& box, std::vector<ViewFrustum>& out) {
  lights.SelectLights(box, kShadowLightMask);
  const Vector3 centre = box.GetCenter();
  const float radius = box.GetSize().Length() * 0.5f;
  for (size_t i = 0; i < lights.GetActiveCount(); ++i) {
    ViewFrustum f;
    if (SetupShadowProjection(f, *lights.GetActiveLight(i), centre, radius)) out.push_back(f);
  }
}

void LightingRefresh::InvalidateBox(LightList& lights, COctree& octree, const Box& box) {
  std::vector<ViewFrustum> frustums;
  CollectLightFrustums(lights, box, frustums);
  COctree::ObjectList found;
  for (ViewFrustum& f : frustums) {
    // The closed frustum (near and far planes): a directional light's view is a box, not a pyramid.
    f.BuildCullVolume(CullVolume::kFrustum);
    octree.QueryVolume(f.GetCullVolume(), &found, CBoundedObject::kShadowLightTarget, COctree::kLightingQueryDepth);
    f.ReleaseCullVolume();
  }
  for (CBoundedObject* object : found) {
    CMeshInstance* instance = object->GetOwnerInstance();
    // The world mesh is drawn through sections and relit face by face, not wholesale.
    if (instance && instance->GetPartialDrawGroupCount() == 0) instance->InvalidateLighting(true);
  }
}

void LightingRefresh::InvalidateBox(const Box& box) {
  CGameWorld* world = GetGameWorld();
  if (!world || !world->GetLightList()) return;
  InvalidateBox(*world->GetLightList(), world->GetOctree(), box);
}
