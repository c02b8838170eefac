// The skater's motion on generated ground: route throttle and drive, the sweep that never passes
// the route point, slopes, crashes, take-offs and route points at drops and take-offs.
#include <algorithm>

#include "scene/mesh/SceneDrawInterface.h"
#include "tests/park/skater/SkaterBodyFixture.h"
#include "tests/support/SceneDrawRecorder.h"

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
  auto s = SettledOnPlane();
  SetRoute(*s, {Vector3(0, 0, 0), Vector3(10, 0, 0), Vector3(20, 0, 0), Vector3(30, 0, 0), Vector3(40, 0, 0),
                Vector3(50, 0, 0)});
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
  // Airborne neither the drive nor the minimum acts: a flight keeps its own speed, even one
  // stopped short above an air link's end, which must fall rather than be pushed up for ever.
  s->SetVelocity(Vector3(0.0f, 0.0f, 0.4f));
  s->body.timeWithoutContact = 10.0f;
  s->body.forwardInput = 0.5f;
  b.DriveStep(kDt);
  EXPECT_EQ(s->GetVelocity(), Vector3(0.0f, 0.0f, 0.4f));
}

TEST_F(BodyWorld, FullBrakeStopsForwardMotionButNeverReverses) {
  auto s = SettledOnPlane();
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
  auto s = SettledOnPlane();
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
  EXPECT_EQ(s->route.index, static_cast<int32_t>(route.size()));
}

TEST_F(BodyWorld, NoTickCarriesARouteFollowingSkaterPastItsRoutePoint) {
  AddPlane();
  plat::srand(99);
  for (int trial = 0; trial < 12; ++trial) {
    auto s = MakeSkater(Vector3(0.0f, 0.0f, 0.0f), static_cast<float>(plat::rand() % 628) * 0.01f);
    s->body.timeWithoutContact = 0.0f;  // standing on the plane already: no landing to judge
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

// A 45-degree slope (steeper than the 0.8 up-limit) rising along +y from y = 0.
std::vector<DemoContent::SolidPart> Slope(float degrees) {
  return {DemoContent::SolidPart{Vector3(-3.0f, 0.0f, 0.0f),
                                 Vector3(3.0f, 4.0f, 4.0f * std::tan(degrees * kPi / 180.0f)), true}};
}

TEST_F(BodyWorld, RollingBackwardsUpASteepSlopeTurnsRoundWithTheChangeDirectionSound) {
  for (float degrees : {45.0f, 30.0f}) {
    AddSolid(Slope(degrees));
    const float rise = std::tan(degrees * kPi / 180.0f);
    Vector3 n(0.0f, -rise, 1.0f);
    n.Normalize();
    const Vector3 downhill(0.0f, -1.0f / std::sqrt(1.0f + rise * rise), -rise / std::sqrt(1.0f + rise * rise));
    auto s = MakeSkater(Vector3(0.0f, 0.0f, 0.0f));
    COrientation frame;
    frame.SetXAxis(downhill);  // facing down the slope ...
    frame.SetZAxis(n);
    frame.SetYAxis(n.Cross(downhill));
    frame.SetPosition(Vector3(0.0f, 2.0f, 2.0f * rise) + n * 0.46f);
    s->SetFrame(frame);
    s->SetVelocity(downhill * -3.0f);  // ... while rolling up it
    CSkaterBody& b = Body(*s);
    for (int i = 0; i < 10 && !b.HasGroundContact(); ++i) b.MoveStep(kDt);
    ASSERT_TRUE(b.HasGroundContact()) << degrees;
    ASSERT_LT(s->GetFrame().GetXAxis().Dot(s->GetVelocity()), -0.2f);
    b.OrientStep(kDt);
    RecordingAnimation& anim = Anim(*s);
    if (degrees > 40.0f) {
      EXPECT_EQ(anim.CountSound(CSkaterAnimation::Sound::kChangeDirection), 1);
      EXPECT_GT(s->GetFrame().GetXAxis().Dot(s->GetVelocity()), 0.0f);  // now facing the way it goes
      EXPECT_NEAR(s->GetFrame().GetZAxis().Dot(n), 1.0f, 0.02f);        // still standing on the slope
    } else {
      // A slope whose normal is above the 0.8 limit is no slope for turning round.
      EXPECT_EQ(anim.CountSound(CSkaterAnimation::Sound::kChangeDirection), 0);
      EXPECT_LT(s->GetFrame().GetXAxis().Dot(s->GetVelocity()), 0.0f);
    }
    instances.clear();
    meshes.clear();
  }
}

TEST_F(BodyWorld, ACrashSettlesForTwoSecondsThenDecidesAndSkatesAgain) {
  auto s = SettledOnPlane();
  SetRoute(*s, {Vector3(0, 0, 0), Vector3(10, 0, 0), Vector3(20, 0, 0)});
  s->SetVelocity(Vector3(4.0f, 0.0f, 0.0f));
  s->Crash(0.5f);
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kCrashed));
  EXPECT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kCrashing));
  EXPECT_NEAR(s->GetVelocity().z, 0.5f * 1.0f, 1e-6);
  EXPECT_NEAR(s->needs.injury, 0.5f, 1e-6);
  RecordingAnimation& anim = Anim(*s);
  ASSERT_GE(anim.current, 53);
  ASSERT_LE(anim.current, 55);
  // While the crash animation still plays the timer stays at 0, however still the body lies.
  for (int tick = 0; tick < 100; ++tick) s->ThinkTick(kDt);
  EXPECT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kCrashing));
  EXPECT_EQ(s->body.crashTimer, 0.0f);
  anim.length = 0.0f;  // the crash animation has played out
  int settledAt = -1, decidedAt = -1;
  for (int tick = 0; tick < 400 && decidedAt < 0; ++tick) {
    s->ThinkTick(kDt);
    if (settledAt < 0 && s->GetVelocity().ApproxLength() <= 1.0f) settledAt = tick;
    if (s->mind.state != CSkater::kCrashing) decidedAt = tick;
  }
  ASSERT_GE(settledAt, 0);
  ASSERT_GE(decidedAt, 0);
  // The timer runs from the tick the body came to rest and ends once past 2.0 seconds.
  EXPECT_NEAR((decidedAt - settledAt) * kDt, 2.0f, 2.5f * kDt);
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kRolling));  // not stuck crashed
  SetRoute(*s, {s->GetCentre() - Vector3(0, 0, 0.45f), Vector3(10, 0, 0), Vector3(20, 0, 0), Vector3(30, 0, 0),
                Vector3(40, 0, 0), Vector3(50, 0, 0)});
  s->route.index = 1;
  const Vector3 start = s->GetCentre();
  RunRoute(*s, 30);
  EXPECT_GT(s->GetCentre().x - start.x, 2.0f);
}

