// CWheel: one wheel of a vehicle body - ground probe, spring-damper suspension along a body axis, and tyre forces.
#pragma once

#include <cstdint>

#include "core/math/Orientation.h"
#include "physics/collision/ActiveCollisionObject.h"
#include "physics/collision/CollisionInfo.h"
#include "physics/rigid/ForceAccumulator.h"
#include "physics/rigid/WheelParams.h"

class CRigidCollisionBody;
struct SurfaceType;

class CWheel : public CActiveCollisionObject, public CForceAccumulator {
 public:
  CWheel();
  ~CWheel() override;

  bool Intersect(GenericIntersection* query) override;
  const CollisionInfo* GetCollisionInfo(CCollisionObject* asker) override { return &m_info; }
  bool HandleCollision(const CollisionInfo* info, const IntersectionResult* hit) override;
  // A new swept sphere of the wheel's radius from full extension to the next extension.
  SweepQuery CreateSweepQuery(float dt) override;
  void ApplySweep(COctree* octree, GenericIntersection* query) override;
  // The vehicle calls the wheel's operations itself, so listing the wheel adds nothing.
  void AccumulateForces() override {}

  void Attach(CRigidCollisionBody* parent, float extension, float rate, const WheelParams& params);
  void SetSuspensionState(float extension, float rate, float spin);
  // A locked wheel does not turn at all until it is released.
  void SetLocked(bool locked);
  bool IsLocked() const { return m_locked != 0; }

  // Ground contact at p with normal n (towards the wheel); velocity is that of the ground there.
  void SetGroundContact(const Vector3& p, const Vector3& n, const SurfaceType* surface,
                        CCollisionObject* ground = nullptr, const Vector3& groundVelocity = Vector3());
  void ClearGroundContact() { m_onGround = false; }
  bool IsOnGround() const { return m_onGround; }

  float GetSupportedMass() const;
  Vector3 GetWorldMountPoint() const;
  Vector3 GetWorldAxis() const;
  Vector3 GetWorldCenter() const;
  Vector3 GetLocalCenter() const;
  Vector3 GetLocalSuspensionOffset() const;
  const Vector3& GetContactVelocity() const { return m_contactVelocity; }
  Vector3 GetSlipVelocity() const;
  void GetForwardDirection(Vector3& out) const;
  void ApplyForwardForce(float magnitude);

  void UpdateSuspension(float dt);
  void ComputeContactForces(float dt);
  void ApplyDriveTorque(float torque, float dt);

  float GetExtension() const { return m_extension; }
  float GetExtensionRate() const { return m_rate; }
  float GetNextExtension() const { return m_nextExtension; }
  float GetSpin() const { return m_spin; }
  float GetSpinAngle() const { return m_spinAngle; }
  bool IsGripping() const { return m_gripping != 0; }
  const Vector3& GetSuspensionForce() const { return m_suspensionForce; }
  const WheelParams& GetParams() const { return m_params; }
  const COrientation& GetWheelFrame() const { return m_frame; }
  void SetSteerAngle(float angle) { m_steer = angle; }

  float GetForwardStaticFriction() const;
  float GetForwardKineticFriction() const;
  float GetSideKineticFriction() const;
  float GetRoughness() const;

 private:
  void UpdateFrame(bool reinsert);
  void UpdateBump(float dt);
  float FreeRollingSpin(const Vector3& forward) const;
  const SurfaceType& Ground() const;

  CRigidCollisionBody* m_parent = nullptr;
  COrientation m_frame;
  float m_extension = 0.0f;
  float m_rate = 0.0f;
  float m_radius = 0.0f;
  float m_bump = 0.0f;
  float m_bumpTarget = 0.0f;
  float m_nextExtension = 0.0f;
  float m_nextRate = 0.0f;
  float m_spin = 0.0f;
  float m_spinAngle = 0.0f;
  float m_steer = 0.0f;
  Vector3 m_suspensionForce;
  Vector3 m_contactVelocity;
  uint8_t m_gripping = 0;
  uint8_t m_locked = 0;
  const SurfaceType* m_groundSurface = nullptr;
  WheelParams m_params;
  CollisionInfo m_info;
  bool m_onGround = false;
  CCollisionObject* m_ground = nullptr;
  Vector3 m_groundPoint;
  Vector3 m_groundNormal;
  Vector3 m_groundVelocity;
};

// Friction for a contact with normal force N, sliding velocity V and applied tangential force F.
Vector3 ComputeFrictionForce(float normalForce, const Vector3& velocity, const Vector3& applied, float staticFriction,
                             float kineticFriction);
