// The build grid: coordinates at the edges, occupation, node rings under random joins and
// leaves, the saved grid block, and path searches on random grids against plain Dijkstra.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <queue>
#include <random>
#include <set>
#include <vector>

#include "core/world/GameObject.h"
#include "core/world/WorldAccess.h"
#include "core/data/LittleEndian.h"
#include "park/grid/Grid.h"
#include "park/grid/NodeReserver.h"
#include "park/grid/PathLinkOwner.h"
#include "park/world/VerezIvor.h"
#include "tests/support/TempFolder.h"

namespace {

TEST(Grid, CoordinatesAtEdgesAndOutside) {
  CGrid grid(4, 3, Vector3(10.0f, 20.0f, 1.5f), 1.0f, 1.0f);
  EXPECT_EQ(grid.GetSquareCount(), 12);
  EXPECT_EQ(grid.GetSquare(3, 2)->GetNodeId(), 11u);
  EXPECT_EQ(grid.GetSquare(4, 0), nullptr);
  EXPECT_EQ(grid.GetSquare(0, -1), nullptr);
  EXPECT_EQ(grid.GetSquareByIndex(12), nullptr);
  EXPECT_EQ(grid.GetSquareByIndex(-1), nullptr);
  EXPECT_EQ(grid.GetSquare(2, 1)->GetPosition(), Vector3(12.0f, 21.0f, 1.5f));
  // Floor, not truncation: -0.5 cells lies outside, not in column 0.
  EXPECT_EQ(grid.GetSquareAtFloat(-0.5f, 0.5f), nullptr);
  EXPECT_EQ(grid.GetSquareAtFloat(3.99f, 2.0f), grid.GetSquare(3, 2));
  // 0.6 of a square past a corner is nearer the next corner; 0.6 before the grid is outside.
  EXPECT_EQ(grid.GetSquareNearPoint(11.6f, 20.2f), grid.GetSquare(2, 0));
  EXPECT_EQ(grid.GetSquareNearPoint(11.4f, 20.2f), grid.GetSquare(1, 0));
  EXPECT_EQ(grid.GetSquareNearPoint(9.4f, 20.0f), nullptr);
  EXPECT_EQ(grid.GetSquareClamped(-1000.0f, 1000.0f), grid.GetSquare(0, 2));
  EXPECT_EQ(grid.GetSquareClamped(10.99f, 20.0f), grid.GetSquare(0, 0));
  EXPECT_EQ(grid.GetSquareClamped(std::nanf(""), 20.0f), grid.GetSquare(0, 0));
  EXPECT_EQ(grid.GetSquareNearPoint(std::nanf(""), 20.0f), nullptr);
  const Vector3 c = grid.GetSquareCentre(7);
  EXPECT_EQ(c.x, 13.5f);
  EXPECT_EQ(c.y, 21.5f);
  Vector3 snapped;
  EXPECT_FALSE(grid.SnapToBlock(13.0f, 21.0f, 0, snapped));
  EXPECT_FALSE(grid.SnapToBlock(13.0f, 21.0f, -2, snapped));
  ASSERT_TRUE(grid.SnapToBlock(13.7f, 22.2f, 2, snapped));
  EXPECT_EQ(snapped.x, 12.0f);
  EXPECT_EQ(snapped.y, 22.0f);
  ASSERT_TRUE(grid.SnapToBlock(5.0f, 20.0f, 3, snapped));  // the block at -6 clamps to column 0
  EXPECT_EQ(snapped.x, 10.0f);
  // Sides are clamped into 1..1024.
  CGrid tiny(0, -5, Vector3(), 1.0f, 1.0f);
  EXPECT_EQ(tiny.GetSquareCount(), 1);
  CGrid wide(5000, 1, Vector3(), 1.0f, 1.0f);
  EXPECT_EQ(wide.GetSize().column, CGrid::kMaxSide);
}

TEST(Grid, BlockedCountsPiecesNotTheTerrain) {
  CGrid grid(3, 3, Vector3(), 1.0f, 1.0f);
  CGridSquare* s = grid.GetSquare(1, 1);
  EXPECT_FALSE(s->IsBlocked());
  grid.SetTerrainId(40);
  s->AddObjectId(40);
  EXPECT_FALSE(s->IsBlocked());
  s->AddObjectId(41);
  EXPECT_TRUE(s->IsBlocked());
  EXPECT_EQ(s->GetObjectId(1), 41u);
  EXPECT_EQ(s->GetObjectId(2), CGrid::kNone);
  s->RemoveObjectId(41);
  s->RemoveObjectId(99);
  EXPECT_FALSE(s->IsBlocked());
  // A park whose terrain has no section yet: any listed piece blocks.
  CGrid bare(2, 2, Vector3(), 1.0f, 1.0f);
  bare.GetSquare(0, 0)->AddObjectId(7);
  EXPECT_TRUE(bare.GetSquare(0, 0)->IsBlocked());
  // A corner is walkable only when the four squares around it exist and are free and skateable.
  EXPECT_FALSE(grid.IsCornerWalkable(*grid.GetSquare(0, 1)));
  EXPECT_TRUE(grid.IsCornerWalkable(*grid.GetSquare(1, 1)));
  grid.GetSquare(0, 0)->skateable = 0;
  EXPECT_FALSE(grid.IsCornerWalkable(*grid.GetSquare(1, 1)));
  grid.GetSquare(2, 2)->SetReservingSkaterId(5);
  EXPECT_TRUE(grid.GetSquare(1, 1)->HasReservedNeighbour());
  EXPECT_FALSE(grid.GetSquare(2, 2)->HasReservedNeighbour());
  EXPECT_FALSE(grid.GetSquare(0, 0)->HasReservedNeighbour());
}

// A piece node as the ring operations see it.
struct PieceNode : CSkatePathNode {
  PieceNode(uint32_t owner, bool preference) : preferenceFlag(preference) { SetOwnerPieceId(owner); }
  bool HasRingPreference() const override { return preferenceFlag; }
  bool preferenceFlag;
};

// Walks each ring and checks it is a cycle that holds exactly the expected members.
void ExpectRings(const std::vector<std::unique_ptr<CSkatePathNode>>& nodes, const std::vector<int>& ringOf) {
  std::map<int, int> sizes;
  for (int label : ringOf) ++sizes[label];
  for (size_t i = 0; i < nodes.size(); ++i) {
    ASSERT_EQ(nodes[i]->GetRingSize(), sizes[ringOf[i]]) << i;
    for (size_t j = 0; j < nodes.size(); ++j) ASSERT_EQ(nodes[i]->IsInRingOf(nodes[j].get()), ringOf[i] == ringOf[j]);
  }
}

TEST(Grid, RingsStayCyclesUnderRandomJoinsAndLeaves) {
  std::mt19937 rng(3);
  for (int trial = 0; trial < 50; ++trial) {
    std::vector<std::unique_ptr<CSkatePathNode>> nodes;
    for (int i = 0; i < 12; ++i) nodes.push_back(std::make_unique<CSkatePathNode>());
    std::vector<int> ringOf(nodes.size());
    for (size_t i = 0; i < ringOf.size(); ++i) ringOf[i] = static_cast<int>(i);
    std::uniform_int_distribution<size_t> pick(0, nodes.size() - 1);
    for (int step = 0; step < 60; ++step) {
      const size_t a = pick(rng), b = pick(rng);
      if (rng() % 3 != 0) {
        nodes[a]->JoinRing(nodes[b].get());  // joining a ring it is already in changes nothing
        const int from = ringOf[b], to = ringOf[a];
        for (int& label : ringOf) label = label == from ? to : label;
      } else {
        nodes[a]->LeaveRing();
        ringOf[a] = 1000 + step;
      }
      ExpectRings(nodes, ringOf);
    }
    // Destroying a node keeps its ring closed.
    const size_t gone = pick(rng);
    nodes.erase(nodes.begin() + static_cast<long>(gone));
    ringOf.erase(ringOf.begin() + static_cast<long>(gone));
    ExpectRings(nodes, ringOf);
  }
}

TEST(Grid, RingRepresentativePrefersPiecesWithoutPreferenceThenLowOwner) {
  CGrid grid(2, 2, Vector3(), 1.0f, 1.0f);
  CGridSquare* square = grid.GetSquare(1, 1);
  EXPECT_EQ(square->GetRingRepresentative(), square);
  EXPECT_TRUE(square->IsGridNode());
  grid.GetSquare(0, 0)->JoinRing(square);
  EXPECT_EQ(square->GetRingRepresentative(), square);  // squares only: the asking node
  PieceNode entry(5, true), inner(9, false), low(3, false);
  square->JoinRing(&entry);
  EXPECT_EQ(square->GetRingRepresentative(), &entry);
  square->JoinRing(&inner);
  square->JoinRing(&low);
  for (CSkatePathNode* from : std::vector<CSkatePathNode*>{square, &entry, &inner, &low})
    EXPECT_EQ(from->GetRingRepresentative(), &low);
  EXPECT_TRUE(low.IsGridNode());
  square->LeaveRing();
  grid.GetSquare(0, 0)->LeaveRing();
  EXPECT_FALSE(low.IsGridNode());
}

// A skater as far as a node's reservation goes.
struct Holder : CGameObject, CNodeReserver {
  Holder() { SetFlags(kNetworked); }
  void ReleaseReservedNode(uint32_t nodeId) override { released.push_back(nodeId); }
  std::vector<uint32_t> released;
};

TEST(Grid, DestroyedNodeReleasesItsReservation) {
  CVerezIvor park(nullptr, nullptr);
  const uint32_t id = park.RegisterNewObject(std::make_unique<Holder>());
  auto* holder = dynamic_cast<Holder*>(park.GetObjectByID(id));
  ASSERT_NE(holder, nullptr);
  {
    CSkatePathNode node;
    node.SetNodeId(77);
    node.SetReservingSkaterId(id);
  }
  {
    CSkatePathNode node;  // a holder that is gone is skipped
    node.SetReservingSkaterId(id + 100);
  }
  EXPECT_EQ(holder->released, std::vector<uint32_t>{77});
}

void FillRandomly(CGrid& grid, std::mt19937& rng) {
  grid.SetTerrainId(1);
  for (int i = 0; i < grid.GetSquareCount(); ++i) {
    CGridSquare* s = grid.GetSquareByIndex(i);
    s->AddObjectId(1);
    if (rng() % 4 == 0) s->AddObjectId(100 + static_cast<uint32_t>(rng() % 5));
    s->nearPiece = static_cast<uint8_t>(rng() % 2);
    if (rng() % 7 == 0) s->SetReservingSkaterId(static_cast<uint32_t>(rng() % 50));
  }
  for (int k = 0; k < grid.GetSquareCount() / 3; ++k)
    grid.GetSquareByIndex(static_cast<int>(rng() % static_cast<unsigned>(grid.GetSquareCount())))
        ->JoinRing(grid.GetSquareByIndex(static_cast<int>(rng() % static_cast<unsigned>(grid.GetSquareCount()))));
}

void ExpectSameSquares(const CGrid& a, const CGrid& b) {
  for (int i = 0; i < a.GetSquareCount(); ++i) {
    const CGridSquare* x = a.GetSquareByIndex(i);
    const CGridSquare* y = b.GetSquareByIndex(i);
    ASSERT_EQ(x->GetObjectIds(), y->GetObjectIds()) << i;
    ASSERT_EQ(x->nearPiece, y->nearPiece);
    ASSERT_EQ(x->GetReservingSkaterId(), y->GetReservingSkaterId());
    ASSERT_EQ(x->GetRingNext()->GetNodeId(), y->GetRingNext()->GetNodeId()) << i;
  }
}

TEST(Grid, SavedBlockRoundTripsAndRefusesEveryCutPrefix) {
  std::mt19937 rng(11);
  CGrid grid(9, 7, Vector3(), 1.0f, 1.0f);
  FillRandomly(grid, rng);
  std::vector<uint8_t> block;
  grid.Save(block);
  block.push_back(0xAB);  // the next block of the saved game
  CGrid loaded(9, 7, Vector3(), 1.0f, 1.0f);
  size_t consumed = 0;
  ASSERT_TRUE(loaded.Load(block.data(), block.size(), &consumed));
  EXPECT_EQ(consumed, block.size() - 1);
  loaded.ResolveRings();
  ExpectSameSquares(grid, loaded);
  testing_support::DebugCapture capture;
  for (size_t cut = 0; cut + 1 < block.size(); ++cut) {
    CGrid victim(9, 7, Vector3(), 1.0f, 1.0f);
    ASSERT_FALSE(victim.Load(block.data(), cut, &consumed)) << cut;
    for (int i = 0; i < victim.GetSquareCount(); ++i) ASSERT_TRUE(victim.GetSquareByIndex(i)->GetObjectIds().empty());
  }
  // Random damage never crashes, and every ring ends closed.
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<uint8_t> bad = block;
    for (int k = 0; k < 4; ++k) bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
    CGrid victim(9, 7, Vector3(), 1.0f, 1.0f);
    if (victim.Load(bad.data(), bad.size(), &consumed)) victim.ResolveRings();
    for (int i = 0; i < victim.GetSquareCount(); ++i)
      ASSERT_LE(victim.GetSquareByIndex(i)->GetRingSize(), victim.GetSquareCount());
  }
}

