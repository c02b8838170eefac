#include "physics/rigid/RigidBodyIntegrate.h"

#include <vector>

#include "physics/rigid/ForceAccumulator.h"
#include "physics/rigid/RigidBodyState.h"

namespace {

// The derivative of one body's momentum state at one stage.
struct StageRate {
  Vector3 velocity;         // d position / dt
  Vector3 angularVelocity;  // d rotation / dt
  Vector3 acceleration;
  Vector3 torque;
};

void EvaluateForces(RigidBodyState* const* bodies, size_t n, CForceAccumulator* const* acc, size_t accCount,
                    std::vector<StageRate>& out) {
  for (size_t i = 0; i < n; ++i) bodies[i]->ClearForces();
  for (size_t k = 0; k < accCount; ++k)
    if (acc[k]) acc[k]->AccumulateForces();
  for (size_t i = 0; i < n; ++i) {
    RigidBodyState& b = *bodies[i];
    out[i].velocity = b.velocity;
    out[i].angularVelocity = b.angularVelocity;
    out[i].acceleration = b.force * b.GetInverseMass();
    const bool turns = !b.rotationLocked && b.GetInverseMass() != 0.0f;
    out[i].torque = turns ? b.torque : Vector3(0.0f, 0.0f, 0.0f);
  }
}

// Puts the body at start + h * (rates of the given stage): the pose moved from the start pose
// with the stage's velocities, the momenta changed by the stage's forces.
void PlaceAt(RigidBodyState& b, const RigidStateRecord& start, const StageRate& rate, float h) {
  b.rotation = start.rotation;
  b.position = start.position;
  b.velocity = rate.velocity;
  b.angularVelocity = rate.angularVelocity;
  b.hasBasePose = 0;
  b.AdvancePose(h);
  b.CommitPose();
  b.velocity = start.velocity + rate.acceleration * h;
  b.angularMomentum = start.angularMomentum + rate.torque * h;
  b.UpdateAngularVelocity();
}

}  // namespace

void IntegrateRigidBodiesRK4(RigidBodyState* const* bodies, size_t bodyCount, CForceAccumulator* const* accumulators,
                             size_t accumulatorCount, float dt) {
  if (!bodies || bodyCount == 0) return;
  std::vector<RigidStateRecord> y0(bodyCount);
  std::vector<StageRate> k1(bodyCount), k2(bodyCount), k3(bodyCount), k4(bodyCount);
  for (size_t i = 0; i < bodyCount; ++i) {
    RigidBodyState& b = *bodies[i];
    // A pending base pose is where this step starts.
    if (b.hasBasePose) {
      b.rotation = b.basePose.axes;
      b.position = b.basePose.position;
      b.hasBasePose = 0;
      b.UpdateAngularVelocity();
    }
    b.Save(y0[i]);
  }
  // Classical weights: y1 = y0 + dt/6 (k1 + 2 k2 + 2 k3 + k4).
  EvaluateForces(bodies, bodyCount, accumulators, accumulatorCount, k1);
  for (size_t i = 0; i < bodyCount; ++i) PlaceAt(*bodies[i], y0[i], k1[i], 0.5f * dt);
  EvaluateForces(bodies, bodyCount, accumulators, accumulatorCount, k2);
  for (size_t i = 0; i < bodyCount; ++i) PlaceAt(*bodies[i], y0[i], k2[i], 0.5f * dt);
  EvaluateForces(bodies, bodyCount, accumulators, accumulatorCount, k3);
  for (size_t i = 0; i < bodyCount; ++i) PlaceAt(*bodies[i], y0[i], k3[i], dt);
  EvaluateForces(bodies, bodyCount, accumulators, accumulatorCount, k4);
  const float w = dt / 6.0f;
  for (size_t i = 0; i < bodyCount; ++i) {
    RigidBodyState& b = *bodies[i];
    RigidStateRecord out = y0[i];
    out.velocity += (k1[i].acceleration + (k2[i].acceleration + k3[i].acceleration) * 2.0f + k4[i].acceleration) * w;
    out.angularMomentum += (k1[i].torque + (k2[i].torque + k3[i].torque) * 2.0f + k4[i].torque) * w;
    b.ClearForces();
    b.Load(out);
  }
}
