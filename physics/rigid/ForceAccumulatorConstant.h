// CConstantForceAccumulator: a fixed force and torque on one body (gravity, thrust).
#pragma once

#include "core/math/Vector3.h"
#include "physics/rigid/ForceAccumulator.h"

struct RigidBodyState;

class CConstantForceAccumulator : public CForceAccumulator {
 public:
  CConstantForceAccumulator(RigidBodyState* body, const Vector3& force, const Vector3& torque)
      : m_body(body), m_force(force), m_torque(torque) {}
  void AccumulateForces() override;

 private:
  RigidBodyState* m_body;
  Vector3 m_force;
  Vector3 m_torque;
};