std::vector<uint8_t> Version0Block(const std::vector<uint32_t>& ringIds) {
  std::vector<uint8_t> block;
  le::PutU32(block, 0);
  for (uint32_t ring : ringIds) {
    le::PutU32(block, ring);
    block.push_back(1);
    le::PutU32(block, 0xFFFFFFFFu);
    le::PutU32(block, 2);
    le::PutU32(block, 1);
    le::PutU32(block, ring + 50);
  }
  return block;
}

TEST(Grid, Version0BlocksAndRingsThatDoNotClose) {
  CGrid grid(2, 2, Vector3(), 1.0f, 1.0f);
  // 0 -> 1 -> 0 closes; 2 names a node that does not exist; 3 -> 0 runs into a ring it is not part of.
  const std::vector<uint8_t> block = Version0Block({1, 0, 900, 0});
  size_t consumed = 0;
  testing_support::DebugCapture capture;
  ASSERT_TRUE(grid.Load(block.data(), block.size(), &consumed));
  EXPECT_EQ(consumed, block.size());
  grid.ResolveRings();
  EXPECT_EQ(grid.GetSquareByIndex(0)->GetRingNext(), grid.GetSquareByIndex(1));
  EXPECT_EQ(grid.GetSquareByIndex(1)->GetRingNext(), grid.GetSquareByIndex(0));
  EXPECT_EQ(grid.GetSquareByIndex(2)->GetRingSize(), 1);
  EXPECT_EQ(grid.GetSquareByIndex(3)->GetRingSize(), 1);
  EXPECT_EQ(grid.GetSquareByIndex(3)->GetObjectIds(), (std::vector<uint32_t>{1, 50}));
  EXPECT_TRUE(grid.GetSquareByIndex(3)->IsBlocked());
  // A version 1 block with more records than the grid: the extra ones are read past, not applied.
  CGrid big(3, 2, Vector3(), 1.0f, 1.0f);
  std::vector<uint8_t> saved;
  big.Save(saved);
  CGrid small(2, 2, Vector3(), 1.0f, 1.0f);
  ASSERT_TRUE(small.Load(saved.data(), saved.size(), &consumed));
  EXPECT_EQ(consumed, saved.size());
  // Unknown versions and absurd id counts are refused.
  std::vector<uint8_t> future = saved;
  le::WriteU32(future.data(), 2);
  EXPECT_FALSE(small.Load(future.data(), future.size(), &consumed));
  EXPECT_EQ(consumed, 4u);
  std::vector<uint8_t> huge = saved;
  le::WriteU32(huge.data() + 8 + 9, 0x40000000u);
  EXPECT_FALSE(small.Load(huge.data(), huge.size(), &consumed));
}

