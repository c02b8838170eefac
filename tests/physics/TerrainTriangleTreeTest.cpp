// Tests of the terrain triangle trees: box walks against a scan of every triangle, nearest
// segment hits against a brute-force scan, the tree's structural invariants, cache reuse
// and least-recently-used replacement, and fresh trees for moved or replaced owners.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <optional>
#include <set>
#include <vector>

#include "physics/RayInfo.h"
#include "physics/TerrainTriangleTree.h"
#include "scene/CurvedPatch.h"
#include "scene/CurvedPatchInstance.h"
#include "scene/MeshInstance.h"
#include "tests/physics/PhysicsTestUtil.h"

using physics_test::Uniform;

namespace {

// Segment query with the one-sided polygon test: only segments running towards the back of
// the plane can hit; (u, v) are the barycentric coordinates along A-B and A-K.
struct OneSidedSegment : RayInfo {
  OneSidedSegment(const Vector3& a, const Vector3& b) : RayInfo(a, b) {}
  void GetBounds(Box& out) const {
    out.SetFromPoints(start, end);
    out.Inflate(Vector3(0.1f, 0.1f, 0.1f));
  }
  bool IntersectPolygon(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool parallelogram,
                        const Box* box) {
    if (!(n.Dot(end - start) < 0.0f)) return false;
    return IntersectTriangle(a, b, k, n, parallelogram, box);
  }
};

// nx x ny patches over a shared control grid spaced 4 apart; heights in [z0 - h, z0 + h].
void BuildSheet(CurvedPatch& cp, int nx, int ny, float h, float z0 = 0.0f) {
  const int cols = 3 * nx + 1, rows = 3 * ny + 1;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      CurvedPatchControlVertex v;
      v.position = Vector3(float(c) * 4.0f, float(r) * 4.0f, z0 + (h == 0.0f ? 0.0f : Uniform(-h, h)));
      cp.AddControlVertex(v);
    }
  }
  ASSERT_EQ(cp.AddFace(CurvedPatchFace{0, {0, 0, 0}}), 0);
  for (int py = 0; py < ny; ++py) {
    for (int px = 0; px < nx; ++px) {
      CurvedPatchRecord rec;
      rec.Init(uint32_t(3 * py * cols + 3 * px), uint16_t(cols), 0, false);
      ASSERT_TRUE(cp.AddPatch(rec));
    }
  }
}

struct Sheet {
  CurvedPatch data;
  CurvedPatchInstance owner;
  Sheet(int nx, int ny, float h, CMeshInstance* instance = nullptr) {
    BuildSheet(data, nx, ny, h);
    owner.Init(&data, instance, CurvedPatchInstance::kDefaultTolerance, true);
  }
  ~Sheet() { TriTree::ReleaseOwner(&owner); }
};

// Nearest hit over every triangle of the tree, no tree walk.
bool BruteForce(const TriTree& tree, OneSidedSegment& q) {
  float best = FLT_MAX;
  IntersectionResult hit{};
  for (const TriTreeTriangle& t : tree.GetTriangles()) {
    const TriTreeVertex &a = tree.GetVertices()[t.corners[0]], &b = tree.GetVertices()[t.corners[1]],
                        &c = tree.GetVertices()[t.corners[2]];
    if (q.IntersectPolygon(a.position, b.position, c.position, t.normal, false, nullptr) && q.result.time < best) {
      best = q.result.time;
      hit = q.result;
      hit.u = a.u + (b.u - a.u) * q.result.u + (c.u - a.u) * q.result.v;
      hit.v = a.v + (b.v - a.v) * q.result.u + (c.v - a.v) * q.result.v;
    }
  }
  q.result = hit;
  q.result.time = best;
  return best < FLT_MAX;
}

// Every triangle sits in exactly one leaf; inner nodes hold two children that each carry at
// least two triangles; every node box holds what lies below it. Returns the triangle count.
size_t CheckNode(const TriTree& tree, uint16_t node, std::vector<int>& seen) {
  const TriTreeNode& n = tree.GetNodes()[node];
  EXPECT_FALSE(n.entries.empty());
  const bool inner = n.entries[0].kind == TriTreeNode::kChild;
  size_t count = 0;
  if (inner) {
    EXPECT_EQ(n.entries.size(), 2u);
    for (const auto& e : n.entries) {
      EXPECT_EQ(e.kind, TriTreeNode::kChild);
      EXPECT_TRUE(n.box.ContainsBox(tree.GetNodes()[e.index].box));
      const size_t below = CheckNode(tree, e.index, seen);
      EXPECT_GE(below, 2u);
      count += below;
    }
    return count;
  }
  for (const auto& e : n.entries) {
    EXPECT_EQ(e.kind, TriTreeNode::kTriangle);
    EXPECT_TRUE(n.box.ContainsBox(tree.GetTriangles()[e.index].box));
    ++seen[e.index];
  }
  return n.entries.size();
}

}  // namespace

