// CBodyPairPointConstraintAccumulator: the force that keeps a point of one body on a point of another, and its solver.
#pragma once

#include "core/math/Vector3.h"
#include "physics/rigid/ForceAccumulator.h"

struct RigidBodyState;

// The force to add to a at p (and its opposite to b) so that the point p of both bodies
// accelerates alike. Zero, with a logged warning, when the system is (nearly) singular.
Vector3 SolveConstraintForces(const RigidBodyState& a, const RigidBodyState& b, const Vector3& p);

class CBodyPairPointConstraintAccumulator : public CForceAccumulator {
 public:
  CBodyPairPointConstraintAccumulator(RigidBodyState* a, RigidBodyState* b, const Vector3& attachA,
                                      const Vector3& attachB)
      : m_a(a), m_b(b), m_attachA(attachA), m_attachB(attachB) {}
  // Holds the relative acceleration of the two points at zero; an existing drift stays.
  void AccumulateForces() override;

 private:
  RigidBodyState* m_a;
  RigidBodyState* m_b;
  Vector3 m_attachA;
  Vector3 m_attachB;
};
