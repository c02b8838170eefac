// Skaters among real pieces: the facility search and its price rule, reservations, paying for a
// service, the decision table, the stroll and resting places, and long random runs of a small park
// with pieces placed and picked up under the skaters' feet.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "park/grid/Grid.h"
#include "park/grid/ObjectSkatePathNode.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterMotion.h"
#include "park/skater/ThoughtTexts.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/ParkPieces.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContent.h"

namespace {

// Piece kinds by definition index.
enum Def { kKicker, kFood, kDrink, kRestroom, kFirstAid, kLoop, kDrop, kDefCount };

using testing_support::PieceMesh;

// A stand: its entry on the square corner queues to the service point in the middle.
std::unique_ptr<ShadedMesh> StandMesh(const char* word) {
  return PieceMesh({{Vector3(0, 0, 0), "skatenode 1 external line link dest=2 type=walk"},
                    {Vector3(0.5f, 0.5f, 0), std::string("skatenode 2 target ") + word +
                                                 " line action link dest=1 type=walk"}});
}

struct SkaterPieces : ::testing::Test {
  explicit SkaterPieces(int side = 20) : park(nullptr, nullptr) {
    plat::srand(2024);
    ClearPlacedSectionList();
    park.GetOctree().Reset(Box(Vector3(-50.0f, -50.0f, -50.0f), Vector3(100.0f, 100.0f, 100.0f)));
    // The ground under the grid and a little round it: skaters ride on it, as in a park.
    ground = DemoContent::BuildGroundGrid(static_cast<uint32_t>(side / 2 + 3), 2.0f);
    COrientation centred;
    centred.SetPosition(Vector3(0.5f * static_cast<float>(side), 0.5f * static_cast<float>(side), 0.0f));
    park.AddTerrainMesh(ground.get(), &centred, false, false);
    auto grid = testing_support::OpenGroundGrid(side, side, 0xFF);
    for (int i = 0; i < grid->GetSquareCount(); ++i) grid->GetSquareByIndex(i)->flat = 1;
    grid->GetSquare(1, 1)->entrance = 1;
    grid->GetSquare(side - 2, side - 2)->exit = 1;
    grid->CollectGates();
    grid->UpdateComponents();
    park.SetGrid(std::move(grid));
    meshes.push_back(PieceMesh(testing_support::KickerNodes()));
    meshes.push_back(StandMesh("buy_food"));
    meshes.push_back(StandMesh("buy_drink"));
    meshes.push_back(StandMesh("pee"));
    meshes.push_back(StandMesh("first_aid"));
    // A queue that goes round in a circle and never reaches a counter.
    meshes.push_back(PieceMesh({{Vector3(0, 0, 0), "skatenode 1 external line link dest=2 type=walk"},
                                {Vector3(0.3f, 0.3f, 0), "skatenode 2 target buy_drink line link dest=3 type=walk"},
                                {Vector3(0.6f, 0.3f, 0), "skatenode 3 line link dest=2 type=walk link dest=1 type=walk"}}));
    // A top with a drop straight down onto a lower ledge.
    meshes.push_back(PieceMesh({{Vector3(0, 0, 0), "skatenode 1 external link dest=2 type=skate"},
                                {Vector3(0.5f, 0.5f, 2.0f), "skatenode 2 target grind link dest=3 type=skate"},
                                {Vector3(0.5f, 0.7f, 0.5f), "skatenode 3 link dest=4 type=skate"},
                                {Vector3(1, 1, 0), "skatenode 4 external link dest=1 type=walk"}}));
    for (int i = 0; i < kDefCount; ++i) {
      catalog.meshes[200 + i] = meshes[static_cast<size_t>(i)].get();
      ObjectDefinition& def = catalog.defs[i];
      def.type = 30 + i;
      def.mesh = 200 + i;
      def.cost = 100.0;
      def.useFee = 2.5f;
    }
  }

  template <typename T = CSkatableSection>
  T* Make(int def, int column, int row) {
    const ObjectDefinition& definition = catalog.defs[def];
    T* raw = testing_support::AddHeldPiece<T>(park, definition.mesh, &definition, static_cast<float>(column),
                                              static_cast<float>(row));
    raw->Place();
    Grid().UpdateComponents();
    return raw;
  }
  CSkatableFacility* Stand(int def, int column, int row) { return Make<CSkatableFacility>(def, column, row); }
  CSkater* Add(float x, float y) {
    CSkater* s = testing_support::AddSkater(park, Vector3(x, y, 0.45f));
    s->needs = CSkater::Needs();
    return s;
  }
  CGrid& Grid() { return *park.GetGrid(); }
  CSkatePathNode* ServiceNode(CSkatableSection* s) { return s->GetPathNodes()[1].get(); }
  // Runs the mind until the skater is being served (or the tick budget runs out).
  bool ThinkUntilServed(CSkater* s, float dt = 0.05f) {
    for (int i = 0; i < 4000 && s->mind.state != CSkater::kUsingFacility; ++i) s->ThinkTick(dt);
    return s->mind.state == CSkater::kUsingFacility;
  }

