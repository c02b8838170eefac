// CObserverCam: the free-flying observer camera: thrust from the keyboard, turn by the mouse, damping,
// and modes that look at, ride with or zoom on a followed object.
#pragma once

#include "core/math/Vector3.h"
#include "scene/camera/GenericCam.h"

class CObserverCam : public CGenericCam {
 public:
  // Modes: 0 free look, 1 look at the followed frame, 2 ride with the followed object, 3 also zoom on it.
  static constexpr uint32_t kModeCount = 4;

  CObserverCam() = default;

  // Frame (twelve floats: three axis rows, then the position), mode and damping.
  void SetPlacement(const float* frame12, uint32_t mode, float damping);

  void UpdateCamera(const COrientation* followed, float dt, CInputMan* input, uint32_t a, uint32_t b,
                    CGameObject* followedObject) override;
  void HandleInputEvent(const InputEvent& event) override;
  uint32_t GetCameraType() const override { return 0; }
  const char* GetInfoString() const override { return "<Observer Camera>"; }

  const Vector3& GetVelocity() const { return m_velocity; }
  uint32_t GetMode() const { return m_mode; }
  float GetZoomRate() const { return m_zoomRate; }
  float GetZoomScale() const { return m_zoomScale; }
  const Vector3& GetFollowOffset() const { return m_followOffset; }

 private:
  float ThrustPerSecond() const;
  void FollowObject(CGameObject* followedObject);

  Vector3 m_velocity;
  float m_damping = 0.0f;
  uint32_t m_mode = 0;
  float m_zoomScale = 1.0f;
  float m_zoomRate = 1.0f;
  Vector3 m_followOffset;
};
