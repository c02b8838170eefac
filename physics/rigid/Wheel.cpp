#include "physics/rigid/Wheel.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "core/data/DebugPrintf.h"
#include "core/spatial/Octree.h"
#include "platform/system/Platform.h"
#include "physics/collision/BeamInfo.h"
#include "physics/rigid/RigidBodyMath.h"
#include "physics/rigid/RigidCollisionBody.h"
#include "core/math/SecondOrderGeneralSolution.h"
#include "physics/collision/SurfaceType.h"

namespace {

constexpr float kRandScale = 3.0518509e-05f;  // one over the random generator's maximum

// Mean spring-damper force over a step along the closed-form motion of x = extension - xEq.
float MeanSpringForce(const CSecondOrderGeneralSolution& s, float stiffness, float damping, float xEq, float dt) {
  return stiffness * ((s.Integral(dt) - s.Integral(0.0f)) / dt + xEq) +
         damping * (s.Position(dt) - s.Position(0.0f)) / dt;
}

}  // namespace

CWheel::CWheel() : m_suspensionForce(0.0f, 0.0f, 0.0f), m_contactVelocity(0.0f, 0.0f, 0.0f) {
  m_info.kind = CollisionInfo::kBody;
}

CWheel::~CWheel() = default;

void CWheel::Attach(CRigidCollisionBody* parent, float extension, float rate, const WheelParams& params) {
  m_params = params;
  m_parent = parent;
  m_extension = extension;
  m_rate = rate;
  m_nextExtension = extension;
  m_nextRate = rate;
  m_radius = params.radius;
  m_suspensionForce = Vector3(0.0f, 0.0f, 0.0f);
  m_contactVelocity = Vector3(0.0f, 0.0f, 0.0f);
  m_gripping = 0;
  m_locked = 0;
  SetCollisionFlags(false, false, false, false, true, false);
  SetFlags(true, true, false, false, false);
  UpdateFrame(false);
  m_info.kind = CollisionInfo::kBody;
  m_info.object = parent;
  m_info.surface = &m_params.forwardSurface;
}

void CWheel::SetSuspensionState(float extension, float rate, float spin) {
  m_extension = extension;
  m_rate = rate;
  m_spin = m_locked ? 0.0f : spin;
  m_suspensionForce = Vector3(0.0f, 0.0f, 0.0f);
  m_contactVelocity = Vector3(0.0f, 0.0f, 0.0f);
}

void CWheel::SetLocked(bool locked) {
  m_locked = locked ? 1 : 0;
  if (locked) m_spin = 0.0f;
}

float CWheel::GetSupportedMass() const {
  return m_parent ? m_parent->GetState().GetMass() * m_params.parentMass : 0.0f;
}

Vector3 CWheel::GetWorldMountPoint() const {
  return m_parent ? m_parent->GetState().GetFrame().LocalToWorldPoint(m_params.mountPoint) : m_params.mountPoint;
}

Vector3 CWheel::GetWorldAxis() const {
  return m_parent ? m_parent->GetState().GetFrame().LocalToWorldVector(m_params.suspensionAxis)
                  : m_params.suspensionAxis;
}

Vector3 CWheel::GetWorldCenter() const { return GetWorldMountPoint() + GetWorldAxis() * m_extension; }

Vector3 CWheel::GetLocalCenter() const { return m_params.mountPoint + GetLocalSuspensionOffset(); }

Vector3 CWheel::GetLocalSuspensionOffset() const { return m_params.suspensionAxis * m_extension; }

Vector3 CWheel::GetSlipVelocity() const {
  return m_contactVelocity + (m_frame.GetYAxis() * m_spin).Cross(m_groundPoint - GetWorldCenter());
}

const SurfaceType& CWheel::Ground() const { return m_groundSurface ? *m_groundSurface : *SurfaceType::Get(0); }

float CWheel::GetForwardStaticFriction() const { return SurfaceType::Mix(m_params.forwardSurface, Ground()).staticFriction; }
float CWheel::GetForwardKineticFriction() const {
  return SurfaceType::Mix(m_params.forwardSurface, Ground()).kineticFriction;
}
float CWheel::GetSideKineticFriction() const { return SurfaceType::Mix(m_params.sideSurface, Ground()).kineticFriction; }
float CWheel::GetRoughness() const { return SurfaceType::Mix(m_params.forwardSurface, Ground()).roughness; }

void CWheel::UpdateFrame(bool reinsert) {
  m_frame.position = GetWorldCenter();
  m_frame.axes = m_parent ? m_parent->GetState().rotation : TMatrix();
  m_frame.RotateZ(m_steer);
  m_frame.RotateY(-m_spinAngle);
  Box box;
  box.SetFromCenterRadius(m_frame.position, m_radius);
  SetBounds(box);
  if (reinsert && GetOctree() && IsFiled()) GetOctree()->UpdateObject(this);
}