  testing_support::DebugCapture capture;
  std::vector<std::unique_ptr<ShadedMesh>> meshes;
  std::unique_ptr<ShadedMesh> ground;
  CVerezIvor park;
  testing_support::TestPieceCatalog catalog{kDefCount};  // last: the sources go before the park does
};

// --- The facility search ---

TEST_F(SkaterPieces, FacilitySearchCodes) {
  CSkatableFacility* food = Stand(kFood, 8, 8);
  CSkater* s = Add(3.2f, 3.2f);
  EXPECT_EQ(s->FindFacility(10, 9999999.0f), 1);  // no drinks anywhere
  EXPECT_EQ(s->FindFacility(9, 0.5f), 5);         // too far for this need
  EXPECT_EQ(s->mind.reservedNodeId, CSkater::kNone);
  ASSERT_EQ(s->FindFacility(9, 100.0f), 0);
  EXPECT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kHeadingToGoal));
  EXPECT_EQ(s->mind.reservedNodeId, ServiceNode(food)->GetNodeId());
  EXPECT_EQ(ServiceNode(food)->GetReservingSkaterId(), s->GetID());
  EXPECT_EQ(s->route.index, 0);
  bool reachesCounter = false;
  for (const CSkater::RouteStep& step : s->route.steps) reachesCounter |= step.nodeId == ServiceNode(food)->GetNodeId();
  EXPECT_TRUE(reachesCounter);

  // The one counter is held by a live skater: the lines are too long.
  CSkater* t = Add(3.2f, 4.2f);
  EXPECT_EQ(t->FindFacility(9, 100.0f), 2);
  // The holder leaves: the counter is free again.
  s->Remove(Departure::kThroughExit);
  EXPECT_EQ(ServiceNode(food)->GetReservingSkaterId(), CSkater::kNone);
  EXPECT_EQ(t->FindFacility(9, 100.0f), 0);
  // A reservation whose skater is gone holds nothing.
  ServiceNode(food)->SetReservingSkaterId(987654);
  CSkater* u = Add(4.2f, 3.2f);
  EXPECT_EQ(u->FindFacility(9, 100.0f), 0);
  // The node names u only: t, which believed it held the node, releases nothing.
  t->ReleaseReservedNode();
  EXPECT_EQ(ServiceNode(food)->GetReservingSkaterId(), u->GetID());
}

// Cuts the squares around a point out of the graph without recomputing the components, so that
// targets still look connected while no path leads to them.
void Isolate(CGrid& grid, int column, int row, uint8_t mask = 0) {
  for (int dr = -2; dr <= 2; ++dr)
    for (int dc = -2; dc <= 2; ++dc) grid.GetSquare(column + dc, row + dr)->directionMask = mask;
}

TEST_F(SkaterPieces, AFailedPathSearchLeavesNoReservationBehind) {
  CSkatableFacility* food = Stand(kFood, 8, 8);
  CSkater* s = Add(3.2f, 3.2f);
  Isolate(Grid(), 3, 3);
  EXPECT_EQ(s->FindFacility(9, 100.0f), 5);
  EXPECT_NE(capture.Text().find("Target is not reachable from start node!\n"), std::string::npos);
  EXPECT_EQ(s->mind.reservedNodeId, CSkater::kNone);
  EXPECT_EQ(ServiceNode(food)->GetReservingSkaterId(), CSkater::kNone);
  // Skating targets that cannot be reached are skipped, each once; the route stays at its start.
  Isolate(Grid(), 3, 3, 0xFF);
  Make(kKicker, 12, 12);
  Make(kKicker, 14, 6);
  Isolate(Grid(), 3, 3);
  capture.Clear();
  ASSERT_TRUE(s->ChooseSkatingRoute());
  EXPECT_EQ(s->route.steps.size(), 1u);
  size_t reported = 0;
  for (size_t at = capture.Text().find("Target is not reachable"); at != std::string::npos;
       at = capture.Text().find("Target is not reachable", at + 1))
    ++reported;
  EXPECT_EQ(reported, 2u);
}

TEST_F(SkaterPieces, ThePriceRuleComparesTheFeeWithTheCatalogFeeAndTheShoppingFactor) {
  CSkatableFacility* food = Stand(kFood, 8, 8);
  struct Case {
    float shopping, fee;
    int code;
  };
  // Catalog fee 2.5: up to 2 x 3.5 = 7 with shopping factor 0, up to 1.26 x 3.5 = 4.41 with 0.74.
  const Case cases[] = {{0.0f, 7.0f, 0}, {0.0f, 7.05f, 3}, {0.74f, 4.4f, 0}, {0.74f, 4.45f, 3},
                        {0.4f, 0.0f, 0}, {0.4f, -3.0f, 0}};
  for (const Case& c : cases) {
    food->SetUseFee(c.fee);
    CSkater* s = Add(3.2f, 3.2f);
    s->ability.shoppingFactor = c.shopping;
    EXPECT_EQ(s->FindFacility(9, 100.0f), c.code) << c.shopping << " " << c.fee;
    s->Remove(Departure::kThroughExit);
  }
  // A facility that has lost its catalog entry is judged by nothing but distance and lines.
  food->SetUseFee(1000.0f);
  food->SetDefinition(nullptr, false);
  CSkater* s = Add(3.2f, 3.2f);
  EXPECT_EQ(s->FindFacility(9, 100.0f), 0);
  food->SetDefinition(&catalog.defs[kFood], false);
}