TEST_F(BodyWorld, TakeOffToAnUnreachableHeightRaisesTheVerticalSpeedToTheApex) {
  auto s = MakeSkater(Vector3(0.0f, 0.0f, 1.0f));  // centre at 1.45, no geometry
  CSkaterBody& b = Body(*s);
  s->SetVelocity(Vector3(1.0f, 0.0f, 0.5f));
  const float t = b.TakeOffTime(4.45f);
  const double vz = std::sqrt(4.0 * 4.9 * 3.0);
  EXPECT_NEAR(s->GetVelocity().z, vz, 1e-4);
  EXPECT_NEAR(t, vz / 9.8, 1e-5);
  EXPECT_NEAR(1.45 + vz * t - 4.9 * t * t, 4.45, 1e-4);  // the flight peaks at the height
  EXPECT_FALSE(b.HasGroundContact());
  EXPECT_FLOAT_EQ(s->body.airTime, t);
  // A reachable landing below: the later root of z + vz t - 4.9 t^2 = h.
  s->SetVelocity(Vector3(0.0f, 0.0f, 3.0f));
  const float t2 = b.TakeOffTime(0.45f);
  EXPECT_FLOAT_EQ(s->GetVelocity().z, 3.0f);
  const double want = (3.0 + std::sqrt(9.0 + 4.0 * 4.9 * 1.0)) / 9.8;
  EXPECT_NEAR(t2, want, 1e-5);
  // The simulated flight lands when the kinematics say (to the tick the integration adds).
  int ticks = 0;
  while (s->GetCentre().z > 0.45f && ticks < 200) {
    b.MoveStep(kDt);
    ++ticks;
  }
  EXPECT_NEAR(ticks * kDt, want, 2.0f * kDt);
}

TEST_F(BodyWorld, TakeOffRefusesABlockWithoutGravity) {
  SkaterParams params;
  params[SkaterParams::kGravity] = 0.0f;
  CSkater s;
  COrientation frame;
  s.LoadBody(frame, &params);
  s.SetVelocity(Vector3(0.0f, 0.0f, 0.0f));
  EXPECT_EQ(Body(s).TakeOffTime(2.0f), 0.0f);
  EXPECT_EQ(s.GetVelocity(), Vector3(0.0f, 0.0f, 0.0f));
  EXPECT_NE(capture.Text().find("take-off needs gravity"), std::string::npos);
}

TEST_F(BodyWorld, RoutePointsSitShortOfATakeOffAndPastADropLip) {
  auto s = MakeSkater(Vector3(0.0f, 0.0f, 0.0f));
  const CSkaterMotion& m = s->GetMotion();
  // Air link after node 1: aim 0.55 short of it along the approach (approximate length 4.75).
  SetRoute(*s, {Vector3(0, 0, 0), Vector3(3, 4, 0), Vector3(9, 8, 1)}, {kLinkSkate, kLinkSkate, kLinkAir});
  Vector3 p = m.RoutePoint(1);
  EXPECT_NEAR(p.x, 3.0f - 0.55f * 3.0f / 4.75f, 1e-5);
  EXPECT_NEAR(p.y, 4.0f - 0.55f * 4.0f / 4.75f, 1e-5);
  EXPECT_FLOAT_EQ(p.z, 0.0f);
  // A drop: node 1 is higher than node 2 and the link is a skate link: aim past the lip.
  SetRoute(*s, {Vector3(0, 0, 2), Vector3(4, 0, 2), Vector3(6, 0, 0)});
  p = m.RoutePoint(1);
  EXPECT_NEAR(p.x, 4.55f, 1e-5);
  EXPECT_FLOAT_EQ(p.y, 0.0f);
  EXPECT_FLOAT_EQ(p.z, 2.0f);
  // Anything else (and the last node): the node raised by the radius.
  p = m.RoutePoint(2);
  EXPECT_EQ(p, Vector3(6.0f, 0.0f, 0.45f));
  p = m.RoutePoint(0);
  EXPECT_EQ(p, Vector3(0.0f, 0.0f, 2.45f));
  // A node straight above the next one has no direction: the zero length counts as 1.
  SetRoute(*s, {Vector3(0, 0, 2), Vector3(4, 0, 2), Vector3(4, 0, 0)});
  EXPECT_EQ(m.RoutePoint(1), Vector3(4.0f, 0.0f, 2.0f));
}

TEST_F(BodyWorld, PushOutGrowsWithFailedStepsUpToItsCap) {
  auto s = MakeSkater(Vector3(0.0f, 0.0f, 0.0f));
  CSkaterBody& b = Body(*s);
  // The sphere's contact normal starts as +x; the friction directions lie across it.
  for (int steps : {0, 5, 19, 20, 100}) {
    while (b.GetContactSteps() < static_cast<uint32_t>(steps)) b.IncrementStepCounter();
    s->SetVelocity(Vector3(0.0f, 0.0f, 0.0f));
    EXPECT_TRUE(b.RespondToContact(CollisionInfo::kStatic));  // answered: the sphere adds no bounce of its own
    EXPECT_NEAR(s->GetVelocity().x, std::min(0.1f * steps, CSkaterBody::kMaxPushOut), 1e-5) << steps;
  }
}

// A skater coasting on flat ground loses its mode's rolling friction x dt along the board and its
// side friction x dt across it at every contact, down to a stop and never past it.
TEST_F(BodyWorld, GroundFrictionSlowsACoastingSkaterByAFixedStepToAStandstill) {
  auto s = SettledOnPlane(Vector3(0.0f, 0.0f, 0.0f), 30);
  CSkaterBody& b = Body(*s);
  ASSERT_EQ(b.GetContactSteps(), 0u);
  ASSERT_GT(b.GetContactNormal().z, 0.999f);
  struct Mode {
    uint32_t mode;
    float rolling, side;
  };
  for (const Mode m : {Mode{CSkater::kRolling, 0.1f, 4.0f}, Mode{CSkater::kWalking, 5.0f, 5.0f},
                       Mode{CSkater::kCrashed, 1.0f, 1.0f}}) {
    s->body.motionMode = m.mode;
    float along = 0.5f, side = 0.3f;
    s->SetVelocity(Vector3(along, side, 0.0f));
    for (int tick = 0; tick < 400 && (along > 0.0f || side > 0.0f); ++tick) {
      b.RespondToContact(CollisionInfo::kStatic);
      along = std::max(0.0f, along - m.rolling * kDt);
      side = std::max(0.0f, side - m.side * kDt);
      EXPECT_NEAR(s->GetVelocity().x, along, 1e-5) << m.mode << " " << tick;
      EXPECT_NEAR(s->GetVelocity().y, side, 1e-5) << m.mode << " " << tick;
    }
    EXPECT_EQ(s->GetVelocity().x, 0.0f) << m.mode;
    EXPECT_EQ(s->GetVelocity().y, 0.0f) << m.mode;
  }
}

