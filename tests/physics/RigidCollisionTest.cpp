// Rigid-body collision response: momentum and energy of impacts, separating bodies, anchors, bounces, resting friction.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/spatial/Octree.h"
#include "core/math/RayInfo.h"
#include "physics/collision/CollisionFlags.h"
#include "physics/collision/CollisionObject.h"
#include "physics/rigid/RigidCollisionBody.h"
#include "physics/rigid/RigidCollisionReport.h"
#include "physics/collision/SurfaceType.h"
#include "tests/physics/PhysicsTestUtil.h"
#include "tests/physics/RigidTestUtil.h"

using namespace rigid_test;
using physics_test::Uniform;

namespace {

// A body that keeps the reports of its own impacts.
class HearingBody : public CRigidCollisionBody {
 public:
  bool HandleCollision(const CollisionInfo* info, const IntersectionResult* hit) override {
    if (info && info->kind == RigidCollisionReport::kKind)
      reports.push_back(*static_cast<const RigidCollisionReport*>(info));
    return CRigidCollisionBody::HandleCollision(info, hit);
  }
  std::vector<RigidCollisionReport> reports;
};

struct Body {
  std::unique_ptr<RigidConst> model;
  HearingBody body;

  Body(const std::vector<RigidPointMass>& masses, float bounce, const COrientation& frame, const Vector3& v,
       const Vector3& w, float anchor = 0.0f) {
    RigidPhysicsParams params;
    params.surface.bounceCoefficient = bounce;
    params.anchorStrength = anchor;
    model = MakeModel(masses, params);
    body.SetModel(model.get(), frame, v, w);
  }
  RigidBodyState& s() { return body.GetState(); }
};

Vector3 Momentum(RigidBodyState& s) { return s.velocity * s.GetMass(); }
Vector3 AngularMomentumAboutOrigin(RigidBodyState& s) {
  return s.angularMomentum + s.position.Cross(s.velocity * s.GetMass());
}
float Energy(RigidBodyState& s) {
  return 0.5f * s.GetMass() * s.velocity.LengthSquared() + 0.5f * s.angularVelocity.Dot(s.angularMomentum);
}

Vector3 RandomUnit() {
  Vector3 v = physics_test::RandomPoint(1.0f);
  while (v.Length() < 0.1f) v = physics_test::RandomPoint(1.0f);
  return v * (1.0f / v.Length());
}

}  // namespace