TEST(TerrainTriangleTreeTest, TessellationTreeAndBoxWalkAgainstScan) {
  plat::srand(3);
  TriTree::FreeCache();
  Sheet sheet(3, 2, 6.0f);
  for (uint32_t p = 0; p < 6; ++p) {
    const TriTree* tree = TriTree::ensureBuilt(&sheet.owner, p);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->GetOwner(), &sheet.owner);
    EXPECT_EQ(tree->GetPatch(), int32_t(p));
    // Collision levels are level 3: 8 segments a side.
    ASSERT_EQ(tree->GetVertices().size(), 81u);
    ASSERT_EQ(tree->GetTriangles().size(), 128u);
    for (const TriTreeVertex& v : tree->GetVertices()) {
      ASSERT_GE(v.u, 0.0f);
      ASSERT_LE(v.u, 1.0f);
      const Vector3 expect = sheet.data.Evaluate(p, v.u, v.v);
      EXPECT_EQ(v.position.x, expect.x);
      EXPECT_EQ(v.position.z, expect.z);
    }
    for (const TriTreeTriangle& t : tree->GetTriangles()) {
      const Vector3 &p0 = tree->GetVertices()[t.corners[0]].position, &p1 = tree->GetVertices()[t.corners[1]].position,
                    &p2 = tree->GetVertices()[t.corners[2]].position;
      const Vector3 cross = (p2 - p0).Cross(p1 - p0);
      EXPECT_NEAR(t.normal.Length(), 1.0f, 1e-4f);
      EXPECT_GT(t.normal.Dot(cross), 0.0f);
      Box b;
      b.SetFromTriangle(p0, p1, p2);
      EXPECT_TRUE(b.min == t.box.min && b.max == t.box.max);
    }
    std::vector<int> seen(tree->GetTriangles().size(), 0);
    EXPECT_EQ(CheckNode(*tree, 0, seen), 128u);
    EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int s) { return s == 1; }));
    EXPECT_GT(tree->GetNodes().size(), 1u);

    for (int trial = 0; trial < 300; ++trial) {
      const Vector3 c(Uniform(-4.0f, 40.0f), Uniform(-4.0f, 28.0f), Uniform(-8.0f, 8.0f));
      const Vector3 half(Uniform(0.0f, 5.0f), Uniform(0.0f, 5.0f), Uniform(0.0f, 3.0f));
      const Box box(c - half, c + half);
      std::set<uint32_t> walked, scanned;
      tree->ForEachTriangleInBox(box, [&](uint32_t t) { EXPECT_TRUE(walked.insert(t).second); });
      for (uint32_t t = 0; t < tree->GetTriangles().size(); ++t) {
        if (TriTree::BoxesMeet(tree->GetTriangles()[t].box, box)) scanned.insert(t);
      }
      ASSERT_EQ(walked, scanned) << "patch " << p << " trial " << trial;
    }
  }
}

