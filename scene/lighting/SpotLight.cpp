#include "scene/lighting/SpotLight.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {
constexpr float kHalfDegreeToRadians = 0.008726646f;  // half the angle, in radians
}  // namespace

CSpotLight::CSpotLight(float r, float g, float b, const COrientation& frame, float range, float innerRadius,
                       float outerAngle, float innerAngle, int32_t falloff, uint32_t flags) {
  m_color = Vector3(r, g, b);
  m_transform = frame;
  m_type = kTypeSpot;
  MarkParametersSet();
  m_range = std::min(std::max(range, 0.0f), FLT_MAX);
  m_innerRadius = std::min(std::max(innerRadius, 0.0f), m_range);
  DeriveRangeTerms();

  outerAngle = std::min(std::max(outerAngle, 1.0f), 179.0f);
  innerAngle = std::min(std::max(innerAngle, 0.0f), outerAngle);
  m_outerHalf = outerAngle * kHalfDegreeToRadians;
  m_innerHalf = innerAngle * kHalfDegreeToRadians;
  m_halfSpan = m_outerHalf - m_innerHalf;
  m_invHalfSpan = m_halfSpan > 0.0f ? 1.0f / m_halfSpan : 0.0f;
  m_tanOuter = std::tan(m_outerHalf);
  m_tanInner = std::tan(m_innerHalf);
  m_falloff = falloff;
  m_flags = flags;

  Box box;
  box.SetFromCenterRadius(frame.GetPosition() + frame.GetXAxis() * m_range, m_tanOuter * m_range);
  box.ExtendByPoint(frame.GetPosition());
  SetBounds(box);
}

float CSpotLight::ComputeInfluence(float x, float y, float z, COctree* shadowTree, const COrientation& frame,
                                   uint8_t markRay, uint32_t rayMask) {
  const Vector3 point(x, y, z);
  const Vector3 offset = point - frame.GetPosition();
  const Vector3& axis = frame.GetXAxis();
  const float a = offset.Dot(axis);
  m_influence = 0.0f;
  if (a > m_range) return 0.0f;
  // The light's own position has no direction: it counts as square to the axis.
  float angle = 1.5707964f;
  Vector3 dir = offset;
  if (dir.Normalize()) angle = std::acos(std::min(1.0f, std::max(-1.0f, dir.Dot(axis))));
  if (!(angle < m_outerHalf)) return 0.0f;
  float influence = angle > m_innerHalf ? 1.0f - (angle - m_innerHalf) * m_invHalfSpan : 1.0f;
  if (influence != 0.0f) influence *= ShadowFactor(point, frame.GetPosition(), shadowTree, markRay, rayMask);
  if (influence != 0.0f && a > m_innerRadius && m_invSpan > 0.0f) influence *= 1.0f - (a - m_innerRadius) * m_invSpan;
  m_influence = influence;
  return influence;
}

void CSpotLight::GetContribution(Vector3& out, const Vector3& normal, const Vector3& position,
                                 const COrientation& frame) const {
  const Vector3 toSurface = position - frame.GetPosition();
  // Distance runs along the axis, so a point behind the start plane keeps its sign when squared.
  const float a = frame.GetXAxis().Dot(toSurface);
  ShadeByFalloff(out, normal, toSurface, a, a * a * (a > 0.0f ? 1.0f : -1.0f));
}
