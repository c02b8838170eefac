// Half-edge mesh: links of generated closed meshes (shuffled build orders) against a brute-force
// twin search, vertex rings and the Euler characteristic; malformed input; attachment release.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "scene/mesh/HalfEdgeMesh.h"
#include "tests/physics/PhysicsTestUtil.h"

using physics_test::DebugCapture;

namespace {

struct TriList {
  std::vector<Vector3> p;
  std::vector<uint32_t> idx;
  void Tri(uint32_t a, uint32_t b, uint32_t c) { idx.insert(idx.end(), {a, b, c}); }
  HalfEdgeMesh* Build() const {
    return new HalfEdgeMesh(p.data(), uint32_t(p.size()), idx.data(), uint32_t(idx.size() / 3));
  }
};

// Quad grid of rings x segments wrapping around in segments; with poles it closes into a
// sphere (genus 0), with wrapRings into a torus (genus 1).
TriList Grid(uint32_t rings, uint32_t segments, bool wrapRings) {
  TriList t;
  for (uint32_t i = 0; i < rings * segments; ++i) t.p.emplace_back(float(i % segments), float(i / segments), 0.0f);
  auto id = [&](uint32_t r, uint32_t s) { return (r % rings) * segments + s % segments; };
  for (uint32_t r = 0; r + (wrapRings ? 0 : 1) < rings; ++r)
    for (uint32_t s = 0; s < segments; ++s) {
      t.Tri(id(r, s), id(r + 1, s), id(r + 1, s + 1));
      t.Tri(id(r, s), id(r + 1, s + 1), id(r, s + 1));
    }
  if (!wrapRings) {
    const uint32_t north = uint32_t(t.p.size()), south = north + 1;
    t.p.emplace_back(0.0f, 0.0f, 1.0f);
    t.p.emplace_back(0.0f, 0.0f, -1.0f);
    for (uint32_t s = 0; s < segments; ++s) {
      t.Tri(north, id(0, s), id(0, s + 1));
      t.Tri(south, id(rings - 1, s + 1), id(rings - 1, s));
    }
  }
  return t;
}

// Relabels vertices, reorders faces and rotates corners: same shape, another build order.
void Shuffle(TriList& t) {
  const uint32_t v = uint32_t(t.p.size()), f = uint32_t(t.idx.size() / 3);
  std::vector<uint32_t> perm(v), order(f), idx;
  for (uint32_t i = 0; i < v; ++i) perm[i] = i;
  for (uint32_t i = 0; i < f; ++i) order[i] = i;
  for (uint32_t i = v; i > 1; --i) std::swap(perm[i - 1], perm[plat::rand() % i]);
  for (uint32_t i = f; i > 1; --i) std::swap(order[i - 1], order[plat::rand() % i]);
  std::vector<Vector3> p(v);
  for (uint32_t i = 0; i < v; ++i) p[perm[i]] = t.p[i];
  for (uint32_t i = 0; i < f; ++i) {
    const uint32_t rot = plat::rand() % 3;
    for (uint32_t k = 0; k < 3; ++k) idx.push_back(perm[t.idx[3 * order[i] + (k + rot) % 3]]);
  }
  t.p = p;
  t.idx = idx;
}

// Checks every link of a closed mesh and its vertex rings; returns V - E + F.
int CheckClosedMesh(const HalfEdgeMesh& m, const TriList& t) {
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> directed;  // brute-force reference: (from, to) -> half-edge
  for (uint32_t i = 0; i < t.idx.size(); ++i) directed[{t.idx[i], t.idx[i - i % 3 + (i + 1) % 3]}] = i;
  std::vector<uint32_t> outgoing(m.GetVertexCount());
  for (uint32_t i = 0; i < m.GetHalfEdgeCount(); ++i) {
    const HalfEdgeRecord* e = m.GetHalfEdge(i);
    EXPECT_EQ(m.IndexOf(e->from), t.idx[i]);
    EXPECT_EQ(m.GetVertex(t.idx[i])->position, t.p[t.idx[i]]);
    EXPECT_TRUE(e->to == e->next->from && e->next->next->next == e && e->next->prev == e);
    EXPECT_TRUE(m.IndexOf(e->face) == i / 3 && e->face->first == m.GetHalfEdge(i - i % 3));
    const auto it = directed.find({m.IndexOf(e->to), m.IndexOf(e->from)});
    EXPECT_TRUE(it != directed.end() && e->twin == m.GetHalfEdge(it->second)) << "half-edge " << i;
    EXPECT_EQ(e->face->CountEdges(), 3u);
    ++outgoing[m.IndexOf(e->from)];
  }
  if (::testing::Test::HasFailure()) return -99;
  // Around a vertex, h -> h->prev->twin visits each outgoing half-edge once and comes back.
  for (uint32_t i = 0; i < m.GetHalfEdgeCount(); ++i) {
    const HalfEdgeRecord* e = m.GetHalfEdge(i);
    uint32_t steps = 0;
    do {
      e = e->prev->twin;
    } while (++steps <= outgoing[m.IndexOf(e->from)] && e != m.GetHalfEdge(i));
    EXPECT_EQ(steps, outgoing[m.IndexOf(e->from)]);
  }
  return int(m.GetVertexCount()) - int(m.GetHalfEdgeCount() / 2) + int(m.GetFaceCount());
}

TEST(HalfEdgeMesh, ClosedMeshesHoldTheirInvariantsInAnyBuildOrder) {
  plat::srand(11);
  for (int round = 0; round < 6; ++round) {
    TriList torus = Grid(5 + round, 4 + round, true), globe = Grid(2 + round, 5 + round, false);
    if (round > 0) Shuffle(torus), Shuffle(globe);
    DebugCapture log;
    HalfEdgeMesh* t = torus.Build();
    HalfEdgeMesh* g = globe.Build();
    EXPECT_EQ(CheckClosedMesh(*t, torus), 0);
    EXPECT_EQ(CheckClosedMesh(*g, globe), 2);
    EXPECT_EQ(log.Text(), "");
    delete t;
    delete g;
  }
}

TEST(HalfEdgeMesh, OpenAndMalformedInput) {
  TriList t;
  t.p = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}};
  t.Tri(2, 0, 1);
  HalfEdgeMesh* one = t.Build();
  for (uint32_t n = 0; n < 4; ++n) EXPECT_EQ(one->GetFace(0)->GetVertex(n), t.p[t.idx[n % 3]]);
  for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(one->GetHalfEdge(i)->twin, nullptr);
  delete one;

  t.idx = {0, 1, 2, 1, 0, 3, 0, 1, 4};  // three faces on edge 0-1
  DebugCapture log;
  HalfEdgeMesh* fin = t.Build();
  EXPECT_EQ(log.Text(), "Malformed Mesh around face number 2!\n");
  EXPECT_TRUE(fin->GetHalfEdge(0)->twin == fin->GetHalfEdge(6) && fin->GetHalfEdge(6)->twin == fin->GetHalfEdge(0));
  EXPECT_EQ(fin->GetHalfEdge(3)->twin, fin->GetHalfEdge(0));
  delete fin;

  t.idx = {0, 1, 2, 0, 2, 5};  // vertex 5 does not exist
  HalfEdgeMesh* bad = t.Build();
  EXPECT_EQ(bad->GetFaceCount() + bad->GetHalfEdgeCount() + bad->GetVertexCount(), 0u);
  EXPECT_NE(log.Text().find("HalfEdgeMesh: face 1 uses vertex 5 of 5"), std::string::npos);
  delete bad;
  const HalfEdgeMesh huge(t.p.data(), 5, t.idx.data(), UINT32_MAX / 3 + 1);  // a count no index array holds
  EXPECT_EQ(huge.GetFaceCount() + huge.GetHalfEdgeCount() + huge.GetVertexCount(), 0u);

  // With V = 100000, edges 0-1 and 42949-67297 share a key in 32-bit
  // arithmetic (100000 * 42949 + 67297 = 2^32 + 1) but must not be twins.
  t.p.resize(100000);
  t.idx = {0, 1, 2, 67297, 42949, 3};
  HalfEdgeMesh* big = t.Build();
  for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(big->GetHalfEdge(i)->twin, nullptr);
  delete big;
}

