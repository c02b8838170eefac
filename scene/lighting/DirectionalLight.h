// CDirectionalLight: parallel light along the frame's X axis, optionally limited to a cylinder
// that starts at the light's position.
#pragma once

#include "scene/lighting/Light.h"

class CDirectionalLight : public CLight {
 public:
  CDirectionalLight(float r, float g, float b, float px, float py, float pz, float dx, float dy, float dz,
                    uint32_t flags, float length, float innerLength, float radius, float innerRadius);

  float ComputeInfluence(float x, float y, float z, COctree* shadowTree, const COrientation& frame,
                         uint8_t markRay, uint32_t rayMask) override;
  void GetContribution(Vector3& out, const Vector3& normal, const Vector3& position,
                       const COrientation& frame) const override;

  float GetLength() const { return m_length; }
  float GetInnerLength() const { return m_innerLength; }
  float GetRadius() const { return m_radius; }
  float GetInnerRadius() const { return m_innerRadius; }

 private:
  float m_length = 0.0f;
  float m_innerLength = 0.0f;
  float m_radius = 0.0f;
  float m_innerRadius = 0.0f;
  float m_radiusSq = 0.0f;
  float m_innerRadiusSq = 0.0f;
  float m_radialSpan = 0.0f;
  float m_axialSpan = 0.0f;
  float m_invRadialSpan = 0.0f;
  float m_invAxialSpan = 0.0f;
};
