#include "scene/lighting/PointLight.h"

#include <algorithm>

CPointLight::CPointLight(float r, float g, float b, float px, float py, float pz, uint32_t flags, float range,
                         float innerRadius, int32_t falloff) {
  m_type = kTypePoint;
  m_color = Vector3(r, g, b);
  const Vector3 position(px, py, pz);
  m_transform.SetPosition(position);
  m_flags = flags;
  m_falloff = falloff;
  m_influence = 1.0f;
  // Unbounded lights reach as far as their brightness makes worthwhile.
  if ((flags & kBounded) == 0 || range <= 0.0f) range = 10.0f * std::max(r, std::max(g, b));
  m_range = std::max(range, 0.0f);
  innerRadius = (flags & kBounded) != 0 ? std::max(innerRadius, 0.0f) : kUnbounded;
  m_innerRadius = std::min(innerRadius, m_range);
  DeriveRangeTerms();
  Box box;
  box.SetFromCenterRadius(position, m_range);
  SetBounds(box);
  MarkParametersSet();
}

float CPointLight::ShadowFactor(const Vector3& point, const Vector3& lightPos, COctree* tree, uint8_t markRay,
                                uint32_t rayMask) const {
  if ((m_flags & kCastsShadows) == 0 || tree == nullptr) return 1.0f;
  const Vector3 toLight = lightPos - point;
  const float approx = toLight.ApproxLength();
  // Start a little towards the light so the lit surface does not shadow itself.
  const Vector3 start = approx > 0.0f ? point + toLight * (0.005f / approx) : point;
  return ShadowRayBlocked(tree, start, lightPos, markRay, rayMask) ? 0.0f : 1.0f;
}

float CPointLight::ComputeInfluence(float x, float y, float z, COctree* shadowTree, const COrientation& frame,
                                    uint8_t markRay, uint32_t rayMask) {
  const Vector3 point(x, y, z);
  const float dSq = (point - frame.GetPosition()).LengthSquared();
  float influence = 0.0f;
  if (dSq <= m_rangeSq) {
    influence = ShadowFactor(point, frame.GetPosition(), shadowTree, markRay, rayMask);
    if (influence != 0.0f && dSq > m_innerRadiusSq) influence *= 1.0f - (dSq - m_innerRadiusSq) * m_invSpanSq;
  }
  m_influence = influence;
  return influence;
}

void CPointLight::Shade(Vector3& out, float facing, float term) const {
  // A point on the light itself (or behind a spot's start plane) has no direction to be lit from.
  if (term <= 0.0f) {
    out = Vector3();
    return;
  }
  out = m_color * (m_influence * facing / term);
}

void CPointLight::GetContribution(Vector3& out, const Vector3& normal, const Vector3& position,
                                  const COrientation& frame) const {
  const Vector3 toSurface = position - frame.GetPosition();
  ShadeByFalloff(out, normal, toSurface, toSurface.ApproxLength(), toSurface.LengthSquared());
}

void CPointLight::ShadeByFalloff(Vector3& out, const Vector3& normal, const Vector3& toSurface, float linear,
                                 float squared) const {
  const float nl = normal.Dot(toSurface);
  if (m_influence == 0.0f || nl > 0.0f) {
    out = Vector3();
    return;
  }
  switch (m_falloff) {
    case 0:
    case 1:
      Shade(out, -nl, linear);
      break;
    case 2:
      Shade(out, -nl, squared);
      break;
    case 3:
      Shade(out, -nl, linear * linear * linear);
      break;
    default:
      out = m_color * m_influence;
      break;
  }
}

void CPointLight::DeriveRangeTerms() {
  m_innerRadiusSq = m_innerRadius * m_innerRadius;
  m_rangeSq = m_range * m_range;
  m_spanSq = m_rangeSq - m_innerRadiusSq;
  m_invSpanSq = m_spanSq > 0.0f ? 1.0f / m_spanSq : 0.0f;
  m_invSpan = m_range > m_innerRadius ? 1.0f / (m_range - m_innerRadius) : 0.0f;
}
