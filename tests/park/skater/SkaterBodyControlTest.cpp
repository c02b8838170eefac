// The player's buttons: the charged jump, trick keys collected only in the air, the board key and
// the grind key.
#include "tests/park/skater/SkaterBodyFixture.h"

namespace {

using namespace skater_body_test;

struct ControlWorld : BodyWorld {
  void Wait(float seconds) {
    for (float t = 0.0f; t < seconds - 1e-4f; t += 0.05f) park.UpdateObjects(0.05f);
  }
};

TEST_F(ControlWorld, TheJumpSpeedGrowsWithTheCrouchTimeFromThreeToSix) {
  struct Case {
    float hold, speed;
  };
  for (const Case c :
       {Case{0.0f, 3.0f}, Case{0.2f, 3.0f + 3.0f * std::sqrt(0.4f)}, Case{0.5f, 6.0f}, Case{1.5f, 6.0f}}) {
    auto s = MakeSkater(Vector3(0, 0, 0));
    s->body.timeWithoutContact = 0.0f;
    s->SetVelocity(Vector3(2.0f, 0, 0));
    Press(*s, CSkaterBody::kActionJump);
    ASSERT_TRUE(Body(*s).GetCrouchFlag());
    Wait(c.hold);
    Press(*s, -CSkaterBody::kActionJump);
    EXPECT_NEAR(s->GetVelocity().z, c.speed, 2e-3) << c.hold;
    EXPECT_FLOAT_EQ(s->GetVelocity().x, 2.0f);
    EXPECT_FALSE(Body(*s).GetCrouchFlag());
    EXPECT_FALSE(s->GetMotion().HasGroundContact());
    EXPECT_NEAR(s->body.airTime, 2.0f * c.speed / 9.8f, 1e-3);  // lands at the height it left
    EXPECT_EQ(Anim(*s).current, CSkaterAnimation::kTakeOff);
    EXPECT_EQ(Anim(*s).CountSound(CSkaterAnimation::Sound::kTrick), 1);
  }
}

TEST_F(ControlWorld, AReleaseWithoutACrouchOrInTheAirDoesNotJump) {
  auto s = MakeSkater(Vector3(0, 0, 0));
  s->body.timeWithoutContact = 0.0f;
  s->SetVelocity(Vector3(0, 0, 0));
  Press(*s, -CSkaterBody::kActionJump);  // no crouch first
  EXPECT_EQ(s->GetVelocity().z, 0.0f);
  s->body.timeWithoutContact = 10.0f;  // a press in the air is no crouch
  Press(*s, CSkaterBody::kActionJump);
  EXPECT_FALSE(Body(*s).GetCrouchFlag());
  Press(*s, -CSkaterBody::kActionJump);
  EXPECT_EQ(s->GetVelocity().z, 0.0f);
}

TEST_F(ControlWorld, TrickKeysAreCollectedOnlyInTheAirAndTheListIsBounded) {
  auto s = MakeSkater(Vector3(0, 0, 0));
  CSkaterBody& b = Body(*s);
  s->body.timeWithoutContact = 0.0f;
  for (int code = 62; code <= 70; ++code) Press(*s, code);
  EXPECT_TRUE(b.GetPressedKeys().empty());
  s->body.timeWithoutContact = 10.0f;
  for (int code = 60; code <= 70; ++code) Press(*s, code);
  Press(*s, -62);  // releases are no keys
  EXPECT_EQ(b.GetPressedKeys(), (std::vector<uint32_t>{62, 63, 64, 65, 66, 67}));
  for (int i = 0; i < 100; ++i) Press(*s, 62);
  EXPECT_EQ(b.GetPressedKeys().size(), CSkaterBody::kMaxPressedKeys);
}

TEST_F(ControlWorld, TheBoardKeyPutsTheBoardDownOrStepsOffOnlyWhenSlow) {
  auto s = MakeSkater(Vector3(0, 0, 0));
  RecordingAnimation& anim = Anim(*s);
  s->body.motionMode = CSkater::kWalking;
  Press(*s, CSkaterBody::kActionBoard);
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kRolling));
  EXPECT_EQ(anim.current, CSkaterAnimation::kPutDownBoard);
  EXPECT_EQ(anim.CountSound(CSkaterAnimation::Sound::kPutBoardDown), 1);
  s->SetVelocity(Vector3(1.0f, 0, 0));  // 1.0 is too fast to step off
  Press(*s, CSkaterBody::kActionBoard);
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kRolling));
  s->body.motionMode = CSkater::kGrinding;
  s->SetVelocity(Vector3(0.2f, 0, 0));
  const size_t plays = anim.played.size();
  Press(*s, CSkaterBody::kActionBoard);  // never while grinding
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kGrinding));
  EXPECT_EQ(anim.played.size(), plays);
  s->body.motionMode = CSkater::kRolling;
  s->SetVelocity(Vector3(0.99f, 0, 0));
  Press(*s, CSkaterBody::kActionBoard);
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kWalking));
  EXPECT_EQ(anim.current, CSkaterAnimation::kFootStop);
}