TEST(TerrainTriangleTreeTest, NearestSegmentHitMatchesScan) {
  plat::srand(17);
  TriTree::FreeCache();
  Sheet curved(2, 2, 5.0f), flat(1, 1, 0.0f);
  int hits = 0;
  for (int trial = 0; trial < 2000; ++trial) {
    const uint32_t p = uint32_t(trial % 4);
    const TriTree* tree = TriTree::ensureBuilt(&curved.owner, p);
    ASSERT_NE(tree, nullptr);
    // Mostly upward through the patch's own square (the side its triangles face), some
    // at random across the sheet.
    const float x0 = 12.0f * float(p % 2), y0 = 12.0f * float(p / 2);
    const bool aimed = trial % 4 != 0;
    const Vector3 a = aimed ? Vector3(x0 + Uniform(-1, 13), y0 + Uniform(-1, 13), Uniform(-12, -4))
                            : Vector3(Uniform(-2, 26), Uniform(-2, 26), Uniform(-12, 12));
    const Vector3 b = aimed ? Vector3(x0 + Uniform(-1, 13), y0 + Uniform(-1, 13), Uniform(4, 12))
                            : Vector3(Uniform(-2, 26), Uniform(-2, 26), Uniform(-12, 12));
    OneSidedSegment viaTree(a, b), viaScan(a, b);
    const bool treeHit = TriTree::query(*tree, viaTree);
    ASSERT_EQ(treeHit, BruteForce(*tree, viaScan)) << trial;
    if (!treeHit) {
      EXPECT_EQ(viaTree.result.time, FLT_MAX);
      continue;
    }
    ++hits;
    EXPECT_EQ(viaTree.result.time, viaScan.result.time);
    EXPECT_NEAR(viaTree.result.u, viaScan.result.u, 1e-5f);
    EXPECT_NEAR(viaTree.result.v, viaScan.result.v, 1e-5f);
    EXPECT_GE(viaTree.result.u, -1e-5f);
    EXPECT_LE(viaTree.result.u, 1.0f + 1e-5f);
    EXPECT_GE(viaTree.result.v, -1e-5f);
    EXPECT_LE(viaTree.result.v, 1.0f + 1e-5f);
    // The normal that comes back is the hit triangle's, facing the segment's start.
    EXPECT_LT(viaTree.normal.Dot(b - a), 0.0f);
  }
  EXPECT_GT(hits, 1000);

  // On a flat patch the tessellation is the surface: the reported parameters lead back to
  // the hit point.
  const TriTree* tree = TriTree::ensureBuilt(&flat.owner, 0);
  ASSERT_NE(tree, nullptr);
  for (int trial = 0; trial < 200; ++trial) {
    const Vector3 a(Uniform(0.5f, 11.5f), Uniform(0.5f, 11.5f), -3.0f);
    OneSidedSegment up(a, a + Vector3(Uniform(-0.5f, 0.5f), Uniform(-0.5f, 0.5f), 6.0f));
    ASSERT_TRUE(TriTree::query(*tree, up));
    const Vector3 back = flat.data.Evaluate(0, up.result.u, up.result.v);
    EXPECT_NEAR(back.x, up.result.point.x, 1e-3f);
    EXPECT_NEAR(back.y, up.result.point.y, 1e-3f);
    // From above the one-sided test lets the segment through.
    OneSidedSegment down(up.end, up.start);
    EXPECT_FALSE(TriTree::query(*tree, down));
  }
  // A segment whose box misses the tree: no hit, time cleared, normal left as it was.
  OneSidedSegment far(Vector3(100, 100, -5), Vector3(100, 100, 5));
  far.result.time = 0.25f;
  far.normal = Vector3(1, 2, 3);
  EXPECT_FALSE(TriTree::query(*tree, far));
  EXPECT_EQ(far.result.time, FLT_MAX);
  EXPECT_TRUE(far.normal == Vector3(1, 2, 3));
}

TEST(TerrainTriangleTreeTest, CacheReuseAndLeastRecentlyUsedReplacement) {
  plat::srand(5);
  testing_support::DebugCapture log;
  EXPECT_FALSE(TriTree::SetCacheSize(0));
  EXPECT_FALSE(TriTree::SetCacheSize(0x10000));
  ASSERT_TRUE(TriTree::SetCacheSize(64));
  Sheet sheet(9, 8, 3.0f);  // 72 patches

  OneSidedSegment probe(Vector3(5, 5, -10), Vector3(5.5f, 5.2f, 10));
  const TriTree* first = TriTree::ensureBuilt(&sheet.owner, 0);
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(TriTree::query(*first, probe));
  const IntersectionResult firstHit = probe.result;
  const uint32_t builds = TriTree::GetBuildCount();
  EXPECT_EQ(TriTree::ensureBuilt(&sheet.owner, 0), first);
  EXPECT_EQ(TriTree::GetBuildCount(), builds);

  // 64 more patches push patch 0 out; its slot now serves patch 64.
  for (uint32_t p = 1; p <= 64; ++p) ASSERT_NE(TriTree::ensureBuilt(&sheet.owner, p), nullptr);
  EXPECT_EQ(TriTree::GetBuildCount(), builds + 64);
  EXPECT_EQ(first->GetPatch(), 64);
  // Patch 2 is still cached; patch 0 comes back rebuilt in the least recently used slot
  // (patch 1's), and answers exactly as before.
  EXPECT_NE(TriTree::ensureBuilt(&sheet.owner, 2), nullptr);
  EXPECT_EQ(TriTree::GetBuildCount(), builds + 64);
  const TriTree* again = TriTree::ensureBuilt(&sheet.owner, 0);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(TriTree::GetBuildCount(), builds + 65);
  EXPECT_EQ(again->GetPatch(), 0);
  OneSidedSegment probe2(probe.start, probe.end);
  ASSERT_TRUE(TriTree::query(*again, probe2));
  EXPECT_EQ(probe2.result.time, firstHit.time);
  EXPECT_EQ(probe2.result.u, firstHit.u);
  EXPECT_EQ(probe2.result.v, firstHit.v);
  EXPECT_NE(TriTree::ensureBuilt(&sheet.owner, 1), nullptr);
  EXPECT_EQ(TriTree::GetBuildCount(), builds + 66);

  // Requests that cannot be served are refused, not read out of bounds.
  EXPECT_EQ(TriTree::ensureBuilt(nullptr, 0), nullptr);
  EXPECT_EQ(TriTree::ensureBuilt(&sheet.owner, 72), nullptr);
  CurvedPatchInstance noCollision;
  noCollision.Init(&sheet.data, nullptr, CurvedPatchInstance::kDefaultTolerance, false);
  EXPECT_EQ(TriTree::ensureBuilt(&noCollision, 0), nullptr);
  CurvedPatchInstance empty;
  EXPECT_EQ(TriTree::ensureBuilt(&empty, 0), nullptr);
  EXPECT_NE(log.Text().find("TriTree: no collision tessellation"), std::string::npos);
  TriTree::FreeCache();
}

