// Half-edge mesh: link invariants on generated closed and open meshes (shuffled), a brute-force
// twin reference, vertex rings, the Euler characteristic, malformed input and attachment release.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

#include "physics/HalfEdgeMesh.h"
#include "tests/physics/PhysicsTestUtil.h"

using physics_test::DebugCapture;

namespace {

struct TriList {
  std::vector<Vector3> positions;
  std::vector<uint32_t> indices;
  uint32_t Faces() const { return static_cast<uint32_t>(indices.size() / 3); }
};

// n x m torus of quads split into two triangles, outward winding consistent: genus 1.
TriList Torus(uint32_t n, uint32_t m) {
  TriList t;
  for (uint32_t i = 0; i < n; ++i)
    for (uint32_t j = 0; j < m; ++j) t.positions.emplace_back(float(i), float(j), float(i * j % 7));
  auto id = [&](uint32_t i, uint32_t j) { return (i % n) * m + (j % m); };
  for (uint32_t i = 0; i < n; ++i)
    for (uint32_t j = 0; j < m; ++j) {
      t.indices.insert(t.indices.end(), {id(i, j), id(i + 1, j), id(i + 1, j + 1)});
      t.indices.insert(t.indices.end(), {id(i, j), id(i + 1, j + 1), id(i, j + 1)});
    }
  return t;
}

// Latitude-longitude sphere with two pole vertices: genus 0.
TriList Globe(uint32_t rings, uint32_t segments) {
  TriList t;
  t.positions.emplace_back(0.0f, 0.0f, 1.0f);  // north pole
  for (uint32_t r = 1; r < rings; ++r)
    for (uint32_t s = 0; s < segments; ++s) t.positions.emplace_back(float(r), float(s), 0.0f);
  const uint32_t south = static_cast<uint32_t>(t.positions.size());
  t.positions.emplace_back(0.0f, 0.0f, -1.0f);
  auto id = [&](uint32_t r, uint32_t s) { return 1 + (r - 1) * segments + s % segments; };
  for (uint32_t s = 0; s < segments; ++s) t.indices.insert(t.indices.end(), {0, id(1, s), id(1, s + 1)});
  for (uint32_t r = 1; r + 1 < rings; ++r)
    for (uint32_t s = 0; s < segments; ++s) {
      t.indices.insert(t.indices.end(), {id(r, s), id(r + 1, s), id(r + 1, s + 1)});
      t.indices.insert(t.indices.end(), {id(r, s), id(r + 1, s + 1), id(r, s + 1)});
    }
  for (uint32_t s = 0; s < segments; ++s)
    t.indices.insert(t.indices.end(), {south, id(rings - 1, s + 1), id(rings - 1, s)});
  return t;
}

// Relabels vertices, reorders faces and rotates each face's corners: the
// shape (and so every invariant) stays, the build order changes.
void Shuffle(TriList& t) {
  const uint32_t v = static_cast<uint32_t>(t.positions.size());
  std::vector<uint32_t> perm(v);
  for (uint32_t i = 0; i < v; ++i) perm[i] = i;
  for (uint32_t i = v; i > 1; --i) std::swap(perm[i - 1], perm[plat::rand() % i]);
  std::vector<Vector3> positions(v);
  for (uint32_t i = 0; i < v; ++i) positions[perm[i]] = t.positions[i];
  t.positions = positions;
  const uint32_t f = t.Faces();
  std::vector<uint32_t> order(f);
  for (uint32_t i = 0; i < f; ++i) order[i] = i;
  for (uint32_t i = f; i > 1; --i) std::swap(order[i - 1], order[plat::rand() % i]);
  std::vector<uint32_t> indices;
  for (uint32_t i = 0; i < f; ++i) {
    const uint32_t rot = plat::rand() % 3;
    for (uint32_t k = 0; k < 3; ++k) indices.push_back(perm[t.indices[3 * order[i] + (k + rot) % 3]]);
  }
  t.indices = indices;
}

// Checks every link against the index list and a brute-force twin search;
// returns the Euler characteristic V - E + F (E counts each edge once).
int CheckLinks(const HalfEdgeMesh& mesh, const TriList& t, bool closed) {
  const uint32_t h = mesh.GetHalfEdgeCount();
  EXPECT_EQ(h, 3 * t.Faces());
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> directed;  // reference: (from, to) -> half-edge
  for (uint32_t i = 0; i < h; ++i) directed[{t.indices[i], t.indices[i - i % 3 + (i + 1) % 3]}] = i;
  uint32_t openEdges = 0;
  for (uint32_t i = 0; i < h; ++i) {
    const HalfEdgeRecord* e = mesh.GetHalfEdge(i);
    EXPECT_EQ(mesh.IndexOf(e->from), t.indices[i]);
    EXPECT_EQ(e->to, e->next->from);
    EXPECT_EQ(e->next->next->next, e);
    EXPECT_EQ(e->next->prev, e);
    EXPECT_EQ(mesh.IndexOf(e->face), i / 3);
    EXPECT_EQ(e->face->first, mesh.GetHalfEdge(i - i % 3));
    const auto it = directed.find({mesh.IndexOf(e->to), mesh.IndexOf(e->from)});
    if (it == directed.end()) {
      EXPECT_EQ(e->twin, nullptr);
      ++openEdges;
      continue;
    }
    EXPECT_EQ(e->twin, mesh.GetHalfEdge(it->second)) << "half-edge " << i;
    if (e->twin != nullptr) {
      EXPECT_EQ(e->twin->twin, e);
    }
  }
  if (closed) {
    EXPECT_EQ(openEdges, 0u);
  }
  for (uint32_t f = 0; f < mesh.GetFaceCount(); ++f) EXPECT_EQ(mesh.GetFace(f)->CountEdges(), 3u);
  const int edges = static_cast<int>((h - openEdges) / 2 + openEdges);
  return static_cast<int>(mesh.GetVertexCount()) - edges + static_cast<int>(mesh.GetFaceCount());
}

// Around every vertex of a closed mesh, stepping h -> h->prev->twin visits each
// outgoing half-edge exactly once before it returns to the start.
void CheckVertexRings(const HalfEdgeMesh& mesh) {
  std::vector<uint32_t> outgoing(mesh.GetVertexCount(), 0), visited(mesh.GetVertexCount(), 0);
  std::vector<const HalfEdgeRecord*> start(mesh.GetVertexCount(), nullptr);
  for (uint32_t i = 0; i < mesh.GetHalfEdgeCount(); ++i) {
    const uint32_t v = mesh.IndexOf(mesh.GetHalfEdge(i)->from);
    ++outgoing[v];
    start[v] = mesh.GetHalfEdge(i);
  }
  for (uint32_t v = 0; v < mesh.GetVertexCount(); ++v) {
    if (start[v] == nullptr) continue;
    const HalfEdgeRecord* e = start[v];
    do {
      ASSERT_EQ(mesh.IndexOf(e->from), v);
      ++visited[v];
      ASSERT_LE(visited[v], outgoing[v]) << "ring of vertex " << v << " does not close";
      e = e->prev->twin;
    } while (e != start[v]);
    EXPECT_EQ(visited[v], outgoing[v]);
  }
}

TEST(HalfEdgeMesh, ClosedMeshesKeepTheirInvariantsInAnyBuildOrder) {
  plat::srand(11);
  for (int round = 0; round < 6; ++round) {
    TriList torus = Torus(5 + round, 4 + round);
    TriList globe = Globe(3 + round, 5 + round);
    if (round > 0) {
      Shuffle(torus);
      Shuffle(globe);
    }
    DebugCapture log;
    const HalfEdgeMesh t(torus.positions.data(), uint32_t(torus.positions.size()), torus.indices.data(),
                         torus.Faces());
    EXPECT_EQ(CheckLinks(t, torus, true), 0);
    CheckVertexRings(t);
    const HalfEdgeMesh g(globe.positions.data(), uint32_t(globe.positions.size()), globe.indices.data(),
                         globe.Faces());
    EXPECT_EQ(CheckLinks(g, globe, true), 2);
    CheckVertexRings(g);
    for (uint32_t v = 0; v < g.GetVertexCount(); ++v) EXPECT_EQ(g.GetVertex(v)->position, globe.positions[v]);
    EXPECT_EQ(log.Text(), "");
  }
}

TEST(HalfEdgeMesh, OpenGridHasTwinsOnlyInside) {
  // A torus without its wrap-around quads is a 4 x 3 grid of quads: a disc.
  TriList grid;
  for (uint32_t i = 0; i < 5; ++i)
    for (uint32_t j = 0; j < 4; ++j) grid.positions.emplace_back(float(i), float(j), 0.0f);
  for (uint32_t i = 0; i < 4; ++i)
    for (uint32_t j = 0; j < 3; ++j) {
      const uint32_t a = i * 4 + j, b = (i + 1) * 4 + j;
      grid.indices.insert(grid.indices.end(), {a, b, b + 1, a, b + 1, a + 1});
    }
  const HalfEdgeMesh mesh(grid.positions.data(), 20, grid.indices.data(), grid.Faces());
  EXPECT_EQ(CheckLinks(mesh, grid, false), 1);
  uint32_t open = 0;
  for (uint32_t i = 0; i < mesh.GetHalfEdgeCount(); ++i) open += mesh.GetHalfEdge(i)->twin == nullptr;
  EXPECT_EQ(open, 2u * (4 + 3));
}

TEST(HalfEdgeMesh, SingleTriangleWalksItsCorners) {
  const Vector3 p[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  const uint32_t idx[3] = {2, 0, 1};
  const HalfEdgeMesh mesh(p, 3, idx, 1);
  const HalfEdgeFace* face = mesh.GetFace(0);
  EXPECT_EQ(face->CountEdges(), 3u);
  EXPECT_EQ(face->GetVertex(0), p[2]);
  EXPECT_EQ(face->GetVertex(1), p[0]);
  EXPECT_EQ(face->GetVertex(2), p[1]);
  EXPECT_EQ(face->GetVertex(3), p[2]);
  for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(mesh.GetHalfEdge(i)->twin, nullptr);
}

TEST(HalfEdgeMesh, ThirdFaceOnAnEdgeIsReportedAndTakesTheTwin) {
  const Vector3 p[5] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}};
  const uint32_t idx[9] = {0, 1, 2, 1, 0, 3, 0, 1, 4};
  DebugCapture log;
  const HalfEdgeMesh mesh(p, 5, idx, 3);
  EXPECT_EQ(log.Text(), "Malformed Mesh around face number 2!\n");
  EXPECT_EQ(mesh.GetHalfEdge(0)->twin, mesh.GetHalfEdge(6));
  EXPECT_EQ(mesh.GetHalfEdge(6)->twin, mesh.GetHalfEdge(0));
  EXPECT_EQ(mesh.GetHalfEdge(3)->twin, mesh.GetHalfEdge(0));
}