TEST_F(SkaterPieces, AQueueWithoutACounterEndsTheExtensionWithoutLooping) {
  Stand(kLoop, 8, 8);
  CSkater* s = Add(3.2f, 3.2f);
  ASSERT_EQ(s->FindFacility(10, 100.0f), 0);
  // The route holds each queue place once at most.
  std::set<uint32_t> seen;
  for (const CSkater::RouteStep& step : s->route.steps)
    if (step.nodeId >= CObjectSkatePathNode::kFirstPieceNodeId) EXPECT_TRUE(seen.insert(step.nodeId).second);
  const size_t length = s->route.steps.size();
  EXPECT_FALSE(s->ExtendToServicePoint());
  EXPECT_EQ(s->route.steps.size(), length);
}

TEST_F(SkaterPieces, InLineTheSkaterMovesUpOnlyWhenTheNextPlaceExistsAndIsFree) {
  CSkatableFacility* food = Stand(kFood, 8, 8);
  CSkater* s = Add(3.2f, 3.2f);
  ASSERT_EQ(s->FindFacility(9, 100.0f), 0);
  // Waiting for a place that is not there any more: the skater decides again.
  s->route.index = static_cast<int32_t>(s->route.steps.size()) - 1;
  s->SetState(CSkater::kInLine, 0);
  s->ThinkTick(0.05f);
  EXPECT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kDeciding));
  // Waiting behind a held counter: stays; when it frees, moves on.
  CSkater* holder = Add(9.0f, 9.0f);
  s->ReleaseReservedNode();
  ASSERT_TRUE(holder->ReserveNode(ServiceNode(food)));
  ASSERT_EQ(s->FindFacility(9, 100.0f), 2);
  size_t counter = 0;
  s->route.steps.clear();
  s->route.steps.push_back(CSkater::RouteStep{food->GetPathNodes()[0]->GetNodeId(), false, {}, 0});
  s->route.steps.push_back(CSkater::RouteStep{ServiceNode(food)->GetNodeId(), true, {0.0f, kLinkWalk, 0}, 0});
  counter = 1;
  s->route.index = 0;
  s->route.mode = 1;
  s->SetState(CSkater::kInLine, 0);
  for (int i = 0; i < 5; ++i) s->ThinkTick(0.05f);
  EXPECT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kInLine));
  holder->Remove(Departure::kThroughExit);
  s->ThinkTick(0.05f);
  EXPECT_EQ(s->route.index, static_cast<int32_t>(counter));
  EXPECT_EQ(ServiceNode(food)->GetReservingSkaterId(), s->GetID());
}

TEST_F(SkaterPieces, TheFrontOfALineTakesTheCounterFromASkaterWaitingBehindIt) {
  // The one behind claimed the counter while the front skater had already traded its own claim for
  // its queue place; each waited for the other.
  CSkatableFacility* food = Stand(kFood, 8, 8);
  const uint32_t entry = food->GetPathNodes()[0]->GetNodeId();
  const uint32_t counter = ServiceNode(food)->GetNodeId();
  const auto queue = [&](CSkater* s, std::vector<uint32_t> nodes) {
    s->route.steps.clear();
    for (uint32_t id : nodes) s->route.steps.push_back(CSkater::RouteStep{id, !s->route.steps.empty(), {0.0f, kLinkWalk, 0}, 0});
    s->route.index = 0;
    s->route.mode = 1;
    s->mind.goal = CSkater::kGoalFood;
    s->SetState(CSkater::kInLine, 0);
  };
  CSkater* front = Add(8.0f, 8.0f);
  CSkater* back = Add(7.2f, 7.2f);
  queue(front, {entry, counter});
  queue(back, {static_cast<uint32_t>(Grid().GetSquare(7, 7)->GetNodeId()), entry, counter});
  ASSERT_TRUE(back->ReserveNode(ServiceNode(food)));
  // A holder that is not behind (its way never passes the front skater's place) keeps the counter.
  back->route.steps.erase(back->route.steps.begin() + 1);
  for (int i = 0; i < 3; ++i) front->ThinkTick(0.05f);
  EXPECT_EQ(front->mind.state, static_cast<uint32_t>(CSkater::kInLine));
  EXPECT_EQ(ServiceNode(food)->GetReservingSkaterId(), back->GetID());
  // Behind it: the front skater moves up to the counter; the other waits for its turn.
  queue(back, {static_cast<uint32_t>(Grid().GetSquare(7, 7)->GetNodeId()), entry, counter});
  front->ThinkTick(0.05f);
  EXPECT_EQ(ServiceNode(food)->GetReservingSkaterId(), front->GetID());
  EXPECT_EQ(front->route.index, 1);
  EXPECT_EQ(back->mind.reservedNodeId, CSkater::kNone);
  EXPECT_EQ(back->mind.state, static_cast<uint32_t>(CSkater::kInLine));
}

// --- Using a facility ---

