// Touch-down: the body's move hands the impact and the board's angles to the mind's landing check,
// which sets the landing error, crashes the skater or closes the trick; the player's keys and the
// body's crashes go through the mind's trick choice and history.
#include "tests/park/skater/SkaterBodyFixture.h"

#include <algorithm>

namespace {

using namespace skater_body_test;

struct LandingWorld : BodyWorld {
  // A skater dropping onto the plane from a little height, its board tilted about the forward
  // axis by the angle; each beside the last, so none lands on another.
  CSkater* Drop(float tilt, bool player) {
    CSkater* s = AddSkater(Vector3(-30.0f + 1.5f * static_cast<float>(m_dropped++ % 40), 0, 0.6f));
    if (player) park.SetPlayerSkaterId(s->GetID());
    COrientation frame = s->GetFrame();
    frame.RotateX(tilt);
    s->SetFrame(frame);
    s->SetVelocity(Vector3(0, 0, -2.0f));
    s->body.timeWithoutContact = 10.0f;
    s->body.landingError = -1.0f;  // untouched until a landing is judged
    return s;
  }
  // Moves until the first contact; returns the vertical speed the last move started with.
  float FallUntilContact(CSkater& s) {
    float impact = 0.0f;
    for (int tick = 0; tick < 100 && !Body(s).HasGroundContact(); ++tick) {
      impact = s.GetVelocity().z + kDt * s.GetParams()[SkaterParams::kGravity];
      Body(s).MoveStep(kDt);
    }
    EXPECT_TRUE(Body(s).HasGroundContact());
    return impact;
  }
  float Tolerance(const CSkater& s, float impact) const {
    const float a = s.GetParams()[27], b = s.GetParams()[28];
    return a + (b - a) * std::min(std::fabs(impact) * 0.1f, 1.0f);
  }
  int m_dropped = 0;
};

TEST_F(LandingWorld, ThePlayersLandingErrorIsTheBoardTiltOverTheImpactTolerance) {
  AddPlane();
  for (float tilt : {0.0f, 0.1f, 0.2f, 0.3f}) {
    CSkater* s = Drop(tilt, true);
    const float impact = FallUntilContact(*s);
    ASSERT_LT(impact, -2.0f);
    // The plane's normal is straight up, so the error is the tilt against the tolerance of this
    // impact; a board coming straight down has no travel angle, and no trick plays.
    EXPECT_NEAR(s->body.landingError, tilt / Tolerance(*s, impact), 2e-3f) << tilt;
    EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kRolling));
    // Rolling on afterwards is no new landing.
    s->body.landingError = -1.0f;
    for (int tick = 0; tick < 10; ++tick) Body(*s).MoveStep(kDt);
    EXPECT_EQ(s->body.landingError, -1.0f);
  }
}

TEST_F(LandingWorld, ABadPlayerLandingCrashesWithoutInjury) {
  AddPlane();
  CSkater* s = Drop(1.2f, true);  // beyond the tolerance of a slow impact
  s->needs.injury = 0.3f;
  FallUntilContact(*s);
  EXPECT_GE(s->body.landingError, 1.0f);
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kCrashed));
  EXPECT_EQ(s->needs.injury, 0.0f);  // the player's own falls do not send it to the medic
  EXPECT_EQ(s->mind.state, 0u);      // only an AI skater enters the crash state
  EXPECT_EQ(Anim(*s).GetCategory(Anim(*s).current), 7);
}