TEST(TerrainTriangleTreeTest, MovedAndReplacedOwnersGetFreshTrees) {
  plat::srand(8);
  TriTree::FreeCache();
  CMeshInstance instance;
  Sheet sheet(1, 1, 2.0f, &instance);
  const TriTree* tree = TriTree::ensureBuilt(&sheet.owner, 0);
  ASSERT_NE(tree, nullptr);
  const Vector3 before = tree->GetVertices()[40].position;
  const uint32_t builds = TriTree::GetBuildCount();

  COrientation moved;
  moved.position = Vector3(100.0f, -20.0f, 7.0f);
  instance.SetTransform(&moved, true);
  tree = TriTree::ensureBuilt(&sheet.owner, 0);
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(TriTree::GetBuildCount(), builds + 1);
  const Vector3 after = tree->GetVertices()[40].position;
  EXPECT_NEAR(after.x, before.x + 100.0f, 1e-4f);
  EXPECT_NEAR(after.y, before.y - 20.0f, 1e-4f);
  EXPECT_NEAR(after.z, before.z + 7.0f, 1e-4f);
  // Where the patch is now, a segment hits; where it was, nothing is left.
  OneSidedSegment now(after - Vector3(0, 0, 10), after + Vector3(0, 0, 10));
  OneSidedSegment old(before - Vector3(0, 0, 10), before + Vector3(0, 0, 10));
  EXPECT_TRUE(TriTree::query(*tree, now));
  EXPECT_FALSE(TriTree::query(*tree, old));
  EXPECT_EQ(TriTree::ensureBuilt(&sheet.owner, 0), tree);
  EXPECT_EQ(TriTree::GetBuildCount(), builds + 1);

  // An owner destroyed and another made in its place, over other data: released trees are
  // gone, and even without the release a tree of other patch data is never handed out.
  std::optional<CurvedPatchInstance> owner;
  CurvedPatch low, high;
  BuildSheet(low, 1, 1, 0.0f);
  BuildSheet(high, 1, 1, 0.0f, 50.0f);
  for (bool release : {true, false}) {
    owner.emplace();
    owner->Init(&low, nullptr, CurvedPatchInstance::kDefaultTolerance, true);
    const CurvedPatchInstance* address = &*owner;
    ASSERT_NE(TriTree::ensureBuilt(address, 0), nullptr);
    if (release) TriTree::ReleaseOwner(address);
    owner.reset();
    owner.emplace();
    owner->Init(&high, nullptr, CurvedPatchInstance::kDefaultTolerance, true);
    ASSERT_EQ(&*owner, address);
    const TriTree* fresh = TriTree::ensureBuilt(&*owner, 0);
    ASSERT_NE(fresh, nullptr);
    for (const TriTreeVertex& v : fresh->GetVertices()) EXPECT_EQ(v.position.z, 50.0f) << release;
    TriTree::ReleaseOwner(&*owner);
    owner.reset();
  }
  TriTree::FreeCache();
}