// A crash's settling clock starts at nought, whatever the last crash left on it: a skater already
// at rest with no crash animation to wait for lies its full two seconds.
TEST_F(BodyWorld, ACrashOfASkaterAtRestLastsTheFullRecoveryTimeEvenWhenCrashedAgain) {
  auto s = SettledOnPlane(Vector3(0.0f, 0.0f, 0.0f), 30);
  SetRoute(*s, {Vector3(0, 0, 0), Vector3(10, 0, 0), Vector3(20, 0, 0)});
  RecordingAnimation& anim = Anim(*s);
  anim.length = 0.0f;  // no crash animation holds the clock
  s->SetVelocity(Vector3(0.0f, 0.0f, 0.0f));
  s->Crash(0.0f);
  for (int tick = 0; tick < 45; ++tick) s->ThinkTick(kDt);  // most of the way through
  ASSERT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kCrashing));
  ASSERT_GT(s->body.crashTimer, 1.4f);
  s->Crash(0.0f);
  EXPECT_EQ(s->body.crashTimer, 0.0f);
  int decidedAt = -1;
  for (int tick = 1; tick <= 200 && decidedAt < 0; ++tick) {
    anim.length = tick == 30 ? 1.0f : 0.0f;  // the crash animation plays again for one tick
    s->ThinkTick(kDt);
    if (s->mind.state != CSkater::kCrashing) decidedAt = tick;
  }
  // The replay sets the clock back to nought; then past 2.0 seconds: 61 ticks of 0.033 (60 make
  // only 1.98).
  EXPECT_EQ(decidedAt, 30 + 61);
}

TEST_F(BodyWorld, TheBoardLiesOnTheGroundAndCoincidentContactsStayFinite) {
  auto s = SettledOnPlane(Vector3(1.0f, 1.0f, 0.0f), 20);
  CSkaterBody& b = Body(*s);
  b.PlaceBody();
  EXPECT_NEAR(b.GetBoardPitch(), 0.0f, 1e-3);
  EXPECT_NEAR(b.GetBoardPoint().z, -(s->GetCentre().z), 0.02f);  // the plane at z = 0, in the body frame
  EXPECT_NEAR(b.GetBoardPoint().x, 0.0f, 1e-4);
  s->body.frontContact = s->body.backContact = Vector3(0.1f, 0.0f, -0.45f);
  b.PlaceBody();
  EXPECT_TRUE(std::isfinite(b.GetBoardPoint().x) && std::isfinite(b.GetBoardPoint().z));
  EXPECT_TRUE(std::isfinite(b.GetBoardPitch()));
  // The crashed pair is used while crashed: a front point raised over a back point pitches up.
  s->body.motionMode = CSkater::kCrashed;
  s->body.crashFrontContact = Vector3(0.4f, 0.0f, -0.45f);
  s->body.crashBackContact = Vector3(-0.4f, 0.0f, -0.45f);
  b.PlaceBody();
  EXPECT_NEAR(b.GetBoardPitch(), 0.0f, 1e-3);
}

// --- Skaters meeting ---

struct Pair {
  std::unique_ptr<CSkater> a, b;
};

TEST_F(BodyWorld, SkaterMeetingsFollowTheLoserRules) {
  auto make = [&](bool groundA, bool groundB, float speedA, float speedB) {
    Pair p{MakeSkater(Vector3(0, 0, 0)), MakeSkater(Vector3(1, 0, 0))};
    p.a->body.timeWithoutContact = groundA ? 0.0f : 10.0f;
    p.b->body.timeWithoutContact = groundB ? 0.0f : 10.0f;
    p.a->SetVelocity(Vector3(speedA, 0, 0));
    p.b->SetVelocity(Vector3(-speedB, 0, 0));
    p.a->body.forwardInput = p.b->body.forwardInput = 0.8f;  // the loser crashes for sure
    return p;
  };
  auto crashed = [](const std::unique_ptr<CSkater>& k) { return k->body.motionMode == CSkater::kCrashed; };
  const struct {
    bool groundA, groundB;
    float speedA, speedB;
    bool aLoses;  // a's collision is the one handled
  } meetings[] = {
      {false, true, 5.0f, 1.0f, true},  // the airborne one loses, though faster
      {true, false, 1.0f, 5.0f, false},
      {true, true, 2.0f, 2.0f, true},   // equal speed: the skater whose collision is handled loses
      {true, true, 3.0f, 2.0f, false},  // otherwise the slower
  };
  for (const auto& m : meetings) {
    SCOPED_TRACE(std::to_string(m.speedA) + " against " + std::to_string(m.speedB));
    Pair p = make(m.groundA, m.groundB, m.speedA, m.speedB);
    Body(*p.a).HandleSkaterCollision(*p.b);
    EXPECT_EQ(crashed(p.a), m.aLoses);
    EXPECT_EQ(crashed(p.b), !m.aLoses);
  }
  {  // the player always wins, whichever side it is on
    Pair p = make(true, true, 1.0f, 4.0f);
    CSkater* a = p.a.get();
    park.RegisterNewObject(std::move(p.a));
    park.SetPlayerSkaterId(a->GetID());
    Body(*a).HandleSkaterCollision(*p.b);
    EXPECT_FALSE(a->body.motionMode == CSkater::kCrashed);
    EXPECT_TRUE(crashed(p.b));
    Pair q = make(true, true, 4.0f, 1.0f);
    Body(*q.a).HandleSkaterCollision(*a);
    EXPECT_TRUE(crashed(q.a));
    EXPECT_FALSE(a->body.motionMode == CSkater::kCrashed);
    park.SetPlayerSkaterId(0);
  }
  {  // in line or at a facility: nothing at all
    for (uint32_t state : {CSkater::kInLine, CSkater::kUsingFacility}) {
      Pair p = make(false, true, 1.0f, 1.0f);
      p.a->mind.state = state;
      Body(*p.a).HandleSkaterCollision(*p.b);
      Body(*p.b).HandleSkaterCollision(*p.a);
      EXPECT_FALSE(crashed(p.a) || crashed(p.b));
      EXPECT_TRUE(Anim(*p.a).played.size() == 1 && Anim(*p.b).played.size() == 1);  // only LoadBody's coast
    }
  }
  {  // meeting a crashed skater on the ground: off balance, nothing more
    Pair p = make(true, true, 1.0f, 1.0f);
    p.b->body.motionMode = CSkater::kCrashed;
    Body(*p.a).HandleSkaterCollision(*p.b);
    EXPECT_FALSE(crashed(p.a));
    EXPECT_EQ(Anim(*p.a).current, CSkaterAnimation::kLandOffBalance);
    // Coming down onto one from the air is judged by the loser rules: the airborne one loses.
    Pair q = make(false, true, 1.0f, 1.0f);
    q.b->body.motionMode = CSkater::kCrashed;
    Body(*q.a).HandleSkaterCollision(*q.b);
    EXPECT_TRUE(crashed(q.a));
  }
  {  // On its route the bounce keeps to the route. Of the normal (1, 0, 0), which a skater holds before its
     // first contact, the part along p = (-vy, vx, 0), not made unit, is dropped: (0.75, -0.5, 0) for a
     // travel of (-1, 0.5, 0).
    Pair p = make(true, true, 1.0f, 1.0f);
    SetRoute(*p.a, {Vector3(0, 0, 0), Vector3(-10, 5, 0)});
    const Vector3 v(-1.0f, 0.5f, 0.0f), n = Vector3(0.75f, -0.5f, 0.0f) * (1.0f / std::sqrt(0.8125f));
    p.a->SetVelocity(v);
    p.b->mind.state = CSkater::kInLine;  // busy: the bounce is all that happens
    Body(*p.a).HandleSkaterCollision(*p.b);
    EXPECT_LT((p.a->GetVelocity() - (v - n * (v.Dot(n) * (1.0f + p.a->GetRestitution())))).Length(), 1e-5f);
  }
}

