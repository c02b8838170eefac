#include "scene/camera/ChaseCam.h"

#include <algorithm>
#include <cmath>

#include "core/input/InputMan.h"
#include "core/world/WorldAccess.h"
#include "scene/camera/CameraSubject.h"
#include "scene/camera/CameraSweep.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/camera/VehicleCamPoints.h"

namespace {

const Vector3 kDefaultCameraOffset(-6.0f, 0.0f, 1.5f);
const Vector3 kDefaultLookOffset(2.0f, 0.0f, 1.0f);
constexpr uint32_t kSweepMask = 0x100000;

// x moves towards 0 by x * rate * dt, never past it.
float Decay(float x, float rate, float dt) {
  if (std::fabs(x) <= 0.001f) return x;
  const float next = x - dt * x * rate;
  return (next > 0.0f) == (x > 0.0f) ? next : 0.0f;
}

}  // namespace

CChaseCam::CChaseCam() : m_spring(std::make_unique<CSecondOrderGeneralSolution>(1.0f, 100.0f, 500.0f)) {}

void CChaseCam::Reset(const Vector3& target) {
  Setup(target, kDefaultCameraOffset, kDefaultLookOffset, 500.0f, 100.0f, 2.0f, true);
}

void CChaseCam::Setup(const Vector3& target, const Vector3& cameraOffset, const Vector3& lookOffset, float c, float b,
                      float limitFactor, bool orbit) {
  m_targetPosition = m_previousTarget = m_targetBefore = m_lastDesired = target;
  m_targetVelocity = m_cameraVelocity = Vector3();
  m_desiredKnown = 0;
  m_lastHeading = Vector3(1.0f, 0.0f, 0.0f);
  GetFrame().SetPosition(target);
  m_cameraOffset = cameraOffset;
  m_lookOffset = lookOffset;
  m_springC = c;
  m_springB = b;
  m_spring = std::make_unique<CSecondOrderGeneralSolution>(1.0f, b, c);
  m_limitFactor = limitFactor;
  m_orbit = orbit ? 1 : 0;
  m_yaw = m_pitch = 0.0f;
  m_zoomFactor = 1.0f;
  m_offsetScale = 1.0f;
  m_sensitivity = 1.0f;
  m_returning = 0;
  m_angleLimit = 1.5707964f;
}

void CChaseCam::SetFollowFactor(float factor) { m_zoomFactor = std::min(std::max(factor, 0.0f), 1.0f); }

void CChaseCam::ChooseOffsets(CGameObject* followedObject) {
  CCameraSubject* vehicle = CCameraSubject::Of(followedObject);
  if (vehicle == nullptr) {
    m_cameraOffset = kDefaultCameraOffset;
    m_lookOffset = kDefaultLookOffset;
    return;
  }
  const ShadedMesh* mesh = vehicle->GetCameraSubjectMesh();
  COrientation point;
  if (FindVehicleCamPoint(mesh, 1, &point, nullptr)) m_cameraOffset = point.GetPosition();
  const int look = mesh != nullptr ? mesh->FindAttachPoint(kAttachChaseLook) : -1;
  m_lookOffset = look >= 0 ? mesh->attachPoints[static_cast<size_t>(look)].transform.GetPosition() : kDefaultLookOffset;
}

void CChaseCam::BuildHeading(const COrientation* followed, float dt) {
  if (followed != nullptr) m_targetPosition = followed->GetPosition();
  // A paused tick has no time step: the target keeps the velocity it had.
  if (dt > 0.0f) {
    m_targetVelocity = (m_targetPosition - m_targetBefore) * (0.5f / dt);
    if (m_targetVelocity.LengthSquared() > 100.0f) m_targetVelocity *= 10.0f / m_targetVelocity.Length();
  }
  Vector3 x = m_targetVelocity;
  if (followed != nullptr) x += followed->GetXAxis() * 20.0f;
  if (!x.Normalize()) x = m_lastHeading;
  Vector3 y(-x.y, x.x, 0.0f);
  // Heading straight up or down: keep the previous sideways axis.
  if (!y.Normalize()) y = m_heading.GetYAxis();
  m_heading.SetXAxis(x);
  m_heading.SetYAxis(y);
  m_heading.SetZAxis(x.Cross(y));
  m_heading.SetPosition(m_targetPosition);
}

