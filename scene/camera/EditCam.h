// CEditCam: the editor's camera: orbits, pans and dollies about a focus point while a mouse button drags.
#pragma once

#include "core/math/Vector3.h"
#include "scene/camera/GenericCam.h"

class CEditCam : public CGenericCam {
 public:
  enum DragMode : uint32_t { kNone = 0, kOrbit = 1, kPan = 2, kDolly = 3 };

  CEditCam() = default;

  void UpdateCamera(const COrientation* followed, float dt, CInputMan* input, uint32_t a, uint32_t b,
                    CGameObject* followedObject) override;
  uint32_t GetCameraType() const override { return 0; }
  const char* GetInfoString() const override { return "<Edit Camera>"; }

  // While set, the focus follows the followed frame.
  void SetFollowFrame(bool on) { m_followFrame = on ? 1 : 0; }
  void SetFocus(const Vector3& focus) { m_focus = focus; }
  const Vector3& GetFocus() const { return m_focus; }
  // One step of the drag (cursor movement dx, dy since the anchor) about the focus.
  void MoveByDrag(const COrientation* followed, uint32_t mode, float dx, float dy);

 private:
  void ReadDrag(CInputMan* input);

  Vector3 m_focus;
  uint8_t m_followFrame = 0;
  float m_orbitRate = 0.005f;
  float m_panDivisor = 800.0f;
  float m_dollyRate = 0.005f;
  float m_dragDx = 0.0f;
  float m_dragDy = 0.0f;
  uint32_t m_dragMode = kNone;
  int32_t m_anchorX = 0;
  int32_t m_anchorY = 0;
};
