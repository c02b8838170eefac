#include "scene/camera/InsideCarCam.h"

#include <algorithm>
#include <cmath>

#include "scene/camera/CameraSubject.h"
#include "scene/camera/VehicleCamPoints.h"

namespace {
constexpr uint32_t kZoomIn = 15, kZoomOut = 16, kZoomFast = 17, kZoomToggle = 18;
float Clamp01(float v) { return std::min(std::max(v, 0.0f), 1.0f); }
}  // namespace

void CInsideCarCam::SetFollowFactor(float factor) { m_zoom = Clamp01(factor); }

void CInsideCarCam::UpdateCamera(const COrientation* followed, float dt, CInputMan*, uint32_t, uint32_t,
                                 CGameObject* followedObject) {
  COrientation& frame = GetFrame();
  if (followed != nullptr) frame = *followed;
  CCameraSubject* vehicle = CCameraSubject::Of(followedObject);
  if (vehicle != nullptr) {
    COrientation local;
    float maxFov = 0.0f;
    if (FindVehicleCamPoint(vehicle->GetCameraSubjectMesh(), 0, &local, &maxFov)) {
      frame = vehicle->GetCameraSubjectFrame().LocalToWorldOrientation(local);
      // A damaged or missing value must not give the view a nonsense angle.
      if (std::isfinite(maxFov) && maxFov > 0.0f && maxFov < 3.1415926f) SetMaxFov(maxFov);
    }
  }
  m_zoom = Clamp01(m_zoom + dt * m_zoomRate);
  m_view.SetFieldOfView(m_maxFov + (m_minFov - m_maxFov) * m_zoom);
  if (vehicle != nullptr && vehicle->GetCameraSubjectKind() == CCameraSubject::kCreature)
    vehicle->SetCameraFrame(frame);
}

void CInsideCarCam::HandleInputEvent(const InputEvent& event) {
  const uint32_t code = event.code;
  if (code == kZoomIn)
    m_zoomRate += 2.0f;
  else if (code == kZoomOut)
    m_zoomRate -= 2.0f;
  else if (code == 0u - kZoomIn || code == 0u - kZoomOut)
    m_zoomRate = 0.0f;
  else if (code == kZoomFast)
    m_zoomRate = 4.0f;
  else if (code == 0u - kZoomFast)
    m_zoomRate = -4.0f;
  else if (code == kZoomToggle)
    m_zoomRate = m_zoom == 0.0f ? 2.0f : -2.0f;
}