// Plain Dijkstra over the grid's own successors and edge costs.
float ReferenceCost(CGrid& grid, CSkatePathNode* start, CSkatePathNode* goal) {
  std::map<CGraphNode*, float> dist;
  using Item = std::pair<float, CGraphNode*>;
  std::priority_queue<Item, std::vector<Item>, std::greater<Item>> open;
  dist[start] = 0.0f;
  open.push({0.0f, start});
  while (!open.empty()) {
    const auto [d, node] = open.top();
    open.pop();
    if (d > dist[node]) continue;
    if (node == goal) return d;
    SuccessorList next;
    grid.GetSuccessors(node, next);
    for (const GraphStep& s : next) {
      const float nd = d + grid.EdgeCost(node, s.node, s.edge);
      auto it = dist.find(s.node);
      if (it == dist.end() || nd < it->second) {
        dist[s.node] = nd;
        open.push({nd, s.node});
      }
    }
  }
  return -1.0f;
}

TEST(Grid, SearchOnRandomGridsStaysWithinFourTimesTheOptimum) {
  std::mt19937 rng(5);
  const PathSkills skills{0.3f, 0.2f, 0.5f, 0.1f};
  for (int trial = 0; trial < 40; ++trial) {
    CGrid grid(12, 10, Vector3(0.0f, 0.0f, 0.0f), 1.0f, 1.0f);
    grid.SetTerrainId(1);
    for (int i = 0; i < grid.GetSquareCount(); ++i) {
      CGridSquare* s = grid.GetSquareByIndex(i);
      s->directionMask = 0xFF;
      s->grass = rng() % 5 == 0;
      s->AddObjectId(1);
      if (rng() % 6 == 0) s->AddObjectId(2);
      s->SetPosition(s->GetPosition() + Vector3(0.0f, 0.0f, static_cast<float>(rng() % 3) * 0.25f));
    }
    for (int q = 0; q < 10; ++q) {
      CSkatePathNode* a = grid.GetSquareByIndex(static_cast<int>(rng() % 120));
      CSkatePathNode* b = grid.GetSquareByIndex(static_cast<int>(rng() % 120));
      const float optimum = ReferenceCost(grid, a, b);
      GraphPath path;
      const bool found = grid.FindPathForSkater(&skills, a, b, &path);
      // The reference ran without the skater: costs with zero skills are never below.
      ASSERT_EQ(found, optimum >= 0.0f);
      if (!found) continue;
      float cost = 0.0f;
      for (size_t i = 0; i + 1 < path.size(); ++i)
        cost += grid.EdgeCost(path[i + 1].node, path[i].node, path[i].edge);
      EXPECT_GE(cost, optimum - 1e-3f);
      EXPECT_LE(cost, 4.0f * optimum + 1e-3f);
    }
  }
}

