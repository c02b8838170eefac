// Rigid-body state and integration: free fall, fourth order against Euler, torque-free spin, immovable, locked bodies.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "physics/rigid/ForceAccumulatorConstant.h"
#include "physics/rigid/ForceAccumulatorSpring.h"
#include "physics/rigid/RigidBodyIntegrate.h"
#include "physics/rigid/RigidBodyMath.h"
#include "physics/rigid/RigidBodyState.h"
#include "tests/physics/RigidTestUtil.h"

using namespace rigid_test;

namespace {

// The pose step the world's sweep makes after the velocities are integrated.
void Step(RigidBodyState& s, CForceAccumulator* acc, float dt) {
  RigidBodyState* bodies[] = {&s};
  CForceAccumulator* accs[] = {acc};
  IntegrateRigidBodiesRK4(bodies, 1, accs, acc ? 1 : 0, dt);
  s.AdvancePose(dt);
  s.CommitPose();
}

RigidMassProperties BallMass(float m) {
  RigidMassProperties mass;
  const RigidPointMass ball{Vector3(), m, 1.0f};
  mass.SetFromPointMasses(&ball, 1);
  return mass;
}

float Energy(const RigidBodyState& s) {
  return 0.5f * s.GetMass() * s.velocity.LengthSquared() + 0.5f * s.angularVelocity.Dot(s.angularMomentum);
}

}  // namespace

TEST(RigidBodyIntegration, FreeFallGainsGDtEveryStepAndFollowsTheParabola) {
  const RigidMassProperties mass = BallMass(2.0f);
  const Vector3 g(0.0f, 0.0f, -9.8f);
  for (float dt : {0.02f, 0.01f}) {
    RigidBodyState s;
    s.Init(At(Vector3()), Vector3(), Vector3(0, 0, 1), &mass, nullptr, false);
    // Restored from a record, the body moves as the record says from the record's pose on.
    s.SetState({TMatrix().Set(0, 1, 0, -1, 0, 0, 0, 0, 1), Vector3(0, 0, 100), Vector3(1, 0, 0), Vector3()});
    CConstantForceAccumulator gravity(&s, g * 2.0f, Vector3());
    // Under a constant force the single explicit step is exact too: both gain g dt.
    RigidBodyState e = s;
    CConstantForceAccumulator eulerGravity(&e, g * 2.0f, Vector3());
    const int n = static_cast<int>(std::lround(1.0f / dt));
    for (int i = 1; i <= n; ++i) {
      const float before = s.velocity.z;
      Step(s, &gravity, dt);
      ASSERT_NEAR(-9.8f * dt, s.velocity.z - before, 1e-4f);  // g dt, not two thirds of it
      e.ClearForces();
      eulerGravity.AccumulateForces();
      e.Integrate(dt);
      ASSERT_NEAR(s.velocity.z, e.velocity.z, 1e-4f) << i;
    }
    const float t = n * dt;
    EXPECT_NEAR(-9.8f * t, s.velocity.z, 1e-3f);
    EXPECT_NEAR(1.0f * t, s.position.x, 1e-3f);
    // The sweep's explicit pose step lags the parabola by g dt t / 2 at most.
    EXPECT_NEAR(100.0f - 4.9f * t * t, s.position.z, 4.9f * dt * t + 1e-3f);
    EXPECT_EQ(Vector3(0, 0, 0), s.force);
    EXPECT_EQ(TMatrix().Set(0, 1, 0, -1, 0, 0, 0, 0, 1), s.rotation);
  }
}