TEST_F(BodyWorld, AFastOtherSkaterCrashesACalmLoserSevenTimesInTen) {
  plat::srand(4242);
  int crashes = 0, offBalance = 0;
  const int runs = 2000;
  for (int i = 0; i < runs; ++i) {
    auto a = MakeSkater(Vector3(0, 0, 0));
    auto b = MakeSkater(Vector3(1, 0, 0));
    a->body.timeWithoutContact = b->body.timeWithoutContact = 0.0f;
    a->SetVelocity(Vector3(1.0f, 0, 0));
    b->SetVelocity(Vector3(-3.0f, 0, 0));
    a->body.forwardInput = 0.5f;  // the loser is calm
    b->body.forwardInput = 0.9f;  // the other is pushing hard
    Body(*a).HandleSkaterCollision(*b);
    if (a->body.motionMode == CSkater::kCrashed) ++crashes;
    if (Anim(*a).current == CSkaterAnimation::kLandOffBalance) ++offBalance;
    EXPECT_EQ(Anim(*b).current, CSkaterAnimation::kLandOffBalance);  // the winner wobbles too
  }
  EXPECT_EQ(crashes + offBalance, runs);
  EXPECT_NEAR(static_cast<double>(crashes) / runs, 0.7, 0.03);
}

// A skater standing on the next route point would hold the one following the route off it for
// good: meeting it there counts the point as passed, and the route goes on round it.
TEST_F(BodyWorld, AnotherSkaterStandingOnTheNextRoutePointPassesItOn) {
  AddPlane();
  CSkater* a = AddSkater(Vector3(0, 0, 0));
  CSkater* b = AddSkater(Vector3(5, 0.6f, 0));  // off the point, but too near for a to stand on it
  Settle(*a);
  Settle(*b);
  SetRoute(*a, {Vector3(0, 0, 0), Vector3(5, 0, 0), Vector3(5, 5, 0), Vector3(5, 10, 0), Vector3(5, 15, 0),
                Vector3(5, 20, 0), Vector3(5, 25, 0)});
  a->route.index = 1;  // five points from the end: near the end any meeting would pass points on
  float nearest = 1e9f;
  for (int tick = 0; tick < 300 && a->route.index < 3; ++tick) {
    a->GetMotion().RouteStep(kDt);
    if (a->route.index <= 1) nearest = std::min(nearest, std::hypot(a->GetCentre().x - 5.0f, a->GetCentre().y));
  }
  EXPECT_EQ(a->route.index, 3);
  EXPECT_GT(nearest, 0.5f);  // held off by the other, never near the point itself
}

// --- Steering, throttle and the box test ---

TEST_F(BodyWorld, SteeringTurnsTheVelocityAboutTheVerticalAndTheBoardFollowsAtTheAlignmentRate) {
  auto s = MakeSkater(Vector3(0, 0, 0));
  CSkaterMotion& m = s->GetMotion();
  s->SetVelocity(Vector3(2.0f, 0.0f, -1.0f));
  const Vector3 facing = s->GetFrame().GetXAxis();
  m.SteerToward(s->GetCentre() + Vector3(-3.0f, 3.0f, 7.0f));  // up and to the back left
  EXPECT_NEAR(s->GetVelocity().x, -std::sqrt(2.0f), 1e-5);
  EXPECT_NEAR(s->GetVelocity().y, std::sqrt(2.0f), 1e-5);
  EXPECT_FLOAT_EQ(s->GetVelocity().z, -1.0f);
  EXPECT_EQ(s->GetFrame().GetXAxis(), facing);  // the board is left as it was ...
  // ... and turns to the travel in the orient step, 4 radians a second, staying upright, until
  // less than a step is left.
  const Vector3 travel = Vector3(-1, 1, 0) * (1.0f / std::sqrt(2.0f));
  float left = 0.75f * kPi;
  for (int tick = 0; tick < 100 && left >= 4.0f * kDt; ++tick) {
    Body(*s).OrientStep(kDt);
    const float next = std::acos(std::min(1.0f, s->GetFrame().GetXAxis().Dot(travel)));
    ASSERT_NEAR(left - next, 4.0f * kDt, 1e-3) << tick;
    left = next;
  }
  EXPECT_LT(left, 4.0f * kDt);
  EXPECT_NEAR(s->GetFrame().GetZAxis().z, 1.0f, 1e-5);
  s->SetVelocity(Vector3(-std::sqrt(2.0f), std::sqrt(2.0f), -1.0f));
  // Nothing for a point straight above, a standing skater or a heading already within 0.01.
  const Vector3 v = s->GetVelocity();
  m.SteerToward(s->GetCentre() + Vector3(0, 0, 5));
  EXPECT_EQ(s->GetVelocity(), v);
  m.SteerToward(s->GetCentre() + Vector3(-1.0f - 0.009f, 1.0f, 0));  // 0.0045 radians to the left
  EXPECT_EQ(s->GetVelocity(), v);
  // The difference is taken modulo a whole turn: 0.0045 to the right is almost a turn to the left,
  // and is made, ending on the point's heading.
  m.SteerToward(s->GetCentre() + Vector3(-1.0f, 1.0f + 0.009f, 0));
  EXPECT_NEAR(std::atan2(s->GetVelocity().y, s->GetVelocity().x), std::atan2(1.009f, -1.0f), 1e-5);
  s->SetVelocity(Vector3(0, 0, 3));
  m.SteerToward(s->GetCentre() + Vector3(5, 0, 0));
  EXPECT_EQ(s->GetVelocity(), Vector3(0, 0, 3));
}

