// CInsideCarCam: the view from inside a vehicle, placed by the vehicle mesh's camera attach point,
// with a zoom between the widest and narrowest view.
#pragma once

#include "scene/camera/GenericCam.h"

class CInsideCarCam : public CGenericCam {
 public:
  CInsideCarCam() = default;

  void SetFollowFactor(float factor) override;
  void UpdateCamera(const COrientation* followed, float dt, CInputMan* input, uint32_t a, uint32_t b,
                    CGameObject* followedObject) override;
  void HandleInputEvent(const InputEvent& event) override;
  uint32_t GetCameraType() const override { return 1; }
  const char* GetInfoString() const override { return "<Inside Car Camera>"; }

  float GetZoom() const { return m_zoom; }
  float GetZoomRate() const { return m_zoomRate; }

 private:
  float m_zoom = 0.0f;
  float m_zoomRate = 0.0f;
};
