// Swept sphere trees: the tree walk against every shape agrees with sweeping each leaf on its own
// (time, whole hit record and which leaf), the cached centres follow the stamps, and the bounds.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

#include "physics/collision/BeamInfo.h"
#include "physics/collision/SphereTree.h"
#include "physics/collision/SphereTreeSweep.h"
#include "physics/polyhedron/BeamArrayIntersector.h"
#include "tests/physics/PhysicsTestUtil.h"

using physics_test::RandomPoint;
using physics_test::Uniform;

namespace {

// Leaves at most `depth` levels down, scattered round the origin; inner nodes fitted round their
// children, so every node's sphere holds its subtree.
void RandomTree(SphereTreeNode& n, int depth) {
  if (depth == 0 || plat::rand() % 5 == 0) {
    n.centre = RandomPoint(1.5f);
    n.radius = Uniform(0.05f, 0.4f);
    return;
  }
  n.AllocateChildren(1 + plat::rand() % 4);
  for (uint32_t i = 0; i < n.childCount; ++i) RandomTree(n.children[i], depth - 1);
  n.FitToChildren();
}

COrientation RandomPose(const Vector3& near) {
  COrientation pose(TMatrix(), near + RandomPoint(1.0f));
  Vector3 axis = RandomPoint(1.0f);
  if (axis.Length() < 0.01f) axis = Vector3(0, 0, 1);
  pose.RotateAboutWorldAxis(axis * (1.0f / axis.Length()), Uniform(-3.14f, 3.14f));
  return pose;
}

struct Leaf {
  const SphereTreeNode* model;
  const SphereTreeNode* start;
};

// Leaves in breadth-first order, the order in which the walk meets them.
std::vector<Leaf> LeavesBreadthFirst(const SphereTreeNode& model, const SphereTreeNode& start) {
  std::vector<std::pair<const SphereTreeNode*, const SphereTreeNode*>> queue{{&model, &start}};
  std::vector<Leaf> leaves;
  for (size_t i = 0; i < queue.size(); ++i) {
    const auto [m, s] = queue[i];
    if (m->childCount == 0) leaves.push_back({m, s});
    for (uint32_t c = 0; c < m->childCount; ++c) queue.push_back({&m->children[c], &s->children[c]});
  }
  return leaves;
}

struct Expected {
  const Leaf* leaf = nullptr;
  BeamInfo beam;
};

// Every leaf swept on its own from its place at pose a to its place at pose b; the strictly
// earliest hit wins.
Expected BruteForce(const std::vector<Leaf>& leaves, const COrientation& a, const COrientation& b, uint32_t mode,
                    BeamIntersectedObject& shape) {
  Expected best;
  for (const Leaf& leaf : leaves) {
    BeamInfo beam(a.LocalToWorldPoint(leaf.model->centre), b.LocalToWorldPoint(leaf.model->centre),
                  leaf.model->radius);
    beam.mode = mode;
    if (shape.Apply(beam) && (!best.leaf || beam.result.time < best.beam.result.time)) {
      best.leaf = &leaf;
      best.beam = beam;
    }
  }
  return best;
}

void ExpectSameHit(const SphereTreeSweep& sweep, const Expected& want, int round) {
  ASSERT_EQ(sweep.BestStart(), want.leaf->start) << "round " << round;
  EXPECT_EQ(sweep.result.time, want.beam.result.time) << "round " << round;
  EXPECT_EQ(sweep.result.point, want.beam.result.point) << "round " << round;
  EXPECT_EQ(sweep.result.u, want.beam.result.u) << "round " << round;
  EXPECT_EQ(sweep.result.v, want.beam.result.v) << "round " << round;
  EXPECT_EQ(sweep.normal, want.beam.normal) << "round " << round;
}

enum class Shape { kBox, kPolygon, kTwoSided, kSphere };

void CompareWithLeafSweeps(Shape kind) {
  plat::srand(17 + static_cast<unsigned>(kind));
  int hits = 0, misses = 0;
  for (int round = 0; round < 300; ++round) {
    SphereTreeNode model;
    RandomTree(model, 3);
    std::unique_ptr<SphereTreeNode> start = SphereTree::Build(&model, nullptr);
    std::unique_ptr<SphereTreeNode> end = SphereTree::Build(&model, nullptr);
    const COrientation a = RandomPose(Vector3(-2.5f, 0, 0)), b = RandomPose(Vector3(2.5f, 0, 0));
    SphereTreeSweep sweep(&model, a, 7, start.get(), b, 8, end.get());
    sweep.mode = round % 3 == 0 ? QueryMode::kDetails | QueryMode::kStartOverlap : QueryMode::kDetails;
    const std::vector<Leaf> leaves = LeavesBreadthFirst(model, *start);

    const Vector3 p = RandomPoint(1.0f), q = p + RandomPoint(2.5f), r = p + RandomPoint(2.5f);
    Vector3 n = (q - p).Cross(r - p);
    if (n.Length() < 1e-3f) continue;
    n = n * (1.0f / n.Length());
    const Box box(p - Vector3(0.3f, 0.6f, 0.9f), p + Vector3(0.3f, 0.6f, 0.9f));
    const float radius = Uniform(0.1f, 0.8f);
    std::unique_ptr<BeamIntersectedObject> shape;
    bool hit = false;
    switch (kind) {
      case Shape::kBox:
        shape = std::make_unique<BeamBoxIntersector>(box);
        hit = sweep.IntersectBox(box);
        break;
      case Shape::kPolygon:
        shape = std::make_unique<BeamPolyIntersector>(p, q, r, n);
        hit = sweep.IntersectPolygon(p, q, r, n, false, nullptr);
        break;
      case Shape::kTwoSided:
        shape = std::make_unique<BeamPoly2SidedIntersector>(p, q, r, n);
        hit = sweep.IntersectTriangle(p, q, r, n, false, nullptr);
        break;
      case Shape::kSphere:
        shape = std::make_unique<BeamSphereIntersector>(p, radius);
        hit = sweep.IntersectSphere(p, radius);
        break;
    }
    const Expected want = BruteForce(leaves, a, b, sweep.mode, *shape);
    ASSERT_EQ(hit, want.leaf != nullptr) << "round " << round;
    if (hit) {
      ExpectSameHit(sweep, want, round);
      ++hits;
    } else {
      EXPECT_EQ(FLT_MAX, sweep.result.time);
      EXPECT_EQ(nullptr, sweep.BestStart());
      ++misses;
    }
  }
  // Both outcomes must be well represented for the comparison to mean anything.
  EXPECT_GT(hits, 60);
  EXPECT_GT(misses, 20);
}

}  // namespace