TEST_F(BodyWorld, TheRouteThrottleSlowsAtDropsSkateToTopAndTheRouteEnd) {
  auto s = MakeSkater(Vector3(0, 0, 0));
  CSkaterBody& b = Body(*s);
  s->body.timeWithoutContact = 0.0f;
  b.RespondToContact(CollisionInfo::kBody);  // record a contact normal ...
  s->SetVelocity(Vector3(0.5f, 0, 0));
  std::vector<Vector3> flat;
  for (int i = 0; i < 10; ++i) flat.push_back(Vector3(2.0f * i, 0, 0));
  // With many pairs left and nothing special ahead: full throttle.
  SetRoute(*s, flat);
  s->route.index = 2;
  b.FollowRoute(kDt);
  EXPECT_FLOAT_EQ(s->body.forwardInput, 1.0f);
  // Fewer than four pairs left: remaining / 4 while slow, -0.2 while fast, and a floor on the last.
  for (int index : {6, 7, 8, 9}) {
    s->route.index = index;
    s->SetVelocity(Vector3(0.5f, 0, 0));
    b.FollowRoute(kDt);
    const float want = index == 9 ? CSkaterBody::kFinalThrottleFloor : (9 - index) / 4.0f;
    EXPECT_FLOAT_EQ(s->body.forwardInput, want) << index;
    s->SetVelocity(Vector3(1.5f, 0, 0));
    b.FollowRoute(kDt);
    EXPECT_FLOAT_EQ(s->body.forwardInput, -0.2f) << index;
  }
  // Walking skaters do not slow down for the route's end.
  s->body.motionMode = CSkater::kWalking;
  b.FollowRoute(kDt);
  EXPECT_FLOAT_EQ(s->body.forwardInput, 1.0f);
  s->body.motionMode = CSkater::kRolling;
  // Skate-to-top: (1 - p^2) x 0.6 + 0.4 along the segment, then p x 0.8 + 0.2 after it.
  SetRoute(*s, flat, {kLinkSkate, kLinkSkate, kLinkSkate, kLinkSkateToTop, kLinkSkate});
  s->route.index = 3;
  s->SetCentre(Vector3(5.0f, 0, 0.45f));  // halfway from node 2 to node 3
  b.FollowRoute(kDt);
  EXPECT_NEAR(s->body.forwardInput, 0.75f * 0.6f + 0.4f, 1e-5);
  s->route.index = 4;
  s->SetCentre(Vector3(6.5f, 0, 0.45f));  // a quarter from node 3 to node 4
  b.FollowRoute(kDt);
  EXPECT_NEAR(s->body.forwardInput, 0.25f * 0.8f + 0.2f, 1e-5);
}

TEST_F(BodyWorld, ADropAheadBrakesAFastSkaterOnLevelGround) {
  auto s = SettledOnPlane();
  CSkaterBody& b = Body(*s);
  ASSERT_GT(b.GetContactNormal().z, 0.7f);
  // Nodes 1 and 2 level, node 3 more than 1.0 below node 2: a drop ahead at node 2.
  SetRoute(*s, {Vector3(0, 0, 0), Vector3(2, 0, 0), Vector3(4, 0, 0), Vector3(6, 0, -1.5f), Vector3(8, 0, -1.5f),
                Vector3(10, 0, -1.5f), Vector3(12, 0, -1.5f), Vector3(14, 0, -1.5f)});
  s->route.index = 2;
  s->SetVelocity(Vector3(2.0f, 0, 0));
  b.FollowRoute(kDt);
  EXPECT_FLOAT_EQ(s->body.forwardInput, -1.0f);
  s->SetVelocity(Vector3(0.1f, 0, 0));
  b.FollowRoute(kDt);
  EXPECT_FLOAT_EQ(s->body.forwardInput, 0.5f);
}

TEST_F(BodyWorld, ASkaterWhoseRouteHasEndedDecidesInTheSameTick) {
  AddPlane();
  auto s = MakeSkater(Vector3(0, 0, 0));
  SetRoute(*s, {Vector3(0, 0, 0), Vector3(2, 0, 0)});
  s->route.index = 2;
  s->times.decisionTime = 5.0f;
  s->GetMotion().RouteStep(kDt);
  EXPECT_NE(s->mind.state, static_cast<uint32_t>(CSkater::kSkating));
}

TEST_F(BodyWorld, TheBoxTestFindsTheSkaterOrItsRemainingRoute) {
  auto s = MakeSkater(Vector3(0, 0, 0));
  const CSkater& m = *s;
  const Box near(Vector3(1.2f, -1, 0), Vector3(3, 1, 1));  // 1.2 away: within radius + 1.0 = 1.45
  EXPECT_TRUE(m.IsInBoxOrRoute(near));
  const Box beside(Vector3(1.5f, -1, 0), Vector3(3, 1, 1));
  EXPECT_FALSE(m.IsInBoxOrRoute(beside));
  // Any height counts for the skater itself.
  EXPECT_TRUE(m.IsInBoxOrRoute(Box(Vector3(-1, -1, 300), Vector3(1, 1, 301))));
  // Following a route that crosses the box: found; the part already skated does not count.
  SetRoute(*s, {Vector3(-10, 0, 0), Vector3(0, 10, 0), Vector3(5, 10, 0), Vector3(5, 20, 0)});
  s->route.index = 1;
  const Box onRoute(Vector3(2, 9, -1), Vector3(3, 11, 1));
  EXPECT_TRUE(m.IsInBoxOrRoute(onRoute));
  const Box behind(Vector3(-6, -1, -1), Vector3(-4, 1, 1));
  EXPECT_FALSE(m.IsInBoxOrRoute(behind));
  s->route.steps[3].nodeId = 99999;  // a node gone with its piece: the route must be replanned
  EXPECT_TRUE(m.IsInBoxOrRoute(behind));
  s->route.mode = 0;
  EXPECT_FALSE(m.IsInBoxOrRoute(onRoute));
}

