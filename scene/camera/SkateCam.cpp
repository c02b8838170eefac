#include "scene/camera/SkateCam.h"

#include <algorithm>

#include "core/world/WorldAccess.h"
#include "scene/camera/CameraSubject.h"
#include "scene/camera/CameraSweep.h"

namespace {
constexpr float kTrickSwing = -1.2566371f;  // while a trick runs the view tips 72 degrees down, over the skater
}  // namespace

void CSkateCam::SetParams(float x, float y, float z, float eyeX, float eyeY, float eyeZ, float lookX, float lookY,
                          float lookZ) {
  GetFrame().SetPosition(Vector3(x, y, z));
  m_smoothed.SetIdentity();
  m_eyeOffset = Vector3(eyeX, eyeY, eyeZ);
  m_lookOffset = Vector3(lookX, lookY, lookZ);
}

void CSkateCam::UpdateCamera(const COrientation*, float dt, CInputMan*, uint32_t, uint32_t,
                             CGameObject* followedObject) {
  CCameraSubject* skater = CCameraSubject::Of(followedObject);
  if (skater == nullptr || skater->GetCameraSubjectKind() != CCameraSubject::kSkater) return;
  const COrientation skaterFrame = skater->GetCameraSubjectFrame();

  TMatrix target = skaterFrame.GetMatrix();
  if (skater->IsDoingTrick()) {
    const Vector3 v = skater->GetCameraSubjectVelocity();
    Vector3 d(v.x, v.y, 0.0f);
    if (d.LengthSquared() < 1.0f) d += Vector3(skaterFrame.GetZAxis().x, skaterFrame.GetZAxis().y, 0.0f);
    if (!d.Normalize()) d = Vector3(1.0f, 0.0f, 0.0f);
    COrientation heading;
    heading.SetXAxis(d);
    heading.SetZAxis(Vector3(0.0f, 0.0f, 1.0f));
    heading.SetYAxis(heading.GetZAxis().Cross(d));
    heading.RotateY(kTrickSwing);
    target = heading.GetMatrix();
  }
  Quaternion goal;
  goal.SetFromMatrix(target);
  Quaternion::Slerp(m_smoothed, m_smoothed, goal, std::min(std::max(dt * 1.5f, 0.0f), 1.0f));

  COrientation& frame = GetFrame();
  m_smoothed.ToMatrix(frame.GetMatrix());
  frame.SetPosition(skaterFrame.GetPosition());
  const Vector3 look = frame.LocalToWorldPoint(m_lookOffset);
  const Vector3 eye = frame.LocalToWorldPoint(m_eyeOffset);

  const Vector3 start = skaterFrame.GetPosition() + Vector3(0.0f, 0.0f, 1.0f);
  const float radius = std::min(skater->GetCollisionRadius(), 1.1f * m_view.GetNear());
  COctree* tree = m_sweepTree != nullptr ? m_sweepTree : GetWorldOctree();
  const float f = SweepCameraSphere(tree, start, eye, radius, kSweepMask);
  if (f < 1.0f) {
    frame.SetPosition(start + (eye - start) * f);
    skater->SetCameraAlpha(std::min(std::max(1.3f * f - 0.3f, 0.0f), 1.0f));
  } else {
    frame.SetPosition(eye);
    skater->SetCameraAlpha(1.0f);
  }
  frame.LookAtWithUp(look, frame.GetZAxis());
}
