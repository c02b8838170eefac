#include "physics/rigid/ForceAccumulator.h"

#include "core/data/DebugPrintf.h"
#include "physics/rigid/ForceAccumulatorConstant.h"
#include "physics/rigid/ForceAccumulatorPointConstraint.h"
#include "physics/rigid/ForceAccumulatorSpring.h"
#include "physics/rigid/RigidBodyMath.h"
#include "physics/rigid/RigidBodyState.h"

namespace {

void PointOf(const RigidBodyState* body, const Vector3& attach, Vector3& point, Vector3& velocity) {
  if (!body) {
    point = attach;
    velocity = Vector3(0.0f, 0.0f, 0.0f);
    return;
  }
  point = body->GetFrame().LocalToWorldPoint(attach);
  velocity = body->GetPointVelocity(point);
}

// f with K f = b; zero and the warning when K is too near singular to trust.
Vector3 SolvePair(const RigidBodyState& a, const Vector3& pa, const RigidBodyState& b, const Vector3& pb) {
  const TMatrix k = ImpulseResponseMatrix(a, pa) + ImpulseResponseMatrix(b, pb);
  const Vector3 rhs = b.GetPointAcceleration(pb) - a.GetPointAcceleration(pa);
  Vector3 f;
  if (!RigidMath::Solve(k, rhs, f)) {
    DebugPrintf("Warning: Singularity in constraint force solver!\n");
    return Vector3(0.0f, 0.0f, 0.0f);
  }
  return f;
}

}  // namespace

void CConstantForceAccumulator::AccumulateForces() {
  if (!m_body) return;
  m_body->AddForce(m_force);
  m_body->AddTorque(m_torque);
}

void CSpringForceAccumulator::AccumulateForces() {
  if (!m_a && !m_b) return;
  Vector3 pa, ua, pb, ub;
  PointOf(m_a, m_attachA, pa, ua);
  PointOf(m_b, m_attachB, pb, ub);
  const Vector3 d = pb - pa;
  const float len = RigidMath::FastLength(d);
  if (!(len > 0.0f)) return;
  const Vector3 e = d * (1.0f / len);
  const float rate = e.Dot(ub - ua);
  const Vector3 f = e * (m_stiffness * (len - m_restLength) + m_damping * rate);
  if (m_a) m_a->AddForceAtPoint(f, pa);
  if (m_b) m_b->AddForceAtPoint(-f, pb);
}

Vector3 SolveConstraintForces(const RigidBodyState& a, const RigidBodyState& b, const Vector3& p) {
  return SolvePair(a, p, b, p);
}

void CBodyPairPointConstraintAccumulator::AccumulateForces() {
  if (!m_a || !m_b) return;
  const Vector3 pa = m_a->GetFrame().LocalToWorldPoint(m_attachA);
  const Vector3 pb = m_b->GetFrame().LocalToWorldPoint(m_attachB);
  const Vector3 f = SolvePair(*m_a, pa, *m_b, pb);
  m_a->AddForceAtPoint(f, pa);
  m_b->AddForceAtPoint(-f, pb);
}
