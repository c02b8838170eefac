// The skater: its draws, needs and admission, the stuck watch, the decision rules that need no
// pieces, and its saved record at every version.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "core/data/LittleEndian.h"
#include "park/grid/Grid.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterMotion.h"
#include "park/skater/ThoughtTexts.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "tests/support/ContactMotion.h"
#include "tests/support/ParkPieces.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::DebugCapture;
using testing_support::SaveOf;

struct SkaterPark : ::testing::Test {
  // The world's bounds hold everything the tests place.
  SkaterPark() : park(nullptr, nullptr) {
    plat::srand(7);
    park.GetOctree().Reset(Box(Vector3(-100.0f, -100.0f, -100.0f), Vector3(100.0f, 100.0f, 100.0f)));
  }
  // A skater filed with the park, standing at the point.
  CSkater* Add(const Vector3& at) { return testing_support::AddSkater(park, at); }
  DebugCapture capture;
  CVerezIvor park;
};

TEST_F(SkaterPark, StatusInLineNamesTheQueueOnlyWhereItHasAName) {
  CSkater* s = Add(Vector3(0.0f, 0.0f, 0.0f));
  char text[64];
  s->mind.state = CSkater::kInLine;
  s->mind.goal = CSkater::kGoalFood;
  s->GetStatusText(text, sizeof text);
  EXPECT_STREQ(text, "Standing in line for food");
  s->mind.goal = CSkater::kGoalRest;  // a bench has no queue name of its own
  s->GetStatusText(text, sizeof text);
  EXPECT_STREQ(text, "Standing in line");
}

TEST_F(SkaterPark, ConstructorDrawsStayInTheirRangesAndRepeatWithTheSeed) {
  std::vector<float> first;
  for (int run = 0; run < 2; ++run) {
    plat::srand(1234);
    for (int i = 0; i < 300; ++i) {
      CSkater s;
      EXPECT_GE(s.ability.skill, 0.0f);
      EXPECT_LE(s.ability.skill, 1.0f);
      EXPECT_GE(s.ability.shoppingFactor, 0.0f);
      EXPECT_LE(s.ability.shoppingFactor, 0.74f);
      for (int c = 0; c < CSkater::kCategories; ++c) {
        const bool drawn = c >= 2 && c <= 5;
        EXPECT_EQ(s.ability.trickSkill[c] > 0.0f, drawn) << c;
        EXPECT_LE(s.ability.trickSkill[c], 1.0f);
        EXPECT_GE(s.ability.trickSkill[c], drawn ? std::exp(-4.0f) : 0.0f);
      }
      for (float v : {s.needs.hunger, s.needs.thirst, s.needs.bladder, s.needs.tiredness}) {
        EXPECT_GE(v, 0.0f);
        EXPECT_LE(v, 0.4f);
      }
      EXPECT_EQ(s.needs.injury, 0.0f);
      EXPECT_EQ(s.needs.money, 100.0f);
      EXPECT_EQ(s.mind.state, CSkater::kDeciding);
      // Whatever hangs on the body shows in full, for any effect number.
      const CAttachObjectCarrier& carrier = s;
      EXPECT_EQ(carrier.GetAttachIntensity(0) + carrier.GetAttachIntensity(5), 2.0f);
      if (run == 0) first.push_back(s.ability.skill + s.needs.tiredness * 7.0f);
      else EXPECT_EQ(first[static_cast<size_t>(i)], s.ability.skill + s.needs.tiredness * 7.0f);
    }
  }
}

TEST_F(SkaterPark, NeedsStayInRangeAndRestingTradesTirednessForBladder) {
  CSkater* s = Add(Vector3(0, 0, 0));
  uint32_t seed = 99;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 1103515245u + 12345u;
    const float dt = static_cast<float>(seed >> 16) * 0.5f;  // up to ~9 simulated hours
    s->mind.goal = (seed & 1) ? CSkater::kGoalRest : CSkater::kGoalFood;
    s->mind.state = (seed & 2) ? CSkater::kUsingFacility : CSkater::kSkating;
    s->needs.injury = (seed & 4) ? 1.0f : s->needs.injury;
    s->DriftNeeds(dt);
    testing_support::ExpectNeedsInRange(*s);
  }
  s->needs = CSkater::Needs();
  s->needs.tiredness = 0.5f, s->needs.hunger = 0.3f, s->needs.thirst = 0.3f, s->needs.bladder = 0.2f;
  s->mind.goal = CSkater::kGoalRest;
  s->mind.state = CSkater::kUsingFacility;
  s->DriftNeeds(2700.0f);  // half the time a full rest takes
  EXPECT_NEAR(s->needs.tiredness, 0.0f, 1e-5f);
  EXPECT_EQ(s->needs.hunger, 0.3f);
  EXPECT_EQ(s->needs.thirst, 0.3f);
  EXPECT_NEAR(s->needs.bladder, 0.2f + 2700.0f / 129600.0f, 1e-6f);
}

