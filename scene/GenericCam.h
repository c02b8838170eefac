// CGenericCam: base of the cameras: a game object owning the ViewFrustum the scene is drawn and culled from.
#pragma once

#include <cstdint>

#include "core/GameObject.h"
#include "core/math/ViewFrustum.h"

class CInputMan;

class CGenericCam : public CGameObject {
 public:
  CGenericCam();
  ~CGenericCam() override = default;

  virtual void SetFollowFactor(float factor) {}
  // followed: frame to follow (may be null); input may be null; followedObject may be null.
  virtual void UpdateCamera(const COrientation* followed, float dt, CInputMan* input, uint32_t a, uint32_t b,
                            CGameObject* followedObject) = 0;
  virtual uint32_t GetCameraType() const = 0;

  ViewFrustum& GetView() { return m_view; }
  const ViewFrustum& GetView() const { return m_view; }

 protected:
  ViewFrustum m_view;
  float m_maxFov = 1.5707964f;
  float m_minFov = 0.39269909f;
  float m_fovInverse = 0.0f;
};