void CChaseCam::StepSpring(const Vector3& desired, float dt) {
  COrientation& frame = GetFrame();
  // A paused tick has no time step to divide by; and right after Setup the desired point jumps from
  // the target to its offset, which is no motion the camera should chase (it would be flung forward
  // through the target).
  const bool moving = dt > 0.0f && m_desiredKnown != 0;
  const Vector3 desiredVelocity = moving ? (desired - m_lastDesired) * (1.0f / dt) : Vector3();
  m_desiredKnown = 1;
  const Vector3 e = frame.GetPosition() - desired;
  const Vector3 u = m_cameraVelocity - desiredVelocity;
  const float el = e.Length();
  const float ul = u.Length();
  Vector3 n;
  float x0 = el;
  float r0 = ul;
  if (el > 0.001f) {
    n = e * (1.0f / el);
    r0 = u.Dot(n);
  } else if (ul > 0.001f) {
    // Along the relative velocity the small error is signed: taking its length would put the camera
    // on the far side of the desired point whenever it is already heading there.
    n = u * (1.0f / ul);
    x0 = e.Dot(n);
  }
  m_spring->SetInitialConditions(x0, r0);
  frame.SetPosition(desired + n * m_spring->Position(dt));
  m_cameraVelocity = n * m_spring->Rate(dt) + desiredVelocity;
  m_lastDesired = desired;
}

void CChaseCam::UpdateCamera(const COrientation* followed, float dt, CInputMan* input, uint32_t, uint32_t,
                             CGameObject* followedObject) {
  COrientation& frame = GetFrame();
  CCameraSubject* subject = CCameraSubject::Of(followedObject);
  if (subject != nullptr && subject->GetCameraSubjectKind() == CCameraSubject::kCreature &&
      subject->GetCameraSubjectMesh() != nullptr && subject->GetCameraSubjectMesh()->FindAttachPoint(kAttachCreatureView) >= 0) {
    subject->SetCameraFrame(frame);
    if (subject->WantsCameraObstacleSweep()) {
      const Vector3 from = subject->GetCameraSubjectFrame().GetPosition();
      const Vector3 to = frame.GetPosition();
      COctree* tree = m_sweepTree != nullptr ? m_sweepTree : GetWorldOctree();
      const float f = SweepCameraSphere(tree, from, to, m_view.GetNear(), kSweepMask);
      frame.SetPosition(from + (to - from) * f);
    }
    return;
  }
  ChooseOffsets(followedObject);
  BuildHeading(followed, dt);
  ApplyMouseOrbit(input, dt);
  if (m_yaw != 0.0f) m_heading.RotateZ(m_yaw);

  const Vector3 desired = m_heading.LocalToWorldPoint(m_cameraOffset * m_offsetScale);
  const Vector3 look = m_heading.LocalToWorldPoint(m_lookOffset);
  StepSpring(desired, dt);

  const float limit = (m_cameraOffset - m_lookOffset).Length() * m_limitFactor;
  const Vector3 fromLook = frame.GetPosition() - look;
  const float distance = fromLook.Length();
  if (distance > limit && distance > 0.0f) frame.SetPosition(look + fromLook * (limit / distance));

  frame.LookAt(look, true);
  if (m_pitch != 0.0f) frame.RotateY(m_pitch);
  m_targetBefore = m_previousTarget;
  m_previousTarget = m_targetPosition;
  m_lastHeading = m_heading.GetXAxis();
}

void CChaseCam::ApplyMouseOrbit(CInputMan* input, float dt) {
  if (input == nullptr || m_orbit == 0) return;
  const bool dragging = input->IsButtonDown(1) || input->IsButtonDown(2);
  if (dragging) input->LockCursor();
  const Vector2 delta = input->GetMouseDelta();
  Orbit(dragging, input->IsButtonDown(2), delta.x, delta.y, dt);
}

void CChaseCam::Orbit(bool dragging, bool zooming, float dx, float dy, float dt) {
  if (m_orbit == 0) return;
  if (!dragging) {
    // A click (a drag of one to four ticks) sends the view back to rest.
    if (m_dragTicks >= 1 && m_dragTicks <= 4) m_returning = 1;
    m_dragTicks = 0;
    if (m_returning != 0) {
      m_yaw = Decay(m_yaw, 5.0f, dt);
      m_pitch = Decay(m_pitch, 5.0f, dt);
      m_zoomFactor = std::min(m_zoomFactor + 2.0f * dt, 1.0f);
      m_view.SetFieldOfView(m_maxFov * m_zoomFactor);
    }
    return;
  }
  m_returning = 0;  // a new drag takes over from a return in progress
  const float k = m_sensitivity * m_zoomFactor;
  m_yaw = std::min(std::max(m_yaw - k * dx * dt, -m_angleLimit), m_angleLimit);
  m_pitch = std::min(std::max(m_pitch + k * dy * dt, -m_angleLimit), m_angleLimit);
  if (zooming) {
    m_zoomFactor = std::max(m_zoomFactor - 2.0f * dt, 0.2f);
    m_view.SetFieldOfView(m_maxFov * m_zoomFactor);
  }
  ++m_dragTicks;
  m_dragSumX += dx;
  m_dragSumY += dy;
}
