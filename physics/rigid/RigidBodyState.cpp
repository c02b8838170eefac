#include "physics/rigid/RigidBodyState.h"

#include "physics/rigid/RigidBodyMath.h"
#include "physics/rigid/RigidConstMass.h"

RigidBodyState::RigidBodyState()
    : position(0.0f, 0.0f, 0.0f),
      velocity(0.0f, 0.0f, 0.0f),
      angularMomentum(0.0f, 0.0f, 0.0f),
      angularVelocity(0.0f, 0.0f, 0.0f),
      force(0.0f, 0.0f, 0.0f),
      torque(0.0f, 0.0f, 0.0f) {}

void RigidBodyState::Init(const COrientation& frame, const Vector3& vel, const Vector3& angVel,
                          const RigidMassProperties* massBlock, const SurfaceType* surf, bool locked) {
  rotation = frame.axes;
  position = frame.position;
  velocity = vel;
  mass = massBlock;
  surface = surf;
  rotationLocked = locked ? 1 : 0;
  angularMomentum = locked ? Vector3(0.0f, 0.0f, 0.0f) : RigidMath::Mul(GetWorldInertia(), angVel);
  UpdateAngularVelocity();
  hasBasePose = 0;
  ClearForces();
}

void RigidBodyState::Load(const RigidStateRecord& record) {
  rotation = record.rotation;
  position = record.position;
  velocity = record.velocity;
  angularMomentum = rotationLocked ? Vector3(0.0f, 0.0f, 0.0f) : record.angularMomentum;
  UpdateAngularVelocity();
  hasBasePose = 0;
}

void RigidBodyState::Save(RigidStateRecord& record) const {
  record.rotation = rotation;
  record.position = position;
  record.velocity = velocity;
  record.angularMomentum = angularMomentum;
}

void RigidBodyState::SetState(const RigidStateRecord& record) {
  velocity = record.velocity;
  angularMomentum = rotationLocked ? Vector3(0.0f, 0.0f, 0.0f) : record.angularMomentum;
  UpdateAngularVelocity();
  SetPendingPose(COrientation(record.rotation, record.position));
}

void RigidBodyState::SetPendingPose(const COrientation& frame) {
  basePose = frame;
  hasBasePose = 1;
}

void RigidBodyState::SetAnchorStrength(float s) {
  anchorStrength = s;
  anchored = s > 0.0f ? 1 : 0;
}

void RigidBodyState::SetRotationLocked(bool locked) {
  rotationLocked = locked ? 1 : 0;
  if (locked) {
    angularMomentum = Vector3(0.0f, 0.0f, 0.0f);
    angularVelocity = Vector3(0.0f, 0.0f, 0.0f);
    torque = Vector3(0.0f, 0.0f, 0.0f);
  }
}

void RigidBodyState::ClearForces() {
  force = Vector3(0.0f, 0.0f, 0.0f);
  torque = Vector3(0.0f, 0.0f, 0.0f);
}

void RigidBodyState::AddForceAtPoint(const Vector3& f, const Vector3& p) {
  force += f;
  if (!rotationLocked) torque += (p - position).Cross(f);
}

void RigidBodyState::AddTorque(const Vector3& t) {
  if (!rotationLocked) torque += t;
}

Vector3 RigidBodyState::GetPointVelocity(const Vector3& p) const {
  if (rotationLocked) return velocity;
  return velocity + angularVelocity.Cross(p - position);
}

Vector3 RigidBodyState::GetPointForceTerm(const Vector3& p) const {
  if (rotationLocked) return force;
  return force + torque.Cross(p - position);
}

Vector3 RigidBodyState::GetPointAcceleration(const Vector3& p) const {
  const Vector3 r = p - position;
  const Vector3 alpha = ApplyWorldInverseInertia(torque - angularVelocity.Cross(angularMomentum));
  return force * GetInverseMass() + alpha.Cross(r) + angularVelocity.Cross(angularVelocity.Cross(r));
}

void RigidBodyState::ApplyImpulse(const Vector3& j) { velocity += j * GetInverseMass(); }

void RigidBodyState::ApplyImpulseAtPoint(const Vector3& j, const Vector3& p) {
  velocity += j * GetInverseMass();
  if (!rotationLocked && GetInverseMass() != 0.0f) {
    angularMomentum += (p - position).Cross(j);
    UpdateAngularVelocity();
  }
}

void RigidBodyState::AddAngularVelocity(const Vector3& dw) {
  if (rotationLocked) return;
  angularVelocity += dw;
  angularMomentum = RigidMath::Mul(GetWorldInertia(), angularVelocity);
}

void RigidBodyState::AddAngularMomentum(const Vector3& dl) {
  if (rotationLocked || GetInverseMass() == 0.0f) return;
  angularMomentum += dl;
  UpdateAngularVelocity();
}

float RigidBodyState::GetMass() const { return mass ? mass->mass : 0.0f; }

float RigidBodyState::GetInverseMass() const { return mass ? mass->inverseMass : 0.0f; }

TMatrix RigidBodyState::GetWorldInertia() const {
  if (!mass) return RigidMath::ScaledIdentity(0.0f);
  return rotation.Transposed() * mass->inertia * rotation;
}

TMatrix RigidBodyState::GetWorldInverseInertia() const {
  if (!mass) return RigidMath::ScaledIdentity(0.0f);
  return rotation.Transposed() * mass->inverseInertia * rotation;
}

Vector3 RigidBodyState::ApplyWorldInverseInertia(const Vector3& v) const {
  if (!mass) return Vector3(0.0f, 0.0f, 0.0f);
  // Into body axes, through the body inverse inertia, back to world axes.
  const Vector3 local = RigidMath::Mul(rotation, v);
  return RigidMath::Mul(mass->inverseInertia, local) * rotation;
}

void RigidBodyState::UpdateAngularVelocity() {
  angularVelocity = rotationLocked ? Vector3(0.0f, 0.0f, 0.0f) : ApplyWorldInverseInertia(angularMomentum);
}

void RigidBodyState::Integrate(float dt) {
  velocity += force * (GetInverseMass() * dt);
  if (!rotationLocked && GetInverseMass() != 0.0f) {
    angularMomentum += torque * dt;
    UpdateAngularVelocity();
  }
}

void RigidBodyState::AdvancePose(float dt) {
  const COrientation start = hasBasePose ? basePose : GetFrame();
  nextPose.position = start.position + velocity * dt;
  nextPose.axes = start.axes;
  if (!rotationLocked) {
    for (int i = 0; i < 3; ++i) nextPose.axes.m[i] = start.axes.m[i] + angularVelocity.Cross(start.axes.m[i]) * dt;
    nextPose.Orthonormalize();
  }
}

void RigidBodyState::CommitPose() {
  rotation = nextPose.axes;
  position = nextPose.position;
  hasBasePose = 0;
}

TMatrix ImpulseResponseMatrix(const RigidBodyState& state, const Vector3& p) {
  const TMatrix rx = RigidMath::CrossMatrix(p - state.position);
  return RigidMath::Difference(RigidMath::ScaledIdentity(state.GetInverseMass()),
                               rx * state.GetWorldInverseInertia() * rx);
}
