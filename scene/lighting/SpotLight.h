// CSpotLight: a point light limited to a cone about the frame's X axis, fading linearly along the axis.
#pragma once

#include "scene/lighting/PointLight.h"

class CSpotLight : public CPointLight {
 public:
  // Angles in degrees (full cone angles).
  CSpotLight(float r, float g, float b, const COrientation& frame, float range, float innerRadius, float outerAngle,
             float innerAngle, int32_t falloff, uint32_t flags);

  float ComputeInfluence(float x, float y, float z, COctree* shadowTree, const COrientation& frame,
                         uint8_t markRay, uint32_t rayMask) override;
  void GetContribution(Vector3& out, const Vector3& normal, const Vector3& position,
                       const COrientation& frame) const override;

  float GetOuterHalfAngle() const { return m_outerHalf; }
  float GetInnerHalfAngle() const { return m_innerHalf; }

 private:
  float m_outerHalf = 0.0f;
  float m_innerHalf = 0.0f;
  float m_halfSpan = 0.0f;
  float m_invHalfSpan = 0.0f;
  float m_tanOuter = 0.0f;
  float m_tanInner = 0.0f;
};
