// Tests of the terrain triangle trees: box walks and nearest segment hits against a scan of
// every triangle, the tree's structure, cache reuse with least-recently-used replacement, and
// fresh trees for moved or replaced owners.
#include <gtest/gtest.h>

#include <cfloat>
#include <optional>
#include <set>
#include <vector>

#include "core/math/RayInfo.h"
#include "physics/terrain/TerrainTriangleTree.h"
#include "scene/patch/CurvedPatch.h"
#include "scene/patch/CurvedPatchInstance.h"
#include "scene/mesh/MeshInstance.h"
#include "tests/physics/PhysicsTestUtil.h"

using physics_test::Uniform;

namespace {

// Segment query with the one-sided polygon test: only segments running towards the back of
// the plane hit; (u, v) are barycentric along A-B and A-K.
struct OneSidedSegment : RayInfo {
  OneSidedSegment(const Vector3& a, const Vector3& b) : RayInfo(a, b) {}
  void GetBounds(Box& out) const {
    out.SetFromPoints(start, end);
    out.Inflate(Vector3(0.1f, 0.1f, 0.1f));
  }
  bool IntersectPolygon(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool pg, const Box* box) {
    return n.Dot(end - start) < 0.0f && RayInfo::IntersectPolygon(a, b, k, n, pg, box);
  }
};

// nx x ny patches over a shared control grid spaced 4 apart; heights z0 +- h.
void BuildSheet(CurvedPatch& cp, int nx, int ny, float h, float z0 = 0.0f) {
  const int cols = 3 * nx + 1;
  for (int r = 0; r <= 3 * ny; ++r) {
    for (int c = 0; c < cols; ++c) cp.AddControlVertex({Vector3(c * 4.0f, r * 4.0f, z0 + Uniform(-h, h)), 0, 0});
  }
  cp.AddFace(CurvedPatchFace{});
  for (int p = 0; p < nx * ny; ++p) {
    CurvedPatchRecord rec;
    rec.Init(uint32_t(3 * (p / nx) * cols + 3 * (p % nx)), uint16_t(cols), 0, false);
    ASSERT_TRUE(cp.AddPatch(rec));
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

// Nearest hit over every triangle, no tree: time, (u, v) in patch parameters, and the normal.
bool ScanNearest(const TriTree& tree, OneSidedSegment& q, IntersectionResult& best, Vector3& normal) {
  best.time = FLT_MAX;
  for (const TriTreeTriangle& t : tree.GetTriangles()) {
    const TriTreeVertex &a = tree.GetVertices()[t.corners[0]], &b = tree.GetVertices()[t.corners[1]],
                        &c = tree.GetVertices()[t.corners[2]];
    if (!q.IntersectPolygon(a.position, b.position, c.position, t.normal, false, nullptr) || q.result.time >= best.time) continue;
    best = q.result;
    normal = q.normal;
    best.u = a.u + (b.u - a.u) * q.result.u + (c.u - a.u) * q.result.v;
    best.v = a.v + (b.v - a.v) * q.result.u + (c.v - a.v) * q.result.v;
  }
  return best.time < FLT_MAX;
}

// Inner nodes hold two children, each over at least two triangles; boxes hold what is below;
// every triangle sits in one leaf. Returns the triangles below the node.
size_t CheckNode(const TriTree& tree, uint16_t node, std::vector<int>& seen) {
  const TriTreeNode& n = tree.GetNodes()[node];
  size_t count = 0;
  for (const auto& e : n.entries) {
    EXPECT_EQ(e.kind, n.entries[0].kind);
    if (e.kind == TriTreeNode::kChild) {
      EXPECT_TRUE(n.box.ContainsBox(tree.GetNodes()[e.index].box));
      const size_t below = CheckNode(tree, e.index, seen);
      EXPECT_GE(below, 2u);
      count += below;
    } else {
      EXPECT_TRUE(n.box.ContainsBox(tree.GetTriangles()[e.index].box));
      ++seen[e.index];
      ++count;
    }
  }
  EXPECT_TRUE(n.entries.size() == 2 || (!n.entries.empty() && n.entries[0].kind == TriTreeNode::kTriangle));
  return count;
}

}  // namespace

TEST(TerrainTriangleTreeTest, TreeStructureAndBoxWalkAgainstScan) {
  plat::srand(3);
  Sheet sheet(3, 2, 6.0f);
  for (uint32_t p = 0; p < 6; ++p) {
    const TriTree* tree = TriTree::ensureBuilt(&sheet.owner, p);
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->GetTriangles().size(), 128u);  // collision level 3: 8 segments a side
    for (const TriTreeVertex& v : tree->GetVertices()) ASSERT_TRUE(v.position == sheet.data.Evaluate(p, v.u, v.v));
    for (const TriTreeTriangle& t : tree->GetTriangles()) {
      const Vector3 &p0 = tree->GetVertices()[t.corners[0]].position, &p1 = tree->GetVertices()[t.corners[1]].position,
                    &p2 = tree->GetVertices()[t.corners[2]].position;
      EXPECT_NEAR(t.normal.Length(), 1.0f, 1e-4f);
      EXPECT_GT(t.normal.Dot((p2 - p0).Cross(p1 - p0)), 0.0f);
    }
    std::vector<int> seen(128, 0);
    EXPECT_EQ(CheckNode(*tree, 0, seen), 128u);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 128);
    EXPECT_EQ(tree->GetNodes()[1].box.min.x, tree->GetNodes()[0].box.GetCenter().x);  // root halved across x
    for (int trial = 0; trial < 300; ++trial) {
      const Vector3 c(Uniform(-4, 40), Uniform(-4, 28), Uniform(-8, 8)), half(Uniform(0, 5), Uniform(0, 5), Uniform(0, 3));
      const Box box(c - half, c + half);
      std::multiset<uint32_t> walked;
      std::set<uint32_t> scanned;
      tree->ForEachTriangleInBox(box, [&](uint32_t t) { walked.insert(t); });
      for (uint32_t t = 0; t < 128; ++t) {
        if (TriTree::BoxesMeet(tree->GetTriangles()[t].box, box)) scanned.insert(t);
      }
      ASSERT_EQ(walked, std::multiset<uint32_t>(scanned.begin(), scanned.end())) << p << " " << trial;
    }
  }
}