TEST_F(BodyWorld, OnASlopeTheBodyTurnsUprightAgainstTheGroundAtTheAlignmentRate) {
  AddSolid(Slope(30.0f));
  const float rise = std::tan(30.0f * kPi / 180.0f);
  Vector3 n(0.0f, -rise, 1.0f);
  n.Normalize();
  auto s = MakeSkater(Vector3(0, 2.0f, 2.0f * rise), kPi * 0.5f);  // level, facing up the slope
  s->SetCentre(Vector3(0, 2.0f, 2.0f * rise) + n * 0.5f);
  CSkaterBody& b = Body(*s);
  for (int i = 0; i < 10 && !b.HasGroundContact(); ++i) b.MoveStep(kDt);
  ASSERT_TRUE(b.HasGroundContact());
  ASSERT_NEAR(b.GetContactNormal().Dot(n), 1.0f, 1e-3);
  float angle = std::acos(std::min(1.0f, s->GetFrame().GetZAxis().Dot(n)));
  ASSERT_NEAR(angle, kPi / 6.0f, 1e-3);
  s->SetVelocity(Vector3(0, 1.0f, rise));
  int ticks = 0;
  while (angle > 4.0f * kDt && ticks < 100) {
    s->SetVelocity(Vector3(0, 1.0f, rise));
    b.OrientStep(kDt);
    const float next = std::acos(std::min(1.0f, s->GetFrame().GetZAxis().Dot(n)));
    EXPECT_NEAR(angle - next, 4.0f * kDt, 1e-3) << ticks;  // the AI's rate, 4 radians a second
    angle = next;
    ++ticks;
  }
  EXPECT_EQ(ticks, static_cast<int>(std::ceil((kPi / 6.0f - 4.0f * kDt) / (4.0f * kDt))));
  // A remaining angle below one step is left as it is.
  const Vector3 up = s->GetFrame().GetZAxis();
  b.OrientStep(kDt);
  EXPECT_EQ(s->GetFrame().GetZAxis(), up);
}

// --- Whole rides over generated pieces ---

TEST_F(BodyWorld, ARouteUpAThirtyDegreeRampReachesTheTop) {
  AddPlane();
  AddSolid(Slope(30.0f));
  const float rise = std::tan(30.0f * kPi / 180.0f);
  auto s = MakeSkater(Vector3(0, -4, 0), kPi * 0.5f);
  Settle(*s);
  const std::vector<Vector3> route{Vector3(0, -4, 0), Vector3(0, -1, 0), Vector3(0, 1, rise), Vector3(0, 3, 3 * rise),
                                   Vector3(0, 3.8f, 3.8f * rise)};
  SetRoute(*s, route);
  float highest = 0.0f;
  int tick = 0;
  for (; tick < 300 && s->route.index < static_cast<int32_t>(route.size()); ++tick) {
    s->GetMotion().RouteStep(kDt);
    highest = std::max(highest, s->GetCentre().z);
    // Never below the ramp's surface (the sphere rides on it).
    const float y = s->GetCentre().y;
    const float surface = y > 0.0f && y < 4.0f ? y * rise : 0.0f;
    EXPECT_GT(s->GetCentre().z, surface + 0.3f) << tick;
  }
  EXPECT_EQ(s->route.index, static_cast<int32_t>(route.size()));
  EXPECT_GT(highest, 3.7f * rise);
}

TEST_F(BodyWorld, ARouteOverADropCreepsToTheLipAndGoesDown) {
  AddPlane();
  AddSolid({{Vector3(-4, -2, 0), Vector3(0, 2, 1.5f)}});  // a platform whose lip is at x = 0
  auto s = MakeSkater(Vector3(-3, 0, 1.5f));
  Settle(*s);
  ASSERT_NEAR(s->GetCentre().z, 1.95f, 0.08f);
  // Two level nodes on the platform, then the drop: the skater aims 0.55 past the lip.
  SetRoute(*s, {Vector3(-3, 0, 1.5f), Vector3(-1.5f, 0, 1.5f), Vector3(0, 0, 1.5f), Vector3(3, 0, 0), Vector3(6, 0, 0),
                Vector3(9, 0, 0), Vector3(12, 0, 0), Vector3(15, 0, 0)});
  EXPECT_NEAR(s->GetMotion().RoutePoint(2).x, 0.55f, 1e-5);
  float fastestNearLip = 0.0f;
  for (int tick = 0; tick < 600 && s->route.index < 5; ++tick) {
    s->GetMotion().RouteStep(kDt);
    EXPECT_GT(s->GetCentre().z, 0.3f) << tick;  // never through the ground
    if (s->GetCentre().x > -1.0f && s->GetCentre().x < 0.0f && s->GetCentre().z > 1.8f) {
      fastestNearLip = std::max(fastestNearLip, s->GetVelocity().Length());
    }
  }
  EXPECT_EQ(s->route.index, 5);
  EXPECT_NEAR(s->GetCentre().z, 0.45f, 0.08f);
  EXPECT_LE(fastestNearLip, 1.6f);  // braked to a crawl before the lip
}

TEST_F(BodyWorld, CoastingOffAnEdgeForLongerThanPointFourSecondsPlaysTheOllie) {
  AddPlane();
  AddSolid({{Vector3(-4, -2, 0), Vector3(0, 2, 1.5f)}});
  auto s = MakeSkater(Vector3(-1, 0, 1.5f));
  Settle(*s);
  s->SetVelocity(Vector3(4.0f, 0, 0));
  CSkaterBody& b = Body(*s);
  float airborne = 0.0f;
  for (int tick = 0; tick < 40; ++tick) {
    b.MoveStep(kDt);
    if (!b.HasGroundContact()) airborne = s->body.timeWithoutContact;
  }
  EXPECT_GT(airborne, 0.4f);
  EXPECT_EQ(Anim(*s).played.back(), CSkaterAnimation::kOllie);
  EXPECT_NEAR(s->GetCentre().z, 0.45f, 0.08f);
}

TEST_F(BodyWorld, AWallStopsASkaterThatRunsIntoIt) {
  AddPlane();
  AddSolid({{Vector3(3, -5, 0), Vector3(3.5f, 5, 3)}});
  auto s = MakeSkater(Vector3(0, 0, 0));
  Settle(*s);
  s->SetVelocity(Vector3(5.0f, 0.5f, 0));
  CSkaterBody& b = Body(*s);
  for (int tick = 0; tick < 60; ++tick) {
    s->body.forwardInput = 1.0f;
    b.DriveStep(kDt);
    b.MoveStep(kDt);
    EXPECT_LE(s->GetCentre().x, 3.0f - 0.45f + 1e-3f) << tick;
    EXPECT_LT(s->GetVelocity().Length(), 6.0f + 2.0f) << tick;  // the push-out stays bounded
  }
  EXPECT_GT(s->GetCentre().x, 2.3f);  // it got there and stays at the wall
}