TEST(Grid, EdgeCostsFollowTheLinkKindAndTheSkills) {
  CGrid grid(3, 3, Vector3(), 1.0f, 1.0f);
  CSkatePathNode* a = grid.GetSquare(0, 0);
  CSkatePathNode* b = grid.GetSquare(2, 1);  // distance 2 + 0.25
  const float dist = 2.25f;
  EXPECT_FLOAT_EQ(grid.EdgeCost(a, b, &grid.GetPlainEdge()), 1.2f * dist);  // no skater: zero skills
  EXPECT_FLOAT_EQ(grid.EdgeCost(a, b, &grid.GetGrassEdge()), 2.0f * dist);
  const PathEdgeInfo grindEasy{0.0f, kLinkGrindLeft, 0}, grindHard{1.0f, kLinkGrindRight, 0};
  EXPECT_FLOAT_EQ(grid.EdgeCost(a, b, &grindEasy), grid.EdgeCost(a, b, &grindHard));
  EXPECT_FLOAT_EQ(grid.EdgeCost(a, b, &grindEasy), 2.0f * dist);
  const PathEdgeInfo air{0.9f, kLinkAir, 0}, freeAir{0.4f, kLinkFreeAir, 0}, other{0.3f, 77, 0};
  EXPECT_FLOAT_EQ(grid.EdgeCost(a, b, &air), 1.9f * dist);
  EXPECT_FLOAT_EQ(grid.EdgeCost(a, b, &freeAir), 1.4f * dist);
  EXPECT_FLOAT_EQ(grid.EdgeCost(a, b, &other), 1.3f * dist);
  EXPECT_FLOAT_EQ(grid.Heuristic(a, b), 4.0f * dist);
  // A skilled skater: the search sees the skills only while it runs.
  grid.GetSquare(0, 0)->directionMask = 0xFF;
  grid.GetSquare(1, 1)->directionMask = 0xFF;
  const PathSkills skilled{0.9f, 0.0f, 1.0f, 1.0f};
  GraphPath path;
  ASSERT_TRUE(grid.FindPathForSkater(&skilled, grid.GetSquare(0, 0), grid.GetSquare(2, 2), &path));
  EXPECT_EQ(path.size(), 3u);  // two diagonal steps
  EXPECT_FLOAT_EQ(grid.GetSquare(2, 2)->costSoFar, 2.0f * 1.25f);
  EXPECT_FLOAT_EQ(grid.EdgeCost(a, b, &air), 1.9f * dist);  // back to zero skills
}

