// CGenericCam: base of the cameras: a game object owning the ViewFrustum the scene is drawn and culled from.
#pragma once

#include <cstdint>

#include "core/world/GameObject.h"
#include "core/math/ViewFrustum.h"

class CInputMan;

class CGenericCam : public CGameObject {
 public:
  static constexpr float kDefaultMaxFov = 1.5707964f;  // pi/2
  static constexpr float kDefaultMinFov = 0.39269909f;  // pi/8

  CGenericCam();
  ~CGenericCam() override = default;

  virtual void SetFollowFactor(float factor) {}
  // followed: frame to follow (may be null); input may be null; a and b are caller words no camera
  // reads; followedObject may be null.
  virtual void UpdateCamera(const COrientation* followed, float dt, CInputMan* input, uint32_t a, uint32_t b,
                            CGameObject* followedObject) = 0;
  virtual uint32_t GetCameraType() const = 0;

  ViewFrustum& GetView() { return m_view; }
  const ViewFrustum& GetView() const { return m_view; }
  COrientation& GetFrame() { return m_view.GetFrame(); }
  const COrientation& GetFrame() const { return m_view.GetFrame(); }

  void SetFovRange(float maxFov, float minFov);
  void SetMaxFov(float fov);
  void SetMinFov(float fov);
  float GetMaxFov() const { return m_maxFov; }
  float GetMinFov() const { return m_minFov; }
  // 0 at the widest view, 1 at the narrowest.
  float GetZoomFraction() const;

 protected:
  void UpdateFovInverse();

  ViewFrustum m_view;
  float m_maxFov = kDefaultMaxFov;
  float m_minFov = kDefaultMinFov;
  float m_fovInverse = 0.0f;  // 1 / (max - min), 0 when they are equal
};