TEST_F(ControlWorld, WalkingClearsTheKeyFlagsAndACrashedSkaterIgnoresEvents) {
  auto s = MakeSkater(Vector3(0, 0, 0));
  CSkaterBody& b = Body(*s);
  s->body.timeWithoutContact = 0.0f;
  Press(*s, CSkaterBody::kActionGrind);
  Press(*s, CSkaterBody::kActionJump);
  ASSERT_TRUE(b.GetGrindKey() && b.GetCrouchFlag());
  s->body.motionMode = CSkater::kWalking;
  Press(*s, 999);
  EXPECT_FALSE(b.GetGrindKey() || b.GetCrouchFlag());
  s->body.motionMode = CSkater::kCrashed;
  Press(*s, CSkaterBody::kActionGrind);
  EXPECT_FALSE(b.GetGrindKey());
  s->body.timeWithoutContact = 10.0f;
  Press(*s, CSkaterBody::kActionUp);
  EXPECT_TRUE(b.GetPressedKeys().empty());
}

TEST_F(ControlWorld, WithoutAnInputManagerTheAxesReadZero) {
  auto s = MakeSkater(Vector3(0, 0, 0));
  s->body.forwardInput = s->body.steerInput = 0.7f;
  Body(*s).ReadControlAxes();
  EXPECT_EQ(s->body.forwardInput, 0.0f);
  EXPECT_EQ(s->body.steerInput, 0.0f);
}

TEST_F(ControlWorld, ButtonOneInTheAirStartsTheTrickTheTypedKeysSpell) {
  struct Case {
    std::vector<int> typed;
    int trick;
    size_t left;
  };
  // "LL1" is Method; "L1" does not begin "LL1"; "U1" then leaves the rest typed; nothing known
  // gives the category's first entry and clears the keys.
  for (const Case& c : {Case{{64, 64, 66}, 26, 0}, Case{{62, 66, 64}, 24, 1}, Case{{65, 63, 66}, 21, 0}}) {
    CSkater* s = AddPlayer(Vector3(0, 0, 0));
    CSkaterBody& b = Body(*s);
    s->body.timeWithoutContact = 10.0f;
    for (int key : c.typed) Press(*s, key);
    b.PlayerGrindStep(kDt);
    EXPECT_EQ(s->body.currentTrick, static_cast<uint32_t>(c.trick));
    EXPECT_EQ(b.GetPressedKeys().size(), c.left);
    EXPECT_TRUE(s->body.trickFlag);
    EXPECT_EQ(Anim(*s).current, CSkaterAnimation::kTakeOff);
  }
  // A flip or air trick still well under way is not interrupted.
  CSkater* s = AddPlayer(Vector3(0, 0, 0));
  s->body.timeWithoutContact = 10.0f;
  Anim(*s).Play(26, false);
  Anim(*s).time = 0.5f;  // of 1.0
  Press(*s, 64);
  Press(*s, 66);
  Body(*s).PlayerGrindStep(kDt);
  EXPECT_EQ(Anim(*s).current, 26);
  Anim(*s).time = 0.85f;
  Body(*s).PlayerGrindStep(kDt);
  EXPECT_EQ(Anim(*s).current, CSkaterAnimation::kTakeOff);
  EXPECT_EQ(s->body.currentTrick, 31u);  // "L1"
}

}  // namespace
