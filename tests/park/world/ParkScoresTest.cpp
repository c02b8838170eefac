// The park's piece scores and skater averages, skaters moved or replanned around a changed piece,
// and the park-level placement, lift and sale leaving the park as it was before.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/spatial/Octree.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/PiecePlacement.h"
#include "park/pieces/PieceSale.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/world/ParkScores.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/ParkPieces.h"
#include "tests/support/ParkState.h"

namespace {

constexpr int kDefs = 24;

// A piece mesh with a collision sphere, so a placed piece files an obstacle of its own.
std::unique_ptr<ShadedMesh> PieceMesh(const std::vector<std::pair<Vector3, std::string>>& nodes) {
  std::unique_ptr<ShadedMesh> mesh = testing_support::PieceMesh(nodes);
  testing_support::AddCentreSphere(*mesh);
  return mesh;
}

// A 16 x 16 park of open ground entered at (0, 0); definition i has catalog type i, so 0 to 9
// are skatable, 13 a facility and 19 a sponsor piece.
struct ScoredPark : ::testing::Test {
  ScoredPark() : park(nullptr, nullptr) {
    plat::srand(11);
    ClearPlacedSectionList();
    park.GetOctree().Reset(Box(Vector3(-50.0f, -50.0f, -50.0f), Vector3(50.0f, 50.0f, 50.0f)));
    auto grid = testing_support::OpenGroundGrid(16, 16, 0xFF);
    grid->AddEntrance(grid->GetSquare(0, 0));
    park.SetGrid(std::move(grid));
    park.GetGrid()->UpdateComponents();
    kicker = PieceMesh(testing_support::KickerNodes());
    // Its second entry stands off every corner: it joins nothing and leads nowhere.
    stray = PieceMesh({{Vector3(0, 0, 0), "skatenode 1 external link dest=2 type=skate"},
                       {Vector3(0.3f, 0.6f, 0), "skatenode 2 external"}});
    catalog.meshes = {{100, kicker.get()}, {101, stray.get()}};
    for (int i = 0; i < kDefs; ++i) {
      ObjectDefinition& def = catalog.defs[i];
      def.type = i;
      def.mesh = 100;
      def.cost = 500.0 + 10.0 * i;
      def.operatingCost = 5.0f;
      std::snprintf(def.name, sizeof def.name, "Piece %d", i);
    }
  }
  ~ScoredPark() override { ClearPlacedSectionList(); }
  // A held piece of that definition (none for -1) at the corner (x, y).
  template <typename T = CSkatableSection>
  T* Buy(int def, float x, float y) {
    const ObjectDefinition* definition = def >= 0 ? &catalog.defs[def] : nullptr;
    return testing_support::AddHeldPiece<T>(park, definition != nullptr ? definition->mesh : 100, definition, x, y);
  }
  CSkatableSection* Put(int def, float x, float y) {
    CSkatableSection* s = Buy(def, x, y);
    EXPECT_TRUE(PlacePieceInPark(park, s->GetID()));
    return s;
  }
  CSkater* AddSkater(const Vector3& at, uint32_t state) {
    CSkater* skater = testing_support::AddSkater(park, at);
    skater->SetState(state, 3);
    return skater;
  }
  ParkState& State() { return park.GetParkState(); }