TEST_F(SkaterPieces, ServiceTakesLongerThanTheTableAndTheFeeMovesOnce) {
  CSkatableFacility* food = Stand(kFood, 8, 8);
  food->SetUseFee(3.75f);
  CSkater* s = Add(3.2f, 3.2f);
  s->needs.hunger = 0.8f;
  s->GetThoughts().AddThought(thoughts::kFood, true);
  ASSERT_EQ(s->FindFacility(9, 100.0f), 0);
  s->mind.goal = CSkater::kGoalFood;
  ASSERT_TRUE(ThinkUntilServed(s));
  COrientation turned = s->GetFrame();
  turned.RotateZ(1.0f);
  s->SetFrame(turned);
  const float own = s->needs.money;
  float served = 0.0f;
  float facing = 0.0f;
  while (s->mind.state == CSkater::kUsingFacility && served < 100.0f) {
    s->ThinkTick(0.05f);
    if (served == 0.0f) facing = s->GetFrame().GetXAxis().x;
    served += 0.05f;
  }
  // The first tick at the counter turned the skater to face it (the node's frame: unrotated);
  // once served it turns to walk on.
  EXPECT_NEAR(facing, 1.0f, 1e-5f);
  EXPECT_GT(served, 6.0f);
  EXPECT_LT(served, 6.0f + 0.11f);
  // The fee once, exactly; where else it goes: AFeeIsOneValueForTheSkaterTheParkTheConcessionsAndTheRevenue.
  EXPECT_EQ(own - s->needs.money, 3.75f);
  EXPECT_EQ(s->needs.hunger, 0.0f);
  EXPECT_FALSE(s->GetThoughts().GetEntry(0)->bubble);
  EXPECT_EQ(s->mind.reservedNodeId, CSkater::kNone);
  EXPECT_EQ(ServiceNode(food)->GetReservingSkaterId(), CSkater::kNone);
}

// One value everywhere: the park's money, its concessions total and the facility's revenue gain
// exactly what the skater loses, the fee as shown, fraction and all; a negative fee moves no money.
TEST_F(SkaterPieces, AFeeIsOneValueForTheSkaterTheParkTheConcessionsAndTheRevenue) {
  CSkatableFacility* food = Stand(kFood, 8, 8);
  ParkState& state = park.GetParkState();
  const struct {
    float fee;
    double paid;
  } cases[] = {{3.75f, 3.75}, {0.6f, 0.6f}, {-2.5f, 0.0}, {6.99f, 6.99f}, {-0.4f, 0.0}};
  uint32_t uses = 0;
  for (const auto& c : cases) {
    food->SetUseFee(c.fee);
    CSkater* s = Add(3.2f, 3.2f);
    s->ability.shoppingFactor = 0.0f;
    s->needs.hunger = 0.8f;
    ASSERT_EQ(s->FindFacility(9, 100.0f), 0) << c.fee;
    s->mind.goal = CSkater::kGoalFood;
    ASSERT_TRUE(ThinkUntilServed(s)) << c.fee;
    const double money = state.GetMoney();
    const double concessions = state.earnedFromConcessions;
    const double revenue = food->GetRevenue();
    const float own = s->needs.money;
    for (int i = 0; i < 400 && s->mind.state == CSkater::kUsingFacility; ++i) s->ThinkTick(0.05f);
    ASSERT_NE(s->mind.state, static_cast<uint32_t>(CSkater::kUsingFacility)) << c.fee;
    EXPECT_EQ(food->GetUseCount(), ++uses);
    EXPECT_NEAR(state.GetMoney() - money, c.paid, 1e-9) << c.fee;
    EXPECT_NEAR(state.earnedFromConcessions - concessions, c.paid, 1e-9) << c.fee;
    EXPECT_EQ(food->GetRevenue() - revenue, c.paid) << c.fee;
    EXPECT_NEAR(own - s->needs.money, c.paid, 1e-5) << c.fee;  // a float purse near 100
    s->Remove(Departure::kThroughExit);
    park.UpdateObjects(0.0f);
  }
}

TEST_F(SkaterPieces, TheRestroomHidesTheSkaterForTheWholeVisitAndAnEvictionShowsItAgain) {
  Stand(kRestroom, 8, 8);
  CSkater* s = Add(3.2f, 3.2f);
  s->needs.bladder = 0.7f;
  s->DecideWhatToDo();
  ASSERT_EQ(s->mind.goal, static_cast<uint32_t>(CSkater::kGoalRestroom));
  ASSERT_TRUE(ThinkUntilServed(s));
  ASSERT_NE(s->GetBoundFlags() & 0x200u, 0u);
  float hidden = 0.0f;
  s->ThinkTick(0.05f);
  while (s->mind.state == CSkater::kUsingFacility) {
    EXPECT_EQ(s->GetBoundFlags() & 0x200u, 0u);
    s->ThinkTick(0.05f);
    hidden += 0.05f;
  }
  EXPECT_GT(hidden, 6.0f - 0.06f);
  EXPECT_NE(s->GetBoundFlags() & 0x200u, 0u);
  EXPECT_EQ(s->needs.bladder, 0.0f);
  // Evicted while inside: it comes out in sight.
  s->needs.bladder = 0.7f;
  s->SetState(CSkater::kDeciding, 0);
  s->DecideWhatToDo();
  ASSERT_TRUE(ThinkUntilServed(s));
  s->ThinkTick(0.05f);
  ASSERT_EQ(s->GetBoundFlags() & 0x200u, 0u);
  s->Evict();
  EXPECT_NE(s->GetBoundFlags() & 0x200u, 0u);
  EXPECT_EQ(s->mind.goal, static_cast<uint32_t>(CSkater::kGoalLeave));
}

