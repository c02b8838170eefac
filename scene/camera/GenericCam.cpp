#include "scene/camera/GenericCam.h"

CGenericCam::CGenericCam() {
  m_view.SetFieldOfView(kDefaultMaxFov);
  UpdateFovInverse();
}

void CGenericCam::UpdateFovInverse() {
  const float range = m_maxFov - m_minFov;
  m_fovInverse = range != 0.0f ? 1.0f / range : 0.0f;
}

void CGenericCam::SetFovRange(float maxFov, float minFov) {
  SetMaxFov(maxFov);
  SetMinFov(minFov);
}

void CGenericCam::SetMaxFov(float fov) {
  m_maxFov = fov;
  UpdateFovInverse();
}

void CGenericCam::SetMinFov(float fov) {
  m_minFov = fov;
  UpdateFovInverse();
}

float CGenericCam::GetZoomFraction() const { return 1.0f - (m_view.GetFieldOfView() - m_minFov) * m_fovInverse; }