TEST_F(LandingWorld, AnAISkaterLandsWithATenthOrCrashesOneTimeInTen) {
  AddPlane();
  int crashes = 0;
  for (int trial = 0; trial < 200; ++trial) {
    CSkater* s = Drop(0.7f, false);  // the AI's landing ignores the tilt
    s->body.currentTrick = 30;
    s->GetTricks().AddTrick(30, 3, 1, 0.0f, 0.0f);
    FallUntilContact(*s);
    ASSERT_EQ(s->body.landingError, 0.1f);
    const bool crashed = s->body.motionMode == CSkater::kCrashed;
    crashes += crashed ? 1 : 0;
    // The trick is closed once: as crashed by the crash, else as landed cleanly.
    EXPECT_TRUE(s->GetTricks().IsFinished(0));
    EXPECT_EQ(s->GetTricks().IsLanded(0), !crashed);
    if (crashed) {
      EXPECT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kCrashing));
      EXPECT_LE(s->needs.injury, 0.4f);
    }
    park.RemoveObject(s->GetID());
  }
  EXPECT_GT(crashes, 6);  // about 20 expected
  EXPECT_LT(crashes, 40);
}

TEST_F(LandingWorld, AGrindingPlayerOrAWalkerIsNotJudged) {
  AddPlane();
  CSkater* s = Drop(0.7f, true);
  s->body.motionMode = CSkater::kGrinding;
  FallUntilContact(*s);
  EXPECT_EQ(s->body.landingError, -1.0f);
  CSkater* w = Drop(0.7f, false);
  w->body.motionMode = CSkater::kWalking;
  FallUntilContact(*w);
  EXPECT_EQ(w->body.landingError, -1.0f);
}

TEST_F(LandingWorld, ThePlayersAirTrickFromTypedKeysIsRecordedAndAStalledGrindCrashesIt) {
  AddSolid({{Vector3(-2, -0.25f, 0), Vector3(2, 0.25f, 1)}});
  CSkater* s = Drop(0.0f, true);
  s->SetCentre(Vector3(-1.0f, 0.0f, 1.45f));
  for (int code : {64, 64, 66}) Press(*s, code);  // "LL1": Method
  Body(*s).PlayerGrindStep(kDt);
  ASSERT_EQ(s->GetTricks().GetCount(), 1u);
  EXPECT_EQ(s->GetTricks().GetEntry(0)->trick, 26u);
  EXPECT_EQ(s->GetTricks().GetEntry(0)->category, 3u);
  EXPECT_FALSE(s->GetTricks().IsFinished(0));
  // On the rail with the grind key, slowed to a stall: the open record is closed as a crash.
  s->body.timeWithoutContact = 0.0f;
  Press(*s, CSkaterBody::kActionGrind);
  s->SetVelocity(Vector3(4.0f, 0, 0));
  Body(*s).PlayerGrindStep(kDt);
  ASSERT_TRUE(Body(*s).IsGrinding());
  ASSERT_EQ(s->GetTricks().GetEntry(0)->category, 4u);
  s->SetVelocity(Vector3(0.01f, 0, 0));
  Body(*s).PlayerGrindStep(kDt);
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kCrashed));
  EXPECT_TRUE(s->GetTricks().IsFinished(0));
  EXPECT_FALSE(s->GetTricks().IsLanded(0));
}

TEST_F(LandingWorld, ASkaterLyingOnAnotherKeepsABoundedSpeedAndGetsUp) {
  AddPlane();
  CSkater* low = AddSkater(Vector3(0, 0, 0));
  low->body.timeWithoutContact = 0.0f;
  for (int tick = 0; tick < 10; ++tick) Body(*low).MoveStep(kDt);
  // The other crashed right on top of it: its sphere rests on the lower one's.
  CSkater* high = AddSkater(Vector3(0, 0, 0.9f));
  high->Crash(0.05f);
  high->SetVelocity(Vector3(0, 0, -1.0f));
  float fastest = 0.0f;
  for (int tick = 0; tick < 300 && high->mind.state == CSkater::kCrashing; ++tick) {
    Anim(*high).length = 0.0f;  // the crash animation has played out
    high->GetMotion().CrashStep(kDt);
    fastest = std::max(fastest, high->GetVelocity().Length());
  }
  EXPECT_LT(fastest, 5.0f);  // a touch of gravity per tick, taken off again by each contact
  EXPECT_NE(high->mind.state, static_cast<uint32_t>(CSkater::kCrashing));
}

}  // namespace
