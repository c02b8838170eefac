// Headless park runs on the demo park - ground, the generated boarder, an entrance and an exit, a
// stand of every kind: the park lives for days on every seed with its invariants holding, and a
// seed reproduces the whole run while another seed does not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "core/world/GameObject.h"
#include "core/world/WorldAccess.h"
#include "core/math/Box.h"
#include "core/data/ByteCursor.h"
#include "core/data/LittleEndian.h"
#include "park/grid/ObjectSkatePathNode.h"
#include "park/pieces/PieceSale.h"
#include "park/runner/ParkRunner.h"
#include "park/saved/SavedGame.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterBody.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "tools/DemoContentPark.h"

namespace {

// One park made from scratch per run, so runs share nothing but the code.
struct DemoRun {
  explicit DemoRun(uint32_t seed) : park(nullptr, nullptr) {
    // The game's own body and animator, and piece node ids from the first, whichever tests ran
    // before: a park another test dropped without clearing leaves the node counter where it was.
    RegisterSkaterBody();
    CObjectSkatePathNode::ResetIds();
    plat::srand(seed);
    built = DemoContent::BuildDemoPark(park, content);
  }
  ~DemoRun() {
    park.ClearWorld();
    DemoContent::ReleaseDemoPark();
  }
  DemoContent::DemoPark content;
  CVerezIvor park;
  bool built = false;
};

ParkRunDigest RunFor(uint32_t seed, int ticks) {
  DemoRun run(seed);
  EXPECT_TRUE(run.built);
  CParkRunner runner(run.park);
  runner.RunTicks(ticks);
  for (const std::string& v : runner.GetViolations()) ADD_FAILURE() << v;
  return runner.Digest();
}

TEST(ParkRunner, ASeedReproducesTheWholeRunAndAnotherSeedDoesNot) {
  const ParkRunDigest a = RunFor(11, 900);
  const ParkRunDigest b = RunFor(11, 900);
  EXPECT_EQ(a, b) << a.Describe() << "against\n" << b.Describe();
  const ParkRunDigest c = RunFor(12, 900);
  EXPECT_NE(a, c) << a.Describe();
  // The run did something: skaters came in at the gate and paid (the runner checks the head count).
  EXPECT_GE(a.entered, 3u);
  EXPECT_GT(a.totals[4], 0.0);  // admission
}

// What a park must do, on two seeds over three park days each (one with an admission price that
// sends some of those who come straight home): the runner's own checks hold every tick (money and
// head counts balance, needs stay in range, reservations match, nobody stands still for a minute
// or lies crashed for half a minute, nobody leaves but through its own mind's way out); the
// figures of the days show that the skaters use the park, that every kind of stand is visited, and
// that a stuck skater is rare.
TEST(ParkRunner, TheDemoParkLivesForDaysOnEverySeed) {
  uint32_t visits[ParkRunDigest::kFacilityKinds] = {};
  for (const auto& [seed, fee] : {std::pair<uint32_t, float>{2, 40.0f}, {1, 100.0f}}) {
    SCOPED_TRACE(seed);
    DemoRun run(seed);
    ASSERT_TRUE(run.built);
    run.park.GetParkState().admissionFee = fee;
    CParkRunner runner(run.park);
    runner.RunDays(3);
    for (const std::string& v : runner.GetViolations()) ADD_FAILURE() << v;
    const ParkRunDigest d = runner.Digest();
    ASSERT_EQ(d.days.size(), 3u) << d.Describe();
    const ParkRunDigest::Day t = d.Total();
    const uint64_t left = d.exited;
    EXPECT_EQ(t.departures[static_cast<int>(Departure::kThroughExit)] +
                  t.departures[static_cast<int>(Departure::kNoWayToExit)],
              left);
    // At 100 a skater whose shopping factor is above 0.375 turns back: through the exit, not at once.
    if (fee > 40.0f) EXPECT_GT(t.departures[static_cast<int>(Departure::kThroughExit)], 0u) << d.Describe();
    EXPECT_EQ(d.entered - d.exited, d.skaterCount);
    EXPECT_GT(d.totals[1], 0.0);  // maintenance was charged every day
    EXPECT_GT(d.totals[5], 0.0);  // and the stands took money
    // A rescue puts a skater that made no headway for eight seconds on at its next route point: a
    // visible fault. Allowed one in four skater-days, well under one a day for each.
    const double skaterDays = static_cast<double>(runner.GetSkaterTicks()) * CParkRunner::kTickSeconds /
                              (CSimClock::GetHoursPerDay() * 3600.0 / CSimClock::kDefaultRate);
    EXPECT_LT(static_cast<double>(t.teleports), 0.25 * skaterDays) << d.Describe();
    EXPECT_GT(t.tricks, 5u * skaterDays) << d.Describe();
    EXPECT_GT(t.crashes, 0u);
    for (int k = 0; k < ParkRunDigest::kFacilityKinds; ++k) visits[k] += t.visits[k];
  }
  for (int k = 0; k < ParkRunDigest::kFacilityKinds; ++k) EXPECT_GT(visits[k], 0u) << "stand kind " << k;
}

// A park saved mid-run and loaded again carries on exactly as if it had never stopped: every
// skater, piece, total and the generator, down to the saved game's bytes.
TEST(ParkRunner, SavingAndLoadingMidRunChangesNothingThatFollows) {
  constexpr int kHalf = 750;  // about a quarter of a park day
  for (uint32_t seed : {21u, 22u}) {
    SCOPED_TRACE(seed);
    ParkRunDigest straight;
    {
      DemoRun run(seed);
      ASSERT_TRUE(run.built);
      CParkRunner runner(run.park);
      runner.SpawnSkaters(10);
      runner.RunTicks(2 * kHalf);
      straight = runner.Digest();
    }
    DemoRun run(seed);
    ASSERT_TRUE(run.built);
    CParkRunner runner(run.park);
    runner.SpawnSkaters(10);
    runner.RunTicks(kHalf);
    std::vector<uint8_t> bytes;
    ControllerSaveFields controller;
    ASSERT_TRUE(CSavedGame::Save(run.park, controller, bytes));
    ASSERT_TRUE(CSavedGame::Load(run.park, controller, bytes.data(), bytes.size()));
    runner.RunTicks(kHalf);
    for (const std::string& v : runner.GetViolations()) ADD_FAILURE() << v;
    const ParkRunDigest resumed = runner.Digest();
    EXPECT_EQ(straight, resumed) << straight.Describe() << "against\n" << resumed.Describe();
  }
}

// Every skater's tick state, taken mid-run (some rolling, some in the air or in line), reads back
// into a skater made from its record to the same bytes; every cut-short part and another
// skater's part are refused.
TEST(ParkRunner, EverySkatersTickStateReadsBackWholeAndCutShortOnesFail) {
  DemoRun run(8);
  ASSERT_TRUE(run.built);
  CParkRunner runner(run.park);
  runner.SpawnSkaters(10);
  runner.RunTicks(2500);
  ASSERT_FALSE(GetSkaterList().empty());
  for (const CSkater* skater : GetSkaterList()) {
    std::vector<uint8_t> record, state;
    skater->Save(record);
    skater->SaveTickState(state);
    state[46] = static_cast<uint8_t>(CSkater::kMaxRescues);  // the stuck watch's rescues, at their limit
    auto readBack = [&](size_t size, uint32_t id, std::vector<uint8_t>* again) {
      CSkater copy{CSkater::ForLoading{}};
      size_t used = 0;
      uint32_t savedId = 0;
      EXPECT_TRUE(copy.Load(record.data(), record.size(), &used, &savedId));
      CByteCursor in(state.data(), size);
      const bool read = copy.LoadTickState(in, id) && in.GetRemaining() == 0;
      if (read && again != nullptr) copy.SaveTickState(*again);
      copy.mind.reservedNodeId = CSkater::kNone;  // the running skater keeps its reservation
      return read;
    };
    std::vector<uint8_t> again;
    ASSERT_TRUE(readBack(state.size(), skater->GetID(), &again)) << skater->GetID();
    // Past the version and the id (the copy is filed under none).
    ASSERT_EQ(again.size(), state.size());
    EXPECT_TRUE(std::equal(state.begin() + 5, state.end(), again.begin() + 5)) << skater->GetID();
    for (size_t n = 0; n < state.size(); ++n) ASSERT_FALSE(readBack(n, skater->GetID(), nullptr)) << n;
    EXPECT_FALSE(readBack(state.size(), skater->GetID() + 1, nullptr));
    // Empty body and animation parts (a stand-in's) leave the body and the animation as made.
    constexpr size_t kSkaterPart = 54;
    std::vector<uint8_t> bare(state.begin(), state.begin() + kSkaterPart);
    le::PutU32(bare, 0);
    le::PutU32(bare, 0);
    state.swap(bare);
    EXPECT_TRUE(readBack(state.size(), skater->GetID(), nullptr));
    state.swap(bare);
    // And stand-ins, which keep nothing, pass over the game's parts.
    CSkater::SetBodyFactory(nullptr, nullptr);
    EXPECT_TRUE(readBack(state.size(), skater->GetID(), nullptr));
    RegisterSkaterBody();
  }
}

// The runner's checks speak up: money that moves without a booking and a head count that does
// not add up are reported with the tick they were seen at; a sale, booked as resale, is not.
struct UnbookedMoney : CGameObject {
  UnbookedMoney() { AddFlags(kLocalUpdate); }
  void Update(float) override {
    if (auto* park = dynamic_cast<CVerezIvor*>(GetGameWorld())) park->AddMoney(1.0f);
  }
};

// Sells one piece within a tick, as the player does; a sold piece is not sold again.
struct PieceSeller : CGameObject {
  explicit PieceSeller(uint32_t id) : piece(id) { AddFlags(kLocalUpdate); }
  void Update(float) override {
    if (auto* park = dynamic_cast<CVerezIvor*>(GetGameWorld())) SellPiece(*park, piece);
  }
  uint32_t piece;
};

TEST(ParkRunner, MoneyOutsideTheBooksAWrongHeadCountAndARunawaySkaterAreReported) {
  DemoRun run(9);
  ASSERT_TRUE(run.built);
  CParkRunner runner(run.park);
  run.park.RegisterNewObject(std::make_unique<PieceSeller>(run.content.pieceIds.back()));
  runner.RunTicks(3);
  EXPECT_TRUE(runner.GetViolations().empty());
  EXPECT_GT(run.park.GetParkState().earnedFromResale, 0.0);
  std::unique_ptr<CGameObject> leak = std::make_unique<UnbookedMoney>();
  run.park.RegisterNewObject(std::move(leak));
  ASSERT_EQ(leak, nullptr);  // taken: a local object is filed without an id
  runner.RunTicks(1);
  ASSERT_EQ(runner.GetViolations().size(), 1u);
  // The unbooked unit on top of the tick's booked running costs.
  double moved = 0.0, booked = 0.0;
  ASSERT_EQ(std::sscanf(runner.GetViolations()[0].c_str(), "tick 4: money moved %lf but the books moved %lf", &moved,
                        &booked),
            2)
      << runner.GetViolations()[0];
  EXPECT_NEAR(moved - booked, 1.0, 1e-6);
  EXPECT_LT(booked, 0.0);
  ++run.park.GetParkState().skatersEntered;
  runner.SetCheckInvariants(true);
  runner.RunTicks(1);
  bool counted = false;
  for (const std::string& v : runner.GetViolations()) counted = counted || v.rfind("tick 5: entered", 0) == 0;
  EXPECT_TRUE(counted);
  // A skater flung far faster than the park's motion can carry it (as held ones once were).
  --run.park.GetParkState().skatersEntered;
  ASSERT_FALSE(GetSkaterList().empty());
  CSkater* fast = GetSkaterList().front();
  fast->SetVelocity(Vector3(0.0f, 60.0f, 0.0f));
  runner.RunTicks(1);
  const std::string fastLine = "tick 6: skater " + std::to_string(fast->GetID()) + " moves at ";
  bool flung = false;
  for (const std::string& v : runner.GetViolations()) flung = flung || v.rfind(fastLine, 0) == 0;
  EXPECT_TRUE(flung);
}

// A skater lying crashed is reported once, at the first tick past half a minute down: 910 ticks
// of 33 ms; and, lying there still, once as stuck at the first tick past a minute in one state
// without moving. A stand-in's injury step leaves it lying where it is.
TEST(ParkRunner, ASkaterLyingCrashedOrStuckIsReportedOnceItIsPastTheLimit) {
  DemoRun run(9);
  ASSERT_TRUE(run.built);
  CParkRunner runner(run.park);
  CSkater::SetBodyFactory(nullptr, nullptr);
  run.park.StartClient();
  EXPECT_EQ(runner.SpawnSkaters(2), 0);  // a client's world takes ids only from its server
  run.park.SetSinglePlayer();
  ASSERT_EQ(runner.SpawnSkaters(1), 1);
  RegisterSkaterBody();
  CSkater* down = GetSkaterList().back();
  down->SetState(CSkater::kInjured, 0);
  down->body.motionMode = CSkater::kCrashed;
  const uint32_t id = down->GetID();
  runner.RunTicks(909);
  EXPECT_TRUE(runner.GetViolations().empty());
  runner.RunTicks(100);
  EXPECT_EQ(runner.GetViolations(),
            std::vector<std::string>{"tick 910: skater " + std::to_string(id) + " has not got up from a crash"});
  // Past 60 s in 33 ms ticks counted after the first tick, which saw it lie there: tick 1 + 1819.
  runner.RunTicks(810);
  EXPECT_EQ(runner.GetViolations().size(), 1u);
  runner.RunTicks(300);
  const std::string state = std::to_string(CSkater::kInjured), goal = std::to_string(down->mind.goal);
  const std::string steps = std::to_string(down->route.steps.size());
  EXPECT_EQ(runner.GetViolations(),
            (std::vector<std::string>{"tick 910: skater " + std::to_string(id) + " has not got up from a crash",
                                      "tick 1820: skater " + std::to_string(id) + " stuck in state " + state +
                                          " with goal " + goal + " and " + steps + " route steps"}));
}

}  // namespace
