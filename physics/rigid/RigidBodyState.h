// RigidBodyState: the dynamic state of one rigid body - pose, velocities, angular momentum and force accumulators.
#pragma once

#include <cstdint>

#include "core/math/Orientation.h"
#include "core/math/TMatrix.h"
#include "core/math/Vector3.h"

struct RigidMassProperties;
struct SurfaceType;

// The 18 floats a body's motion is saved and restored with.
struct RigidStateRecord {
  TMatrix rotation;
  Vector3 position;
  Vector3 velocity;
  Vector3 angularMomentum;
};

struct RigidBodyState {
  TMatrix rotation;   // rows are the body axes in world space
  Vector3 position;   // centre of mass
  Vector3 velocity;
  Vector3 angularMomentum;  // L, world axes
  const RigidMassProperties* mass = nullptr;
  const SurfaceType* surface = nullptr;
  Vector3 angularVelocity;  // derived: I^-1w L
  Vector3 force;
  Vector3 torque;
  COrientation nextPose;
  COrientation basePose;
  uint32_t hasBasePose = 0;
  float anchorStrength = 0.0f;
  uint8_t anchored = 0;
  uint8_t rotationLocked = 0;

  RigidBodyState();

  void Init(const COrientation& frame, const Vector3& vel, const Vector3& angVel, const RigidMassProperties* massBlock,
            const SurfaceType* surf, bool locked);
  void Load(const RigidStateRecord& record);
  void Save(RigidStateRecord& record) const;
  // Velocities from the record; its frame becomes the pose the next step starts from.
  void SetState(const RigidStateRecord& record);
  void SetPendingPose(const COrientation& frame);
  void SetAnchorStrength(float s);
  void SetRotationLocked(bool locked);

  void ClearForces();
  void AddForce(const Vector3& f) { force += f; }
  void AddForceAtPoint(const Vector3& f, const Vector3& p);
  void AddTorque(const Vector3& t);
  Vector3 GetPointVelocity(const Vector3& p) const;
  Vector3 GetPointForceTerm(const Vector3& p) const;
  Vector3 GetPointAcceleration(const Vector3& p) const;

  void ApplyImpulse(const Vector3& j);
  void ApplyImpulseAtPoint(const Vector3& j, const Vector3& p);
  void AddVelocity(const Vector3& dv) { velocity += dv; }
  void AddAngularVelocity(const Vector3& dw);
  void AddAngularMomentum(const Vector3& dl);

  float GetMass() const;
  // 0 for a body without mass, which nothing moves.
  float GetInverseMass() const;
  TMatrix GetWorldInertia() const;
  TMatrix GetWorldInverseInertia() const;
  // I^-1w v without forming the matrix.
  Vector3 ApplyWorldInverseInertia(const Vector3& v) const;
  void UpdateAngularVelocity();

  // Explicit Euler on the velocities; the pose is left alone.
  void Integrate(float dt);
  // Candidate pose after dt into nextPose, starting from the base pose when one is pending.
  void AdvancePose(float dt);
  void CommitPose();

  COrientation GetFrame() const { return COrientation(rotation, position); }
};

// K = (1/m) E - [r]x I^-1w [r]x: the velocity change at p per unit impulse at p.
TMatrix ImpulseResponseMatrix(const RigidBodyState& state, const Vector3& p);