TEST(SphereTreeSweep, BoxHitMatchesTheEarliestLeafSweep) { CompareWithLeafSweeps(Shape::kBox); }
TEST(SphereTreeSweep, OneSidedPolygonHitMatchesTheEarliestLeafSweep) { CompareWithLeafSweeps(Shape::kPolygon); }
TEST(SphereTreeSweep, TwoSidedPolygonHitMatchesTheEarliestLeafSweep) { CompareWithLeafSweeps(Shape::kTwoSided); }
TEST(SphereTreeSweep, SphereHitMatchesTheEarliestLeafSweep) { CompareWithLeafSweeps(Shape::kSphere); }

TEST(SphereTreeSweep, CachedCentresFollowThePoseStamps) {
  // Two unit leaves at x = -2 and x = +2, swept straight down onto a sphere under the right one.
  SphereTreeNode model;
  model.AllocateChildren(2);
  model.children[0].centre = Vector3(-2, 0, 0);
  model.children[1].centre = Vector3(2, 0, 0);
  model.children[0].radius = model.children[1].radius = 1.0f;
  model.FitToChildren();
  std::unique_ptr<SphereTreeNode> start = SphereTree::Build(&model, nullptr);
  std::unique_ptr<SphereTreeNode> end = SphereTree::Build(&model, nullptr);
  const COrientation high(TMatrix(), Vector3(0, 0, 10)), low(TMatrix(), Vector3(0, 0, 0));
  SphereTreeSweep down(&model, high, 3, start.get(), low, 4, end.get());
  ASSERT_TRUE(down.IntersectSphere(Vector3(2, 0, 0), 1.0f));
  // Centres meet at distance 2: from z = 10 to z = 0 that is 0.8 of the way.
  EXPECT_NEAR(0.8f, down.result.time, 1e-5f);
  EXPECT_EQ(&start->children[1], down.BestStart());
  EXPECT_EQ(&end->children[1], down.BestEnd());

  // Same stamps, other poses: the walk trusts the cached centres and finds the same hit.
  const COrientation elsewhere(TMatrix(), Vector3(50, 50, 50));
  SphereTreeSweep cached(&model, elsewhere, 3, start.get(), elsewhere, 4, end.get());
  ASSERT_TRUE(cached.IntersectSphere(Vector3(2, 0, 0), 1.0f));
  EXPECT_EQ(down.result.time, cached.result.time);
  // New stamps: the root moves with the poses, misses the far sphere, and the leaves below it
  // are left as the first walk stamped them (centre at the high pose, stamp 3).
  SphereTreeSweep moved(&model, elsewhere, 5, start.get(), elsewhere, 6, end.get());
  EXPECT_FALSE(moved.IntersectSphere(Vector3(2, 0, 0), 1.0f));
  EXPECT_EQ(Vector3(50, 50, 50), start->centre);
  EXPECT_EQ(5u, start->stamp);
  EXPECT_EQ(Vector3(2, 0, 10), start->children[1].centre);
  EXPECT_EQ(3u, start->children[1].stamp);
}