// The moves out of the corner of square (c, r) worked out from the geometry alone, sorted. A
// straight move walks the edge between two cells, which must be free, and the pairs of cells at
// either end of that edge must be alike; a diagonal move crosses one cell and needs the 3 x 3
// block around it free, bar the two cells lying on its line beyond. Cells off the grid are free;
// the corner moved to must be in it.
std::vector<std::pair<uint32_t, bool>> GeometricMoves(const CGrid& grid, int c, int r) {
  auto blocked = [&grid](int x, int y) {
    const CGridSquare* s = grid.GetSquare(x, y);
    return s != nullptr && s->IsBlocked();
  };
  std::vector<std::pair<uint32_t, bool>> out;
  for (int dr = -1; dr <= 1; ++dr)
    for (int dc = -1; dc <= 1; ++dc) {
      const CGridSquare* target = grid.GetSquare(c + dc, r + dr);
      if ((dc == 0 && dr == 0) || target == nullptr) continue;
      const int x = c + std::min(dc, 0), y = r + std::min(dr, 0);  // the cell beside or crossed
      bool open = true;
      if (dc == 0 || dr == 0) {
        const int sx = dr != 0 ? 1 : 0, sy = dc != 0 ? 1 : 0;  // across the edge
        open = !blocked(x, y) && !blocked(x - sx, y - sy) &&
               blocked(x + dc, y + dr) == blocked(x + dc - sx, y + dr - sy) &&
               blocked(x - dc, y - dr) == blocked(x - dc - sx, y - dr - sy);
      } else {
        for (int j = -1; j <= 1; ++j)
          for (int i = -1; i <= 1; ++i)
            if ((i != dc || j != dr) && (i != -dc || j != -dr)) open = open && !blocked(x + i, y + j);
      }
      if (open) out.push_back({target->GetNodeId(), (dc == 0 || dr == 0) && target->grass != 0});
    }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(Grid, SuccessorsNeedClearCellsBesideTheMove) {
  CGrid grid(5, 5, Vector3(), 1.0f, 1.0f);
  CGridSquare* s = grid.GetSquare(2, 2);
  s->directionMask = 0xFF;
  SuccessorList out;
  grid.GetSuccessors(s, out);
  EXPECT_EQ(out.size(), 8u);
  // A piece on P1 of the move up (cell (1, 2)) stops it; P3 alone (1, 3) unbalances the pair.
  grid.GetSquare(1, 3)->AddObjectId(9);
  out.clear();
  grid.GetSuccessors(s, out);
  std::set<const CGraphNode*> targets;
  for (const GraphStep& step : out) targets.insert(step.node);
  EXPECT_EQ(targets.count(grid.GetSquare(2, 3)), 0u);
  EXPECT_EQ(targets.count(grid.GetSquare(1, 3)), 0u);  // the diagonal through the blocked cell
  EXPECT_EQ(targets.count(grid.GetSquare(3, 2)), 1u);
  grid.GetSquare(2, 3)->grass = 1;
  grid.GetSquare(1, 3)->RemoveObjectId(9);
  out.clear();
  grid.GetSuccessors(s, out);
  bool grassStep = false;
  for (const GraphStep& step : out) grassStep |= step.node == grid.GetSquare(2, 3) && step.edge == &grid.GetGrassEdge();
  EXPECT_TRUE(grassStep);

  // Every square's moves, those of the edge columns and rows above all, against the geometry: a
  // square of the last column keeps its moves into the next row and none wraps round into the
  // first column. The first grid is open; then random pieces.
  std::mt19937 rng(17);
  for (int trial = 0; trial < 60; ++trial) {
    CGrid g(7, 5, Vector3(), 1.0f, 1.0f);
    for (int i = 0; i < g.GetSquareCount(); ++i) {
      CGridSquare* square = g.GetSquareByIndex(i);
      square->directionMask = 0xFF;
      square->grass = rng() % 4 == 0;
      if (trial > 0 && rng() % 5 == 0) square->AddObjectId(9 + rng() % 2);
    }
    for (int i = 0; i < g.GetSquareCount(); ++i) {
      SuccessorList next;
      g.GetSuccessors(g.GetSquareByIndex(i), next);
      std::vector<std::pair<uint32_t, bool>> moves;
      for (const GraphStep& step : next)
        moves.push_back({static_cast<CSkatePathNode*>(step.node)->GetNodeId(), step.edge == &g.GetGrassEdge()});
      std::sort(moves.begin(), moves.end());
      ASSERT_EQ(moves, GeometricMoves(g, i % 7, i / 7)) << "trial " << trial << " square " << i;
    }
  }
}

// The grid keeps each square's clear moves between searches: after any change of the occupation
// (a piece listed or lifted, lists replaced, the terrain's section changed), every square's
// successors are those of a fresh grid with the same lists, to the edge and the last square.
TEST(Grid, SuccessorsFollowEveryChangeOfOccupation) {
  std::mt19937 rng(9);
  const int columns = 7, rows = 5;
  CGrid grid(columns, rows, Vector3(), 1.0f, 1.0f);
  std::vector<std::vector<uint32_t>> lists(static_cast<size_t>(columns * rows));
  uint32_t terrain = 1;
  grid.SetTerrainId(terrain);
  auto successors = [](CGrid& g, int i) {
    SuccessorList out;
    g.GetSuccessors(g.GetSquareByIndex(i), out);
    std::vector<std::pair<uint32_t, bool>> steps;
    for (const GraphStep& step : out)
      steps.push_back({static_cast<CSkatePathNode*>(step.node)->GetNodeId(), step.edge == &g.GetGrassEdge()});
    return steps;
  };
  auto open = [](CGridSquare* square, int k) {
    square->directionMask = 0xFF;
    square->grass = k % 3 == 0;
  };
  for (int k = 0; k < grid.GetSquareCount(); ++k) open(grid.GetSquareByIndex(k), k);
  for (int change = 0; change < 400; ++change) {
    const int i = static_cast<int>(rng() % lists.size());
    CGridSquare* square = grid.GetSquareByIndex(i);
    std::vector<uint32_t>& list = lists[static_cast<size_t>(i)];
    switch (rng() % 4) {
      case 0:
        list.push_back(2 + rng() % 3);
        square->AddObjectId(list.back());
        break;
      case 1:
        if (!list.empty()) {
          square->RemoveObjectId(list.front());
          list.erase(list.begin());
        }
        break;
      case 2:
        list = rng() % 2 ? std::vector<uint32_t>{terrain} : std::vector<uint32_t>{3};
        square->SetObjectIds(list);
        break;
      default:
        terrain = rng() % 2 ? 1 : 3;
        grid.SetTerrainId(terrain);
        break;
    }
    CGrid fresh(columns, rows, Vector3(), 1.0f, 1.0f);
    fresh.SetTerrainId(terrain);
    for (int k = 0; k < grid.GetSquareCount(); ++k) {
      open(fresh.GetSquareByIndex(k), k);
      fresh.GetSquareByIndex(k)->SetObjectIds(lists[static_cast<size_t>(k)]);
    }
    for (int k = 0; k < grid.GetSquareCount(); ++k)
      ASSERT_EQ(successors(grid, k), successors(fresh, k)) << change << " " << k;
  }
}

// A placed piece with one link: from its node `from` to its node `to`.
struct LinkPiece : CGameObject, CPathLinkOwner {
  LinkPiece() : from(0, true), to(0, true) { SetFlags(kNetworked); }
  void AppendLinkSuccessors(const CSkatePathNode* node, SuccessorList& out) override {
    if (node->IsInRingOf(&from)) out.push_back(GraphStep{to.GetRingRepresentative(), &link});
  }
  CSkatePathNode* FindPathNode(uint32_t) override { return nullptr; }
  PieceNode from, to;
  PathEdgeInfo link{0.5f, kLinkAir, 0};
};

TEST(Grid, PieceLinksJoinSquaresTheGridDoesNotJoin) {
  CVerezIvor park(nullptr, nullptr);
  const uint32_t id = park.RegisterNewObject(std::make_unique<LinkPiece>());
  auto* piece = dynamic_cast<LinkPiece*>(park.GetObjectByID(id));
  ASSERT_NE(piece, nullptr);
  piece->from.SetOwnerPieceId(id);
  piece->to.SetOwnerPieceId(id);
  CGrid grid(4, 1, Vector3(), 1.0f, 1.0f);  // no square allows a move: only the link crosses
  CGridSquare* start = grid.GetSquare(0, 0);
  CGridSquare* end = grid.GetSquare(3, 0);
  start->JoinRing(&piece->from);
  end->JoinRing(&piece->to);
  // From the square, its ring's piece node offers the link, landing on the far ring.
  SuccessorList out;
  grid.GetSuccessors(start, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].node, &piece->to);
  EXPECT_EQ(out[0].edge, &piece->link);
  GraphPath path;
  const PathSkills skills{0.0f, 0.0f, 0.0f, 0.0f};
  ASSERT_TRUE(grid.FindPathForSkater(&skills, start, &piece->to, &path));
  EXPECT_EQ(path.size(), 2u);
  start->LeaveRing();
  end->LeaveRing();
}