TEST(RigidCollision, ImpactsOfUnequalBodiesKeepMomentumAndNeverGainEnergy) {
  plat::srand(11);
  for (int trial = 0; trial < 300; ++trial) {
    const float e = Uniform(0.0f, 1.0f);
    COrientation fa = At(physics_test::RandomPoint(2.0f)), fb = At(physics_test::RandomPoint(2.0f));
    fa.RotateZ(Uniform(-3, 3));
    fb.RotateX(Uniform(-3, 3));
    Body a({{Vector3(0.2f, 0, 0), Uniform(0.5f, 5), 0.3f}, {Vector3(-0.3f, 0.1f, 0), Uniform(0.5f, 5), 0.2f}}, e, fa,
           physics_test::RandomPoint(5), physics_test::RandomPoint(2));
    Body b({{Vector3(0, 0.4f, 0), Uniform(5, 50), 0.5f}}, e, fb, physics_test::RandomPoint(5),
           physics_test::RandomPoint(2));
    const Vector3 p = (a.s().position + b.s().position) * 0.5f + physics_test::RandomPoint(0.3f);
    const Vector3 n = RandomUnit();
    const Vector3 p0 = Momentum(a.s()) + Momentum(b.s());
    const Vector3 l0 = AngularMomentumAboutOrigin(a.s()) + AngularMomentumAboutOrigin(b.s());
    const float e0 = Energy(a.s()) + Energy(b.s());
    const float approach = n.Dot(a.s().GetPointVelocity(p) - b.s().GetPointVelocity(p));
    const float j = CRigidCollisionBody::ResolveBodyContact(a.body, b.body, p, n);
    const float scale = 1.0f + p0.Length() + l0.Length();
    EXPECT_NEAR(0.0f, (Momentum(a.s()) + Momentum(b.s()) - p0).Length(), 1e-4f * scale) << trial;
    EXPECT_NEAR(0.0f, (AngularMomentumAboutOrigin(a.s()) + AngularMomentumAboutOrigin(b.s()) - l0).Length(),
                2e-4f * scale)
        << trial;
    if (approach >= 0.0f) {
      EXPECT_EQ(0.0f, j) << "separating bodies are left alone";
      EXPECT_LE(Energy(a.s()) + Energy(b.s()), e0 * (1.0f + 1e-4f) + 1e-4f) << trial;
    } else {
      // Afterwards the points separate at e times the approach speed, plus the resting push of
      // 0.02 times the reduced mass, taken through the same impulse response 1 / k as j.
      const float k = -(1.0f + e) * approach / j;
      const float mu = a.s().GetMass() * b.s().GetMass() / (a.s().GetMass() + b.s().GetMass());
      const float push = 0.02f * mu;
      const float after = n.Dot(a.s().GetPointVelocity(p) - b.s().GetPointVelocity(p));
      EXPECT_NEAR(-e * approach + push * k, after, 1e-3f * (1.0f - approach)) << trial;
      // No energy but the push's own work.
      EXPECT_LE(Energy(a.s()) + Energy(b.s()), e0 * (1.0f + 1e-4f) + 1e-4f - push * e * approach + push * push * k)
          << trial;
    }
  }
  // Two immovable bodies meeting exchange nothing.
  CRigidCollisionBody wall, post;
  wall.SetModel(nullptr, At(Vector3()), Vector3(1, 0, 0), Vector3());
  post.SetModel(nullptr, At(Vector3(1, 0, 0)), Vector3(), Vector3());
  EXPECT_EQ(0.0f, CRigidCollisionBody::ResolveBodyContact(wall, post, Vector3(0.5f, 0, 0), Vector3(-1, 0, 0)));
  EXPECT_TRUE(wall.GetState().velocity == Vector3(1, 0, 0) && post.GetState().velocity == Vector3());
  // A body without a model is massless concrete.
  EXPECT_TRUE(wall.GetState().surface == SurfaceType::Get(0) && wall.GetState().GetMass() == 0.0f);
}

TEST(RigidCollision, AnchoredBodyHoldsUntilTheImpactExceedsItsStrength) {
  const std::vector<RigidPointMass> ball = {{Vector3(), 1.0f, 0.5f}};
  Body probe(ball, 0.5f, At(Vector3(0, 0, 0)), Vector3(-3, 0, 0), Vector3());
  const float needed = ImpulseMagnitude(probe.s(), Vector3(-0.5f, 0, 0), Vector3(1, 0, 0), 0.5f);
  ASSERT_GT(needed, 0.0f);
  // The anchored body may be either side of the contact; met in the world, both bodies hear the impact.
  for (bool anchoredFirst : {false, true}) {
    for (float strength : {2.0f * needed, 0.8f * needed}) {
      COctree world(Box(Vector3(-8, -8, -8), Vector3(8, 8, 8)));
      Body a(ball, 0.5f, At(Vector3(0, 0, 0)), Vector3(-3, 0, 0), Vector3());
      Body b(ball, 0.5f, At(Vector3(-1, 0, 0)), Vector3(), Vector3(), strength);
      ASSERT_TRUE(b.body.IsAtRest());
      if (anchoredFirst) {
        CRigidCollisionBody::ResolveBodyContact(b.body, a.body, Vector3(-0.5f, 0, 0), Vector3(-1, 0, 0));
      } else {
        world.InsertObject(&b.body);
        a.body.Move(&world, 0.01f, false, CActiveCollisionObject::kTopDepth, nullptr);
        ASSERT_TRUE(a.body.reports.size() == 1 && b.body.reports.size() == 1);
        EXPECT_TRUE(a.body.reports[0].velocity == Vector3(-3, 0, 0) && a.body.reports[0].normal == Vector3(1, 0, 0));
        EXPECT_TRUE(b.body.reports[0].velocity == Vector3(3, 0, 0) && b.body.reports[0].normal == Vector3(-1, 0, 0));
      }
      SCOPED_TRACE(anchoredFirst);
      EXPECT_EQ(strength > needed, b.s().anchored != 0);
      EXPECT_EQ(strength > needed, (b.body.GetBoundFlags() & CollisionFlags::kPushable) == 0);  // pushed when loose
      if (strength > needed) {
        EXPECT_EQ(Vector3(0, 0, 0), b.s().velocity);
        EXPECT_GT(a.s().velocity.x, 0.0f);  // bounced off alone
      } else {
        EXPECT_LT(b.s().velocity.x, 0.0f);
        EXPECT_NEAR(-3.0f, a.s().velocity.x + b.s().velocity.x, 1e-4f);
      }
    }
  }
}

