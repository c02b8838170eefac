#include "scene/GenericCam.h"

CGenericCam::CGenericCam() {
  m_view.SetFieldOfView(1.5707964f);
  m_fovInverse = 1.0f / (m_maxFov - m_minFov);
}