TEST_F(SkaterPark, OneSkaterOverOneParkDayPaysTheFeeAndThePlayersSkaterNothing) {
  park.GetParkState().admissionFee = 37.0f;
  CSkater* ai = Add(Vector3(0, 0, 0));
  ai->SetState(CSkater::kResting, 0);  // thinks without moving
  const double before = park.GetParkState().GetMoney();
  // A park day is 36000 simulated seconds, 90 real seconds at 400 to 1.
  for (int i = 0; i < 9000; ++i) ai->Update(0.01f);
  EXPECT_NEAR(park.GetParkState().GetMoney() - before, 37.0, 1e-3);
  EXPECT_NEAR(park.GetParkState().earnedFromAdmission, 37.0, 1e-3);
  EXPECT_EQ(ai->needs.money, 100.0f);

  park.SetPlayerSkaterId(ai->GetID());
  const double after = park.GetParkState().GetMoney();
  for (int i = 0; i < 1000; ++i) ai->Update(0.01f);
  EXPECT_EQ(park.GetParkState().GetMoney(), after);
}

// A body that never moves by itself and notes where it is put.
struct StillMotion : testing_support::ContactMotion {
  explicit StillMotion(CSkater& s) : skater(s) {}
  void RouteStep(float) override { ++steps; }
  Vector3 RoutePoint(size_t i) const override { return Vector3(3.0f, 3.0f, 0.0f); }
  void PlaceOnGroundAt(const Vector3& p) override {
    skater.SetCentre(p);
    ++placed;
  }
  CSkater& skater;
  int steps = 0;
  int placed = 0;
};

TEST_F(SkaterPark, AStuckSkaterIsRescuedOncePerWatchPeriodThenTakenOut) {
  static StillMotion* made = nullptr;
  CSkater::SetBodyFactory(
      [](CSkater& s) -> std::unique_ptr<CSkaterMotion> {
        auto m = std::make_unique<StillMotion>(s);
        made = m.get();
        return m;
      },
      nullptr);
  auto grid = std::make_unique<CGrid>(6, 6, Vector3(0, 0, 0), 1.0f, 1.0f);
  park.SetGrid(std::move(grid));
  CSkater* s = Add(Vector3(0.5f, 0.5f, 0));
  CSkater::SetBodyFactory(nullptr, nullptr);
  s->route.steps.resize(2);
  s->route.steps[0].nodeId = 0;
  s->route.steps[1].nodeId = 21;  // squares of the grid: they exist
  s->route.index = 1;
  s->route.mode = 1;
  s->SetState(CSkater::kHeadingToGoal, 0);
  std::vector<float> rescuedAt;
  float t = 0.0f;
  const SkaterTally counted = GetSkaterTally();
  for (int tick = 1; tick <= 2000 && !s->IsMarkedForRemoval(); ++tick) {
    const int before = made->placed;
    s->ThinkTick(0.05f);
    t = static_cast<float>(tick) * 0.05f;
    if (made->placed != before) rescuedAt.push_back(t);
  }
  ASSERT_EQ(rescuedAt.size(), static_cast<size_t>(CSkater::kMaxRescues));
  for (size_t i = 0; i < rescuedAt.size(); ++i) EXPECT_NEAR(rescuedAt[i], 8.0f * static_cast<float>(i + 1), 0.06f);
  EXPECT_NEAR(t, 8.0f * (CSkater::kMaxRescues + 1), 0.06f);
  EXPECT_EQ(s->GetCentre().x, 3.0f);
  // Each rescue and the giving up are counted once, the skater as left for being stuck.
  EXPECT_EQ(GetSkaterTally().teleports - counted.teleports, static_cast<uint64_t>(CSkater::kMaxRescues));
  const int stuck = static_cast<int>(Departure::kStuck);
  EXPECT_EQ(GetSkaterTally().departures[stuck] - counted.departures[stuck], 1u);
}

// --- The saved record ---

