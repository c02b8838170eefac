#include "scene/lighting/AmbientLight.h"

#include <cfloat>

namespace {
// Lights are evaluated on the main thread only; the list resets this before each walk.
float g_bestPriority = -FLT_MAX;
}  // namespace

void CAmbientLight::ResetBestPriority() { g_bestPriority = -FLT_MAX; }
float CAmbientLight::GetBestPriority() { return g_bestPriority; }

CAmbientLight::CAmbientLight(float r, float g, float b, const Box& region, uint32_t flags, float priority) {
  m_type = kTypeAmbient;
  m_color = Vector3(r, g, b);
  m_flags = flags;
  m_priority = priority;
  SetBounds(region);
  MarkParametersSet();
}

float CAmbientLight::ComputeInfluence(float x, float y, float z, COctree*, const COrientation&, uint8_t, uint32_t) {
  const Box& box = GetBounds();
  const bool inside = x >= box.min.x && x <= box.max.x && y >= box.min.y && y <= box.max.y && z >= box.min.z &&
                      z <= box.max.z;
  if (!inside) {
    m_influence = 0.0f;
  } else if ((m_flags & kExclusive) != 0 && m_priority < g_bestPriority) {
    m_influence = 0.0f;
  } else {
    m_influence = 1.0f;
    g_bestPriority = m_priority;
  }
  return m_influence;
}

void CAmbientLight::GetContribution(Vector3& out, const Vector3&, const Vector3&, const COrientation&) const {
  out = m_color * m_influence;
}