TEST_F(SkaterPieces, AFacilityPickedUpWhileServingTakesNoMoneyButTheNeedIsServed) {
  CSkatableFacility* drink = Stand(kDrink, 8, 8);
  CSkater* s = Add(3.2f, 3.2f);
  s->needs.thirst = 0.8f;
  s->DecideWhatToDo();
  ASSERT_EQ(s->mind.goal, static_cast<uint32_t>(CSkater::kGoalDrink));
  ASSERT_TRUE(ThinkUntilServed(s));
  s->ThinkTick(0.05f);
  drink->PickUp();
  const double money = park.GetParkState().GetMoney();
  for (int i = 0; i < 100 && s->mind.state == CSkater::kUsingFacility; ++i) s->ThinkTick(0.05f);
  EXPECT_NE(s->mind.state, static_cast<uint32_t>(CSkater::kUsingFacility));
  EXPECT_EQ(park.GetParkState().GetMoney(), money);
  EXPECT_EQ(s->needs.money, 100.0f);
  EXPECT_EQ(s->needs.thirst, 0.0f);
  EXPECT_EQ(drink->GetUseCount(), 0u);
}

// --- The decision table ---

TEST_F(SkaterPieces, AnUrgentNeedSkipsTheLesserOnesAndLeavesWhenUnserved) {
  Stand(kFood, 8, 8);
  CSkater* s = Add(3.2f, 3.2f);
  s->needs.bladder = 0.995f;
  s->needs.hunger = 0.7f;
  s->DecideWhatToDo();
  // No restroom: "can't find", then not calm, so no food; the bladder sends it home.
  ASSERT_EQ(s->GetThoughts().GetCount(), 2u);
  EXPECT_EQ(s->GetThoughts().GetEntry(0)->number, thoughts::kRestroom + 4);
  EXPECT_EQ(s->GetThoughts().GetEntry(1)->number, thoughts::kRestroom + 1);
  EXPECT_EQ(s->mind.goal, static_cast<uint32_t>(CSkater::kGoalLeave));
  EXPECT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kHeadingToGoal));

  CSkatableFacility* restroom = Stand(kRestroom, 12, 4);
  CSkater* t = Add(3.2f, 3.2f);
  t->needs.bladder = 0.995f;
  t->needs.hunger = 0.7f;
  t->DecideWhatToDo();
  EXPECT_EQ(t->mind.goal, static_cast<uint32_t>(CSkater::kGoalRestroom));
  EXPECT_EQ(t->mind.reservedNodeId, ServiceNode(restroom)->GetNodeId());
  EXPECT_EQ(t->GetThoughts().GetEntry(0)->number, thoughts::kRestroom);
}

TEST_F(SkaterPieces, TheDecisionTableWithEveryFacilityAtHand) {
  Stand(kFood, 8, 8);
  Stand(kDrink, 12, 8);
  Stand(kRestroom, 8, 12);
  Stand(kFirstAid, 12, 12);
  Make(kKicker, 5, 12);
  struct Row {
    float hunger, thirst, bladder, injury, tiredness;
    uint32_t goal, state;
    int thought;  // newest thought, -1 none
    bool walk;
  };
  using S = CSkater;
  const Row rows[] = {
      {0, 0, 0, 0, 0, S::kGoalSkate, S::kDeciding, -1, false},          // content: waits for the timer
      {0.6f, 0, 0, 0, 0, S::kGoalFood, S::kHeadingToGoal, 0, false},
      {0.6f, 0.6f, 0, 0, 0, S::kGoalDrink, S::kHeadingToGoal, 5, false},  // drink before food
      {0.6f, 0.6f, 0.6f, 0, 0, S::kGoalRestroom, S::kHeadingToGoal, 10, false},
      {0.6f, 0.6f, 0.6f, 0.6f, 0, S::kGoalDoctor, S::kHeadingToGoal, 25, true},
      {0, 0, 0, 0.995f, 0, S::kGoalSkate, S::kInjured, -1, false},
      {0, 0, 0, 0, 0.6f, S::kGoalRest, S::kHeadingToGoal, 30, false},
      {0.995f, 0, 0, 0, 0.6f, S::kGoalFood, S::kHeadingToGoal, 0, false},  // not calm: no rest first
      {0, 0, 0.5f, 0.5f, 0.5f, S::kGoalSkate, S::kDeciding, -1, false},  // at 0.5 nothing is "above"
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.hunger) + " " + std::to_string(r.thirst) + " " + std::to_string(r.bladder) + " " +
                 std::to_string(r.injury) + " " + std::to_string(r.tiredness));
    CSkater* s = Add(3.2f, 3.2f);
    s->needs.hunger = r.hunger, s->needs.thirst = r.thirst, s->needs.bladder = r.bladder;
    s->needs.injury = r.injury, s->needs.tiredness = r.tiredness;
    s->DecideWhatToDo();
    EXPECT_EQ(s->mind.goal, r.goal);
    EXPECT_EQ(s->mind.state, r.state);
    EXPECT_EQ(s->mind.needWalk, r.walk);
    if (r.thought < 0) {
      EXPECT_EQ(s->GetThoughts().GetCount(), 0u);
    } else {
      ASSERT_EQ(s->GetThoughts().GetCount(), 1u);
      EXPECT_EQ(s->GetThoughts().GetEntry(0)->number, static_cast<uint32_t>(r.thought));
      EXPECT_EQ(s->GetThoughts().GetEntry(0)->bubble, r.thought != 30);  // resting shows no bubble
    }
    s->Remove(Departure::kThroughExit);
  }
}

