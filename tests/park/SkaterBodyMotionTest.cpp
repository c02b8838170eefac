// The skater's motion on generated ground: route throttle and drive, the sweep that never passes
// the route point, slopes, crashes, take-offs and route points at drops and take-offs.
#include "tests/park/SkaterBodyFixture.h"

namespace {

using namespace skater_body_test;

float Clamp(float v) { return v < -30.0f ? -30.0f : (v > 30.0f ? 30.0f : v); }

TEST_F(BodyWorld, ASkaterSettlesOntoThePlaneAndHasGroundContact) {
  AddPlane();
  auto s = MakeSkater(Vector3(0.0f, 0.0f, 0.3f));
  EXPECT_FALSE(s->GetMotion().HasGroundContact());  // a new skater starts airborne
  Settle(*s, 30);
  EXPECT_TRUE(s->GetMotion().HasGroundContact());
  EXPECT_NEAR(s->GetCentre().z, 0.45f, 0.08f);
  EXPECT_GT(Body(*s).GetContactNormal().z, 0.99f);
}

TEST_F(BodyWorld, AStandingSkaterOnARouteGetsTheMinimumSpeedAtOnce) {
  AddPlane();
  auto s = MakeSkater(Vector3(0.0f, 0.0f, 0.0f));
  Settle(*s);
  SetRoute(*s, {Vector3(0, 0, 0), Vector3(10, 0, 0), Vector3(20, 0, 0), Vector3(30, 0, 0), Vector3(40, 0, 0), Vector3(50, 0, 0)});
  s->route.index = 1;
  s->SetVelocity(Vector3(0.0f, 0.0f, 0.0f));
  CSkaterBody& b = Body(*s);
  b.FollowRoute(kDt);
  ASSERT_FLOAT_EQ(s->body.forwardInput, 1.0f);
  b.DriveStep(kDt);
  // Driving first adds a * dt, then drag; the skating block's minimum 3.0 then lifts it.
  EXPECT_FLOAT_EQ(s->GetVelocity().Length(), 3.0f);
  EXPECT_NEAR(s->GetVelocity().x, 3.0f, 1e-5);
  // Walking has its own minimum, 1.0 (its acceleration 40 x dt passes it, so drive wins there).
  s->body.motionMode = CSkater::kWalking;
  s->SetVelocity(Vector3(0.0f, 0.0f, 0.0f));
  s->body.forwardInput = 0.02f;
  b.DriveStep(kDt);
  EXPECT_NEAR(s->GetVelocity().Length(), 40.0f * 0.02f * kDt, 1e-6);  // the drive passes the minimum 0.02
  s->SetVelocity(Vector3(0.0f, 0.0f, 0.0f));
  s->body.timeWithoutContact = 10.0f;  // airborne: no drive, only the minimum
  s->body.forwardInput = 0.5f;
  b.DriveStep(kDt);
  EXPECT_FLOAT_EQ(s->GetVelocity().Length(), 0.5f);
}

TEST_F(BodyWorld, FullBrakeStopsForwardMotionButNeverReverses) {
  AddPlane();
  auto s = MakeSkater(Vector3(0.0f, 0.0f, 0.0f));
  Settle(*s);
  CSkaterBody& b = Body(*s);
  for (float speed : {0.1f, 0.4f, 2.0f, 5.0f}) {
    s->SetVelocity(Vector3(speed, 0.0f, 0.0f));
    s->body.forwardInput = -1.0f;
    float previous = speed;
    for (int i = 0; i < 40; ++i) {
      b.DriveStep(kDt);
      const float forward = s->GetVelocity().x;
      EXPECT_GE(forward, 0.0f) << speed;
      EXPECT_LE(forward, previous + 1e-6f);
      previous = forward;
    }
    EXPECT_EQ(s->GetVelocity().x, 0.0f);
  }
}

TEST_F(BodyWorld, ThePlayersSkaterCoastsUpToOnePointSevenTimesTheAIsMaximum) {
  AddPlane();
  auto owned = MakeSkater(Vector3(0.0f, 0.0f, 0.0f));
  CSkater* s = owned.get();
  auto other = MakeSkater(Vector3(5.0f, 0.0f, 0.0f));
  park.RegisterNewObject(std::move(owned));
  Settle(*s);
  Settle(*other);
  CSkaterBody& b = Body(*s);
  CSkaterBody& ai = Body(*other);
  auto topSpeed = [](CSkater& k, CSkaterBody& body) {
    k.SetVelocity(Vector3(0.0f, 0.0f, 0.0f));
    for (int i = 0; i < 400; ++i) {
      k.body.forwardInput = 1.0f;
      body.DriveStep(kDt);
    }
    return k.GetVelocity().x;
  };
  // Drive against drag: the AI reaches its cap of 6.0; the player's drag (x 0.8) balances the
  // drive before its cap, at (a dt)(1 - 1.6 dt) / (1.6 dt).
  const float aiTop = topSpeed(*other, ai);
  EXPECT_NEAR(aiTop, 6.0f * (1.0f - 2.0f * kDt), 1e-4);
  park.SetPlayerSkaterId(s->GetID());
  ASSERT_TRUE(s->IsPlayerControlled());
  const float playerTop = topSpeed(*s, b);
  EXPECT_NEAR(playerTop, 15.0f * kDt * (1.0f - 1.6f * kDt) / (1.6f * kDt), 1e-2);
  // The caps themselves: from just below, one tick's drive stops exactly at the cap.
  for (CSkater* k : {s, other.get()}) {
    const float cap = k == s ? 6.0f * 1.7f : 6.0f;
    const float drag = k == s ? 1.6f : 2.0f;
    k->SetVelocity(Vector3(cap - 0.1f, 0.0f, 0.0f));
    k->body.forwardInput = 1.0f;
    Body(*k).DriveStep(kDt);
    EXPECT_NEAR(k->GetVelocity().x, cap * (1.0f - drag * kDt), 1e-4);
    k->SetVelocity(Vector3(cap + 1.0f, 0.0f, 0.0f));  // above the cap the drive adds nothing
    Body(*k).DriveStep(kDt);
    EXPECT_NEAR(k->GetVelocity().x, (cap + 1.0f) * (1.0f - drag * kDt), 1e-4);
  }
}

TEST_F(BodyWorld, ADriveDirectionAlongTheNormalFallsBackToTheForwardAxis) {
  auto s = MakeSkater(Vector3(0.0f, 0.0f, 5.0f));
  s->body.timeWithoutContact = 0.0f;  // in contact with a surface whose normal is the side axis
  COrientation frame = s->GetFrame();
  CSkaterBody& b = Body(*s);
  // The skater's contact normal is its own side axis (a wall ridden side-on).
  b.RespondToContact(CollisionInfo::kBody);  // records the normal the skater reports
  s->body.forwardInput = 1.0f;
  s->SetVelocity(Vector3(0.0f, 0.0f, 0.0f));
  ASSERT_EQ(b.GetContactNormal(), s->GetContactNormal());
  // The base's normal starts as (1, 0, 0); turn the skater so its side axis lies along it.
  frame.RotateZ(kPi * 0.5f);
  s->SetFrame(frame);
  ASSERT_NEAR(s->GetFrame().GetYAxis().Dot(b.GetContactNormal()), 1.0f, 1e-5);
  b.DriveStep(kDt);
  const Vector3 v = s->GetVelocity();
  EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
  const Vector3 forward = s->GetFrame().GetXAxis() * (15.0f * kDt);
  EXPECT_NEAR(v.x, forward.x * (1.0f - 2.0f * kDt), 1e-5);
  EXPECT_NEAR(v.y, forward.y * (1.0f - 2.0f * kDt), 1e-5);
}

TEST_F(BodyWorld, FollowingAStraightRouteReachesEveryNodeInTime) {
  AddPlane();
  auto s = MakeSkater(Vector3(0.0f, 0.0f, 0.0f));
  Settle(*s);
  std::vector<Vector3> route;
  for (int i = 0; i <= 8; ++i) route.push_back(Vector3(2.0f * i, 0.0f, 0.0f));
  SetRoute(*s, route);
  std::vector<int> reachedAt(route.size(), -1);
  int tick = 0;
  for (; tick < 400 && s->route.index < static_cast<int32_t>(route.size()); ++tick) {
    const int32_t before = s->route.index;
    s->GetMotion().RouteStep(kDt);
    if (s->route.index > before) {
      reachedAt[static_cast<size_t>(before)] = tick;
      // Arrival means within the radius, horizontally.
      const Vector3 aim = s->GetMotion().RoutePoint(static_cast<size_t>(before));
      EXPECT_LT(std::hypot(aim.x - s->GetCentre().x, aim.y - s->GetCentre().y), 0.05f);
    }
  }
  for (size_t i = 0; i < route.size(); ++i) EXPECT_GE(reachedAt[i], 0) << "node " << i;
  // 16 units at no less than the route speeds of the slow-down: well within 400 ticks, and the
  // last node is reached though the slow-down throttle there would be 0.
  EXPECT_LT(tick, 400);
  EXPECT_EQ(s->route.index, static_cast<int32_t>(route.size()));
}

TEST_F(BodyWorld, NoTickCarriesARouteFollowingSkaterPastItsRoutePoint) {
  AddPlane();
  plat::srand(99);
  for (int trial = 0; trial < 12; ++trial) {
    auto s = MakeSkater(Vector3(0.0f, 0.0f, 0.0f), static_cast<float>(plat::rand() % 628) * 0.01f);
    Settle(*s);
    std::vector<Vector3> route{Vector3(0, 0, 0)};
    for (int i = 0; i < 6; ++i) {
      const Vector3 last = route.back();
      const float a = static_cast<float>(plat::rand() % 628) * 0.01f;
      const float len = 0.3f + static_cast<float>(plat::rand() % 300) * 0.01f;
      route.push_back(Vector3(Clamp(last.x + len * std::cos(a)), Clamp(last.y + len * std::sin(a)), 0.0f));
    }
    SetRoute(*s, route);
    s->route.index = 1;
    s->SetVelocity(Vector3(6.0f * std::cos(0.3f * trial), 6.0f * std::sin(0.3f * trial), 0.0f));
    for (int tick = 0; tick < 1500 && s->route.index < 7; ++tick) {
      const size_t index = static_cast<size_t>(s->route.index);
      const Vector3 before = s->GetCentre();
      const Vector3 aim = s->GetMotion().RoutePoint(index);
      s->GetMotion().RouteStep(kDt);
      const Vector3 after = s->GetCentre();
      // Measured along the way to the point, the tick ends no further than the point.
      const Vector3 way(aim.x - before.x, aim.y - before.y, 0.0f);
      const float len2 = way.LengthSquared();
      if (len2 < 1e-8f) continue;
      const float t = Vector3(after.x - before.x, after.y - before.y, 0.0f).Dot(way) / len2;
      EXPECT_LE(t, 1.0f + 1e-3f) << "trial " << trial << " tick " << tick;
    }
    EXPECT_EQ(s->route.index, 7) << "trial " << trial;
  }
}

}  // namespace