TEST(RigidBodyIntegration, OneStepErrorOfASpringShrinksAsTheFifthPowerAndEulersAsTheThird) {
  // x'' = -x from x = 1, v = 0: v(dt) = -sin(dt). A fourth-order step errs by O(dt^5), the
  // explicit Euler step of Integrate by O(dt^3) (-dt against -dt + dt^3/6).
  const RigidMassProperties mass = BallMass(1.0f);
  std::vector<double> errors, eulerErrors;
  for (float dt : {0.4f, 0.2f}) {
    RigidBodyState s, e;
    s.Init(At(Vector3(1, 0, 0)), Vector3(), Vector3(), &mass, nullptr, false);
    e.Init(At(Vector3(1, 0, 0)), Vector3(), Vector3(), &mass, nullptr, false);
    CSpringForceAccumulator spring(&s, nullptr, Vector3(), Vector3(), 1.0f, 0.0f, 0.0f);
    RigidBodyState* bodies[] = {&s};
    CForceAccumulator* accs[] = {&spring};
    IntegrateRigidBodiesRK4(bodies, 1, accs, 1, dt);
    EXPECT_EQ(1.0f, s.position.x);  // the pose is the sweep's business
    errors.push_back(std::fabs(s.velocity.x + std::sin(static_cast<double>(dt))));
    CSpringForceAccumulator eulerSpring(&e, nullptr, Vector3(), Vector3(), 1.0f, 0.0f, 0.0f);
    eulerSpring.AccumulateForces();
    e.Integrate(dt);
    EXPECT_EQ(1.0f, e.position.x);
    EXPECT_EQ(-dt, e.velocity.x);
    eulerErrors.push_back(std::fabs(e.velocity.x + std::sin(static_cast<double>(dt))));
  }
  EXPECT_LT(errors[0], 2e-4);
  const double ratio = errors[0] / errors[1];
  EXPECT_GT(ratio, 20.0);
  EXPECT_LT(ratio, 45.0);
  const double eulerRatio = eulerErrors[0] / eulerErrors[1];
  EXPECT_GT(eulerRatio, 7.0);
  EXPECT_LT(eulerRatio, 9.0);
  EXPECT_GT(eulerErrors[1], 20.0 * errors[1]);
}

TEST(RigidBodyIntegration, TorqueFreeSpinKeepsAngularMomentumAndEnergy) {
  // Unequal principal moments; spin mostly about the largest axis with a wobble.
  const std::vector<RigidPointMass> balls = {{Vector3(1.0f, 0, 0), 1.0f, 0.2f},
                                             {Vector3(-1.0f, 0, 0), 1.0f, 0.2f},
                                             {Vector3(0, 0.5f, 0), 1.0f, 0.2f},
                                             {Vector3(0, -0.5f, 0), 1.0f, 0.2f}};
  RigidMassProperties mass;
  mass.SetFromPointMasses(balls.data(), static_cast<uint32_t>(balls.size()));
  RigidBodyState s;
  s.Init(At(Vector3()), Vector3(), Vector3(0.05f, 0.1f, 2.0f), &mass, nullptr, false);
  const Vector3 l0 = s.angularMomentum;
  const float e0 = Energy(s);
  for (int i = 0; i < 20000; ++i) {
    Step(s, nullptr, 0.005f);
    if (i % 1000 == 0) {
      ASSERT_TRUE(s.GetFrame().IsOrthonormal(1e-3f)) << i;
    }
  }
  EXPECT_NEAR(0.0f, (s.angularMomentum - l0).Length(), 1e-5f * l0.Length());
  EXPECT_NEAR(e0, Energy(s), 0.02f * e0);
}