  CVerezIvor park;
  std::unique_ptr<ShadedMesh> kicker;
  std::unique_ptr<ShadedMesh> stray;
  testing_support::TestPieceCatalog catalog{kDefs};  // last: the sources go before the park does
};

// --- Scores ---

TEST_F(ScoredPark, EmptyParkAndPiecesThatDoNotCountScoreZero) {
  UpdateParkScores(park);
  EXPECT_EQ(State().variety, 0.0f);
  EXPECT_EQ(State().connectivity, 0.0f);
  EXPECT_EQ(State().capacity, 0.0f);
  // None of these is a placed skatable piece with a definition: a piece without one (as the
  // terrain is after a load), one still held, decor, a facility and a sponsor piece.
  CSkatableSection* bare = Buy(-1, 2.0f, 2.0f);
  bare->Place();
  Buy(3, 4.0f, 4.0f);
  Put(11, 6.0f, 6.0f);
  Put(19, 8.0f, 8.0f);
  auto* stand = Buy<CSkatableFacility>(13, 10.0f, 10.0f);
  ASSERT_TRUE(PlacePieceInPark(park, stand->GetID()));
  EXPECT_EQ(GetPlacedSectionList().size(), 4u);
  EXPECT_EQ(ComputeVariety(park), 0.0f);
  EXPECT_EQ(ComputeConnectivity(park), 0.0f);
  EXPECT_EQ(ComputeCapacity(park), 0.0f);
}

TEST_F(ScoredPark, VarietyRewardsManyTypesInEvenNumbers) {
  for (int t = 0; t < 10; ++t) Put(t, static_cast<float>(t), 12.0f);
  EXPECT_FLOAT_EQ(ComputeVariety(park), 1.0f);
  ClearPlacedSectionList();
  for (int i = 0; i < 10; ++i) Put(4, static_cast<float>(i), 12.0f);
  EXPECT_EQ(ComputeVariety(park), 0.0f);
  // Two of type 0 and one of type 1: largest 2 of 3, two kinds.
  ClearPlacedSectionList();
  Put(0, 1.0f, 1.0f);
  Put(0, 3.0f, 1.0f);
  Put(1, 5.0f, 1.0f);
  EXPECT_FLOAT_EQ(ComputeVariety(park), 0.5f * ((1.0f - 2.0f / 3.0f) * 1.1111112f + 0.1f * 1.1111112f));
  EXPECT_FLOAT_EQ(State().variety, ComputeVariety(park));  // the placement refreshed the park state
}

TEST_F(ScoredPark, CapacityBySixteenSquaresWithAFloorOfOneAndACapOfFifty) {
  catalog.defs[0].footprintWidth = 2, catalog.defs[0].footprintLength = 2;  // 4 squares: still room for one
  catalog.defs[1].footprintWidth = 8, catalog.defs[1].footprintLength = 4;  // 32: two
  catalog.defs[2].footprintWidth = 5, catalog.defs[2].footprintLength = 4;  // 20: one and a quarter
  catalog.defs[3].footprintWidth = 8, catalog.defs[3].footprintLength = 8;  // 64: four
  Put(0, 1.0f, 1.0f);
  EXPECT_EQ(ComputeCapacity(park), 1.0f);
  Put(1, 3.0f, 1.0f);
  EXPECT_EQ(ComputeCapacity(park), 3.0f);
  Put(2, 5.0f, 1.0f);
  EXPECT_EQ(ComputeCapacity(park), 4.25f);
  for (int i = 0; i < 11; ++i) Put(3, static_cast<float>(i), 8.0f);
  EXPECT_EQ(ComputeCapacity(park), 48.25f);
  Put(3, 12.0f, 8.0f);
  EXPECT_EQ(ComputeCapacity(park), 50.0f);
  EXPECT_EQ(State().capacity, 50.0f);
}

using testing_support::ConnectedEntriesBySearch;

TEST_F(ScoredPark, ConnectivityCountsEntriesTheEntranceReachesAndReturnsFrom) {
  Put(0, 2.0f, 2.0f);
  ASSERT_EQ(ConnectedEntriesBySearch(*park.GetGrid()), 2);
  EXPECT_FLOAT_EQ(ComputeConnectivity(park), 2.0f / 3.0f);
  // A second kicker sharing the first one's far corner: its entry there is in a ring the first
  // piece represents, so the search never marks that node itself; it counts all the same.
  Put(1, 3.0f, 3.0f);
  ASSERT_EQ(park.GetGrid()->GetSquare(3, 3)->GetRingSize(), 3);
  ASSERT_EQ(ConnectedEntriesBySearch(*park.GetGrid()), 4);
  EXPECT_FLOAT_EQ(ComputeConnectivity(park), 4.0f / 5.0f);
  // An entry off every corner joins nothing: counted, not connected.
  catalog.defs[2].mesh = 101;
  Put(2, 8.0f, 8.0f);
  ASSERT_EQ(ConnectedEntriesBySearch(*park.GetGrid()), 5);
  EXPECT_FLOAT_EQ(ComputeConnectivity(park), 5.0f / 7.0f);
  EXPECT_FLOAT_EQ(State().connectivity, 5.0f / 7.0f);
  // A grid without entrances connects nothing.
  auto closed = std::make_unique<CGrid>(4, 4, Vector3(), 1.0f, 1.0f);
  park.SetGrid(std::move(closed));
  EXPECT_EQ(ComputeConnectivity(park), 0.0f);
}

TEST_F(ScoredPark, SkaterAveragesDivideByOneMoreThanTheSkaters) {
  Put(0, 2.0f, 2.0f);
  Put(1, 8.0f, 8.0f);
  const float quality = State().connectivity + State().variety;
  ASSERT_GT(quality, 0.0f);
  park.UpdateSkaterAverages();
  // Without skaters both averages are 0: the score is the pieces' part alone.
  EXPECT_FLOAT_EQ(State().statisticsScore, quality * 50.0f);

  CSkater* a = AddSkater(Vector3(5, 5, 1), CSkater::kSkating);
  CSkater* b = AddSkater(Vector3(6, 5, 1), CSkater::kSkating);
  for (CSkater* s : {a, b}) s->needs = CSkater::Needs();
  a->ability.trickSkill[2] = 0.3f, a->ability.trickSkill[3] = 0.6f, a->ability.trickSkill[4] = 0.9f;  // 0.6
  b->ability.trickSkill[2] = 0.0f, b->ability.trickSkill[3] = 0.0f, b->ability.trickSkill[4] = 0.3f;  // 0.1
  a->ability.trickSkill[5] = b->ability.trickSkill[5] = 1.0f;  // not one of the three
  a->needs.hunger = 0.5f;                                      // happiness 0.9
  b->needs.mood = 1.0f, b->needs.thirst = 1.0f;                // happiness 0.6
  park.UpdateSkaterAverages();
  EXPECT_NEAR(State().averageSkill, 0.7f / 3.0f, 1e-6f);
  EXPECT_NEAR(State().averageHappiness, 1.5f / 3.0f, 1e-6f);
  EXPECT_NEAR(State().statisticsScore, (0.7f / 3.0f + 0.5f) * 12.0f + quality * 50.0f, 1e-4f);
}

// --- Skaters around a changed piece ---

TEST_F(ScoredPark, SkatersInTheWayAreLiftedAndThoseRoutedAcrossDecideAgain) {
  CSkatableSection* piece = Buy(0, 6.0f, 6.0f);
  // The box the piece will have once placed, measured on a twin placed elsewhere.
  const Box twin = Put(0, 12.0f, 12.0f)->GetBounds();
  const Box box(twin.min - Vector3(6, 6, 0), twin.max - Vector3(6, 6, 0));
  ASSERT_GT(box.max.x, 6.5f);

  CSkater* inside = AddSkater(Vector3(6.5f, 6.5f, 0.2f), CSkater::kSkating);
  CSkater* onEdge = AddSkater(Vector3(box.min.x, box.max.y, 0.2f), CSkater::kInLine);
  CSkater* beside = AddSkater(Vector3(box.max.x + 0.5f, 6.5f, 0.2f), CSkater::kSkating);
  CSkater* far = AddSkater(Vector3(1.5f, 1.5f, 0.2f), CSkater::kHeadingToGoal);
  CSkater* routed = AddSkater(Vector3(1.5f, 6.5f, 0.2f), CSkater::kHeadingToGoal);
  CSkater* routedAway = AddSkater(Vector3(1.5f, 2.5f, 0.2f), CSkater::kHeadingToGoal);
  CSkater* notFollowing = AddSkater(Vector3(1.5f, 10.5f, 0.2f), CSkater::kSkating);
  CGrid& grid = *park.GetGrid();
  auto routeThrough = [&](CSkater* s, std::vector<std::pair<int, int>> squares) {
    s->route.steps.clear();
    for (auto [c, r] : squares) {
      CSkater::RouteStep step;
      step.nodeId = grid.GetSquare(c, r)->GetNodeId();
      s->route.steps.push_back(step);
    }
    s->route.index = 0;
    s->route.mode = 1;
  };
  routeThrough(routed, {{3, 6}, {10, 7}});  // the second leg runs across the piece
  routeThrough(routedAway, {{3, 2}, {10, 2}, {10, 3}});
  routeThrough(notFollowing, {{3, 6}, {10, 7}});
  notFollowing->route.mode = 0;
  const float radius = inside->GetRadius();
  ASSERT_GT(radius, 0.0f);

  ASSERT_TRUE(PlacePieceInPark(park, piece->GetID()));
  for (CSkater* s : {inside, onEdge}) {
    EXPECT_EQ(s->mind.state, CSkater::kDeciding);
    EXPECT_EQ(s->mind.subState, 0u);
    EXPECT_FLOAT_EQ(s->GetCentre().z, box.max.z + 1.5f * radius);
  }
  EXPECT_EQ(inside->GetCentre().x, 6.5f);
  EXPECT_EQ(inside->GetCentre().y, 6.5f);
  // Beside the piece (within the radius and a margin): not lifted, but it decides again.
  EXPECT_EQ(beside->mind.state, CSkater::kDeciding);
  EXPECT_FLOAT_EQ(beside->GetCentre().z, 0.2f);
  EXPECT_EQ(routed->mind.state, CSkater::kDeciding);
  EXPECT_FLOAT_EQ(routed->GetCentre().z, 0.2f);
  EXPECT_EQ(far->mind.state, CSkater::kHeadingToGoal);
  EXPECT_EQ(routedAway->mind.state, CSkater::kHeadingToGoal);
  EXPECT_EQ(notFollowing->mind.state, CSkater::kSkating);
  EXPECT_EQ(far->mind.subState, 3u);

  // Lifting the piece lifts nobody; a route that ran over its nodes now names nodes that are gone.
  CSkater* onPiece = AddSkater(Vector3(1.5f, 12.5f, 0.2f), CSkater::kHeadingToGoal);
  onPiece->route.steps = {CSkater::RouteStep(), CSkater::RouteStep()};
  onPiece->route.steps[0].nodeId = grid.GetSquare(1, 13)->GetNodeId();
  onPiece->route.steps[1].nodeId = piece->GetPathNodes()[1]->GetNodeId();
  onPiece->route.index = 0, onPiece->route.mode = 1;
  inside->SetState(CSkater::kSkating, 1);
  const Vector3 lifted = inside->GetCentre();
  ASSERT_TRUE(LiftPieceFromPark(park, piece->GetID()));
  EXPECT_EQ(onPiece->mind.state, CSkater::kDeciding);
  EXPECT_EQ(inside->mind.state, CSkater::kDeciding);
  EXPECT_EQ(inside->GetCentre().z, lifted.z);
  EXPECT_EQ(far->mind.state, CSkater::kHeadingToGoal);
}

// --- Placement, lift and sale as a whole ---

struct Snapshot {
  testing_support::ParkGridState grid;
  std::vector<uint8_t> nearPiece;
  float variety, connectivity, capacity;
  int32_t sponsors[ParkState::kSponsorshipSlots];
  bool operator==(const Snapshot& o) const {
    for (int i = 0; i < ParkState::kSponsorshipSlots; ++i)
      if (sponsors[i] != o.sponsors[i]) return false;
    return grid == o.grid && nearPiece == o.nearPiece && variety == o.variety && connectivity == o.connectivity &&
           capacity == o.capacity;
  }
};

std::vector<uint8_t> NearPieceMarks(const CGrid& grid) {
  std::vector<uint8_t> out;
  for (int i = 0; i < grid.GetSquareCount(); ++i) out.push_back(grid.GetSquareByIndex(i)->nearPiece);
  return out;
}

// The marks the pieces' margins of three give, worked out square by square.
std::vector<uint8_t> ExpectedMarks(const CGrid& grid, const std::vector<std::vector<int>>& footprints) {
  std::vector<uint8_t> out(static_cast<size_t>(grid.GetSquareCount()), 0);
  for (int i = 0; i < grid.GetSquareCount(); ++i) {
    const CGridSquare* s = grid.GetSquareByIndex(i);
    for (const std::vector<int>& footprint : footprints) {
      int c0 = 1 << 20, r0 = 1 << 20, c1 = -1, r1 = -1;
      for (int index : footprint) {
        const CGridSquare* f = grid.GetSquareByIndex(index);
        c0 = std::min(c0, f->GetColumn()), c1 = std::max(c1, f->GetColumn());
        r0 = std::min(r0, f->GetRow()), r1 = std::max(r1, f->GetRow());
      }
      if (s->GetColumn() >= c0 - 3 && s->GetColumn() <= c1 + 3 && s->GetRow() >= r0 - 3 && s->GetRow() <= r1 + 3)
        out[static_cast<size_t>(i)] = 1;
    }
  }
  return out;
}

TEST_F(ScoredPark, SquaresNearAPieceAreMarkedAndGivenBackWhenItGoes) {
  CGrid& grid = *park.GetGrid();
  catalog.defs[5].footprintWidth = 10, catalog.defs[5].footprintLength = 10;
  for (int r = 0; r < 10; ++r)
    for (int c = 0; c < 10; ++c) catalog.defs[5].footprint[r][c] = 1;
  CSkatableSection* big = Put(5, 0.0f, 0.0f);
  ASSERT_EQ(big->GetFootprintSquares().size(), 100u);
  std::vector<uint8_t> bigOnly = ExpectedMarks(grid, {big->GetFootprintSquares()});
  EXPECT_EQ(std::count(bigOnly.begin(), bigOnly.end(), 1), 13 * 13);
  EXPECT_EQ(NearPieceMarks(grid), bigOnly);
  // A small piece whose margin overlaps the big one's, though the two stand far apart.
  CSkatableSection* small = Put(0, 14.0f, 14.0f);
  EXPECT_EQ(NearPieceMarks(grid), ExpectedMarks(grid, {big->GetFootprintSquares(), small->GetFootprintSquares()}));
  ASSERT_TRUE(LiftPieceFromPark(park, small->GetID()));
  EXPECT_EQ(NearPieceMarks(grid), bigOnly);
  ASSERT_TRUE(PlacePieceInPark(park, small->GetID()));
  ASSERT_TRUE(SellPiece(park, big->GetID()));
  EXPECT_EQ(NearPieceMarks(grid), ExpectedMarks(grid, {small->GetFootprintSquares()}));
  ASSERT_TRUE(SellPiece(park, small->GetID()));
  EXPECT_EQ(NearPieceMarks(grid), std::vector<uint8_t>(256, 0));
}

// On a grid one column wide every margin is one column wide too; lifting a piece still gives the
// shared squares back to the neighbour's margin.
TEST_F(ScoredPark, OnAOneColumnGridANeighbourKeepsItsMarksWhenAPieceIsLifted) {
  park.SetGrid(testing_support::OpenGroundGrid(1, 16, 0xFF));
  CGrid& grid = *park.GetGrid();
  CSkatableSection* lower = Put(0, 0.0f, 2.0f);
  CSkatableSection* upper = Put(1, 0.0f, 7.0f);  // margins share rows 4 and 5
  const std::vector<uint8_t> upperOnly = ExpectedMarks(grid, {upper->GetFootprintSquares()});
  EXPECT_EQ(std::count(upperOnly.begin(), upperOnly.end(), 1), 7);
  EXPECT_EQ(NearPieceMarks(grid), ExpectedMarks(grid, {lower->GetFootprintSquares(), upper->GetFootprintSquares()}));
  ASSERT_TRUE(LiftPieceFromPark(park, lower->GetID()));
  EXPECT_EQ(NearPieceMarks(grid), upperOnly);
  // Worked out again from nothing, as after a load: stale marks everywhere go.
  for (int i = 0; i < grid.GetSquareCount(); ++i) grid.GetSquareByIndex(i)->nearPiece = 1;
  RecomputeNearPieceMarks(park);
  EXPECT_EQ(NearPieceMarks(grid), upperOnly);
}

// The park as the last operation left it: its components are taken as they are, not recomputed.
Snapshot Take(CVerezIvor& park) {
  Snapshot s;
  s.grid = testing_support::TakeParkGridState(park, false);
  s.nearPiece = NearPieceMarks(*park.GetGrid());
  const ParkState& st = park.GetParkState();
  s.variety = st.variety, s.connectivity = st.connectivity, s.capacity = st.capacity;
  for (int i = 0; i < ParkState::kSponsorshipSlots; ++i) s.sponsors[i] = st.sponsorships[i].sponsorObjectID;
  return s;
}

TEST_F(ScoredPark, PlaceThenLiftOrSellGivesBackThePark) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> cell(0, 13), def(0, 12), action(0, 3);
  for (int i = 0; i < ParkState::kSponsorshipSlots; ++i) State().sponsorships[i].offered = 1;
  std::vector<uint32_t> pieces;
  for (int round = 0; round < 80; ++round) {
    // Change the park at random.
    if (!pieces.empty() && action(rng) == 0) {
      const uint32_t id = pieces[rng() % pieces.size()];
      auto* s = dynamic_cast<CSkatableSection*>(park.GetObjectByID(id));
      ASSERT_NE(s, nullptr);
      ASSERT_TRUE(s->IsHeld() ? PlacePieceInPark(park, id) : LiftPieceFromPark(park, id));
    } else {
      pieces.push_back(Put(def(rng), static_cast<float>(cell(rng)), static_cast<float>(cell(rng)))->GetID());
    }
    // One more piece (now and then a sponsor piece of slot 2, always sold), placed and given up again.
    const bool sponsor = round % 4 == 0;
    CSkatableSection* probe = Buy(sponsor ? 19 : def(rng), static_cast<float>(cell(rng)),
                                  static_cast<float>(cell(rng)));
    if (sponsor) probe->SetSponsorshipIndex(2);
    park.GetGrid()->UpdateComponents();
    UpdateParkScores(park);
    Snapshot before = Take(park);
    const double money = park.GetMoney();
    ASSERT_TRUE(PlacePieceInPark(park, probe->GetID()));
    EXPECT_EQ(State().sponsorships[2].sponsorObjectID, sponsor ? static_cast<int32_t>(probe->GetID()) : -1);
    EXPECT_FALSE(Take(park) == before);
    if (round % 2 == 0) {
      ASSERT_TRUE(SellPiece(park, probe->GetID()));
      EXPECT_FALSE(SellPiece(park, probe->GetID()));  // already sold: paid once
      const uint32_t soldId = probe->GetID();
      park.UpdateObjects(0.0f);
      EXPECT_EQ(park.GetObjectByID(soldId), nullptr);
      --before.grid.octreeObjects;  // the world had filed the piece when it was bought
    } else {
      ASSERT_TRUE(LiftPieceFromPark(park, probe->GetID()));
      EXPECT_EQ(park.GetMoney(), money);
      pieces.push_back(probe->GetID());
    }
    ASSERT_TRUE(Take(park) == before) << "round " << round;
  }
}