TEST_F(BodyWorld, ATrickOffAWallTurnsTheSkaterToComeBackDownFacingTheWayItWentUp) {
  auto s = MakeSkater(Vector3(0, 0, 5));
  CSkaterBody& b = Body(*s);
  const float c = std::sqrt(0.5f);
  COrientation frame;  // on a 45-degree wall rising along +y, facing up it
  frame.SetXAxis(Vector3(0, c, c));
  frame.SetYAxis(Vector3(-1, 0, 0));
  frame.SetZAxis(Vector3(0, -c, c));
  frame.SetPosition(s->GetCentre());
  s->SetFrame(frame);
  s->SetVelocity(Vector3(0, 0, 4.0f));
  const float t = b.TakeOffTime(s->GetCentre().z);
  ASSERT_GT(t, 0.0f);
  b.SetTrickFlag(true);
  Anim(*s).Play(CSkaterAnimation::kTakeOff, false);
  for (float progress : {0.5f, 1.0f}) {
    s->body.takeOffTime = static_cast<float>(park.GetWorldTime()) - progress * t;
    b.OrientStep(kDt);
    EXPECT_NEAR(b.GetAirProgress(), progress, 1e-4);
    const Vector3 x = s->GetFrame().GetXAxis();
    if (progress == 1.0f) {
      EXPECT_NEAR(x.Dot(Vector3(0, -c, -c)), 1.0f, 1e-4);  // facing back down the wall
    } else {
      EXPECT_NEAR(std::fabs(x.x), 1.0f, 1e-4);  // halfway round, along the wall
    }
    EXPECT_NEAR(s->GetFrame().GetZAxis().Dot(Vector3(0, -c, c)), 1.0f, 1e-4);  // still square to the wall
  }
  // A spin turns the body about its height axis on top of that.
  s->body.spinAngle = kPi;
  b.OrientStep(kDt);
  EXPECT_NEAR(s->GetFrame().GetXAxis().Dot(Vector3(0, c, c)), 1.0f, 1e-4);
  // Off a gentle slope rising along +x, heading across it either way, the skater comes down
  // mirrored across the slope's level line (+y).
  const Vector3 up(-std::sin(0.17f), 0, std::cos(0.17f)), level(0, 1, 0), uphill = level.Cross(up);
  for (float across : {0.7f, -0.7f}) {
    frame.SetXAxis(uphill * std::cos(across) + level * std::sin(across));
    frame.SetYAxis(up.Cross(frame.GetXAxis()));
    frame.SetZAxis(up);
    s->SetFrame(frame);
    ASSERT_GT(b.TakeOffTime(s->GetCentre().z), 0.0f);
    s->body.takeOffTime = static_cast<float>(park.GetWorldTime()) - s->body.airTime;
    b.OrientStep(kDt);
    const Vector3 mirrored = uphill * -std::cos(across) + level * std::sin(across);
    EXPECT_NEAR(s->GetFrame().GetXAxis().Dot(mirrored), 1.0f, 1e-4) << across;
  }
}

// --- Debug drawing ---

TEST_F(BodyWorld, DebugDrawingShowsTheSphereTheContactAndTheRouteAhead) {
  auto s = SettledOnPlane();
  SetRoute(*s, {Vector3(0, 0, 0), Vector3(2, 0, 0), Vector3(4, 1, 0), Vector3(6, 3, 0)});
  s->route.index = 1;
  testing_support::SceneDrawRecorder view;
  s->Render(&view);
  EXPECT_TRUE(view.lines.empty() && view.spheres.empty());  // no debug flag, no overlay
  park.ToggleDebugFlag(CSkaterBody::kCollisionDebugFlag);
  park.ToggleDebugFlag(CSkaterBody::kRouteDebugFlag);
  s->Render(&view);
  ASSERT_EQ(view.spheres.size(), 1u);
  EXPECT_EQ(view.spheres[0].colour, 0xFF0000C8u);
  EXPECT_FLOAT_EQ(view.spheres[0].radius, 0.45f);
  // The contact normal as a yellow line of the radius, then the route from the current pair on.
  ASSERT_EQ(view.lines.size(), 3u);
  EXPECT_EQ(view.lines[0].colour, 0xFFFFFF00u);
  EXPECT_NEAR((view.lines[0].b - view.lines[0].a).Length(), 0.45f, 1e-4);
  EXPECT_GT(view.lines[0].b.z, view.lines[0].a.z);
  for (size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(view.lines[i].colour, 0xFFFF0000u);
    EXPECT_EQ(view.lines[i].a, s->GetMotion().RoutePoint(i) + Vector3(0, 0, 0.1f));
    EXPECT_EQ(view.lines[i].b, s->GetMotion().RoutePoint(i + 1) + Vector3(0, 0, 0.1f));
  }
  // With a target node, wire cubes of side 0.3 about it (orange) and the point aimed at (yellow):
  // twelve edges each, every corner 0.15 from the centre along each axis.
  view.lines.clear();
  view.spheres.clear();
  s->mind.targetNodeId = 3;  // the route's last square, at (6, 3, 0)
  s->body.targetPoint = Vector3(1.0f, 2.0f, 3.0f);
  s->Render(&view);
  ASSERT_EQ(view.lines.size(), 1u + 12u + 12u + 2u);
  for (size_t box = 0; box < 2; ++box) {
    const Vector3 centre = box == 0 ? Vector3(6, 3, 0) : Vector3(1, 2, 3);
    for (size_t i = 1 + 12 * box; i < 13 + 12 * box; ++i) {
      const auto& l = view.lines[i];
      EXPECT_EQ(l.colour, box == 0 ? 0xFFFF8000u : 0xFFFFFF00u) << i;
      EXPECT_NEAR((l.b - l.a).Length(), 0.3f, 1e-5) << i;
      for (const Vector3& p : {l.a, l.b})
        for (float d : {p.x - centre.x, p.y - centre.y, p.z - centre.z}) EXPECT_NEAR(std::fabs(d), 0.15f, 1e-5) << i;
    }
  }
  view.spheres.clear();
  s->body.motionMode = CSkater::kCrashed;
  s->Render(&view);
  ASSERT_EQ(view.spheres.size(), 1u);
  EXPECT_TRUE(view.spheres[0].colour == 0xFFC80000u || view.spheres[0].colour == 0xFFFF00FFu);
}