TEST(RigidCollision, BouncingWithFullRestitutionKeepsItsEnergy) {
  SurfaceType floor = *SurfaceType::Get(0);
  floor.bounceCoefficient = 1.0f;
  Body ball({{Vector3(), 2.0f, 0.5f}}, 1.0f, At(Vector3(0, 0, 2)), Vector3(0.5f, 0, 0), Vector3());
  RigidBodyState& s = ball.s();
  const float g = 9.8f, dt = 0.001f;
  auto total = [&] { return Energy(s) + s.GetMass() * g * s.position.z; };
  const float e0 = total();
  int bounces = 0;
  for (int i = 0; i < 20000; ++i) {
    s.ClearForces();
    s.AddForce(Vector3(0, 0, -g * s.GetMass()));
    s.Integrate(dt);
    s.AdvancePose(dt);
    s.CommitPose();
    if (s.position.z < 0.5f && s.velocity.z < 0.0f) {
      bounces += ball.body.ResolveStaticContact(s.position - Vector3(0, 0, 0.5f), Vector3(0, 0, 1), &floor) > 0.0f;
    }
  }
  EXPECT_GE(bounces, 5);
  EXPECT_NEAR(e0, total(), 0.02f * e0);
}

TEST(RigidCollision, RestingFrictionStopsSlidesAndHoldsBodiesStill) {
  CCollisionObject ground;
  const Vector3 up(0, 0, 1);
  for (float vn : {0.6f, 0.4f}) {
    Body b({{Vector3(), 1.0f, 0.5f}}, 0.0f, At(Vector3(0, 0, 0.5f)), Vector3(0.8f, 0, vn), Vector3());
    b.body.SetContact(&ground, Vector3(0, 0, 0), up);
    b.s().AddForce(Vector3(0, 0, -9.8f));
    b.body.ApplyContactFriction(0.01f);
    if (vn > 0.5f) {
      EXPECT_NEAR(0.0f, b.s().velocity.x, 1e-6f);
      EXPECT_FLOAT_EQ(vn, b.s().velocity.z);
      EXPECT_FALSE(b.body.IsStuck());
    } else {
      EXPECT_EQ(Vector3(0, 0, 0), b.s().velocity);
      EXPECT_TRUE(b.body.IsStuck());
    }
  }
  // At rest on the ground under gravity: stays at rest step after step.
  Body rest({{Vector3(), 3.0f, 0.5f}}, 0.0f, At(Vector3(0, 0, 0.5f)), Vector3(), Vector3());
  rest.body.SetContact(&ground, Vector3(0, 0, 0), up);
  for (int i = 0; i < 500; ++i) {
    rest.body.AccumulateGravityAndDrag(100.0f);
    rest.body.ApplyContactFriction(0.01f);
    rest.s().Integrate(0.01f);
    rest.s().ClearForces();
  }
  EXPECT_NEAR(0.0f, rest.s().velocity.Length(), 1e-5f);
  EXPECT_TRUE(rest.body.IsAtRest());
  // A hard slide is slowed by kinetic friction, never reversed within one step.
  // A light body pressed hard: friction could stop it many times over, and stops it exactly.
  Body slide({{Vector3(), 0.2f, 0.5f}}, 0.0f, At(Vector3(0, 0, 0.5f)), Vector3(1.5f, 0, 0), Vector3());
  slide.body.SetContact(&ground, Vector3(0, 0, 0), up);
  slide.s().AddForce(Vector3(0, 0, -1000.0f));
  slide.body.ApplyContactFriction(0.01f);
  slide.s().Integrate(0.01f);
  EXPECT_NEAR(0.0f, slide.s().velocity.x, 1e-4f);
  // A heavy one on a light press just slows down.
  Body heavy({{Vector3(), 50.0f, 0.5f}}, 0.0f, At(Vector3(0, 0, 0.5f)), Vector3(1.5f, 0, 0), Vector3());
  heavy.body.SetContact(&ground, Vector3(0, 0, 0), up);
  heavy.s().AddForce(Vector3(0, 0, -100.0f));
  heavy.body.ApplyContactFriction(0.01f);
  heavy.s().Integrate(0.01f);
  EXPECT_GT(heavy.s().velocity.x, 1.4f);
  EXPECT_LT(heavy.s().velocity.x, 1.5f);
}

