#include "scene/camera/EditCam.h"

#include <cmath>

#include "core/input/InputMan.h"

void CEditCam::ReadDrag(CInputMan* input) {
  m_dragMode = input->IsButtonDown(0) ? kOrbit : input->IsButtonDown(1) ? kDolly : input->IsButtonDown(2) ? kPan : kNone;
  const POINT cursor = input->GetMousePos();
  if (m_dragMode == kNone) {
    m_anchorX = cursor.x;
    m_anchorY = cursor.y;
    m_dragDx = m_dragDy = 0.0f;
    return;
  }
  m_dragDx = static_cast<float>(cursor.x - m_anchorX);
  m_dragDy = static_cast<float>(cursor.y - m_anchorY);
  // The cursor stays where the drag began, so a drag never runs into the screen's edge.
  input->SetCursorPos(m_anchorX, m_anchorY);
}

void CEditCam::UpdateCamera(const COrientation* followed, float, CInputMan* input, uint32_t, uint32_t, CGameObject*) {
  if (input != nullptr) ReadDrag(input);
  MoveByDrag(followed, m_dragMode, m_dragDx, m_dragDy);
}

void CEditCam::MoveByDrag(const COrientation* followed, uint32_t mode, float dx, float dy) {
  if (m_followFrame != 0 && followed != nullptr) m_focus = followed->GetPosition();
  COrientation& frame = GetFrame();
  const float r = (frame.GetPosition() - m_focus).Length();
  Vector3 offset;
  if (mode == kOrbit) {
    const float a = dx * m_orbitRate * 0.5f;
    const float b = dy * m_orbitRate * 0.5f;
    const float sa = std::sin(a), sb = std::sin(b);
    offset = Vector3(2.0f * r * (sa * sa + sb * sb), r * std::sin(2.0f * a), r * std::sin(2.0f * b));
  } else if (mode == kPan) {
    // The view's half width at the focus distance is r tan(fov / 2): the focus keeps pace with the cursor.
    const float k = 2.0f * r * std::tan(m_view.GetFieldOfView() * 0.5f) / m_panDivisor;
    offset = Vector3(0.0f, dx * k, dy * k);
    m_focus += frame.LocalToWorldVector(offset);
  } else if (mode == kDolly) {
    offset = Vector3(-dy * m_dollyRate * r, 0.0f, 0.0f);
  }
  frame.SetPosition(frame.LocalToWorldPoint(offset));
  frame.LookAt(m_focus, true);
}