CSkater* MakeBusySkater(CSkater& s) {
  s.SetName("Skater #42");
  s.needs.hunger = 0.25f, s.needs.thirst = 0.5f, s.needs.bladder = 0.75f, s.needs.injury = 0.125f;
  s.needs.mood = 0.3f, s.needs.money = -12.5f, s.needs.tiredness = 0.6f;
  s.times.timeInPark = 12345.678, s.times.timeSinceShopping = 99.25, s.times.decisionTime = 1.5f;
  s.times.stateTime = 3.25f;
  s.mind.goal = CSkater::kGoalDrink, s.mind.state = CSkater::kHeadingToGoal, s.mind.subState = 3;
  s.mind.targetNodeId = 77, s.mind.evicted = true;
  s.appearance = {2, 2, 1};
  s.body.targetPoint = Vector3(1, 2, 3), s.body.restTurnTimer = 0.75f, s.body.animIndex = 24;
  s.body.contactBlock[4] = 0xDEADBEEF, s.body.carried[1] = 5, s.body.crashTimer = 2.5f;
  s.route.steps.resize(3);
  s.route.steps[0].nodeId = 5;
  s.route.steps[1] = {6, true, PathEdgeInfo{0.2f, kLinkSkate, 0}, 0};
  s.route.steps[2] = {1000, true, PathEdgeInfo{0.5f, kLinkOllie, 0}, 9};
  s.route.index = 1, s.route.mode = 1;
  for (int c = 0; c < CSkater::kCategories; ++c) s.ability.trickCountA[c] = static_cast<float>(c);
  s.GetThoughts().AddThought(5, true);
  s.GetThoughts().AddThought(70, true);
  s.GetTricks().AddTrick(24, 3, 12, 10.0f, 0.0f);
  s.GetTricks().CloseTricks(true, false, 11.0f, 6.2831853f);
  return &s;
}

TEST_F(SkaterPark, RecordRoundTripsByteForByteAndKeepsEveryField) {
  CSkater a;
  a.LoadBody(COrientation());
  MakeBusySkater(a);
  const std::vector<uint8_t> bytes = SaveOf(a);
  CSkater b;
  uint32_t id = 0;
  ASSERT_TRUE(b.Load(bytes.data(), bytes.size(), nullptr, &id));
  EXPECT_EQ(id, a.GetID());
  const std::vector<uint8_t> again = SaveOf(b);
  ASSERT_EQ(again.size(), bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) ASSERT_EQ(again[i], bytes[i]) << "byte " << i << " of " << bytes.size();
  EXPECT_EQ(b.times.timeInPark, 12345.678);
  EXPECT_FALSE(b.route.steps[0].hasLink);  // "no link" is not the grid's link 0
  EXPECT_TRUE(b.route.steps[1].hasLink);
  EXPECT_EQ(b.route.steps[2].linkNumber, 9u);
  EXPECT_EQ(b.GetThoughts().GetCount(), 2u);
  EXPECT_EQ(b.GetTricks().GetTrick(0), 24);
  EXPECT_EQ(b.body.contactBlock[4], 0xDEADBEEFu);
}

TEST_F(SkaterPark, EveryCutShortRecordAndANewerVersionFailCleanly) {
  CSkater a;
  MakeBusySkater(a);
  std::vector<uint8_t> bytes = SaveOf(a);
  for (size_t n = 0; n < bytes.size(); ++n) {
    CSkater b;
    EXPECT_FALSE(b.Load(bytes.data(), n, nullptr, nullptr)) << n;
  }
  le::WriteU32(bytes.data(), 8);
  CSkater c;
  EXPECT_FALSE(c.Load(bytes.data(), bytes.size(), nullptr, nullptr));
  EXPECT_FALSE(c.Load(nullptr, 100, nullptr, nullptr));
}

// An older record is the newest one less its leading fields, with another version word.
std::vector<uint8_t> OlderRecord(const std::vector<uint8_t>& v7, uint32_t version) {
  // Leading field sizes from version 7 down to 1.
  const size_t widths[8] = {0, 8, 30 + 4, 1, 4 + 8, 12 + 4, 3, 4};
  size_t skip = 0;
  for (uint32_t v = 7; v > version; --v) skip += widths[v];
  std::vector<uint8_t> out(4);
  le::WriteU32(out.data(), version);
  // Leading fields run newest first, so an older record keeps the tail of them.
  out.insert(out.end(), v7.begin() + 4 + static_cast<long>(skip), v7.end());
  return out;
}