void CWheel::UpdateBump(float dt) {
  const float s = m_parent ? RigidMath::FastLength(m_parent->GetState().velocity) * dt : 0.0f;
  if (!m_onGround) {
    m_bumpTarget = 0.0f;
  } else if (s > plat::rand() * kRandScale) {
    m_bumpTarget = plat::rand() * kRandScale * GetRoughness();
  }
  const float step = 0.4f * s;
  m_bump += std::max(-step, std::min(step, m_bumpTarget - m_bump));
}

void CWheel::UpdateSuspension(float dt) {
  m_suspensionForce = Vector3(0.0f, 0.0f, 0.0f);
  if (!m_parent || !(dt > 0.0f)) return;
  const float L = m_params.suspensionLength;
  if (m_extension > L) {
    m_extension = L;
    m_rate = 0.0f;
  }
  UpdateBump(dt);
  const RigidBodyState& body = m_parent->GetState();
  const Vector3 axis = GetWorldAxis();
  const float k = m_params.stiffness, c = m_params.damping;
  if (m_onGround) {
    const Vector3 share = body.force * (body.GetMass() * body.GetInverseMass() * m_params.parentMass);
    const float xEq = k > 0.0f ? -axis.Dot(share) / k : 0.0f;
    float a = body.GetMass() * m_params.parentMass;
    if (!(a > 0.0f)) a = m_params.mass;
    CSecondOrderGeneralSolution motion(a, c, k);
    // The suspension moves with the ground under the tyre against the body's mount point.
    m_rate = axis.Dot(m_groundVelocity - body.GetPointVelocity(GetWorldMountPoint()));
    motion.SetInitialConditions(m_extension - xEq, m_rate);
    const Vector3 along = axis * MeanSpringForce(motion, k, c, xEq, dt);
    m_suspensionForce = m_groundNormal * along.Dot(m_groundNormal);
    m_nextExtension = 0.0f;
    m_nextRate = motion.Rate(dt);
  } else {
    const float xEq = k > 0.0f ? axis.z * m_params.mass * -9.8f / k : 0.0f;
    CSecondOrderGeneralSolution motion(m_params.mass, c, k);
    motion.SetInitialConditions(m_extension - xEq, m_rate);
    m_suspensionForce = axis * MeanSpringForce(motion, k, c, xEq, dt);
    m_nextRate = motion.Rate(dt);
    m_nextExtension = std::max(-L, std::min(L, motion.Position(dt) + xEq));
  }
}

void CWheel::SetGroundContact(const Vector3& p, const Vector3& n, const SurfaceType* surface, CCollisionObject* ground,
                              const Vector3& groundVelocity) {
  m_groundSurface = surface;
  const float L = m_params.suspensionLength;
  const float reach = m_radius + m_bump + 0.01f;
  const Vector3 axis = GetWorldAxis();
  const Vector3 mount = GetWorldMountPoint();
  const float along = n.Dot(axis);
  float t = std::fabs(along) > 1e-6f ? (reach - n.Dot(mount - p)) / along : L;
  if (t < m_nextExtension) {
    // The ground lies beyond the end of this step's travel: the tyre does not reach it.
    m_onGround = false;
    return;
  }
  if (t > L) {
    DebugPrintf("CWheel: Warning - body may have interpenetrated!\n");
    t = L;
  }
  m_onGround = true;
  m_ground = ground;
  const Vector3 centre = mount + axis * t;
  m_groundPoint = centre - n * n.Dot(centre - p);  // foot of the wheel centre on the plane
  m_groundNormal = n;
  m_groundVelocity = groundVelocity;
  m_nextExtension = t;
  m_nextRate = 0.0f;
}

bool CWheel::HandleCollision(const CollisionInfo* info, const IntersectionResult* hit) {
  if (!info || !hit || (info->kind != CollisionInfo::kStatic && info->kind != CollisionInfo::kBody)) return false;
  Vector3 groundVelocity(0.0f, 0.0f, 0.0f);
  if (info->kind == CollisionInfo::kBody)
    if (auto* body = dynamic_cast<CRigidCollisionBody*>(info->object))
      groundVelocity = body->GetState().GetPointVelocity(hit->point);
  SetGroundContact(hit->point, m_contactNormal, info->surface, info->object, groundVelocity);
  return true;
}

bool CWheel::Intersect(GenericIntersection* query) { return query->IntersectSphere(m_frame.position, m_radius); }

SweepQuery CWheel::CreateSweepQuery(float dt) {
  // The first sweep of a move finds the ground anew; the retry after a contact stops short of
  // the ground it found and must not forget it.
  if (GetHitObjects().empty()) m_onGround = false;
  const Vector3 mount = GetWorldMountPoint(), axis = GetWorldAxis();
  return SweepQuery(
      std::make_unique<BeamInfo>(mount + axis * m_params.suspensionLength, mount + axis * m_nextExtension, m_radius));
}

void CWheel::ApplySweep(COctree* octree, GenericIntersection* query) {
  m_extension = m_nextExtension;
  m_rate = m_nextRate;
  UpdateFrame(true);
}

void CWheel::GetForwardDirection(Vector3& out) const {
  out = m_frame.GetYAxis().Cross(m_groundNormal);
  const float len = out.Length();
  if (len != 0.0f) out = out * (1.0f / len);
}

