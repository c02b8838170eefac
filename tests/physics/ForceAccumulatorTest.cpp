// Force accumulators and the constraint solver: springs, point constraints holding accelerations equal, singular systems.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>

#include "physics/rigid/ForceAccumulatorConstant.h"
#include "physics/rigid/ForceAccumulatorPointConstraint.h"
#include "physics/rigid/ForceAccumulatorSpring.h"
#include "physics/rigid/RigidBodyIntegrate.h"
#include "physics/rigid/RigidBodyMath.h"
#include "physics/rigid/RigidBodyState.h"
#include "physics/rigid/RigidConstMass.h"
#include "tests/physics/PhysicsTestUtil.h"
#include "tests/physics/RigidTestUtil.h"
#include "tests/support/TempFolder.h"

using namespace rigid_test;
using physics_test::RandomPoint;
using physics_test::Uniform;

namespace {

RigidMassProperties RandomMass() {
  RigidPointMass balls[3];
  for (RigidPointMass& b : balls) b = {RandomPoint(0.6f), Uniform(0.5f, 4.0f), Uniform(0.1f, 0.4f)};
  RigidMassProperties m;
  m.SetFromPointMasses(balls, 3);
  return m;
}

COrientation RandomFrame() {
  COrientation f = At(RandomPoint(3.0f));
  f.RotateZ(Uniform(-3, 3));
  f.RotateY(Uniform(-3, 3));
  return f;
}

}  // namespace

TEST(ForceAccumulator, SpringPullsAlongItsFastLengthAndSkipsDegenerateCases) {
  RigidMassProperties mass;
  const RigidPointMass ball{Vector3(), 1.0f, 0.5f};
  mass.SetFromPointMasses(&ball, 1);
  RigidBodyState a, b;
  a.Init(At(Vector3(0, 0, 0)), Vector3(), Vector3(), &mass, nullptr, false);
  b.Init(At(Vector3(2, 1, 1)), Vector3(), Vector3(), &mass, nullptr, false);
  CSpringForceAccumulator(&a, &b, Vector3(), Vector3(), 100.0f, 0.0f, 1.0f).AccumulateForces();
  EXPECT_EQ(Vector3(120, 60, 60), a.force);
  EXPECT_EQ(Vector3(-120, -60, -60), b.force);
  a.ClearForces();
  CSpringForceAccumulator(nullptr, nullptr, Vector3(), Vector3(1, 0, 0), 100.0f, 1.0f, 0.0f).AccumulateForces();
  CSpringForceAccumulator(&a, nullptr, Vector3(2, 1, 1), Vector3(2, 1, 1), 100.0f, 1.0f, 0.0f).AccumulateForces();
  EXPECT_EQ(Vector3(0, 0, 0), a.force);  // no body at all; a's point on the world anchor
  // Damping opposes the stretching rate.
  b.velocity = Vector3(2.5f, 0, 0);
  CSpringForceAccumulator(&a, &b, Vector3(), Vector3(), 0.0f, 10.0f, 1.0f).AccumulateForces();
  EXPECT_EQ(Vector3(16, 8, 8), a.force);
}

TEST(ForceAccumulator, PointConstraintGivesBothPointsTheSameAcceleration) {
  plat::srand(5);
  for (int trial = 0; trial < 200; ++trial) {
    const RigidMassProperties ma = RandomMass(), mb = RandomMass();
    RigidBodyState a, b;
    a.Init(RandomFrame(), RandomPoint(2), RandomPoint(2), &ma, nullptr, false);
    b.Init(RandomFrame(), RandomPoint(2), RandomPoint(2), &mb, nullptr, false);
    const Vector3 joint = (a.position + b.position) * 0.5f;
    a.AddForceAtPoint(RandomPoint(20), joint + RandomPoint(1));
    b.AddForceAtPoint(RandomPoint(20), b.position + RandomPoint(1));
    CBodyPairPointConstraintAccumulator c(&a, &b, a.GetFrame().WorldToLocalPoint(joint),
                                          b.GetFrame().WorldToLocalPoint(joint));
    c.AccumulateForces();
    const Vector3 da = a.GetPointAcceleration(joint), db = b.GetPointAcceleration(joint);
    EXPECT_NEAR(0.0f, (da - db).Length(), 1e-3f * (1.0f + da.Length())) << trial;
  }
}