TEST_F(SkaterPark, OlderRecordsReadIntoTheRightFieldsAndKeepTheConstructorsForTheRest) {
  CSkater a;
  a.LoadBody(COrientation());  // a skater without a body has no radius, and its record is refused
  MakeBusySkater(a);
  const std::vector<uint8_t> v7 = SaveOf(a);
  for (uint32_t version = 0; version <= 7; ++version) {
    const std::vector<uint8_t> bytes = OlderRecord(v7, version);
    plat::srand(5);
    CSkater fresh;
    plat::srand(5);
    CSkater b;
    size_t consumed = 0;
    ASSERT_TRUE(b.Load(bytes.data(), bytes.size(), &consumed, nullptr)) << version;
    EXPECT_EQ(consumed, bytes.size());
    EXPECT_EQ(b.needs.money, -12.5f);  // present in every version
    EXPECT_EQ(b.route.steps.size(), 3u);
    EXPECT_EQ(b.needs.thirst, version >= 2 ? 0.5f : fresh.needs.thirst) << version;
    EXPECT_STREQ(b.GetName(), version >= 2 ? "Skater #42" : "");
    EXPECT_EQ(b.mind.evicted, version >= 3);
    EXPECT_EQ(b.needs.tiredness, version >= 4 ? 0.6f : fresh.needs.tiredness);
    EXPECT_EQ(b.body.restTurnTimer, version >= 5 ? 0.75f : 0.0f);
    EXPECT_EQ(b.appearance.board, version >= 6 ? 1 : 0);
    EXPECT_EQ(b.times.decisionTime, version >= 7 ? 1.5f : 0.0f);
    EXPECT_EQ(b.body.carried[1], version >= 1 ? 5u : 0u);
  }
}

// --- Decisions that need no pieces ---

struct DecidingPark : SkaterPark {
  // A 6 x 6 grid with its entrance at one corner and its exit at the other.
  DecidingPark() {
    auto grid = std::make_unique<CGrid>(6, 6, Vector3(0, 0, 0), 1.0f, 1.0f);
    for (int i = 0; i < grid->GetSquareCount(); ++i) {
      grid->GetSquareByIndex(i)->directionMask = 0xFF;
      grid->GetSquareByIndex(i)->flat = 1;
    }
    grid->GetSquare(0, 0)->entrance = 1;
    grid->GetSquare(5, 5)->exit = 1;
    grid->CollectGates();
    grid->UpdateComponents();
    park.SetGrid(std::move(grid));
  }
};

TEST_F(DecidingPark, AtAFeeOfFortyNobodyLeavesForThePrice) {
  park.GetParkState().admissionFee = 40.0f;
  for (int i = 0; i < 200; ++i) {
    CSkater* s = Add(Vector3(2.2f, 2.2f, 0));
    s->ability.shoppingFactor = 0.74f;  // the most anyone is drawn
    s->needs = CSkater::Needs();
    s->DecideWhatToDo();
    EXPECT_NE(s->mind.goal, static_cast<uint32_t>(CSkater::kGoalLeave));
    EXPECT_EQ(s->GetThoughts().GetCount(), 0u);
  }
  park.GetParkState().admissionFee = 60.0f;  // 0.375 of the way is more than 1 - 0.74
  CSkater* s = Add(Vector3(2.2f, 2.2f, 0));
  s->ability.shoppingFactor = 0.74f;
  s->DecideWhatToDo();
  EXPECT_EQ(s->mind.goal, static_cast<uint32_t>(CSkater::kGoalLeave));
  ASSERT_NE(s->GetThoughts().GetEntry(0), nullptr);
  EXPECT_EQ(s->GetThoughts().GetEntry(0)->number, thoughts::kTooExpensiveToEnter);
}

TEST_F(DecidingPark, InjuryWithoutFirstAidThinksSoAndAnUrgentNeedLeaves) {
  CSkater* s = Add(Vector3(2.2f, 2.2f, 0));
  s->needs = CSkater::Needs();
  s->needs.injury = 0.6f;
  s->DecideWhatToDo();
  ASSERT_NE(s->GetThoughts().GetEntry(0), nullptr);
  EXPECT_STREQ(s->GetThoughts().GetText(0), "Can't find any first aid.");
  EXPECT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kDeciding));  // waits for the timer
  EXPECT_EQ(s->mind.goal, static_cast<uint32_t>(CSkater::kGoalDoctor));  // the wish stays what it was

  CSkater* thirsty = Add(Vector3(2.2f, 2.2f, 0));
  thirsty->needs = CSkater::Needs();
  thirsty->needs.thirst = 0.995f;
  thirsty->DecideWhatToDo();
  EXPECT_EQ(thirsty->mind.goal, static_cast<uint32_t>(CSkater::kGoalLeave));
  EXPECT_EQ(thirsty->mind.state, static_cast<uint32_t>(CSkater::kHeadingToGoal));
  EXPECT_EQ(thirsty->GetThoughts().GetEntry(0)->number, thoughts::kDrink + 4);
  EXPECT_EQ(thirsty->GetCurrentStep() != nullptr, true);

  CSkater* hurt = Add(Vector3(2.2f, 2.2f, 0));
  hurt->needs = CSkater::Needs();
  hurt->needs.injury = 0.995f;
  hurt->DecideWhatToDo();
  EXPECT_EQ(hurt->mind.state, static_cast<uint32_t>(CSkater::kInjured));
}