TEST_F(SkaterPieces, AnInjuredSkaterWalksToFirstAidAndIsHealedThere) {
  CSkatableFacility* medic = Stand(kFirstAid, 8, 8);
  CSkater* s = Add(3.2f, 3.2f);
  s->needs.injury = 0.6f;
  s->DecideWhatToDo();
  EXPECT_EQ(s->mind.goal, static_cast<uint32_t>(CSkater::kGoalDoctor));
  EXPECT_TRUE(s->mind.needWalk);
  EXPECT_EQ(s->GetThoughts().GetEntry(0)->number, thoughts::kMedic);
  ASSERT_TRUE(ThinkUntilServed(s));
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kWalking));
  for (int i = 0; i < 400 && s->mind.state == CSkater::kUsingFacility; ++i) s->ThinkTick(0.05f);
  EXPECT_EQ(s->needs.injury, 0.0f);
  EXPECT_FALSE(s->mind.needWalk);
  EXPECT_EQ(medic->GetUseCount(), 1u);
}

TEST_F(SkaterPieces, SkatingRoutesAreMadeOnlyWhenThereIsSomethingToSkate) {
  CSkater* s = Add(3.2f, 3.2f);
  EXPECT_FALSE(s->ChooseSkatingRoute());
  EXPECT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kDeciding));
  Make(kKicker, 6, 6);
  Make(kKicker, 10, 4);
  ASSERT_TRUE(s->ChooseSkatingRoute());
  EXPECT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kSkating));
  EXPECT_FALSE(s->route.steps[0].hasLink);
  // Every step after the first came by a link of the graph and names a live node.
  for (size_t i = 1; i < s->route.steps.size(); ++i) {
    EXPECT_TRUE(s->route.steps[i].hasLink) << i;
    EXPECT_NE(FindNodeByID(s->route.steps[i].nodeId), nullptr) << i;
  }
  // Both kicker tops are on the way.
  int tops = 0;
  for (const CSkater::RouteStep& step : s->route.steps) {
    const CSkatePathNode* n = FindNodeByID(step.nodeId);
    tops += n != nullptr && n->IsPieceNode() && static_cast<const CObjectSkatePathNode*>(n)->kind == 5 ? 1 : 0;
  }
  EXPECT_EQ(tops, 2);
}

TEST_F(SkaterPieces, DropsAheadAreSteepStepsDownBetweenSkateLinksOnAPiece) {
  CSkatableSection* drop = Make(kDrop, 8, 8);
  CSkater* s = Add(3.2f, 3.2f);
  const auto& n = drop->GetPathNodes();
  s->route.steps.clear();
  s->route.steps.push_back(CSkater::RouteStep{Grid().GetSquare(7, 7)->GetNodeId(), false, {}, 0});
  for (int i = 0; i < 3; ++i)
    s->route.steps.push_back(CSkater::RouteStep{n[static_cast<size_t>(i)]->GetNodeId(), true, {0.5f, kLinkSkate, 0}, 0});
  s->route.mode = 1;
  s->route.index = 2;  // heading for the top; the ledge below comes next
  EXPECT_TRUE(s->IsDropAhead());
  s->route.index = 1;  // the step up to the top is no drop
  EXPECT_FALSE(s->IsDropAhead());
  s->route.index = 3;  // the last point
  EXPECT_FALSE(s->IsDropAhead());
  s->route.index = 2;
  s->route.steps[3].edge.kind = kLinkOllie;
  EXPECT_FALSE(s->IsDropAhead());
  s->route.steps[3].edge.kind = kLinkSkate;
  s->route.mode = 0;
  EXPECT_FALSE(s->IsDropAhead());
}

// --- The stroll and resting places ---

struct BigPark : SkaterPieces {
  BigPark() : SkaterPieces(40) {}
};

TEST_F(BigPark, TheStrollEndsOnAFreeSquareOfTheFirstRing) {
  for (int i = 0; i < Grid().GetSquareCount(); ++i) {  // the near west is taken: the search walks round
    CGridSquare* q = Grid().GetSquareByIndex(i);
    if (q->GetColumn() >= 10 && q->GetColumn() < 20 && std::abs(q->GetRow() - 20) <= 10) q->SetReservingSkaterId(1);
  }
  for (int seed = 1; seed <= 20; ++seed) {
    plat::srand(static_cast<unsigned>(seed));
    CSkater* s = Add(20.2f, 20.2f);
    s->route.steps.assign(1, CSkater::RouteStep{Grid().GetSquare(20, 20)->GetNodeId(), false, {}, 0});
    ASSERT_TRUE(s->AddWanderLeg()) << capture.Text();
    const CSkatePathNode* end = FindNodeByID(s->route.steps.back().nodeId);
    ASSERT_NE(end, nullptr);
    ASSERT_FALSE(end->IsPieceNode());
    const auto* square = static_cast<const CGridSquare*>(end);
    SCOPED_TRACE(std::to_string(square->GetColumn()) + "," + std::to_string(square->GetRow()));
    const int ring = std::max(std::abs(square->GetColumn() - 20), std::abs(square->GetRow() - 20));
    EXPECT_GE(ring, 7);
    EXPECT_LE(ring, 10);
    EXPECT_FALSE(square->IsReserved());
    EXPECT_TRUE(Grid().IsConnected(*square));
    // The leg continues from where the route ended, one graph step at a time.
    EXPECT_TRUE(s->route.steps[1].hasLink);
    s->Remove(Departure::kThroughExit);
  }
}