TEST_F(BodyWorld, JumpToReachesTheTargetWithinTheModesTopSpeed) {
  auto s = MakeSkater(Vector3(0, 0, 0));
  CSkaterMotion& m = s->GetMotion();
  struct Case {
    uint32_t routeMode;
    Vector3 target;
    float speed;
  };
  const float flight = 2.0f * 6.0f / 9.8f;  // landing at the take-off height
  for (const Case c : {Case{1, Vector3(0, 3, 0), 3.0f / flight}, Case{1, Vector3(30, 0, 0), 6.0f},
                       Case{0, Vector3(30, 0, 0), 2.5f}, Case{1, Vector3(0, 0, 0), 0.0f}}) {
    s->SetCentre(Vector3(0, 0, 0.45f));
    s->SetVelocity(Vector3(1.0f, 1.0f, 6.0f));
    s->route.mode = c.routeMode;
    m.JumpTo(c.target);
    EXPECT_NEAR(s->body.airTime, flight, 1e-5);
    EXPECT_FLOAT_EQ(s->GetVelocity().z, 6.0f);
    const Vector3 v = s->GetVelocity();
    EXPECT_NEAR(std::hypot(v.x, v.y), c.speed, 1e-4) << c.target.x << " " << c.target.y;
    if (c.speed > 0.0f) {
      const Vector3 d = c.target * (1.0f / c.target.Length());
      EXPECT_NEAR(v.x * d.x + v.y * d.y, c.speed, 1e-4);
    }
  }
}

TEST_F(BodyWorld, AStuckSkaterIsDroppedOntoTheGroundBelowItsRoutePoint) {
  AddPlane();
  AddSolid({{Vector3(4, -1, 0), Vector3(6, 1, 2)}});
  auto s = MakeSkater(Vector3(0, 0, 0));
  COrientation tilted;
  tilted.RotateX(0.4f);
  tilted.SetPosition(Vector3(0, 0, 3));
  s->SetFrame(tilted);
  CSkaterMotion& m = s->GetMotion();
  m.PlaceOnGroundAt(Vector3(2, 2, 0.45f));  // on the plane: just above its resting height
  EXPECT_NEAR(s->GetCentre().x, 2.0f, 1e-4);
  EXPECT_NEAR(s->GetCentre().z, 0.45f + 0.1f, 1e-3);
  EXPECT_EQ(s->GetFrame().GetXAxis(), Vector3(1, 0, 0));
  EXPECT_EQ(s->GetFrame().GetZAxis(), Vector3(0, 0, 1));
  m.PlaceOnGroundAt(Vector3(5, 0, 0.45f));  // inside the block: onto its top
  EXPECT_NEAR(s->GetCentre().z, 2.0f + 0.45f + 0.1f, 1e-3);
  m.PlaceOnGroundAt(Vector3(90, 90, 0.45f));  // nothing below: the point itself
  EXPECT_EQ(s->GetCentre(), Vector3(90, 90, 0.45f));
}

TEST_F(BodyWorld, ThePlayersSteeringTurnsRightForPositiveInputAndSpinsInTheAir) {
  auto s = MakeSkater(Vector3(0, 0, 0));
  CSkaterBody& b = Body(*s);
  s->body.timeWithoutContact = 0.0f;
  s->SetVelocity(Vector3(2.0f, 0, 0));
  s->body.steerInput = 1.0f;
  // The turn rate grows by 8 a second up to the skating limit of 2.5.
  for (int i = 0; i < 20; ++i) b.DriveStep(kDt);
  EXPECT_FLOAT_EQ(s->body.turnRate, 2.5f);
  EXPECT_LT(s->GetFrame().GetXAxis().y, -0.5f);  // turned clockwise seen from above: to the right
  const Vector3 x = s->GetFrame().GetXAxis(), v = s->GetVelocity();
  EXPECT_NEAR(v.x * x.y - v.y * x.x, 0.0f, 1e-4);  // the velocity turned with the board
  // Letting go winds the rate down to 0 without crossing it.
  s->body.steerInput = 0.0f;
  for (int i = 0; i < 20; ++i) b.DriveStep(kDt);
  EXPECT_EQ(s->body.turnRate, 0.0f);
  // In the air the rate spins the trick instead of the board.
  s->body.timeWithoutContact = 10.0f;
  s->body.steerInput = -1.0f;
  const Vector3 before = s->GetFrame().GetXAxis();
  b.DriveStep(kDt);
  EXPECT_FLOAT_EQ(s->body.turnRate, -8.0f * kDt);
  EXPECT_FLOAT_EQ(s->body.spinAngle, kDt * 3.0f * -8.0f * kDt);
  EXPECT_EQ(s->GetFrame().GetXAxis(), before);
}

TEST_F(BodyWorld, LongSeededRidesOverRampsAndStepsKeepTheBodySound) {
  // Low enough to be ridden over from any side (a route through a tall block would only push
  // against it until the mind's stuck watch steps in).
  AddPlane();
  AddSolid({{Vector3(-3, 4, 0), Vector3(3, 8, 0.3f), true},
            {Vector3(6, -6, 0), Vector3(8, -2, 0.15f)},
            {Vector3(-8, -8, 0), Vector3(-5, -5, 0.1f)}});
  plat::srand(777);
  auto coordinate = [] { return static_cast<float>(plat::rand() % 2000) * 0.01f - 10.0f; };
  for (int rider = 0; rider < 6; ++rider) {
    auto s = MakeSkater(Vector3(coordinate(), coordinate(), 3.0f));
    Settle(*s, 60);
    // The drop may end in the mind's one-in-ten landing crash; the ride starts back on the board.
    s->body.motionMode = CSkater::kRolling;
    std::vector<Vector3> route{Vector3(s->GetCentre().x, s->GetCentre().y, 0)};
    for (int i = 0; i < 12; ++i) route.push_back(Vector3(coordinate(), coordinate(), 0));
    SetRoute(*s, route);
    int32_t lastIndex = 0;
    float travelled = 0.0f;
    for (int tick = 0; tick < 400 && s->route.index < static_cast<int32_t>(route.size()); ++tick) {
      const Vector3 before = s->GetCentre();
      s->GetMotion().RouteStep(kDt);
      s->GetMotion().PlaceBody();
      const Vector3 c = s->GetCentre(), v = s->GetVelocity();
      travelled += (c - before).Length();
      ASSERT_TRUE(std::isfinite(c.x) && std::isfinite(c.y) && std::isfinite(c.z)) << rider << " " << tick;
      ASSERT_GT(c.z, 0.3f) << rider << " " << tick;  // never sunk into the plane
      ASSERT_LT(v.Length(), 12.0f) << rider << " " << tick;
      ASSERT_TRUE(s->GetFrame().IsOrthonormal(1e-3f)) << rider << " " << tick;
      ASSERT_TRUE(std::isfinite(Body(*s).GetBoardPitch()));
      ASSERT_GE(s->route.index, lastIndex);  // the route only moves forward
      lastIndex = s->route.index;
    }
    EXPECT_GT(travelled, 20.0f) << rider;  // and it does get about
    EXPECT_GE(s->route.index, 2) << rider;
  }
}

}  // namespace