TEST(Grid, ConnectedMeansTheFirstEntrancesComponent) {
  CGrid grid(4, 1, Vector3(), 1.0f, 1.0f);
  for (int c = 0; c < 4; ++c) grid.GetSquare(c, 0)->directionMask = 0x0C;  // left and right
  EXPECT_FALSE(grid.IsConnected(*grid.GetSquare(0, 0)));  // no entrance
  grid.GetSquare(0, 0)->entrance = 1;
  grid.CollectGates();
  EXPECT_FALSE(grid.IsConnected(*grid.GetSquare(0, 0)));  // not computed yet
  grid.UpdateComponents();
  for (int c = 0; c < 4; ++c) EXPECT_TRUE(grid.IsConnected(*grid.GetSquare(c, 0))) << c;
  grid.GetSquare(3, 0)->directionMask = 0x00;  // a one-way dead end: its own component
  grid.UpdateComponents();
  EXPECT_TRUE(grid.IsConnected(*grid.GetSquare(2, 0)));
  EXPECT_FALSE(grid.IsConnected(*grid.GetSquare(3, 0)));
}

TEST(GridCache, RoundTripsAndRefusesCutOrForeignBodies) {
  std::mt19937 rng(23);
  CGrid grid(6, 5, Vector3(1.0f, 2.0f, 3.0f), 1.0f, 1.0f);
  for (int i = 0; i < grid.GetSquareCount(); ++i) {
    CGridSquare* s = grid.GetSquareByIndex(i);
    s->grass = rng() % 2;
    s->buildable = rng() % 2;
    s->skateable = rng() % 2;
    s->entrance = rng() % 9 == 0;
    s->exit = rng() % 9 == 0;
    s->flat = rng() % 2;
    s->directionMask = static_cast<uint8_t>(rng());
    s->centre = Vector3(static_cast<float>(rng() % 100) / 7.0f, 1.0f, -2.5f);
    s->SetPosition(s->GetPosition() + Vector3(0.0f, 0.0f, static_cast<float>(rng() % 10) * 0.1f));
  }
  std::vector<uint8_t> body;
  grid.WriteCache(body);
  ASSERT_EQ(body.size(), 12u + 30u * 31u);
  CGrid copy(6, 5, Vector3(1.0f, 2.0f, 3.0f), 1.0f, 1.0f);
  ASSERT_TRUE(copy.ReadCache(body.data(), body.size()));
  size_t entrances = 0;
  for (int i = 0; i < grid.GetSquareCount(); ++i) {
    const CGridSquare* a = grid.GetSquareByIndex(i);
    const CGridSquare* b = copy.GetSquareByIndex(i);
    EXPECT_EQ(a->grass, b->grass);
    EXPECT_EQ(a->buildable, b->buildable);
    EXPECT_EQ(a->skateable, b->skateable);
    EXPECT_EQ(a->exit, b->exit);
    EXPECT_EQ(a->flat, b->flat);
    EXPECT_EQ(a->directionMask, b->directionMask);
    EXPECT_EQ(a->centre.x, b->centre.x);
    EXPECT_EQ(a->centre.z, b->centre.z);
    EXPECT_EQ(a->GetPosition().z, b->GetPosition().z);
    entrances += a->entrance;
  }
  EXPECT_EQ(copy.GetEntrances().size(), entrances);
  testing_support::DebugCapture capture;
  CGrid victim(6, 5, Vector3(), 1.0f, 1.0f);
  for (size_t cut = 0; cut < body.size(); ++cut) ASSERT_FALSE(victim.ReadCache(body.data(), cut)) << cut;
  std::vector<uint8_t> longer = body;
  longer.push_back(0);
  EXPECT_FALSE(victim.ReadCache(longer.data(), longer.size()));
  for (uint32_t version : {2u, 30u, 31u}) {
    std::vector<uint8_t> odd = body;
    le::WriteU32(odd.data(), version);
    EXPECT_FALSE(victim.ReadCache(odd.data(), odd.size())) << version;
  }
  CGrid other(5, 6, Vector3(), 1.0f, 1.0f);
  EXPECT_FALSE(other.ReadCache(body.data(), body.size()));
  for (int i = 0; i < victim.GetSquareCount(); ++i) ASSERT_EQ(victim.GetSquareByIndex(i)->buildable, 1);
  // Version 0: the same records without the grass byte.
  std::vector<uint8_t> v0(body.begin(), body.begin() + 12);
  le::WriteU32(v0.data(), 0);
  for (int i = 0; i < grid.GetSquareCount(); ++i)
    v0.insert(v0.end(), body.begin() + 12 + i * 31 + 1, body.begin() + 12 + (i + 1) * 31);
  CGrid old(6, 5, Vector3(), 1.0f, 1.0f);
  ASSERT_TRUE(old.ReadCache(v0.data(), v0.size()));
  EXPECT_EQ(old.GetSquareByIndex(29)->directionMask, grid.GetSquareByIndex(29)->directionMask);
  EXPECT_EQ(old.GetSquareByIndex(29)->grass, 0);
}

}  // namespace
