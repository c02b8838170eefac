// CSpringForceAccumulator: a spring-damper between points of two bodies (a null body is a fixed world point).
#pragma once

#include "core/math/Vector3.h"
#include "physics/rigid/ForceAccumulator.h"

struct RigidBodyState;

class CSpringForceAccumulator : public CForceAccumulator {
 public:
  // Attach points are in their body's frame, or world points for a null body.
  CSpringForceAccumulator(RigidBodyState* a, RigidBodyState* b, const Vector3& attachA, const Vector3& attachB,
                          float stiffness, float damping, float restLength)
      : m_a(a), m_b(b), m_attachA(attachA), m_attachB(attachB), m_stiffness(stiffness), m_damping(damping),
        m_restLength(restLength) {}
  // Length and direction use the fast length estimate.
  void AccumulateForces() override;

 private:
  RigidBodyState* m_a;
  RigidBodyState* m_b;
  Vector3 m_attachA;
  Vector3 m_attachB;
  float m_stiffness;
  float m_damping;
  float m_restLength;
};