struct SmallPark : SkaterPieces {
  SmallPark() : SkaterPieces(6) {}
};

TEST_F(SmallPark, NoRingFitsInATinyParkAndTheRouteStaysAsItIs) {
  CSkater* s = Add(2.2f, 2.2f);
  s->route.steps.assign(1, CSkater::RouteStep{Grid().GetSquare(2, 2)->GetNodeId(), false, {}, 0});
  EXPECT_FALSE(s->AddWanderLeg());
  EXPECT_EQ(s->route.steps.size(), 1u);
  s->route.steps[0].nodeId = 0x7FFFFFF;  // a node that does not exist
  EXPECT_FALSE(s->AddWanderLeg());
  EXPECT_NE(capture.Text().find("Skater Cannot Find starting gridsquare for search!\n"), std::string::npos);
}

TEST_F(SkaterPieces, RestingSkatersGatherAndTurnToFaceEachOther) {
  for (int round = 0; round < 10; ++round) {
    CSkater* first = Add(8.2f, 8.2f);
    first->needs.tiredness = 0.8f;
    ASSERT_TRUE(first->FindRestPlace());
    CSkater* second = Add(9.2f, 8.2f);
    ASSERT_TRUE(second->FindRestPlace());
    const auto* a = static_cast<const CGridSquare*>(FindNodeByID(first->mind.reservedNodeId));
    const auto* b = static_cast<const CGridSquare*>(FindNodeByID(second->mind.reservedNodeId));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_LE(std::max(std::abs(a->GetColumn() - b->GetColumn()), std::abs(a->GetRow() - b->GetRow())), 1);
    first->Remove(Departure::kThroughExit);
    second->Remove(Departure::kThroughExit);
  }
  // A resting skater beside another turns until it faces it.
  CSkater* resting = Add(5.0f, 5.0f);
  CSkater* other = Add(5.0f, 6.0f);
  ASSERT_TRUE(other->ReserveNode(Grid().GetSquare(5, 6)));
  ASSERT_TRUE(resting->ReserveNode(Grid().GetSquare(5, 5)));
  resting->mind.goal = CSkater::kGoalRest;
  resting->SetState(CSkater::kUsingFacility, 0);
  resting->needs.tiredness = 1.0f;
  for (int i = 0; i < 600; ++i) resting->UseFacilityStep(0.05f);
  EXPECT_EQ(resting->mind.state, static_cast<uint32_t>(CSkater::kUsingFacility));
  const Vector3 facing = resting->GetFrame().GetXAxis();
  EXPECT_GT(facing.y, 0.99f) << facing.x << " " << facing.y;
  EXPECT_NEAR(facing.Length(), 1.0f, 1e-3f);
  // Rested: it puts the board down and goes on.
  resting->needs.tiredness = 0.0f;
  resting->UseFacilityStep(0.05f);
  EXPECT_EQ(resting->mind.state, static_cast<uint32_t>(CSkater::kSkating));
  EXPECT_EQ(Grid().GetSquare(5, 5)->GetReservingSkaterId(), CSkater::kNone);
}

// --- Saved reservations ---

TEST_F(SkaterPieces, ASavedSkaterGetsItsReservedCounterBack) {
  CSkatableFacility* food = Stand(kFood, 8, 8);
  CSkater* s = Add(3.2f, 3.2f);
  ASSERT_EQ(s->FindFacility(9, 100.0f), 0);
  const std::vector<uint8_t> bytes = testing_support::SaveOf(*s);
  auto loaded = std::make_unique<CSkater>();
  ASSERT_TRUE(loaded->Load(bytes.data(), bytes.size(), nullptr, nullptr));
  EXPECT_EQ(loaded->mind.reservedNodeId, ServiceNode(food)->GetNodeId());
  // Links of the route come back with their kinds.
  ASSERT_EQ(loaded->route.steps.size(), s->route.steps.size());
  for (size_t i = 0; i < s->route.steps.size(); ++i) {
    EXPECT_EQ(loaded->route.steps[i].hasLink, s->route.steps[i].hasLink);
    EXPECT_EQ(loaded->route.steps[i].edge.kind, s->route.steps[i].edge.kind) << i;
  }
  // A record whose target another skater holds by now does not take it over.
  ServiceNode(food)->SetReservingSkaterId(s->GetID() + 1000);
  auto other = std::make_unique<CSkater>();
  ASSERT_TRUE(other->Load(bytes.data(), bytes.size(), nullptr, nullptr));
  EXPECT_EQ(other->mind.reservedNodeId, CSkater::kNone);
  ServiceNode(food)->SetReservingSkaterId(s->GetID());
}

TEST_F(SkaterPieces, ArrivalsAreCountedByTheParkNotByEveryMadeSkater) {
  const uint32_t before = park.GetParkState().skatersEntered;
  CSkater loose;
  Add(3.2f, 3.2f);
  EXPECT_EQ(park.GetParkState().skatersEntered, before);
  ASSERT_NE(park.SpawnSkater(), 0u);
  EXPECT_EQ(park.GetParkState().skatersEntered, before + 1);
  // A skater the world refuses (a client's world takes ids only from its server) did not arrive.
  park.StartClient();
  EXPECT_EQ(park.SpawnSkater(), 0u);
  park.SetSinglePlayer();
  EXPECT_EQ(park.GetParkState().skatersEntered, before + 1);
}