TEST(HalfEdgeMesh, DestructorFreesAttachmentsAndOutlinesTestPoints) {
  // The sanitizer build's leak checker fails this test if any block survives.
  HalfEdgeMesh* m = Grid(2, 3, false).Build();
  for (uint32_t v = 0; v < m->GetVertexCount(); ++v) m->GetVertex(v)->attachment.reset(std::malloc(16));
  for (uint32_t i = 0; i < m->GetHalfEdgeCount(); ++i) m->GetHalfEdge(i)->attachment.reset(std::malloc(8));
  for (uint32_t f = 0; f < m->GetFaceCount(); ++f) m->GetFace(f)->outline = std::make_unique<HalfEdgeFaceOutline>();
  HalfEdgeFaceOutline& square = *m->GetFace(0)->outline;
  EXPECT_TRUE(square.Contains(1e6f, -1e6f));  // no points: everything
  square.pointCount = 4;
  EXPECT_TRUE(square.Contains(5.0f, 5.0f));  // a count without storage is not read
  square.points.reset(new Vector2[4]{{0, 0}, {2, 0}, {2, 2}, {0, 2}});
  EXPECT_TRUE(square.Contains(1.0f, 1.0f) && square.Contains(2.0f, 1.0f) && square.Contains(0.0f, 0.0f));
  EXPECT_FALSE(square.Contains(2.5f, 1.0f) || square.Contains(1.0f, -0.1f));
  delete m;
}

}  // namespace