TEST(RigidCollision, DragSlowsButNeverReverses) {
  RigidPhysicsParams params;
  params.gravity = Vector3(0, 0, 0);
  params.linearDrag = Vector3(50, 50, 50);
  auto model = MakeModel({{Vector3(), 2.0f, 0.5f}}, params);
  CRigidCollisionBody body;
  body.SetModel(model.get(), At(Vector3()), Vector3(4, -2, 1), Vector3());
  for (int i = 0; i < 50; ++i) {
    const Vector3 before = body.GetState().velocity;
    body.AccumulateGravityAndDrag(100.0f);
    body.GetState().Integrate(0.01f);
    body.GetState().ClearForces();
    EXPECT_GE(body.GetState().velocity.Dot(before), 0.0f);
    EXPECT_LE(body.GetState().velocity.Length(), before.Length() + 1e-6f);
  }
  // The default gravity and drag: nothing drags a body at rest, a drift however slow is dragged in proportion.
  const auto plain = MakeModel({{Vector3(), 2.0f, 0.5f}});
  for (float drift : {0.0f, 0.0625f}) {
    body.SetModel(plain.get(), At(Vector3()), Vector3(0, drift, 0), Vector3());
    body.AccumulateGravityAndDrag(100.0f);
    EXPECT_EQ(Vector3(0, -0.2f * drift, -19.6f), body.GetState().force) << drift;
  }
}

namespace {

// A floor at z = 0 that the world's swept movement can hit.
class Floor : public CCollisionObject {
 public:
  explicit Floor(float bounce) {
    surface_ = *SurfaceType::Get(0);
    surface_.bounceCoefficient = bounce;
    info_.kind = CollisionInfo::kStatic;
    info_.object = this;
    info_.surface = &surface_;
    SetCollisionFlags(true, false, false, false, true, false);
    SetBounds(Box(Vector3(-50, -50, -1), Vector3(50, 50, 0)));
  }
  bool Intersect(GenericIntersection* q) override {
    // One triangle that covers the whole floor box.
    return q->IntersectPolygon(Vector3(-50, -50, 0), Vector3(150, -50, 0), Vector3(-50, 150, 0), Vector3(0, 0, 1),
                               false, &GetBounds());
  }
  const CollisionInfo* GetCollisionInfo(CCollisionObject*) override { return &info_; }

 private:
  SurfaceType surface_;
  CollisionInfo info_;
};

}  // namespace