TEST(TerrainTriangleTreeTest, NearestSegmentHitMatchesScan) {
  plat::srand(17);
  Sheet curved(2, 2, 5.0f), flat(1, 1, 0.0f);
  int hits = 0;
  for (int trial = 0; trial < 2000; ++trial) {
    const uint32_t p = uint32_t(trial % 4);
    const TriTree* tree = TriTree::ensureBuilt(&curved.owner, p);
    // Mostly upward through the patch's square (its triangles face down), some anywhere.
    const float x0 = 12.0f * (p % 2), y0 = 12.0f * (p / 2);
    const bool aimed = trial % 4 != 0;
    const Vector3 a = aimed ? Vector3(x0 + Uniform(-1, 13), y0 + Uniform(-1, 13), Uniform(-12, -4))
                            : Vector3(Uniform(-2, 26), Uniform(-2, 26), Uniform(-12, 12));
    const Vector3 b = aimed ? Vector3(x0 + Uniform(-1, 13), y0 + Uniform(-1, 13), Uniform(4, 12))
                            : Vector3(Uniform(-2, 26), Uniform(-2, 26), Uniform(-12, 12));
    OneSidedSegment viaTree(a, b), viaScan(a, b);
    IntersectionResult scan;
    Vector3 scanNormal;
    const bool hit = TriTree::query(*tree, viaTree);
    ASSERT_EQ(hit, ScanNearest(*tree, viaScan, scan, scanNormal)) << trial;
    EXPECT_EQ(viaTree.result.time, scan.time);
    if (!hit) continue;
    ++hits;
    EXPECT_NEAR(viaTree.result.u, scan.u, 1e-5f);
    EXPECT_NEAR(viaTree.result.v, scan.v, 1e-5f);
    EXPECT_TRUE(viaTree.normal == scanNormal) << trial;  // the nearest facing triangle's, not the last one tried
  }
  EXPECT_GT(hits, 1000);

  // On a flat patch the tessellation is the surface: the parameters lead back to the hit point.
  const TriTree* tree = TriTree::ensureBuilt(&flat.owner, 0);
  for (int trial = 0; trial < 200; ++trial) {
    const Vector3 a(Uniform(0.5f, 11.5f), Uniform(0.5f, 11.5f), -3.0f);
    OneSidedSegment up(a, a + Vector3(Uniform(-0.5f, 0.5f), Uniform(-0.5f, 0.5f), 6.0f)), down(up.end, up.start);
    ASSERT_TRUE(TriTree::query(*tree, up));
    const Vector3 back = flat.data.Evaluate(0, up.result.u, up.result.v);
    EXPECT_NEAR(back.x, up.result.point.x, 1e-3f);
    EXPECT_NEAR(back.y, up.result.point.y, 1e-3f);
    EXPECT_FALSE(TriTree::query(*tree, down));  // one-sided
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
  const TriTree* first = TriTree::ensureBuilt(&sheet.owner, 0);
  OneSidedSegment probe(Vector3(5, 5, -10), Vector3(5.5f, 5.2f, 10)), again(probe.start, probe.end);
  ASSERT_TRUE(TriTree::query(*first, probe));
  const uint32_t builds = TriTree::GetBuildCount();
  EXPECT_EQ(TriTree::ensureBuilt(&sheet.owner, 0), first);

  // 64 more patches push patch 0 out: its slot now serves patch 64. Patch 2 is still cached;
  // patch 0 comes back rebuilt (in patch 1's slot) and answers exactly as before.
  for (uint32_t p = 1; p <= 64; ++p) ASSERT_NE(TriTree::ensureBuilt(&sheet.owner, p), nullptr);
  EXPECT_EQ(first->GetPatch(), 64);
  ASSERT_NE(TriTree::ensureBuilt(&sheet.owner, 2), nullptr);
  const TriTree* rebuilt = TriTree::ensureBuilt(&sheet.owner, 0);
  EXPECT_EQ(TriTree::GetBuildCount(), builds + 65);  // the 64 new patches and patch 0: no other lookup built
  ASSERT_TRUE(TriTree::query(*rebuilt, again));
  EXPECT_EQ(again.result.time, probe.result.time);
  EXPECT_EQ(again.result.u, probe.result.u);
  EXPECT_EQ(again.result.v, probe.result.v);
  ASSERT_NE(TriTree::ensureBuilt(&sheet.owner, 1), nullptr);
  EXPECT_EQ(TriTree::GetBuildCount(), builds + 66);

  // Requests that cannot be served are refused, not read out of bounds.
  CurvedPatchInstance noCollision, empty;
  noCollision.Init(&sheet.data, nullptr, CurvedPatchInstance::kDefaultTolerance, false);
  EXPECT_EQ(TriTree::ensureBuilt(nullptr, 0), nullptr);
  EXPECT_EQ(TriTree::ensureBuilt(&sheet.owner, 72), nullptr);
  EXPECT_EQ(TriTree::ensureBuilt(&noCollision, 0), nullptr);
  EXPECT_EQ(TriTree::ensureBuilt(&empty, 0), nullptr);
  EXPECT_NE(log.Text().find("TriTree: no collision tessellation"), std::string::npos);
}

TEST(TerrainTriangleTreeTest, MovedAndReplacedOwnersGetFreshTrees) {
  plat::srand(8);
  CMeshInstance instance;
  Sheet sheet(1, 1, 2.0f, &instance);
  const Vector3 before = TriTree::ensureBuilt(&sheet.owner, 0)->GetVertices()[40].position;
  const uint32_t builds = TriTree::GetBuildCount();
  COrientation moved;
  moved.position = Vector3(100.0f, -20.0f, 7.0f);
  instance.SetTransform(&moved, true);
  const TriTree* tree = TriTree::ensureBuilt(&sheet.owner, 0);
  const Vector3 after = tree->GetVertices()[40].position;
  EXPECT_NEAR((after - before - moved.position).Length(), 0.0f, 1e-4f);
  OneSidedSegment now(after - Vector3(0, 0, 10), after + Vector3(0, 0, 10));
  OneSidedSegment old(before - Vector3(0, 0, 10), before + Vector3(0, 0, 10));
  EXPECT_TRUE(TriTree::query(*tree, now));
  EXPECT_FALSE(TriTree::query(*tree, old));
  EXPECT_EQ(TriTree::ensureBuilt(&sheet.owner, 0), tree);
  EXPECT_EQ(TriTree::GetBuildCount(), builds + 1);

  // An owner destroyed and another made at its address over other data gets that data's
  // tree, whether or not the first one released its trees.
  CurvedPatch low, high;
  BuildSheet(low, 1, 1, 0.0f);
  BuildSheet(high, 1, 1, 0.0f, 50.0f);
  std::optional<CurvedPatchInstance> owner;
  for (bool release : {true, false}) {
    owner.emplace();
    owner->Init(&low, nullptr, CurvedPatchInstance::kDefaultTolerance, true);
    const CurvedPatchInstance* address = &*owner;
    ASSERT_NE(TriTree::ensureBuilt(address, 0), nullptr);
    if (release) TriTree::ReleaseOwner(address);
    owner.emplace();
    owner->Init(&high, nullptr, CurvedPatchInstance::kDefaultTolerance, true);
    ASSERT_EQ(&*owner, address);
    for (const TriTreeVertex& v : TriTree::ensureBuilt(address, 0)->GetVertices()) EXPECT_EQ(v.position.z, 50.0f);
    TriTree::ReleaseOwner(address);
  }
}