TEST(RigidBodyState, ImmovableAndLockedBodiesIgnoreWhatTheyCannotTake) {
  RigidMassProperties none;
  EXPECT_EQ(Vector3(0, 0, 0), none.SetFromPointMasses(nullptr, 0));  // no masses, no centre to move to
  RigidBodyState wall;
  wall.Init(At(Vector3()), Vector3(), Vector3(), &none, nullptr, false);
  wall.AddForceAtPoint(Vector3(1e6f, 0, 0), Vector3(0, 1, 0));
  wall.Integrate(0.1f);
  CConstantForceAccumulator shove(&wall, Vector3(1e6f, 0, 0), Vector3(0, 0, 1e6f));
  Step(wall, &shove, 0.1f);
  wall.ApplyImpulseAtPoint(Vector3(0, 5, 0), Vector3(1, 0, 0));
  EXPECT_EQ(Vector3(0, 0, 0), wall.velocity);
  EXPECT_EQ(Vector3(0, 0, 0), wall.angularMomentum);
  EXPECT_TRUE(std::isfinite(wall.GetPointAcceleration(Vector3(1, 2, 3)).Length()));

  const RigidMassProperties mass = BallMass(1.0f);
  RigidBodyState locked;
  locked.Init(At(Vector3()), Vector3(), Vector3(0, 0, 3), &mass, nullptr, true);
  locked.AddForceAtPoint(Vector3(0, 1, 0), Vector3(1, 0, 0));
  locked.AddTorque(Vector3(0, 0, 4));
  locked.Integrate(0.5f);
  locked.AdvancePose(0.5f);
  EXPECT_EQ(Vector3(0, 0.5f, 0), locked.velocity);
  EXPECT_EQ(Vector3(0, 0, 0), locked.angularVelocity);
  EXPECT_EQ(TMatrix(), locked.nextPose.axes);
  // Added spin: ignored when locked; a free body takes it whole, with the momentum its inertia gives.
  RigidBodyState free;
  free.Init(At(Vector3()), Vector3(), Vector3(), &mass, nullptr, false);
  for (RigidBodyState* s : {&locked, &free}) s->AddAngularVelocity(Vector3(0, 0, 3));
  EXPECT_EQ(Vector3(0, 0, 0), locked.angularVelocity);
  EXPECT_EQ(Vector3(0, 0, 3), free.angularVelocity);
  EXPECT_NEAR(3.0f * mass.inertia.m[2][2], free.angularMomentum.z, 1e-5f);
  free.SetRotationLocked(true);  // locked later, it drops its spin and takes no more
  free.AddTorque(Vector3(0, 0, 4));
  free.Integrate(0.5f);
  EXPECT_EQ(Vector3(0, 0, 0), free.angularVelocity);
  // A record with spin in it leaves the locked body without any.
  RigidStateRecord spinning;
  locked.Save(spinning);
  spinning.angularMomentum = Vector3(0, 0, 5);
  locked.Load(spinning);
  EXPECT_EQ(Vector3(0, 0, 0), locked.angularMomentum);
  EXPECT_EQ(Vector3(0, 0, 0), locked.angularVelocity);
}

TEST(RigidBodyState, PointVelocityAndImpulseResponseAgree) {
  // K from ImpulseResponseMatrix must predict the point-velocity change of an impulse there.
  const std::vector<RigidPointMass> balls = {{Vector3(0.3f, 0, 0), 2.0f, 0.4f},
                                             {Vector3(-0.3f, 0.2f, 0.1f), 1.0f, 0.2f}};
  RigidMassProperties mass;
  const Vector3 c = mass.SetFromPointMasses(balls.data(), 2);
  COrientation frame(TMatrix(), Vector3(1, 2, 3) - c);
  frame.RotateZ(0.7f);
  frame.RotateX(-0.4f);
  for (int trial = 0; trial < 50; ++trial) {
    RigidBodyState s;
    s.Init(frame, Vector3(0.1f * trial, 0, 1), Vector3(1, -2, 0.5f), &mass, nullptr, false);
    const Vector3 p = s.position + Vector3(std::sin(trial * 1.0f), std::cos(trial * 2.0f), 0.5f);
    const Vector3 j(std::cos(trial * 3.0f), 0.5f, std::sin(trial * 0.5f));
    const Vector3 before = s.GetPointVelocity(p);
    s.ApplyImpulseAtPoint(j, p);
    const Vector3 predicted = RigidMath::Mul(ImpulseResponseMatrix(s, p), j);
    EXPECT_NEAR(0.0f, (s.GetPointVelocity(p) - before - predicted).Length(), 1e-4f);
  }
}
