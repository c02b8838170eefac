// CPointLight: light from a point with a range; full inside the inner radius, fading linearly in
// the squared distance out to the range.
#pragma once

#include "scene/lighting/Light.h"

class CPointLight : public CLight {
 public:
  CPointLight(float r, float g, float b, float px, float py, float pz, uint32_t flags, float range,
              float innerRadius, int32_t falloff);

  float ComputeInfluence(float x, float y, float z, COctree* shadowTree, const COrientation& frame,
                         uint8_t markRay, uint32_t rayMask) override;
  void GetContribution(Vector3& out, const Vector3& normal, const Vector3& position,
                       const COrientation& frame) const override;

  float GetRange() const { return m_range; }
  float GetInnerRadius() const { return m_innerRadius; }
  int32_t GetFalloff() const { return m_falloff; }

 protected:
  CPointLight() = default;  // for the spot light, which sets itself up
  // The shadow test shared with the spot light: 1 when the light reaches the point, else 0.
  float ShadowFactor(const Vector3& point, const Vector3& lightPos, COctree* tree, uint8_t markRay,
                     uint32_t rayMask) const;
  // The colour for a distance term `distance` (already in the mode's power); black when the
  // surface faces away or the term is not positive.
  void Shade(Vector3& out, float facing, float term) const;
  // The contribution both lights share once each has measured the distance its own way: black for a
  // surface facing away or a light without influence, else shaded by the falloff mode with `linear`
  // (mode 0 and 1), `squared` (mode 2) or the cube of `linear` (mode 3).
  void ShadeByFalloff(Vector3& out, const Vector3& normal, const Vector3& toSurface, float linear,
                      float squared) const;
  // The squares and reciprocals of the range and inner radius, once those two are set.
  void DeriveRangeTerms();

  float m_innerRadius = 0.0f;
  float m_range = 0.0f;
  int32_t m_falloff = 0;
  float m_innerRadiusSq = 0.0f;
  float m_rangeSq = 0.0f;
  float m_spanSq = 0.0f;
  float m_invSpanSq = 0.0f;
  float m_invSpan = 0.0f;
};
