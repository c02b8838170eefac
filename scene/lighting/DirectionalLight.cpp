#include "scene/lighting/DirectionalLight.h"

#include <algorithm>
#include <cmath>

CDirectionalLight::CDirectionalLight(float r, float g, float b, float px, float py, float pz, float dx, float dy,
                                     float dz, uint32_t flags, float length, float innerLength, float radius,
                                     float innerRadius) {
  m_type = kTypeDirectional;
  m_color = Vector3(r, g, b);
  m_flags = flags;
  m_influence = 1.0f;
  const Vector3 position(px, py, pz);
  m_transform.SetPosition(position);
  if ((flags & kBounded) == 0) {
    length = innerLength = radius = innerRadius = kUnbounded;
  } else {
    // Negative extents would turn the cylinder's tests and box inside out.
    length = std::max(length, 0.0f);
    radius = std::max(radius, 0.0f);
    innerLength = std::min(std::max(innerLength, 0.0f), length);
    innerRadius = std::min(std::max(innerRadius, 0.0f), radius);
  }
  m_length = length;
  m_innerLength = innerLength;
  m_radius = radius;
  m_innerRadius = innerRadius;
  m_transform.LookAt(position + Vector3(dx, dy, dz), true);

  m_radiusSq = radius * radius;
  m_innerRadiusSq = innerRadius * innerRadius;
  m_radialSpan = radius - innerRadius;
  m_axialSpan = length - innerLength;
  m_invRadialSpan = m_radialSpan > 0.0f ? 1.0f / m_radialSpan : 0.0f;
  m_invAxialSpan = m_axialSpan > 0.0f ? 1.0f / m_axialSpan : 0.0f;

  Box start, end;
  start.SetFromCenterRadius(position, radius);
  end.SetFromCenterRadius(position + m_transform.GetXAxis() * length, radius);
  SetBounds(start.Union(end));
  MarkParametersSet();
}

float CDirectionalLight::ComputeInfluence(float x, float y, float z, COctree* shadowTree, const COrientation& frame,
                                          uint8_t markRay, uint32_t rayMask) {
  const Vector3 point(x, y, z);
  const Vector3 local = frame.WorldToLocalPoint(point);
  const float rSq = local.y * local.y + local.z * local.z;
  m_influence = 0.0f;
  if (local.x < 0.0f || local.x > m_length || rSq > m_radiusSq) return 0.0f;
  float influence = 1.0f;
  if ((m_flags & kCastsShadows) != 0 && shadowTree != nullptr) {
    const Vector3& axis = frame.GetXAxis();
    if (ShadowRayBlocked(shadowTree, point - axis * 0.005f, point - axis * local.x, markRay, rayMask)) return 0.0f;
  }
  if (rSq > m_innerRadiusSq && m_invRadialSpan > 0.0f) influence *= 1.0f - (std::sqrt(rSq) - m_innerRadius) * m_invRadialSpan;
  if (local.x > m_innerLength && m_invAxialSpan > 0.0f) influence *= 1.0f - (local.x - m_innerLength) * m_invAxialSpan;
  m_influence = influence;
  return influence;
}

void CDirectionalLight::GetContribution(Vector3& out, const Vector3& normal, const Vector3&,
                                        const COrientation& frame) const {
  const float d = frame.GetXAxis().Dot(normal);
  out = d <= 0.0f ? m_color * (-d * m_influence) : Vector3();
}