TEST(ForceAccumulator, SolverMatchesADenseReferenceAndRefusesNearSingularSystems) {
  plat::srand(9);
  for (int trial = 0; trial < 200; ++trial) {
    TMatrix m;
    Eigen::Matrix3d e;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) e(i, j) = m.m[i][j] = Uniform(-2, 2);
    const Vector3 rhs = RandomPoint(5);
    Vector3 x;
    if (!RigidMath::Solve(m, rhs, x)) continue;
    const Eigen::Vector3d ref = e.fullPivLu().solve(Eigen::Vector3d(rhs.x, rhs.y, rhs.z));
    const double scale = 1.0 + ref.norm();
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(ref(i), x[i], 1e-3 * scale * std::fabs(1.0 / e.determinant())) << trial;
    TMatrix inv;
    ASSERT_TRUE(RigidMath::Inverse(m, inv));
    const TMatrix id = m * inv;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) EXPECT_NEAR(i == j ? 1.0f : 0.0f, id.m[i][j], 1e-3f) << trial;
  }
  TMatrix nearly;
  nearly.Set(1, 0, 0, 0, 1, 0, 0, 0, 1e-9f);
  Vector3 out(7, 7, 7);
  EXPECT_FALSE(RigidMath::Solve(nearly, Vector3(1, 1, 1), out));
  EXPECT_EQ(Vector3(7, 7, 7), out);

  // Two immovable bodies joined at their common centre: no system to solve, no force.
  RigidMassProperties none;
  none.SetFromPointMasses(nullptr, 0);
  RigidBodyState a, b;
  a.Init(At(Vector3(1, 1, 1)), Vector3(), Vector3(), &none, nullptr, false);
  b.Init(At(Vector3(1, 1, 1)), Vector3(), Vector3(), &none, nullptr, false);
  a.AddForce(Vector3(5, 0, 0));
  testing_support::DebugCapture log;
  CBodyPairPointConstraintAccumulator(&a, &b, Vector3(), Vector3()).AccumulateForces();
  EXPECT_EQ(Vector3(5, 0, 0), a.force);
  EXPECT_EQ(Vector3(0, 0, 0), b.force);
  EXPECT_NE(std::string::npos, log.Text().find("Warning: Singularity in constraint force solver!\n"));
}

TEST(ForceAccumulator, PendulumOnAnImmovablePivotKeepsItsLengthOverALongRun) {
  RigidMassProperties none, bob;
  none.SetFromPointMasses(nullptr, 0);
  const RigidPointMass ball{Vector3(), 2.0f, 0.1f};
  bob.SetFromPointMasses(&ball, 1);
  RigidBodyState pivot, swing;
  pivot.Init(At(Vector3(0, 0, 0)), Vector3(), Vector3(), &none, nullptr, false);
  swing.Init(At(Vector3(1, 0, 0)), Vector3(), Vector3(), &bob, nullptr, false);
  CConstantForceAccumulator gravity(&swing, Vector3(0, 0, -9.8f * 2.0f), Vector3());
  CBodyPairPointConstraintAccumulator joint(&pivot, &swing, Vector3(), Vector3(-1, 0, 0));
  RigidBodyState* bodies[] = {&pivot, &swing};
  CForceAccumulator* accs[] = {&gravity, &joint};
  float lowest = 0.0f;
  for (int i = 0; i < 2000; ++i) {
    IntegrateRigidBodiesRK4(bodies, 2, accs, 2, 0.002f);
    for (RigidBodyState* s : bodies) {
      s->AdvancePose(0.002f);
      s->CommitPose();
    }
    lowest = std::min(lowest, swing.position.z);
    const Vector3 end = swing.GetFrame().LocalToWorldPoint(Vector3(-1, 0, 0));
    ASSERT_LT(end.Length(), 0.05f) << i;  // the joint stays together
  }
  EXPECT_LT(lowest, -0.9f);  // it really swung
  EXPECT_EQ(Vector3(0, 0, 0), pivot.position);
}