// --- Long runs ---

// Checks the reservations both ways: every reserved node names a live skater that holds exactly
// that node, and every skater's reservation is a live node that names it.
void ExpectReservationsConsistent(CVerezIvor& park) {
  CGrid& grid = *park.GetGrid();
  std::vector<const CSkatePathNode*> nodes;
  for (int i = 0; i < grid.GetSquareCount(); ++i) nodes.push_back(grid.GetSquareByIndex(i));
  for (uint32_t id : GetPlacedSectionList())
    if (CSkatableSection* section = GetPlacedSection(id))
      for (const auto& n : section->GetPathNodes()) nodes.push_back(n.get());
  for (const CSkatePathNode* n : nodes) {
    if (!n->IsReserved()) continue;
    auto* holder = dynamic_cast<CSkater*>(park.GetObjectByID(n->GetReservingSkaterId()));
    ASSERT_NE(holder, nullptr) << "node " << n->GetNodeId();
    EXPECT_EQ(holder->mind.reservedNodeId, n->GetNodeId());
  }
  for (CSkater* s : GetSkaterList()) {
    if (s->mind.reservedNodeId == CSkater::kNone) continue;
    const CSkatePathNode* n = FindNodeByID(s->mind.reservedNodeId);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->GetReservingSkaterId(), s->GetID());
  }
}

struct RunPark : SkaterPieces {
  RunPark() : SkaterPieces(16) {}
};

TEST_F(RunPark, ALongRunWithPiecesComingAndGoingKeepsEverySkaterSound) {
  std::mt19937 rng(77);
  std::vector<CSkatableSection*> pieces;
  const int defs[] = {kKicker, kKicker, kFood, kDrink, kRestroom, kFirstAid, kDrop};
  for (int i = 0; i < 8; ++i)
    pieces.push_back(i % 2 == 0 ? Make(defs[rng() % 7], 3 + static_cast<int>(rng() % 10), 3 + static_cast<int>(rng() % 10))
                                : Stand(kFood + static_cast<int>(rng() % 4), 3 + static_cast<int>(rng() % 10),
                                        3 + static_cast<int>(rng() % 10)));
  for (int i = 0; i < 10; ++i) park.SpawnSkater();
  struct Watch {
    Vector3 at;
    uint32_t state;
    float still;
  };
  std::map<uint32_t, Watch> watch;
  const float dt = 0.05f;
  int changedAt = -10;
  int served = 0, left = 0;
  const uint32_t entered = park.GetParkState().skatersEntered;
  for (int tick = 0; tick < 12000; ++tick) {
    if (tick % 150 == 0) {
      CSkatableSection* p = pieces[rng() % pieces.size()];
      if (p->IsHeld()) p->Place(); else p->PickUp();
      Grid().UpdateComponents();
      changedAt = tick;
    }
    if (tick % 40 == 0 && !GetSkaterList().empty()) {
      // Needs come up now and then, so that the facilities are used and skaters leave.
      CSkater* s = GetSkaterList()[rng() % GetSkaterList().size()];
      float* needs[] = {&s->needs.hunger, &s->needs.thirst, &s->needs.bladder, &s->needs.injury, &s->needs.tiredness};
      *needs[rng() % 5] = 0.5f + static_cast<float>(rng() % 500) / 1000.0f;
    }
    if (GetSkaterList().size() < 6) park.SpawnSkater();
    park.Tick(dt);
    park.UpdateObjects(dt);
    ExpectReservationsConsistent(park);
    for (CSkater* s : GetSkaterList()) {
      testing_support::ExpectNeedsInRange(*s);
      if (tick > changedAt + 1 && (s->mind.state == CSkater::kSkating || s->mind.state == CSkater::kHeadingToGoal) &&
          s->route.index >= 0)
        for (size_t i = static_cast<size_t>(s->route.index); i < s->route.steps.size(); ++i)
          ASSERT_NE(FindNodeByID(s->route.steps[i].nodeId), nullptr) << "tick " << tick << " changed " << changedAt << " state " << s->mind.state << " goal " << s->mind.goal << " index " << s->route.index << " at " << i;
      Watch& w = watch[s->GetID()];
      const Vector3 d = s->GetCentre() - w.at;
      if (d.Length() > 0.01f || w.state != s->mind.state) {
        w = Watch{s->GetCentre(), s->mind.state, 0.0f};
      } else if (s->mind.state == CSkater::kSkating || s->mind.state == CSkater::kHeadingToGoal) {
        w.still += dt;
        ASSERT_LT(w.still, 40.0f) << "skater " << s->GetID() << " stuck at tick " << tick;
      }
      served += s->mind.state == CSkater::kUsingFacility ? 1 : 0;
    }
    if (::testing::Test::HasFatalFailure()) return;
  }
  left = static_cast<int>(park.GetParkState().skatersExited);
  EXPECT_GT(served, 0);
  EXPECT_GT(left, 0);
  EXPECT_GT(park.GetParkState().skatersEntered, entered);
  std::printf("served ticks %d, skaters left %d\n", served, left);
}

}  // namespace
