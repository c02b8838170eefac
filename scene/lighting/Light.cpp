#include "scene/lighting/Light.h"

#include "core/data/DebugPrintf.h"
#include "core/spatial/Octree.h"
#include "core/math/RayInfo.h"
#include "scene/lighting/AmbientLight.h"
#include "scene/lighting/DirectionalLight.h"
#include "scene/lighting/LightRecord.h"
#include "scene/lighting/PointLight.h"
#include "scene/lighting/SpotLight.h"

namespace {
uint32_t g_nextSerial = 1;
}  // namespace

CLight::CLight() : m_serial(g_nextSerial++) { AddBoundFlags(kLight); }

void CLight::MarkParametersSet() { SetBoundFlags(kLight | (GetBoundFlags() & kFiled)); }

float CLight::ComputeInfluence(float, float, float, COctree*, const COrientation&, uint8_t, uint32_t) {
  // A bare light lights nothing.
  m_influence = 0.0f;
  return 0.0f;
}

void CLight::GetContribution(Vector3& out, const Vector3&, const Vector3&, const COrientation&) const {
  out = Vector3();
}

bool CLight::ShadowRayBlocked(COctree* tree, const Vector3& from, const Vector3& to, uint8_t markRay,
                              uint32_t rayMask) {
  if (tree == nullptr) return false;
  RayInfo ray(from, to);
  ray.mode = markRay != 0 ? 0x81u : 0x1u;
  CBoundedObject* hit = nullptr;
  return tree->RayQuery(ray, &hit, rayMask, false, 0.5f);
}

std::unique_ptr<CLight> CLight::CreateFromRecord(const uint8_t* data, size_t size) {
  LightRecord rec;
  if (!rec.Read(data, size)) return nullptr;
  const Vector3& c = rec.color;
  const Vector3& p = rec.frame.GetPosition();
  const Vector3& x = rec.frame.GetXAxis();
  switch (rec.type) {
    case 1:
      return std::make_unique<CAmbientLight>(c.x, c.y, c.z, rec.region, rec.flags, rec.priority);
    case 2:
      return std::make_unique<CDirectionalLight>(c.x, c.y, c.z, p.x, p.y, p.z, x.x, x.y, x.z, rec.flags, rec.outerAngle,
                                   rec.innerAngle, rec.range, rec.innerRadius);
    case 3:
      return std::make_unique<CPointLight>(c.x, c.y, c.z, p.x, p.y, p.z, rec.flags, rec.range, rec.innerRadius, rec.falloff);
    case 4:
      return std::make_unique<CSpotLight>(c.x, c.y, c.z, rec.frame, rec.range, rec.innerRadius, rec.outerAngle, rec.innerAngle,
                            rec.falloff, rec.flags);
    default:
      DebugPrintf("CLight: unknown light type %d in a light record\n", static_cast<int>(rec.type));
      return nullptr;
  }
}
