// CChaseCam: follows a vehicle from behind on an overdamped spring, with a mouse orbit that
// springs back after a click and a pull-in that keeps it from trailing too far.
#pragma once

#include <memory>

#include "core/math/Orientation.h"
#include "core/math/Vector3.h"
#include "core/math/SecondOrderGeneralSolution.h"
#include "scene/camera/GenericCam.h"

class COctree;

class CChaseCam : public CGenericCam {
 public:
  CChaseCam();

  // Setup with the standard offsets and spring.
  void Reset(const Vector3& target);
  void Setup(const Vector3& target, const Vector3& cameraOffset, const Vector3& lookOffset, float c, float b,
             float limitFactor, bool orbit);

  void SetFollowFactor(float factor) override;
  void UpdateCamera(const COrientation* followed, float dt, CInputMan* input, uint32_t a, uint32_t b,
                    CGameObject* followedObject) override;
  uint32_t GetCameraType() const override { return 2; }
  const char* GetInfoString() const override { return "<Chase Camera>"; }

  // Mouse orbit for one tick: right or middle button drags, a short click returns to the rest view.
  void ApplyMouseOrbit(CInputMan* input, float dt);
  // The same from already-read buttons and movement (the part the input manager feeds).
  void Orbit(bool dragging, bool zooming, float dx, float dy, float dt);

  const Vector3& GetCameraVelocity() const { return m_cameraVelocity; }
  const Vector3& GetLastDesired() const { return m_lastDesired; }
  float GetYaw() const { return m_yaw; }
  float GetPitch() const { return m_pitch; }
  float GetZoomFactor() const { return m_zoomFactor; }
  const Vector3& GetCameraOffset() const { return m_cameraOffset; }
  const Vector3& GetLookOffset() const { return m_lookOffset; }
  void SetSweepTree(COctree* tree) { m_sweepTree = tree; }

 private:
  void ChooseOffsets(CGameObject* followedObject);
  void BuildHeading(const COrientation* followed, float dt);
  void StepSpring(const Vector3& desired, float dt);

  Vector3 m_targetVelocity;
  Vector3 m_targetPosition;
  Vector3 m_previousTarget;
  Vector3 m_targetBefore;
  Vector3 m_lastHeading{1.0f, 0.0f, 0.0f};
  Vector3 m_cameraOffset{-6.0f, 0.0f, 1.5f};
  Vector3 m_lookOffset{2.0f, 0.0f, 1.0f};
  COrientation m_heading;
  Vector3 m_lastDesired;
  uint8_t m_desiredKnown = 0;  // cleared by Setup: the first desired point has no velocity yet
  Vector3 m_cameraVelocity;
  float m_springC = 500.0f;
  float m_springB = 100.0f;
  std::unique_ptr<CSecondOrderGeneralSolution> m_spring;
  float m_limitFactor = 2.0f;
  uint8_t m_orbit = 1;
  float m_yaw = 0.0f;
  float m_pitch = 0.0f;
  float m_zoomFactor = 1.0f;
  uint32_t m_dragTicks = 0;
  float m_dragSumX = 0.0f;
  float m_dragSumY = 0.0f;
  uint32_t m_returning = 0;
  float m_angleLimit = 1.5707964f;
  float m_sensitivity = 1.0f;
  float m_offsetScale = 1.0f;
  COctree* m_sweepTree = nullptr;
};