TEST_F(ScoredPark, SaleBooksTheResaleValueOnceAndNeverTakesTheTerrain) {
  park.GetClock().SetTime(2, 1, 12.0);
  CSkatableSection* piece = Put(0, 4.0f, 4.0f);
  auto* stand = Buy<CSkatableFacility>(13, 8.0f, 8.0f);  // held: sold without a lift
  stand->SetSponsorshipIndex(1);  // a sponsor piece its slot still names: the sale itself frees the slot
  State().sponsorships[1].sponsorObjectID = static_cast<int32_t>(stand->GetID());
  for (int i = 0; i < 10; ++i) stand->Use();
  park.GetClock().SetTime(3, 1, 12.0);  // a week on
  const double money = park.GetMoney();
  ASSERT_TRUE(SellPiece(park, piece->GetID()));
  ASSERT_TRUE(SellPiece(park, stand->GetID()));
  const double expected = 500.0 * std::exp(-1.0) + 630.0 * std::exp(-1.0) * std::exp(-0.5);
  EXPECT_NEAR(park.GetMoney() - money, expected, 1e-9);
  EXPECT_NEAR(State().earnedFromResale, expected, 1e-9);
  EXPECT_EQ(State().sponsorships[1].sponsorObjectID, -1);
  EXPECT_TRUE(GetPlacedSectionList().empty());
  EXPECT_EQ(State().spentOnBuilding, 0.0);

  // The terrain is part of the level, not a piece.
  auto terrain = std::make_unique<CSkatableSection>();
  CSkatableSection* raw = terrain.get();
  ASSERT_TRUE(raw->InitFromMesh(COrientation(), 100, true));
  const uint32_t terrainId = park.RegisterNewObject(std::move(terrain));
  ASSERT_NE(terrainId, 0u);
  AddToPlacedSectionList(terrainId);
  const double after = park.GetMoney();
  EXPECT_FALSE(SellPiece(park, terrainId));
  EXPECT_FALSE(LiftPieceFromPark(park, terrainId));
  EXPECT_FALSE(raw->IsMarkedForRemoval());
  EXPECT_EQ(park.GetMoney(), after);
  EXPECT_EQ(GetPlacedSectionList(), std::vector<uint32_t>{terrainId});
  EXPECT_FALSE(SellPiece(park, 999999u));
  AddSkater(Vector3(1, 1, 1), CSkater::kSkating);
  EXPECT_FALSE(SellPiece(park, GetSkaterList().back()->GetID()));  // not a piece
}

}  // namespace