TEST(SphereTreeSweep, InnerNodesOnlyOpenTheWayToTheirLeaves) {
  // A root whose sphere meets the box while its only leaf passes beside it: no hit.
  SphereTreeNode model;
  model.AllocateChildren(1);
  model.children[0].centre = Vector3(0, 3, 0);
  model.children[0].radius = 0.5f;
  model.centre = Vector3(0, 0, 0);
  model.radius = 4.0f;
  std::unique_ptr<SphereTreeNode> start = SphereTree::Build(&model, nullptr);
  std::unique_ptr<SphereTreeNode> end = SphereTree::Build(&model, nullptr);
  SphereTreeSweep sweep(&model, COrientation(TMatrix(), Vector3(-5, 0, 0)), 1, start.get(),
                        COrientation(TMatrix(), Vector3(5, 0, 0)), 2, end.get());
  const Box post(Vector3(-0.5f, -2, -1), Vector3(0.5f, 0, 1));
  EXPECT_FALSE(sweep.IntersectBox(post));
  // The leaf runs at y = 3 from x = -5 to 5; a post reaching y = 2.75 stops it where its
  // face x = -0.5 less the radius meets the path: x = -1, time 0.4.
  const Box tall(Vector3(-0.5f, -2, -1), Vector3(0.5f, 2.75f, 1));
  ASSERT_TRUE(sweep.IntersectBox(tall));
  EXPECT_NEAR(0.4f, sweep.result.time, 1e-5f);
  EXPECT_EQ(Vector3(-1, 0, 0), sweep.normal);
  // A root that starts around a small cube and moves off it still opens the way to its leaf, which
  // runs from x = 2 to -8 into the cube's face x = 0.5 at time 0.1.
  model.children[0].centre = Vector3(3, 0, 0);
  SphereTreeSweep away(&model, COrientation(TMatrix(), Vector3(-1, 0, 0)), 3, start.get(),
                       COrientation(TMatrix(), Vector3(-11, 0, 0)), 4, end.get());
  ASSERT_TRUE(away.IntersectBox(Box(Vector3(-0.5f, -0.5f, -0.5f), Vector3(0.5f, 0.5f, 0.5f))));
  EXPECT_NEAR(0.1f, away.result.time, 1e-5f);
  EXPECT_EQ(Vector3(1, 0, 0), away.normal);
}

TEST(SphereTreeSweep, BoundsHoldBothRootPlacesGrownByTheRootRadius) {
  SphereTreeNode model;
  model.centre = Vector3(1, 0, 0);
  model.radius = 2.0f;
  std::unique_ptr<SphereTreeNode> start = SphereTree::Build(&model, nullptr);
  std::unique_ptr<SphereTreeNode> end = SphereTree::Build(&model, nullptr);
  SphereTreeSweep sweep(&model, COrientation(TMatrix(), Vector3(0, 0, 0)), 1, start.get(),
                        COrientation(TMatrix(), Vector3(0, 4, -3)), 2, end.get());
  EXPECT_FALSE(sweep.IntersectSphere(Vector3(100, 0, 0), 1.0f));  // places both roots
  Box box;
  sweep.GetBounds(box);
  EXPECT_EQ(Vector3(1 - 2.1f, 0 - 2.1f, -3 - 2.1f), box.min);
  EXPECT_EQ(Vector3(1 + 2.1f, 4 + 2.1f, 0 + 2.1f), box.max);
  Vector3 sweepVector;
  sweep.GetSweep(sweepVector);
  EXPECT_EQ(Vector3(0, 4, -3), sweepVector);
  // Without a tree there is nothing to place: the bounds are the 0.1 margin around the origin.
  const SphereTreeSweep empty(nullptr, COrientation(), 1, nullptr, COrientation(), 2, nullptr);
  empty.GetBounds(box);
  EXPECT_TRUE(box.min == Vector3(-0.1f, -0.1f, -0.1f) && box.max == Vector3(0.1f, 0.1f, 0.1f));
}