TEST(HalfEdgeMesh, EdgesOfLargeMeshesNeverShareAKey) {
  // With V = 100000, edges (0, 1) and (42949, 67297) have the same key in
  // 32-bit arithmetic (100000 * 42949 + 67297 = 2^32 + 1).
  std::vector<Vector3> p(100000);
  const uint32_t idx[6] = {0, 1, 2, 67297, 42949, 3};
  DebugCapture log;
  const HalfEdgeMesh mesh(p.data(), 100000, idx, 2);
  for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(mesh.GetHalfEdge(i)->twin, nullptr);
  EXPECT_EQ(log.Text(), "");
}

TEST(HalfEdgeMesh, IndexOutsideTheVerticesLeavesAnEmptyMesh) {
  const Vector3 p[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  const uint32_t idx[6] = {0, 1, 2, 0, 2, 3};
  DebugCapture log;
  const HalfEdgeMesh mesh(p, 3, idx, 2);
  EXPECT_EQ(mesh.GetFaceCount(), 0u);
  EXPECT_EQ(mesh.GetHalfEdgeCount(), 0u);
  EXPECT_EQ(mesh.GetVertexCount(), 0u);
  EXPECT_NE(log.Text().find("HalfEdgeMesh: face 1 uses vertex 3 of 3"), std::string::npos);
  const HalfEdgeMesh none(nullptr, 3, nullptr, 0);
  EXPECT_EQ(none.GetVertexCount(), 0u);
  const HalfEdgeMesh empty(p, 3, nullptr, 0);  // no faces: vertices only
  EXPECT_EQ(empty.GetVertexCount(), 3u);
  EXPECT_EQ(empty.GetHalfEdgeCount(), 0u);
}

TEST(HalfEdgeMesh, DestructorFreesEveryAttachment) {
  // The leak checker of the sanitizer build fails this test if any block survives.
  TriList t = Globe(3, 4);
  HalfEdgeMesh* mesh =
      new HalfEdgeMesh(t.positions.data(), uint32_t(t.positions.size()), t.indices.data(), t.Faces());
  for (uint32_t v = 0; v < mesh->GetVertexCount(); ++v) mesh->GetVertex(v)->attachment = std::malloc(16);
  for (uint32_t i = 0; i < mesh->GetHalfEdgeCount(); ++i) mesh->GetHalfEdge(i)->attachment = std::malloc(8);
  for (uint32_t f = 0; f < mesh->GetFaceCount(); ++f) {
    HalfEdgeFaceOutline* outline = new HalfEdgeFaceOutline;
    outline->pointCount = 3;
    outline->points = new Vector2[3];
    mesh->GetFace(f)->outline = outline;
  }
  delete mesh;
}

TEST(HalfEdgeFaceOutline, ContainsPointsOnTheInnerSideOfEveryEdge) {
  HalfEdgeFaceOutline square;
  EXPECT_TRUE(square.Contains(1e6f, -1e6f));  // no points: everything
  square.pointCount = 4;
  EXPECT_TRUE(square.Contains(5.0f, 5.0f));   // count without storage reads nothing
  square.points = new Vector2[4]{{0, 0}, {2, 0}, {2, 2}, {0, 2}};  // counter-clockwise
  EXPECT_TRUE(square.Contains(1.0f, 1.0f));
  EXPECT_TRUE(square.Contains(2.0f, 1.0f));  // on an edge
  EXPECT_TRUE(square.Contains(0.0f, 0.0f));  // on a corner
  EXPECT_FALSE(square.Contains(2.5f, 1.0f));
  EXPECT_FALSE(square.Contains(1.0f, -0.1f));
}

}  // namespace
