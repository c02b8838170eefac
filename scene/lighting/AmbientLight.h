// CAmbientLight: constant light over a box region; exclusive ones give way to a higher priority.
#pragma once

#include "scene/lighting/Light.h"

class CAmbientLight : public CLight {
 public:
  CAmbientLight(float r, float g, float b, const Box& region, uint32_t flags, float priority);

  float ComputeInfluence(float x, float y, float z, COctree* shadowTree, const COrientation& frame,
                         uint8_t markRay, uint32_t rayMask) override;
  void GetContribution(Vector3& out, const Vector3& normal, const Vector3& position,
                       const COrientation& frame) const override;

  // The priority of the last ambient light that lit the point; the light list resets it before
  // every walk so the first exclusive light in list order decides.
  static void ResetBestPriority();
  static float GetBestPriority();
};