TEST_F(DecidingPark, ACalmSkaterWaitsOneSecondOfTicksBeforePlanning) {
  CSkater* s = Add(Vector3(2.2f, 2.2f, 0));
  s->needs = CSkater::Needs();
  int decisions = 0;
  // The decision's timer runs on the world's tick length; without pieces no route is made, so
  // the skater keeps deciding and the timer keeps restarting.
  while (s->times.decisionTimer < 1.0f && decisions < 1000) {
    park.Tick(0.05f);
    park.UpdateObjects(0.05f);
    ++decisions;
  }
  EXPECT_GE(decisions, 19);
  EXPECT_LE(decisions, 22);
  EXPECT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kDeciding));
}

// The exit a leaving skater heads for is the one its path reaches soonest: the one nearer in a
// straight line lies beyond a wall that only its far end lets anyone round.
TEST_F(SkaterPark, ALeavingSkaterTakesTheExitNearestByPath) {
  auto grid = std::make_unique<CGrid>(7, 7, Vector3(0, 0, 0), 1.0f, 1.0f);
  for (int i = 0; i < grid->GetSquareCount(); ++i) grid->GetSquareByIndex(i)->directionMask = 0xFF;
  for (int c = 0; c < 6; ++c) grid->GetSquare(c, 3)->directionMask = 0;  // nobody walks on from the wall
  grid->GetSquare(0, 0)->entrance = 1;
  grid->GetSquare(1, 4)->exit = 1;  // 2 away across the wall, 11 moves round it
  grid->GetSquare(4, 0)->exit = 1;  // 3.6 away, 3 moves
  grid->CollectGates();
  grid->UpdateComponents();
  park.SetGrid(std::move(grid));
  CSkater* s = Add(Vector3(1.0f, 2.0f, 0.45f));
  ASSERT_TRUE(s->PlanRouteToExit());
  ASSERT_GE(s->route.steps.size(), 2u);
  EXPECT_EQ(s->route.steps.front().nodeId, park.GetGrid()->GetSquare(1, 2)->GetNodeId());
  EXPECT_EQ(s->route.steps.back().nodeId, park.GetGrid()->GetSquare(4, 0)->GetNodeId());
  EXPECT_EQ(s->route.steps.size(), 4u);
}

TEST_F(DecidingPark, ALeavingSkaterOnTheExitIsRemovedAndCountedOnce) {
  const SkaterTally before = GetSkaterTally();
  auto left = [&before](Departure why) {
    const int i = static_cast<int>(why);
    return GetSkaterTally().departures[i] - before.departures[i];
  };
  CSkater* s = Add(Vector3(5.2f, 5.2f, 0));
  s->mind.goal = CSkater::kGoalLeave;
  s->DecideWhatToDo();
  EXPECT_TRUE(s->IsMarkedForRemoval());
  s->Remove(Departure::kThroughExit);
  // One leaving that stands past the grid's edge goes too, counted as lost off the grid.
  CSkater* off = Add(Vector3(-2.0f, 3.0f, 0));
  off->mind.goal = CSkater::kGoalLeave;
  off->DecideWhatToDo();
  EXPECT_TRUE(off->IsMarkedForRemoval());
  EXPECT_EQ(left(Departure::kOffGrid), 1u);
  EXPECT_EQ(left(Departure::kThroughExit), 1u);  // the first skater's, counted once
  EXPECT_EQ(park.GetParkState().skatersExited, 2u);
  // Partly past the world box's +y side a skater is taken out as lost from the world; above it, as gone up.
  Add(Vector3(3, 99.9f, 0))->Update(0.01f);
  Add(Vector3(3, 3, 99.9f))->Update(0.01f);
  EXPECT_TRUE(left(Departure::kOutOfWorld) == 1 && left(Departure::kAboveWorld) == 1);
}

}  // namespace
