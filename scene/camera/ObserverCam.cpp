#include "scene/camera/ObserverCam.h"

#include <algorithm>

#include "core/input/InputMan.h"
#include "platform/system/Win32.h"
#include "scene/camera/CameraSubject.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

bool KeyDown(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }

constexpr uint32_t kZoomIn = 15, kZoomOut = 16, kNextMode = 18;

}  // namespace

void CObserverCam::SetPlacement(const float* frame12, uint32_t mode, float damping) {
  COrientation& frame = GetFrame();
  if (frame12 != nullptr) {
    for (int row = 0; row < 3; ++row)
      frame.SetRow(row, Vector3(frame12[row * 3], frame12[row * 3 + 1], frame12[row * 3 + 2]));
    frame.SetPosition(Vector3(frame12[9], frame12[10], frame12[11]));
  }
  m_maxFov = kDefaultMaxFov;
  m_minFov = kDefaultMinFov;
  m_velocity = Vector3();
  m_mode = mode;
  m_damping = damping;
  m_zoomScale = 1.0f;
  m_zoomRate = 1.0f;
}

float CObserverCam::ThrustPerSecond() const {
  if (KeyDown(VK_SHIFT)) return 100.0f;
  if (KeyDown(VK_CONTROL)) return 3.0f;
  return 30.0f;
}

void CObserverCam::UpdateCamera(const COrientation* followed, float dt, CInputMan* input, uint32_t, uint32_t,
                                CGameObject* followedObject) {
  COrientation& frame = GetFrame();
  const float thrust = ThrustPerSecond();
  if (m_mode == 0 && input != nullptr) {
    const Vector2 turn = input->GetMouseDelta();
    frame.RotateZ(turn.x * dt * 4.0f);
    frame.RotateY(turn.y * dt * -4.0f);
    frame.LookAt(frame.GetPosition() + frame.GetXAxis(), true);  // drops any roll
  } else if (m_mode != 0 && followed != nullptr) {
    frame.LookAt(followed->GetPosition(), true);
  }
  if (input != nullptr) {
    const float step = thrust * dt;
    if (KeyDown('F')) m_velocity += frame.GetXAxis() * step;
    if (KeyDown('R')) m_velocity -= frame.GetXAxis() * step;
    if (KeyDown('A')) m_velocity += frame.GetYAxis() * step;
    if (KeyDown('D')) m_velocity -= frame.GetYAxis() * step;
    if (KeyDown('W')) m_velocity += frame.GetZAxis() * step;
    if (KeyDown('S')) m_velocity -= frame.GetZAxis() * step;
  }
  m_velocity *= m_damping;
  frame.SetPosition(frame.GetPosition() + m_velocity * dt);
  FollowObject(followedObject);
}

void CObserverCam::FollowObject(CGameObject* followedObject) {
  CCameraSubject* subject = CCameraSubject::Of(followedObject);
  COrientation& frame = GetFrame();
  if (subject == nullptr) {
    m_view.SetFieldOfView(m_maxFov);
    return;
  }
  const Vector3 target = subject->GetCameraSubjectFrame().GetPosition();
  if (m_mode == 2)
    frame.SetPosition(target + m_followOffset);
  else
    m_followOffset = frame.GetPosition() - target;
  if (m_mode != 3) {
    m_view.SetFieldOfView(m_maxFov);
    return;
  }
  m_zoomScale *= m_zoomRate;
  const float d = (frame.GetPosition() - target).ApproxLength();
  const ShadedMesh* mesh = subject->GetCameraSubjectMesh();
  if (d <= 0.0f || mesh == nullptr) {
    m_view.SetFieldOfView(m_maxFov);
    return;
  }
  m_view.SetFieldOfViewFromExtent(d, mesh->centroidRadius * m_zoomScale);
  m_view.SetFieldOfView(std::min(std::max(m_view.GetFieldOfView(), m_minFov), m_maxFov));
}

void CObserverCam::HandleInputEvent(const InputEvent& event) {
  const uint32_t code = event.code;
  if (code == kZoomIn) {
    m_zoomRate = 0.98039216f;
  } else if (code == kZoomOut) {
    m_zoomRate = 1.02f;
  } else if (code == 0u - kZoomIn || code == 0u - kZoomOut) {
    m_zoomRate = 1.0f;
  } else if (code == kNextMode) {
    m_mode = (m_mode + 1) % kModeCount;
    m_zoomScale = 1.0f;
  }
}
