// Placed pieces: skatenode texts, link difficulty, rings with the grid and neighbours, place and
// pick-up leaving the park exactly as before, running costs, resale, and the saved records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/data/LittleEndian.h"
#include "core/spatial/Octree.h"
#include "core/math/ViewFrustum.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/SectionDebugDraw.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/pieces/SkateNodeText.h"
#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"
#include "physics/collision/StaticObstacle.h"
#include "render/view/RenderDebug.h"
#include "render/view/RenderView.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/core/spatial/OctreeTestItems.h"
#include "tests/support/ParkPieces.h"
#include "tests/support/ParkState.h"
#include "tests/support/RecordingRasterizer.h"

namespace {

// --- Texts ---

TEST(SkateNodeText, KindsFlagsAndLinks) {
  struct Case {
    const char* text;
    bool parsed;
    int number;
    uint32_t kind;
    int flags;  // 1 external, 2 line, 4 action
    std::vector<std::pair<int, uint32_t>> links;
  };
  const Case cases[] = {
      {"skatenode 3, target grind, external, link dest=4 type=grind_left, link dest=7 type=walk", true, 3, 3, 1,
       {{4, 0x1001}, {7, 2}}},
      {"string skatenode 12 target buy_food line action", true, 12, 9, 6, {}},
      {"skatenode 1 target external", true, 1, 5, 1, {}},          // no kind word: 5, word reread
      {"skatenode 1 target spin link dest=2", true, 1, 5, 0, {}},  // "spin" is reread and ends the node
      {"skatenode 2 bogus link dest=3", true, 2, 0, 0, {}},         // other word: node ends, no links
      {"skatenode 4 link type=ollie, link dest=9 type=sideways diff=0.7", true, 4, 0, 0, {{9, 4}}},
      {"skatenode 5 link dest=1 type=skate_to_top // link dest=2\n link dest=3 type=free_air", true, 5, 0, 0,
       {{1, 5}, {3, 1}}},
      {"skatenode 6 target pee link dest=1 type=air link dest=2 type=grind_right link dest=3 type=ollie", true, 6, 6, 0,
       {{1, 0}, {2, 0x1002}, {3, 3}}},
      {"light 3", false, 0, 0, 0, {}},
      {"string", false, 0, 0, 0, {}},
      {"Skatenode 3", false, 0, 0, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SkateNodeText out;
    ASSERT_EQ(ParseSkateNodeText(c.text, std::strlen(c.text), out), c.parsed);
    if (!c.parsed) continue;
    EXPECT_EQ(out.number, c.number);
    EXPECT_EQ(out.kind, c.kind);
    EXPECT_EQ((out.external ? 1 : 0) | (out.line ? 2 : 0) | (out.action ? 4 : 0), c.flags);
    ASSERT_EQ(out.links.size(), c.links.size());
    for (size_t i = 0; i < c.links.size(); ++i) {
      EXPECT_EQ(out.links[i].dest, c.links[i].first);
      EXPECT_EQ(out.links[i].type, c.links[i].second);
    }
  }
  const char* kinds[] = {"grind", "ollie", "air", "pee", "first_aid", "cash_machine",
                         "buy_food", "buy_drink", "buy_tshirt", "buy_skateboard"};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(SkateNodeKindFromWord(kinds[i]), i + 3);
}

TEST(SkateNodeText, LinkDifficultyPerType) {
  const Vector3 a(0.0f, 0.0f, 0.0f);
  const Vector3 b(3.0f, 4.0f, 5.0f);  // d 5, h 5: 45 degrees
  EXPECT_FLOAT_EQ(ComputeLinkDifficulty(kLinkAir, a, b), 0.625f);
  EXPECT_EQ(ComputeLinkDifficulty(kLinkAir, a, Vector3(30.0f, 40.0f, 0.0f)), 1.0f);
  EXPECT_EQ(ComputeLinkDifficulty(kLinkFreeAir, a, b), 1.0f);
  EXPECT_EQ(ComputeLinkDifficulty(kLinkOllie, a, b), 1.0f);                        // (5 + 5) / 4 clamped
  EXPECT_FLOAT_EQ(ComputeLinkDifficulty(kLinkOllie, b, a), 1.0f);                  // down: d only, 1.25
  EXPECT_FLOAT_EQ(ComputeLinkDifficulty(kLinkOllie, a, Vector3(1.0f, 0.0f, 1.0f)), 0.5f);
  EXPECT_FLOAT_EQ(ComputeLinkDifficulty(kLinkOllie, Vector3(0, 0, 1), Vector3(2.0f, 0.0f, 0.0f)), 0.5f);
  for (uint32_t t : {4u, 5u, 0x1001u, 0x1002u}) EXPECT_NEAR(ComputeLinkDifficulty(t, a, b), 0.5f, 1e-6f);
  EXPECT_EQ(ComputeLinkDifficulty(kLinkWalk, a, b), 0.0f);
  EXPECT_EQ(ComputeLinkDifficulty(kLinkFreeAir, a, Vector3(0.0f, 0.0f, 3.0f)), 0.0f);  // vertical
}

// --- A park with pieces ---

// A piece mesh with an attach point that is not a node, and a collision sphere, so a placed piece
// files an obstacle of its own.
std::unique_ptr<ShadedMesh> PieceMesh(const std::vector<std::pair<Vector3, std::string>>& nodes) {
  std::unique_ptr<ShadedMesh> mesh = testing_support::PieceMesh(nodes);
  mesh->AddAttachPoint(COrientation(), 50000, 9, "lamp 3 x", false);
  testing_support::AddCentreSphere(*mesh);
  return mesh;
}

struct Pieces : ::testing::Test {
  Pieces() : park(nullptr, nullptr) {
    ClearPlacedSectionList();
    // Open ground: every square steps to its four neighbours; the gate away from the pieces.
    auto grid = testing_support::OpenGroundGrid(8, 8, 0xF);
    grid->AddEntrance(grid->GetSquare(3, 3));
    park.SetGrid(std::move(grid));
    kicker = PieceMesh(testing_support::KickerNodes());
    stand = PieceMesh({{Vector3(0, 0, 0), "skatenode 1 external line link dest=2 type=walk"},
                       {Vector3(0.5f, 0.5f, 0), "skatenode 2 target buy_food action link dest=1 type=walk"}});
    catalog.meshes = {{100, kicker.get()}, {101, stand.get()}};
    for (int i = 0; i < 4; ++i) {
      ObjectDefinition& def = catalog.defs[i];
      def.mesh = i == 2 ? 101 : 100;
      def.cost = 700.0;
      def.operatingCost = 36.0f;
      def.useFee = 2.5f;
    }
    catalog.defs[1].type = CSkatableSection::kSponsorType;
    std::snprintf(catalog.defs[0].name, sizeof(catalog.defs[0].name), "Kicker");
  }
  template <typename T = CSkatableSection>
  T* Make(int def, float x, float y, bool place = true) {
    const ObjectDefinition& definition = catalog.defs[def];
    T* raw = testing_support::AddHeldPiece<T>(park, definition.mesh, &definition, x, y);
    if (place) raw->Place();
    return raw;
  }
  CGrid& Grid() { return *park.GetGrid(); }

  using Snapshot = testing_support::ParkGridState;
  Snapshot Take() { return testing_support::TakeParkGridState(park); }

  CVerezIvor park;
  std::unique_ptr<ShadedMesh> kicker;
  std::unique_ptr<ShadedMesh> stand;
  testing_support::TestPieceCatalog catalog{4};  // last: the sources go before the park does
};

using testing_support::RingIds;
using testing_support::SaveOf;

TEST_F(Pieces, NodesJoinTheGridAndNeighboursIntoRings) {
  CSkatableSection* a = Make(0, 2.0f, 2.0f);
  ASSERT_EQ(a->GetPathNodes().size(), 3u);
  ASSERT_EQ(a->GetPathLinks().size(), 3u);
  const auto& n = a->GetPathNodes();
  EXPECT_EQ(n[0]->GetPosition().x, 2.0f);
  EXPECT_NEAR(a->GetPathLinks()[0].edge.difficulty, std::atan(1.0f / std::sqrt(0.5f)) * 0.63661975f, 1e-6f);
  EXPECT_EQ(a->GetPathLinks()[2].edge.kind, kLinkWalk);
  const uint32_t sq22 = Grid().GetSquare(2, 2)->GetNodeId();
  const uint32_t sq33 = Grid().GetSquare(3, 3)->GetNodeId();
  EXPECT_EQ(RingIds(n[0].get()), (std::set<uint32_t>{n[0]->GetNodeId(), sq22}));
  EXPECT_EQ(RingIds(n[1].get()), (std::set<uint32_t>{n[1]->GetNodeId()}));
  EXPECT_EQ(RingIds(n[2].get()), (std::set<uint32_t>{n[2]->GetNodeId(), sq33}));
  EXPECT_EQ(a->GetFootprintSquares(), std::vector<int>{static_cast<int>(Grid().GetSquare(2, 2)->GetNodeId())});
  // A second piece on the same square, 0.005 off: its top joins; its corners join the same rings
  // once each (no double merge).
  CSkatableSection* b = Make(0, 2.005f, 2.0f);
  const auto& m = b->GetPathNodes();
  EXPECT_EQ(RingIds(m[1].get()), (std::set<uint32_t>{n[1]->GetNodeId(), m[1]->GetNodeId()}));
  EXPECT_EQ(RingIds(n[0].get()), (std::set<uint32_t>{n[0]->GetNodeId(), m[0]->GetNodeId(), sq22}));
  EXPECT_EQ(n[0]->GetRingSize(), 3);
  // The representative: a piece node over the square, the lower owner id among external ones.
  EXPECT_EQ(Grid().GetSquare(2, 2)->GetRingRepresentative(), a->GetID() < b->GetID() ? n[0].get() : m[0].get());
  // 0.02 off: nothing joins.
  CSkatableSection* c = Make(0, 2.02f, 2.0f);
  for (const auto& node : c->GetPathNodes()) EXPECT_EQ(node->GetRingSize(), 1);
  // A hair short of a corner (as a turned frame's rounding leaves it) a node still joins the square
  // whose corner it is, not the one it stands in.
  CSkatableSection* d = Make(0, 5.995f, 6.0f);
  EXPECT_EQ(RingIds(d->GetPathNodes()[0].get()),
            (std::set<uint32_t>{d->GetPathNodes()[0]->GetNodeId(), Grid().GetSquare(6, 6)->GetNodeId()}));
  EXPECT_EQ(FindNodeByID(m[1]->GetNodeId()), m[1].get());
  // Only placed pieces' nodes are found, whenever the piece left the list.
  RemoveFromPlacedSectionList(b->GetID());
  EXPECT_EQ(FindNodeByID(m[1]->GetNodeId()), nullptr);
  AddToPlacedSectionList(b->GetID());
  EXPECT_EQ(FindNodeByID(m[1]->GetNodeId()), m[1].get());
  EXPECT_EQ(FindNodeByID(sq22), Grid().GetSquare(2, 2));
  EXPECT_EQ(FindNodeByID(CSkatePathNode::kNone), nullptr);
}

TEST_F(Pieces, InternalNodeRepresentsARingBeforeExternalAndSquare) {
  // The stand's entry is external; a kicker whose internal top sits on the stand's entry corner.
  auto top = PieceMesh({{Vector3(0, 0, 0), "skatenode 7 target grind"}});
  catalog.meshes[102] = top.get();
  catalog.defs[3].mesh = 102;
  CSkatableSection* s = Make(2, 4.0f, 4.0f);
  CSkatableSection* t = Make(3, 4.0f, 4.0f);
  CSkatePathNode* square = Grid().GetSquare(4, 4);
  EXPECT_EQ(square->GetRingSize(), 3);
  EXPECT_EQ(square->GetRingRepresentative(), t->GetPathNodes()[0].get());
  t->PickUp();
  EXPECT_EQ(square->GetRingRepresentative(), s->GetPathNodes()[0].get());
}

TEST_F(Pieces, PlaceThenPickUpRestoresTheParkExactly) {
  std::mt19937 rng(20);
  std::uniform_int_distribution<int> cell(0, 6), def(0, 3), coin(0, 2);
  std::vector<CSkatableSection*> pieces;
  for (int round = 0; round < 60; ++round) {
    // Change the park at random, then check one placement and pick-up against it.
    if (!pieces.empty() && coin(rng) == 0) {
      CSkatableSection* p = pieces[static_cast<size_t>(rng() % pieces.size())];
      if (p->IsHeld()) p->Place(); else p->PickUp();
    } else {
      pieces.push_back(Make(def(rng) == 2 ? 2 : 0, static_cast<float>(cell(rng)), static_cast<float>(cell(rng))));
    }
    Snapshot unbought = Take();
    CSkatableSection* probe = Make(def(rng), static_cast<float>(cell(rng)), static_cast<float>(cell(rng)), false);
    const Snapshot before = Take();
    // Held: the world files the new object, nothing else changes yet.
    EXPECT_EQ(before.octreeObjects, unbought.octreeObjects + 1);
    unbought.octreeObjects = before.octreeObjects;
    EXPECT_TRUE(unbought == before);
    probe->Place();
    ASSERT_NE(probe->GetObstacle(), nullptr);
    EXPECT_TRUE(park.GetOctree().Contains(probe->GetObstacle()));
    EXPECT_FALSE(Take() == before);
    probe->PickUp();
    ASSERT_TRUE(Take() == before) << "round " << round;
    pieces.push_back(probe);
  }
  // A placement drops the octree's empty cells, and moves nothing: at the top corner, a lone object
  // stays in its depth-5 cell while the empty cell beside it goes.
  COctree& octree = park.GetOctree();
  const uint32_t top = (((8 * 8 + 8) * 8 + 8) * 8 + 8) * 8 + 8, beside = top - 1;
  const Box root = octree.GetRootBox();
  const Vector3 side = (root.max - root.min) * (1.0f / 32.0f);  // of a depth-5 cell
  octree_test::Item lone(CBoundedObject::kRenderable, Box(root.max - side * 0.5f, root.max - side * 0.25f));
  octree.InsertObjectAtDepth(&lone, 5);
  ASSERT_EQ(octree.FindCellByCode(top, false)->objects.size(), 1u);
  ASSERT_NE(octree.FindCellByCode(beside, true), nullptr);
  CSkatableSection* last = Make(0, 3.0f, 3.0f);
  EXPECT_EQ(octree.FindCellByCode(beside, false), nullptr);
  ASSERT_NE(octree.FindCellByCode(top, false), nullptr);
  EXPECT_EQ(octree.FindCellByCode(top, false)->objects.size(), 1u);
  EXPECT_TRUE(octree.Contains(last->GetObstacle()));
  octree.RemoveObject(&lone);
}

TEST_F(Pieces, RunningCostOfOneParkDay) {
  Make(0, 1.0f, 1.0f);
  Make(1, 2.0f, 1.0f);                           // sponsor piece: booked to the sponsors
  Make(0, 3.0f, 1.0f, false);                    // held: free
  auto* fac = Make<CSkatableFacility>(2, 5.0f, 5.0f);
  // The level's terrain, even with a definition to charge by, costs nothing.
  auto terrain = std::make_unique<CSkatableSection>();
  ASSERT_TRUE(terrain->InitFromMeshData(COrientation(), kicker.get(), -1, true));
  terrain->SetDefinition(&catalog.defs[0], true);
  ASSERT_NE(park.RegisterNewObject(std::move(terrain)), 0u);
  ParkState& state = park.GetParkState();
  const double before = state.GetMoney();
  // 90 real seconds are one park day at the default rate.
  for (int i = 0; i < 180; ++i) park.UpdateObjects(0.5f);
  EXPECT_NEAR(before - state.GetMoney(), 3 * 36.0, 1e-9);
  EXPECT_NEAR(state.spentOnMaintenance, 36.0, 1e-9);
  EXPECT_NEAR(state.contributedBySponsors, -36.0, 1e-9);
  EXPECT_NEAR(state.spentOnFacilityOperation, 36.0, 1e-9);
  EXPECT_GT(fac->GetFlashTimer(), -1.0f);
}

TEST_F(Pieces, NoDefinitionNoCostNoPopupNoValue) {
  auto section = std::make_unique<CSkatableSection>();
  CSkatableSection* raw = section.get();
  ASSERT_TRUE(raw->InitFromMesh(COrientation(), 100, false));
  EXPECT_NE(raw->GetFlags() & CGameObject::kNetworked, 0u);  // still ticks after the structure set-up
  ASSERT_NE(park.RegisterNewObject(std::move(section)), 0u);
  raw->Place();
  const double before = park.GetMoney();
  park.UpdateObjects(10.0f);
  EXPECT_EQ(park.GetMoney(), before);
  EXPECT_FALSE(raw->HasPopup());
  EXPECT_EQ(raw->GetResaleValue(), 0.0);
}

TEST_F(Pieces, ResaleValues) {
  park.GetClock().SetTime(3, 1, 12.0);
  CSkatableSection* s = Make(0, 1.0f, 1.0f);
  auto* f = Make<CSkatableFacility>(2, 4.0f, 4.0f);
  EXPECT_DOUBLE_EQ(s->GetResaleValue(), 700.0);
  for (int i = 0; i < 20; ++i) f->Use();
  EXPECT_NEAR(f->GetResaleValue(), 700.0 * std::exp(-1.0), 1e-9);
  s->AddUsage(90.0f);
  f->AddUsage(90.0f);  // skating usage does not wear a facility
  park.GetClock().SetTime(4, 3, 12.0);  // nine days later
  EXPECT_NEAR(s->GetResaleValue(), 700.0 * std::exp(-9.0 / 7.0) * std::exp(-0.5), 1e-9);
  EXPECT_NEAR(f->GetResaleValue(), 700.0 * std::exp(-9.0 / 7.0) * std::exp(-1.0), 1e-9);
  park.GetClock().SetTime(2, 1, 12.0);  // before the purchase: as on the day itself
  EXPECT_NEAR(s->GetResaleValue(), 700.0 * std::exp(-0.5), 1e-9);
  EXPECT_FALSE(Make(1, 6.0f, 6.0f)->HasPopup());
  EXPECT_TRUE(s->HasPopup());
}

// Fractional and negative fees, as the skater, the park and the revenue see them:
// AFeeIsOneValueForTheSkaterTheParkTheConcessionsAndTheRevenue.
TEST_F(Pieces, AFacilityStartsAtTheCatalogFeeAndABrokenFeeIsFree) {
  auto* f = Make<CSkatableFacility>(2, 4.0f, 4.0f);
  EXPECT_EQ(f->GetUseFee(), 2.5f);
  f->SetUseFee(std::nanf(""));
  EXPECT_EQ(f->Use(), 0.0f);
  EXPECT_EQ(f->GetUseCount(), 1u);
  EXPECT_EQ(f->GetRevenue(), 0.0);
}

TEST_F(Pieces, QueriesOverPlacedNodes) {
  CSkatableSection* a = Make(0, 0.0f, 0.0f);
  CSkatableSection* b = Make(0, 0.005f, 0.0f);  // tops share a ring
  CSkatableSection* shop = Make(2, 5.0f, 5.0f);
  // Components as a search would leave them: the entrance and the kickers' rings in 7, the stand in 8.
  for (int i = 0; i < Grid().GetSquareCount(); ++i) Grid().GetSquareByIndex(i)->componentId = 7;
  for (CSkatableSection* piece : {a, b})
    for (const auto& node : piece->GetPathNodes()) node->GetRingRepresentative()->componentId = 7;
  for (const auto& node : shop->GetPathNodes()) node->GetRingRepresentative()->componentId = 8;
  std::vector<CSkatePathNode*> targets;
  CSkatePathNode* entry = Grid().GetSquare(0, 0)->GetRingRepresentative();
  FindTargetNodes(targets, entry, 1);
  ASSERT_EQ(targets.size(), 1u);  // one ring, listed once
  EXPECT_TRUE(targets[0] == a->GetPathNodes()[1].get() || targets[0] == b->GetPathNodes()[1].get());
  targets.clear();
  FindTargetNodes(targets, entry, 9);
  EXPECT_TRUE(targets.empty());  // another component
  shop->GetPathNodes()[1]->componentId = 7;
  FindTargetNodes(targets, entry, 9);
  ASSERT_EQ(targets.size(), 1u);
  EXPECT_EQ(targets[0], shop->GetPathNodes()[1].get());
  entry->componentId = CGraphNode::kNoComponent;
  targets.clear();
  FindTargetNodes(targets, entry, 9);
  EXPECT_TRUE(targets.empty());
  entry->componentId = 7;
  targets.clear();
  FindTargetNodes(targets, entry, 7);
  EXPECT_TRUE(targets.empty());
  std::vector<const SectionLink*> links;
  FindLinksNear(links, Vector3(0.25f, 0.25f, 0.5f), 0.01f, kLinkSkateToTop);
  EXPECT_EQ(links.size(), 2u);  // both pieces' climbs pass through the point
  // Just past the top of a climb it is still near: a link's nearest point stops at its end.
  const SectionLink* climb = links[0];
  const Vector3 top = climb->to->GetPosition() + (climb->to->GetPosition() - climb->from->GetPosition()) * 0.005f;
  links.clear();
  FindLinksNear(links, top, 0.01f, kLinkSkateToTop);
  EXPECT_NE(std::find(links.begin(), links.end(), climb), links.end());
  links.clear();
  FindLinksNear(links, Vector3(0.25f, 0.25f, 0.5f), 0.01f, kLinkGrindLeft);
  EXPECT_TRUE(links.empty());
  // Reference: every candidate of the 3 x 3 squares, connected ones only, nearest first - those no
  // higher than the rise above the position before any others.
  std::vector<CSkatePathNode*> candidates;
  for (int c = 0; c <= 1; ++c)
    for (int r = 0; r <= 1; ++r) candidates.push_back(Grid().GetSquare(c, r));
  for (CSkatableSection* piece : {a, b})
    for (const auto& node : piece->GetPathNodes()) candidates.push_back(node->GetRingRepresentative());
  auto nearest = [&](const Vector3& p, float rise) {
    CSkatePathNode* expected[2] = {nullptr, nullptr};
    float best[2] = {1e30f, 1e30f};
    for (CSkatePathNode* n : candidates) {
      const bool square = !n->IsPieceNode();
      if (square && !Grid().IsCornerWalkable(*static_cast<CGridSquare*>(n))) continue;
      if (!Grid().IsConnected(*n)) continue;
      const Vector3 d = n->GetPosition() - p;
      const float d2 = d.x * d.x + d.y * d.y + d.z * d.z;
      const int k = d.z > rise ? 1 : 0;
      if (d2 < best[k]) best[k] = d2, expected[k] = n;
    }
    return expected[0] != nullptr ? expected[0] : expected[1];
  };
  const Vector3 p(0.45f, 0.5f, 0.9f);
  ASSERT_NE(nearest(p, FLT_MAX), nullptr);
  EXPECT_EQ(FindNearestNode(p), nearest(p, FLT_MAX));  // the top, 0.14 away, before any corner
  // From below it the top is nearest but out of a step's reach: a corner is taken.
  const Vector3 ground(0.5f, 0.5f, 0.4f);
  EXPECT_EQ(FindNearestNode(ground), nearest(ground, FLT_MAX));
  EXPECT_EQ(FindNearestNode(ground, 0.3f), nearest(ground, 0.3f));
  EXPECT_EQ(FindNearestNode(ground, 0.7f), FindNearestNode(ground));  // the top, 0.6 above, within
  // Off the grid the squares along its nearest edge answer, so a skater there can walk back.
  const Vector3 off(-3.0f, 0.5f, 0.0f);
  ASSERT_NE(FindNearestNode(off), nullptr);
  EXPECT_EQ(FindNearestNode(off), nearest(off, FLT_MAX));
}

TEST_F(Pieces, SavedRecordsRoundTripAndRefuseDamage) {
  CSkatableSection* s = Make(0, 1.0f, 2.0f);
  s->Rotate(90.0f);
  s->AddUsage(12.5f);
  s->SetSponsorshipIndex(2);
  auto* f = Make<CSkatableFacility>(2, 4.0f, 4.0f);
  f->Use();
  f->SetUseFee(9.0f);  // the saved fee wins over the catalog's
  uint32_t number = 0;
  s->NumberLinks(number);
  for (CSkatableSection* piece : {static_cast<CSkatableSection*>(s), static_cast<CSkatableSection*>(f)}) {
    const std::vector<uint8_t> saved = SaveOf(*piece);
    const std::vector<uint8_t> gridBlock = SaveOf(Grid());
    const uint32_t id = piece->GetID();
    // Every cut-short record is refused, and refused without leaving anything in the world.
    for (size_t n = 0; n < saved.size(); ++n) {
      ASSERT_EQ(CSkatableSection::LoadRecord(saved.data(), n, nullptr), 0u) << n;
    }
    // The id is taken while the original lives.
    EXPECT_EQ(CSkatableSection::LoadRecord(saved.data(), saved.size(), nullptr), 0u);
    park.RemoveObject(id);
    park.UpdateObjects(0.0f);
    ASSERT_EQ(park.GetObjectByID(id), nullptr);
    // A game loads the grid block (with the squares' rings) before the objects.
    size_t gridRead = 0;
    ASSERT_TRUE(Grid().Load(gridBlock.data(), gridBlock.size(), &gridRead));
    size_t consumed = 0;
    ASSERT_EQ(CSkatableSection::LoadRecord(saved.data(), saved.size(), &consumed), id);
    EXPECT_EQ(consumed, saved.size());
    auto* loaded = dynamic_cast<CSkatableSection*>(park.GetObjectByID(id));
    ASSERT_NE(loaded, nullptr);
    loaded->ResolveNodeLinks();
    Grid().ResolveRings();
    CSkatableSection::CloseLoadedRings();
    loaded->ResolveLinkRecords();
    EXPECT_EQ(loaded->GetPathNodes()[0]->GetRingSize(), 2);
    const std::vector<uint8_t> again = SaveOf(*loaded);
    ASSERT_EQ(again.size(), saved.size());
    for (size_t i = 0; i < saved.size(); ++i) ASSERT_EQ(again[i], saved[i]) << "byte " << i;
    EXPECT_EQ(GetPlacedSectionList().back(), id);
  }
}

TEST_F(Pieces, CorruptRecordsFailCleanly) {
  CSkatableSection* s = Make(0, 1.0f, 2.0f);
  std::vector<uint8_t> saved = SaveOf(*s);
  park.RemoveObject(s->GetID());
  park.UpdateObjects(0.0f);
  const size_t objects = park.GetObjectCount();
  auto refused = [&](std::vector<uint8_t> bad) {
    return CSkatableSection::LoadRecord(bad.data(), bad.size(), nullptr) == 0 && park.GetObjectCount() == objects;
  };
  // Markers: after the fixed fields (1 + 4 + 4 + 4 + 1 + 48 + 2 + 4 + 100 + 8 = 176).
  std::vector<uint8_t> bad = saved;
  bad[176] ^= 1;
  EXPECT_TRUE(refused(bad));
  bad = saved;
  bad[saved.size() - 3 * 20 - 8] ^= 0x80;  // the link marker
  EXPECT_TRUE(refused(bad));
  bad = saved;
  le::WriteU32(&bad[1], 2);  // unknown version
  EXPECT_TRUE(refused(bad));
  bad = saved;
  bad[0] = 2;  // unknown kind
  EXPECT_TRUE(refused(bad));
  bad = saved;
  le::WriteU16(&bad[62], 3999);  // a definition that no longer exists
  EXPECT_TRUE(refused(bad));
  bad = saved;
  le::WriteU32(&bad[180], 0x7FFFFFFF);  // node count past the data
  EXPECT_TRUE(refused(bad));
  // A version-0 record has no sponsorship index and loads with none.
  std::vector<uint8_t> v0(saved.begin(), saved.begin() + 1);
  le::PutU32(v0, 0);
  v0.insert(v0.end(), saved.begin() + 9, saved.end());
  const uint32_t id = CSkatableSection::LoadRecord(v0.data(), v0.size(), nullptr);
  ASSERT_NE(id, 0u);
  EXPECT_EQ(GetPlacedSection(id)->GetSponsorshipIndex(), -1);
}

TEST_F(Pieces, FacilityRecordKeepsItsFeeAndRefusesOtherVersions) {
  auto* f = Make<CSkatableFacility>(2, 4.0f, 4.0f);
  f->SetUseFee(9.0f);
  f->Use();
  const std::vector<uint8_t> saved = SaveOf(*f);
  const uint32_t id = f->GetID();
  park.RemoveObject(id);
  park.UpdateObjects(0.0f);
  catalog.defs[2].useFee = 1.0f;  // the catalog changed since the game was saved
  std::vector<uint8_t> bad = saved;
  le::WriteU32(&bad[saved.size() - 20], 1);  // facility version
  EXPECT_EQ(CSkatableSection::LoadRecord(bad.data(), bad.size(), nullptr), 0u);
  EXPECT_EQ(park.GetObjectByID(id), nullptr);
  ASSERT_EQ(CSkatableSection::LoadRecord(saved.data(), saved.size(), nullptr), id);
  auto* loaded = dynamic_cast<CSkatableFacility*>(park.GetObjectByID(id));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->GetUseFee(), 9.0f);
  EXPECT_EQ(loaded->GetUseCount(), 1u);
  EXPECT_EQ(loaded->GetRevenue(), 9.0);
}

TEST_F(Pieces, TerrainChargesNothingAndIsNeverHeld) {
  auto terrain = std::make_unique<CSkatableSection>();
  CSkatableSection* raw = terrain.get();
  ASSERT_TRUE(raw->InitFromMeshData(COrientation(), kicker.get(), -1, true));
  raw->SetDefinition(&catalog.defs[0], true);
  ASSERT_NE(park.RegisterNewObject(std::move(terrain)), 0u);
  raw->AddUsage(5.0f);
  EXPECT_EQ(raw->GetUsage(), 0.0f);
  const double before = park.GetMoney();
  park.UpdateObjects(10.0f);
  EXPECT_EQ(park.GetMoney(), before);
  raw->PickUp();  // down from the start, the terrain stays down
  EXPECT_FALSE(raw->IsHeld());
}

// --- Debug drawing ---

// The lines a draw reached the back end as: screen ends and colour.
std::vector<std::vector<float>> Lines(const RecordingRasterizer& r) {
  std::vector<std::vector<float>> out;
  for (const RecordingRasterizer::Draw& d : r.draws) {
    if (!d.lines) continue;
    for (size_t i = 0; i + 1 < d.indices.size(); i += 2) {
      const ScreenVertex& a = d.vertices[d.indices[i]];
      const ScreenVertex& b = d.vertices[d.indices[i + 1]];
      out.push_back({a.x, a.y, b.x, b.y, static_cast<float>(a.diffuse >> 8), static_cast<float>(a.diffuse & 0xFF)});
    }
  }
  return out;
}

TEST_F(Pieces, APieceDrawsItsBodyWhileTerrainLeavesItToTheScene) {
  RecordingRasterizer rasterizer(640, 480);
  ViewFrustum camera;
  camera.SetFieldOfView(1.2f);
  camera.SetFar(1000.0f);
  camera.SetFrame(COrientation(TMatrix(), Vector3(-10.0f, 4.0f, 2.0f)));
  CRenderView view;
  view.Setup(&rasterizer, &camera, park.GetFogState(), park.GetLightList(), 1 | 16);
  for (int frame = 0; frame < 2; ++frame)
    ASSERT_TRUE(view.BeginFrame(&camera, CRenderView::FrameViewport::kBackBuffer,
                                CRenderView::FrameBackEnd::kDefault, CRenderView::FrameOutput::kDraw));
  ASSERT_NE(view.GetFrameNumber(), 0u);
  CSkatableSection* piece = Make(0, 5.0f, 1.0f);
  auto terrainOwned = std::make_unique<CSkatableSection>();
  CSkatableSection* terrain = terrainOwned.get();
  COrientation frame;
  frame.SetPosition(Vector3(2.0f, 6.0f, 0.0f));
  ASSERT_TRUE(terrain->InitFromMesh(frame, catalog.defs[0].mesh, true));
  park.RegisterNewObject(std::move(terrainOwned));
  piece->Render(&view);
  terrain->Render(&view);
  EXPECT_EQ(piece->GetDrawnFrame(), view.GetFrameNumber());
  EXPECT_EQ(terrain->GetDrawnFrame(), 0u);
  // A piece still in the hand shows see-through; terrain is never held and stays opaque.
  CSkatableSection* held = Make(0, 8.0f, 1.0f, false);
  EXPECT_FLOAT_EQ(held->GetMeshInstance()->GetAlpha(), 0.5f);
  EXPECT_FLOAT_EQ(terrain->GetMeshInstance()->GetAlpha(), 1.0f);
}

TEST_F(Pieces, AQueueIsWalkedAlongItsLineNodesToTheServicePoint) {
  // The entry offers the queue and, beside it, a counter that is not part of the line.
  auto queue = PieceMesh({{Vector3(0, 0, 0), "skatenode 1 external line link dest=2 type=walk link dest=4 type=walk"},
                          {Vector3(0.3f, 0.3f, 0), "skatenode 2 line link dest=3 type=walk"},
                          {Vector3(0.6f, 0.6f, 0), "skatenode 3 target buy_food action line link dest=1 type=walk"},
                          {Vector3(0.3f, 0.6f, 0), "skatenode 4 target buy_food action link dest=1 type=walk"}});
  catalog.meshes[104] = queue.get();
  catalog.defs[3].mesh = 104;
  CSkatableSection* counter = Make(3, 5.0f, 5.0f);
  const auto& n = counter->GetPathNodes();
  ASSERT_EQ(n.size(), 4u);
  auto owned = std::make_unique<CSkater>();
  CSkater* skater = owned.get();
  park.RegisterNewObject(std::move(owned));
  skater->route.steps.resize(1);
  skater->route.steps[0].nodeId = n[0]->GetNodeId();
  ASSERT_TRUE(skater->ExtendToServicePoint());
  ASSERT_EQ(skater->route.steps.size(), 3u);
  EXPECT_EQ(skater->route.steps[1].nodeId, n[1]->GetNodeId());
  EXPECT_EQ(skater->route.steps[2].nodeId, n[2]->GetNodeId());
}

TEST_F(Pieces, DebugDrawingShowsLinksNodesBoundsAndFlashOfThePark) {
  RecordingRasterizer rasterizer(640, 480);
  ViewFrustum camera;
  camera.SetFieldOfView(1.2f);
  camera.SetFar(1000.0f);
  camera.SetFrame(COrientation(TMatrix(), Vector3(-10.0f, 4.0f, 2.0f)));  // looking along +x at the grid
  CRenderView view;
  view.Setup(&rasterizer, &camera, park.GetFogState(), park.GetLightList(), 1 | 16);
  ASSERT_TRUE(view.BeginFrame(&camera, CRenderView::FrameViewport::kBackBuffer, CRenderView::FrameBackEnd::kDefault,
                              CRenderView::FrameOutput::kDraw));
  // A kicker whose entry and exit stand a square clear of its own, on open ground.
  auto clear = PieceMesh({{Vector3(-1, 0, 0), "skatenode 1 external link dest=2 type=skate_to_top"},
                          {Vector3(0.5f, 0.5f, 1.0f), "skatenode 2 target air link dest=3 type=skate"},
                          {Vector3(2, 0, 0), "skatenode 3 external link dest=1 type=walk"}});
  catalog.meshes[103] = clear.get();
  catalog.defs[3].mesh = 103;
  CSkatableSection* piece = Make(3, 5.0f, 1.0f);
  // Half a square off: nothing joins, so none of its links belong to the park.
  CSkatableSection* loose = Make(0, 1.5f, 5.5f);
  park.UpdateObjects(1.0f);  // the placement flash is over
  Grid().UpdateComponents();
  const auto& n = piece->GetPathNodes();
  auto drawn = [&](CSkatableSection* s) {
    rasterizer.Forget();
    s->Render(&view);
    return Lines(rasterizer);
  };
  auto expected = [&](const std::function<void()>& draw) {
    rasterizer.Forget();
    draw();
    return Lines(rasterizer);
  };
  EXPECT_TRUE(drawn(piece).empty());
  // Links: to the top straight (skate to top), down straight (skate), the walk back raised.
  park.ToggleDebugFlag(CSkatableSection::kDebugLinks);
  const Vector3 lift(0, 0, 0.1f);
  const auto links = expected([&] {
    view.DrawLine3D(n[0]->GetPosition(), n[1]->GetPosition(), 0xFF00FFFFu);
    view.DrawLine3D(n[1]->GetPosition(), n[2]->GetPosition(), 0xFFFFFF00u);
    view.DrawLine3D(n[2]->GetPosition() + lift, n[0]->GetPosition() + lift, 0xFF0000FFu);
  });
  ASSERT_EQ(links.size(), 3u);
  EXPECT_EQ(drawn(piece), links);
  EXPECT_TRUE(drawn(loose).empty());
  park.ToggleDebugFlag(CSkatableSection::kDebugLinks);

  // Nodes: the two joined corners in the ring-of-two colour, the air top by its kind.
  park.ToggleDebugFlag(CSkatableSection::kDebugNodes);
  const Vector3 s(0.1f, 0.1f, 0.1f), l(0.3f, 0.3f, 0.3f);
  const auto nodes = expected([&] {
    DrawDebugBounds(view, Box(n[0]->GetPosition() - s, n[0]->GetPosition() + s), 0xFFFF0000u);
    DrawDebugBounds(view, Box(n[1]->GetPosition() - l, n[1]->GetPosition() + l), 0xFFFF0000u);
    DrawDebugBounds(view, Box(n[2]->GetPosition() - s, n[2]->GetPosition() + s), 0xFFFF0000u);
  });
  ASSERT_EQ(nodes.size(), 36u);
  EXPECT_EQ(drawn(piece), nodes);
  park.ToggleDebugFlag(CSkatableSection::kDebugNodes);

  park.ToggleDebugFlag(CSkatableSection::kDebugBounds);
  EXPECT_EQ(drawn(piece), expected([&] { DrawDebugBounds(view, piece->GetBounds(), 0xFFFFFF00u); }));
  park.ToggleDebugFlag(CSkatableSection::kDebugBounds);

  // The flash marks the joined nodes of the park only, and stops with its timer.
  piece->FlashHighlight(0xFFFFFFFFu);
  loose->FlashHighlight(0xFFFFFFFFu);
  const auto flash = expected([&] {
    DrawDebugCross(view, n[0]->GetPosition(), 0.4f, 0xFFFFFFFFu);
    DrawDebugCross(view, n[2]->GetPosition(), 0.4f, 0xFFFFFFFFu);
  });
  ASSERT_EQ(flash.size(), 6u);
  EXPECT_EQ(drawn(piece), flash);
  EXPECT_TRUE(drawn(loose).empty());
  park.UpdateObjects(0.7f);
  EXPECT_TRUE(drawn(piece).empty());
  view.EndFrame();

  EXPECT_EQ(LinkDebugColour(kLinkAir), 0xFFFF0000u);
  EXPECT_EQ(LinkDebugColour(kLinkGrindRight), 0xFFFF8080u);
  EXPECT_EQ(LinkDebugColour(77), 0u);
  EXPECT_EQ(RingSizeDebugColour(1), 0u);
  EXPECT_EQ(RingSizeDebugColour(5), 0xFF00FF00u);
  EXPECT_EQ(RingSizeDebugColour(9), 0xFF0000FFu);
  EXPECT_EQ(NodeKindDebugColour(12), 0xFFFF00FFu);
  EXPECT_EQ(NodeKindDebugColour(7), 0u);
}

}  // namespace