TEST(RigidCollision, BodyDroppedThroughTheWorldComesToRestOnTheFloor) {
  COctree octree(Box(Vector3(-64, -64, -64), Vector3(64, 64, 64)));
  Floor floor(0.3f);
  octree.InsertObject(&floor);
  Body ball({{Vector3(), 2.0f, 0.5f}}, 0.3f, At(Vector3(0, 0, 3)), Vector3(1, 0, 0), Vector3());
  octree.InsertObject(&ball.body);
  const float dt = 0.01f;
  float lowest = 10.0f, lateLow = 10.0f, lateHigh = -10.0f;
  int resting = 0;
  for (int i = 0; i < 600; ++i) {
    if (!ball.body.IsAtRest()) {
      ball.body.AccumulateGravityAndDrag(1.0f / dt);
      ball.body.ApplyContactFriction(dt);
      ball.s().Integrate(dt);
    }
    ball.s().ClearForces();
    const Vector3 before = ball.s().velocity;
    const size_t heard = ball.body.reports.size();
    ball.body.Move(&octree, dt, false, CActiveCollisionObject::kTopDepth, nullptr);
    if (heard == 0 && ball.body.reports.size() == 1) {
      // The first impact's report: the velocity before it, the floor's normal and the impulse
      // that changed the velocity (the contact lies under the centre, so nothing turns).
      const RigidCollisionReport& r = ball.body.reports[0];
      EXPECT_TRUE(r.object == &ball.body && r.velocity == before && r.normal == Vector3(0, 0, 1));
      EXPECT_TRUE(r.normalSpeed == before.z && r.tangentialVelocity == Vector3(before.x, before.y, 0));
      EXPECT_NEAR(r.impulse, 2.0f * (ball.s().velocity.z - before.z), 1e-4f);
    }
    lowest = std::min(lowest, ball.s().position.z);
    // A ray finds the ball where the sweeps took it, on the way down and at rest.
    const Vector3 c = ball.s().position;
    RayInfo down(c + Vector3(0, 0, 5), c - Vector3(0, 0, 5));
    if (i % 20 == 0) {
      EXPECT_TRUE(ball.body.Intersect(&down) && std::fabs(down.result.time - 0.45f) < 1e-5f) << i;
      EXPECT_EQ(ball.model->GetTurningBounds().min + c, ball.body.GetBounds().min) << i;  // so do its bounds
    }
    if (i >= 500) {
      lateLow = std::min(lateLow, ball.s().position.z);
      lateHigh = std::max(lateHigh, ball.s().position.z);
      resting += ball.body.IsAtRest();
    }
  }
  EXPECT_GT(lowest, 0.5f - 0.05f);  // never sank through
  EXPECT_FALSE(ball.body.reports.empty());
  EXPECT_NEAR(0.5f, ball.s().position.z, 0.05f);
  EXPECT_LT(ball.s().velocity.Length(), 0.5f);
  // Settled: it sits still and reports rest whenever its sweep finds the floor under it.
  EXPECT_LT(lateHigh - lateLow, 0.01f);
  EXPECT_GE(resting, 20);
  octree.RemoveObject(&ball.body);
  octree.RemoveObject(&floor);
}

TEST(RigidCollision, PlacementTestFindsWhatABodyWouldOverlap) {
  COctree octree(Box(Vector3(-64, -64, -64), Vector3(64, 64, 64)));
  Floor floor(0.0f);
  octree.InsertObject(&floor);
  Body ball({{Vector3(), 2.0f, 0.5f}}, 0.3f, At(Vector3(0, 0, 5)), Vector3(), Vector3());
  octree.InsertObject(&ball.body);
  EXPECT_FALSE(ball.body.TestPlacement(At(Vector3(3, 2, 2))));
  EXPECT_TRUE(ball.body.TestPlacement(At(Vector3(3, 2, 0.3f))));
  // Blocking again after the test, and a moving body the camera passes through.
  EXPECT_TRUE(
      ball.body.HasAllFlags(CollisionFlags::kBlocks | CBoundedObject::kRigidDynamic | CBoundedObject::kNoCameraPass));
  // Touching the floor, a body is at rest below the speed limit, 0.5 m/s here, and not at it.
  ball.body.SetContact(&floor, Vector3(0, 0, 0), Vector3(0, 0, 1));
  for (float speed : {0.5f, 0.49f}) {
    ball.s().velocity = Vector3(0, speed, 0);
    EXPECT_EQ(speed < 0.5f, ball.body.IsAtRest()) << speed;
  }
  // Wedged between two walls that lean together, a body that may not turn keeps only the motion
  // along their crease (y); the impulse that takes the rest away is reported.
  ball.s().rotationLocked = 1;
  ball.s().velocity = Vector3(3, 4, -5);
  const float j = ball.body.ResolveWedgedContact({Vector3(0.98f, 0, 0.2f), Vector3(-0.98f, 0, 0.2f)}, nullptr);
  EXPECT_EQ(Vector3(0, 4, 0), ball.s().velocity);
  EXPECT_NEAR(2.0f * std::sqrt(34.0f), j, 1e-4f);
  // Re-placed, the body's bounds follow it and the old contact is gone.
  COrientation there = At(Vector3(1, 1, 1));
  there.RotateZ(1.0f);
  ball.body.SetOrientation(there);
  EXPECT_TRUE(ball.s().rotation == there.axes && ball.s().position == there.position);
  EXPECT_EQ(nullptr, ball.body.GetContactObject());
  EXPECT_TRUE(ball.body.GetBounds().min.z <= 0.5f && ball.body.GetBounds().max.z >= 1.5f);
  octree.RemoveObject(&ball.body);
  octree.RemoveObject(&floor);
}