void CWheel::ApplyForwardForce(float magnitude) {
  if (!m_onGround || !m_parent) return;
  Vector3 f;
  GetForwardDirection(f);
  m_parent->GetState().AddForceAtPoint(f * magnitude, GetWorldMountPoint());
}

float CWheel::FreeRollingSpin(const Vector3& forward) const {
  if (!m_onGround) return 0.0f;
  // The tyre turns about its axle: a leaning wheel touches the ground closer to the axle than its
  // reach, and must turn faster for that point not to slide.
  const Vector3& axle = m_frame.GetYAxis();
  const Vector3 down = m_groundPoint - GetWorldCenter();
  const float arm = (down - axle * axle.Dot(down)).Length();
  return arm > 0.0f ? forward.Dot(m_contactVelocity) / arm : 0.0f;
}

void CWheel::ComputeContactForces(float dt) {
  const float normal = m_onGround ? m_groundNormal.Dot(m_suspensionForce) : 0.0f;
  if (!m_onGround) m_gripping = 0;
  if (m_parent && m_onGround && normal > 0.0f && dt > 0.0f) {
    RigidBodyState& body = m_parent->GetState();
    const Vector3& n = m_groundNormal;
    Vector3 f;
    GetForwardDirection(f);
    const Vector3 side = n.Cross(f);
    // The tyre's velocity over the ground: what the grip has to cancel.
    m_contactVelocity = body.GetPointVelocity(m_groundPoint) - m_groundVelocity;
    m_contactVelocity -= n * n.Dot(m_contactVelocity);
    const float sideSkid = side.Dot(m_contactVelocity);
    const float forwardSkid = (m_gripping && !m_locked) ? 0.0f : f.Dot(GetSlipVelocity());
    const float supported = GetSupportedMass();
    const Vector3 centre = GetWorldCenter();
    float fs, ff;
    if (m_gripping) {
      const float limit = GetForwardStaticFriction() * normal;
      fs = -supported * sideSkid / dt;
      ff = -supported * forwardSkid / dt;
      if (std::fabs(fs) > limit || std::fabs(ff) > limit) {
        m_gripping = 0;
        fs = std::max(-limit, std::min(limit, fs));
        ff = std::max(-limit, std::min(limit, ff));
      }
      ff -= GetRoughness() * f.Dot(m_contactVelocity) * normal;
      body.AddForceAtPoint(side * fs + f * ff, centre);
      if (m_gripping && !m_locked) m_spin = FreeRollingSpin(f);
    } else {
      fs = GetSideKineticFriction() * normal * (sideSkid > 0.0f ? -1.0f : 1.0f);
      if (std::fabs(sideSkid) < 2.0f) fs *= std::fabs(sideSkid) * 0.5f;
      ff = GetForwardKineticFriction() * normal * (forwardSkid > 0.0f ? -1.0f : 1.0f);
      if (!m_locked && m_params.spinInertia > 0.0f) {
        const float target = FreeRollingSpin(f);
        const float step = std::fabs(m_radius * ff) / m_params.spinInertia * 3.0f * dt;
        m_spin += std::max(-step, std::min(step, target - m_spin));
      }
      if (std::fabs(forwardSkid) < 2.0f) ff *= std::fabs(forwardSkid) * 0.5f;
      body.AddForceAtPoint(side * fs + f * ff, centre);
      if (GetSlipVelocity().LengthSquared() < 0.25f) m_gripping = 1;
    }
  }
  if (m_locked) m_spin = 0.0f;
  m_spinAngle += dt * m_spin;
}

void CWheel::ApplyDriveTorque(float torque, float dt) {
  if (m_locked || m_params.spinInertia <= 0.0f) return;  // a locked wheel takes no torque at all
  const float normal = m_onGround ? m_groundNormal.Dot(m_suspensionForce) : 0.0f;
  if (m_onGround && torque != 0.0f && m_parent && m_radius > 0.0f) {
    const float traction = torque / m_radius;
    if (m_gripping && std::fabs(traction) < GetForwardStaticFriction() * normal) {
      Vector3 f;
      GetForwardDirection(f);
      m_parent->GetState().AddForceAtPoint(f * traction, GetWorldMountPoint());
      return;
    }
    m_gripping = 0;
    m_spin += torque / m_params.spinInertia * dt;
    return;
  }
  if (torque > 0.0f) m_spin += torque / m_params.spinInertia * dt;
}

Vector3 ComputeFrictionForce(float normalForce, const Vector3& velocity, const Vector3& applied, float staticFriction,
                             float kineticFriction) {
  const float speed = velocity.Length();
  if (speed >= 0.5f) {
    if (speed >= 2.0f) return velocity * (-kineticFriction * normalForce / speed);
    return velocity * (-0.5f * kineticFriction * normalForce);
  }
  const float f = applied.Length();
  if (f < staticFriction * normalForce) return -applied;
  if (f == 0.0f) return Vector3(0.0f, 0.0f, 0.0f);
  return applied * (-staticFriction * normalForce / f);
}
