// CObserverCam: the free-flying observer camera (its flight comes with the camera work).
#pragma once

#include "scene/GenericCam.h"

class CObserverCam : public CGenericCam {
 public:
  CObserverCam() = default;
  void UpdateCamera(const COrientation* followed, float dt, CInputMan* input, uint32_t a, uint32_t b,
                    CGameObject* followedObject) override {}
  uint32_t GetCameraType() const override { return 0; }
  const char* GetInfoString() const override { return "<Observer Camera>"; }
};
