// Tests of TriMesh: adjacency and vertex rings against brute force, vertex splitting,
// 16-bit limits, geometry, and the nearest hit against a double-precision reference.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "core/math/RayInfo.h"
#include "scene/mesh/TriMesh.h"
#include "tests/physics/PhysicsTestUtil.h"

namespace {

using physics_test::DebugCapture;
using physics_test::RandomPoint;

void Fill(TriMesh& mesh, const std::vector<Vector3>& points, const std::vector<uint16_t>& corners) {
  ASSERT_TRUE(mesh.Allocate(static_cast<uint32_t>(points.size()), static_cast<uint32_t>(corners.size() / 3)));
  std::copy(points.begin(), points.end(), mesh.positions);
  std::copy(corners.begin(), corners.end(), mesh.indices);
}

// Closed latitude/longitude sphere: every edge is shared by two faces.
void MakeSphere(TriMesh& mesh, int rings, int segments) {
  std::vector<Vector3> points{Vector3(0, 0, -1)};
  for (int r = 1; r < rings; ++r) {
    const float phi = 3.14159265f * r / rings;
    for (int s = 0; s < segments; ++s) {
      const float theta = 6.2831853f * s / segments;
      points.emplace_back(std::sin(phi) * std::cos(theta), std::sin(phi) * std::sin(theta), -std::cos(phi));
    }
  }
  points.emplace_back(0, 0, 1);
  auto at = [segments](int r, int s) { return static_cast<uint16_t>(1 + (r - 1) * segments + (s % segments)); };
  std::vector<uint16_t> c;
  for (int s = 0; s < segments; ++s) c.insert(c.end(), {0, at(1, s + 1), at(1, s)});
  for (int r = 1; r + 1 < rings; ++r) {
    for (int s = 0; s < segments; ++s) {
      c.insert(c.end(), {at(r, s), at(r, s + 1), at(r + 1, s), at(r, s + 1), at(r + 1, s + 1), at(r + 1, s)});
    }
  }
  for (int s = 0; s < segments; ++s) c.insert(c.end(), {at(rings - 1, s), at(rings - 1, s + 1), uint16_t(points.size() - 1)});
  Fill(mesh, points, c);
}

// Random index soup over a small pool: repeated, reversed and degenerate edges abound.
void MakeSoup(TriMesh& mesh, int vertices, int faces) {
  std::vector<Vector3> points;
  for (int i = 0; i < vertices; ++i) points.push_back(RandomPoint(5.0f));
  std::vector<uint16_t> c;
  for (int f = 0; f < 3 * faces; ++f) c.push_back(static_cast<uint16_t>(plat::rand() % vertices));
  Fill(mesh, points, c);
}

// n x n vertex grid laid out cell by cell, row by row, as a square grid mesh is.
void MakeGrid(TriMesh& mesh, int n) {
  std::vector<uint16_t> c;
  for (int a = 0; a + n < n * n; ++a) {
    if (a % n + 1 < n)
      c.insert(c.end(),
               {uint16_t(a), uint16_t(a + n), uint16_t(a + 1), uint16_t(a + n), uint16_t(a + n + 1), uint16_t(a + 1)});
  }
  Fill(mesh, std::vector<Vector3>(n * n), c);
}

// Twins, marks and vertex entries of a built adjacency against a brute-force scan.
void CheckAdjacency(const TriMesh& mesh) {
  const uint32_t count = 3 * mesh.faceCount;
  std::map<std::pair<uint32_t, uint32_t>, std::vector<uint32_t>> directed;
  std::map<uint32_t, int32_t> lastLeaving;
  for (uint32_t i = 0; i < count; ++i) {
    const TriMeshHalfEdge& e = mesh.halfEdges[i];
    ASSERT_EQ(e.from, mesh.indices[i]);
    ASSERT_EQ(e.to, mesh.indices[3 * (i / 3) + (i % 3 + 1) % 3]);
    ASSERT_EQ(mesh.halfEdges[e.next].prev, i);
    directed[{e.from, e.to}].push_back(i);
    lastLeaving[e.from] = static_cast<int32_t>(i);
  }
  for (uint32_t i = 0; i < count; ++i) {
    const TriMeshHalfEdge& e = mesh.halfEdges[i];
    if (e.from == e.to) continue;  // degenerate edges pair among themselves
    const std::pair<uint32_t, uint32_t> key(e.from, e.to), reverse(e.to, e.from);
    ASSERT_EQ(directed[key].size(), 1u) << "directed edge used twice after splitting";
    const int32_t expectedTwin = directed.count(reverse) ? static_cast<int32_t>(directed[reverse][0]) : -1;
    ASSERT_EQ(e.twin, expectedTwin) << "half-edge " << i;
    if (e.twin >= 0) {
      ASSERT_EQ(mesh.halfEdges[e.twin].twin, static_cast<int32_t>(i));
      ASSERT_EQ(e.edgeMark, i > static_cast<uint32_t>(e.twin) ? 1 : 0);  // the later-built carries the mark
    } else {
      ASSERT_EQ(e.edgeMark, 1);
    }
  }
  for (uint32_t v = 0; v < mesh.vertexCount; ++v) {
    const TriMeshHalfEdge* e = mesh.GetVertexHalfEdge(v);
    ASSERT_EQ(e ? static_cast<int32_t>(e - mesh.halfEdges) : -1, lastLeaving.count(v) ? lastLeaving[v] : -1);
  }
}

// Segment query with a one-sided polygon test: only a crossing from the front of the plane
// to its back hits. It writes its record before the range test, as real queries do.
class SegmentQuery : public RayInfo {
 public:
  SegmentQuery(const Vector3& from, const Vector3& to) : RayInfo(from, to) {}
  bool IntersectPolygon(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool, const Box*) {
    const float d0 = n.Dot(start - a), d1 = n.Dot(end - a);
    if (!(d1 < d0)) return false;
    result.time = d0 / (d0 - d1);
    result.point = start + (end - start) * result.time;
    normal = n;
    const Vector3 c0 = (b - a).Cross(result.point - a), c1 = (k - b).Cross(result.point - b),
                  c2 = (a - k).Cross(result.point - k);
    return result.time >= 0 && result.time <= 1 && c0.Dot(c1) >= 0 && c1.Dot(c2) >= 0;
  }
};

// Nearest front-to-back crossing in double precision, with the hit's distance from the
// triangle's border in barycentric units.
std::pair<double, double> ReferenceNearest(const TriMesh& mesh, const Vector3& s, const Vector3& e) {
  auto v = [](const Vector3& p) { return Eigen::Vector3d(p.x, p.y, p.z); };
  double best = DBL_MAX, margin = 0;
  for (uint32_t f = 0; f < mesh.faceCount; ++f) {
    const Eigen::Vector3d p0 = v(mesh.positions[mesh.indices[3 * f]]), p1 = v(mesh.positions[mesh.indices[3 * f + 1]]),
                          p2 = v(mesh.positions[mesh.indices[3 * f + 2]]);
    const Eigen::Vector3d n = (p2 - p0).cross(p1 - p0);
    const double d0 = n.dot(v(s) - p0), d1 = n.dot(v(e) - p0);
    if (n.norm() < 1e-9 || !(d1 < d0)) continue;
    const double t = d0 / (d0 - d1);
    if (t < 0 || t > 1 || t >= best) continue;
    Eigen::Matrix<double, 3, 2> m;
    m << p1 - p0, p2 - p0;
    const Eigen::Vector2d uv = m.colPivHouseholderQr().solve(v(s) + (v(e) - v(s)) * t - p0);
    const double inside = std::min({uv.x(), uv.y(), 1.0 - uv.x() - uv.y()});
    if (inside >= 0) best = t, margin = inside;
  }
  return {best, margin};
}

}  // namespace

TEST(TriMeshAdjacency, SharedAndRepeatedEdges) {
  TriMesh pair;  // edge 1-2 used in opposite directions
  Fill(pair, {Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(1, 1, 0)}, {0, 1, 2, 2, 1, 3});
  ASSERT_TRUE(pair.BuildEdgeAdjacency());
  EXPECT_EQ(pair.GetNeighbourFace(0, 1), 1);
  EXPECT_EQ(pair.GetNeighbourFace(0, 0), -1);

  TriMesh same;  // edge 0-1 used twice in one direction: the second face gets copies V, V + 1
  Fill(same, {Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, -1, 0)}, {0, 1, 2, 0, 1, 3});
  ASSERT_TRUE(same.BuildEdgeAdjacency());
  EXPECT_EQ(same.vertexCount, 6u);
  EXPECT_EQ(same.indices[3], 4);
  EXPECT_EQ(same.indices[4], 5);
  EXPECT_EQ(same.GetNeighbourFace(1, 0), -1);
}

TEST(TriMeshAdjacency, RandomMeshesMatchBruteForceAndKeepTheirShape) {
  plat::srand(11);
  for (int round = 0; round < 90; ++round) {
    TriMesh mesh;
    if (round % 3 == 0) {
      MakeSphere(mesh, 3 + round % 7, 3 + round % 5);
    } else if (round % 3 == 1) {
      MakeGrid(mesh, 2 + (round / 3) % 8);
    } else {
      MakeSoup(mesh, 4 + round % 20, 1 + round * 2);
    }
    std::vector<Vector3> corners;
    for (uint32_t i = 0; i < 3 * mesh.faceCount; ++i) corners.push_back(mesh.positions[mesh.indices[i]]);
    const uint32_t oldV = mesh.vertexCount;
    DebugCapture quiet;
    if (round % 3 == 1) {
      // A grid's adjacency comes by index arithmetic, but only while every face is laid out as
      // a grid's: one face flipped, or turned (the same triangle begun at another corner), is refused.
      uint16_t* t = mesh.indices + 3 * (plat::rand() % mesh.faceCount);
      const bool flip = round % 2;
      flip ? std::swap(t[1], t[2]) : static_cast<void>(std::rotate(t, t + 1, t + 3));
      ASSERT_FALSE(mesh.BuildGridEdgeAdjacency());
      ASSERT_EQ(mesh.halfEdges, nullptr);
      flip ? std::swap(t[1], t[2]) : static_cast<void>(std::rotate(t, t + 2, t + 3));
      ASSERT_TRUE(mesh.BuildGridEdgeAdjacency());
    } else {
      ASSERT_FALSE(mesh.BuildGridEdgeAdjacency());
      ASSERT_TRUE(mesh.BuildEdgeAdjacency());
    }
    CheckAdjacency(mesh);
    // Splitting only renames corners: every corner keeps its position.
    for (uint32_t i = 0; i < 3 * mesh.faceCount; ++i) ASSERT_EQ(mesh.positions[mesh.indices[i]], corners[i]);
    if (round % 3 != 2) {
      EXPECT_EQ(mesh.vertexCount, oldV) << "a clean mesh needs no split";
    }
  }
}

TEST(TriMeshAdjacency, VertexRingsMatchBruteForce) {
  for (int round = 0; round < 30; ++round) {
    TriMesh mesh;
    MakeSphere(mesh, 3 + round % 5, 3 + round % 6);
    mesh.faceCount -= round % 2 ? 1 + round % 3 : 0;  // odd rounds open the surface
    ASSERT_TRUE(mesh.BuildEdgeAdjacency());
    for (uint32_t i = 0; i < 3 * mesh.faceCount; ++i) {
      const TriMeshHalfEdge* start = mesh.GetHalfEdge(i);
      std::vector<const TriMeshHalfEdge*> ring;
      const TriMeshHalfEdge* end = mesh.CollectVertexRing(ring, start);
      std::set<const TriMeshHalfEdge*> got(ring.begin(), ring.end()), all;
      bool open = false;
      for (uint32_t j = 0; j < 3 * mesh.faceCount; ++j) {
        const TriMeshHalfEdge& e = mesh.halfEdges[j];
        if (e.from != start->from) continue;
        all.insert(&e);
        open = open || e.twin < 0 || mesh.halfEdges[e.prev].twin < 0;
      }
      ASSERT_EQ(got.size(), ring.size()) << "a ring lists a half-edge twice";
      ASSERT_EQ(got, all) << "half-edge " << i;
      EXPECT_EQ(end, open ? nullptr : start);
    }
  }
}

TEST(TriMeshAdjacency, MalformedRingWalkStops) {
  TriMesh mesh;
  MakeSphere(mesh, 4, 5);
  ASSERT_TRUE(mesh.BuildEdgeAdjacency());
  // From half-edge 2 the steps go 0, 1, 0, 1, ... and never return to the start.
  mesh.halfEdges[1].twin = 0;
  mesh.halfEdges[2].twin = 1;
  mesh.halfEdges[0].twin = 0;
  std::vector<const TriMeshHalfEdge*> ring;
  DebugCapture log;
  EXPECT_EQ(mesh.CollectVertexRing(ring, mesh.GetHalfEdge(2)), nullptr);
  EXPECT_LE(ring.size(), 3u * mesh.faceCount);
}

TEST(TriMeshLimits, SixteenBitIndicesAreNeverWrapped) {
  std::vector<Vector3> points(65535);
  TriMesh full;  // the split would need vertex 65536
  Fill(full, points, {65533, 65534, 0, 65533, 65534, 1});
  DebugCapture log;
  EXPECT_FALSE(full.BuildEdgeAdjacency());
  EXPECT_EQ(full.vertexCount, 65535u);
  EXPECT_EQ(full.indices[3], 65533);  // a refused mesh keeps its indices
  EXPECT_EQ(full.halfEdges, nullptr);

  points.resize(65534);
  TriMesh fits;  // new vertices 65534 and 65535 just fit
  Fill(fits, points, {65532, 65533, 0, 65532, 65533, 1});
  ASSERT_TRUE(fits.BuildEdgeAdjacency());
  EXPECT_EQ(fits.indices[4], 65535);
  CheckAdjacency(fits);

  TriMesh atLimit, outOfRange;  // 65,536 vertices are the most 16-bit indices reach
  ASSERT_TRUE(atLimit.Allocate(65536, 1));
  EXPECT_FALSE(atLimit.Allocate(65537, 1));
  Fill(outOfRange, {Vector3(), Vector3(1, 0, 0), Vector3(0, 1, 0)}, {0, 1, 7});
  EXPECT_FALSE(outOfRange.BuildEdgeAdjacency());
}

TEST(TriMeshGeometry, NormalsBoundsAndSpheres) {
  plat::srand(3);
  TriMesh mesh;
  MakeSoup(mesh, 30, 60);
  mesh.indices[0] = mesh.indices[1];  // one degenerate face
  mesh.ComputeFaceNormals(nullptr);
  for (uint32_t f = 0; f < mesh.faceCount; ++f) {
    const Vector3 &a = mesh.positions[mesh.indices[3 * f]], &b = mesh.positions[mesh.indices[3 * f + 1]],
                  &c = mesh.positions[mesh.indices[3 * f + 2]];
    const Eigen::Vector3d n = Eigen::Vector3d(c.x - a.x, c.y - a.y, c.z - a.z).cross(Eigen::Vector3d(b.x - a.x, b.y - a.y, b.z - a.z));
    const Eigen::Vector3d expected = n.norm() < 1e-6 ? Eigen::Vector3d::Zero() : n.normalized();
    const Vector3& got = mesh.faceNormals[f];
    EXPECT_LT((Eigen::Vector3d(got.x, got.y, got.z) - expected).norm(), 1e-5) << f;
  }
  ComputeMeshBounds(mesh);
  Vector3 centre;
  float radius = 0;
  for (uint32_t i = 0; i < mesh.vertexCount; ++i) {
    const Vector3& p = mesh.positions[i];
    EXPECT_TRUE(mesh.bounds.ContainsBox(Box(p, p)));
    EXPECT_LE(p.Length(), mesh.radius * 1.00001f);
    ComputeBoundingSphere(mesh.positions, i + 1, centre, radius);  // each prefix's sphere, the whole set's last
    for (uint32_t k = 0; k <= i; ++k) EXPECT_LE((mesh.positions[k] - centre).Length(), radius * 1.0001f) << i;
  }
  TriMesh empty;  // no vertices: zeros, not a division by zero nor the measures of an earlier shape
  empty.centroid = Vector3(1, 2, 3);
  empty.centroidRadius = 4.0f;
  empty.bounds = Box(empty.centroid, empty.centroid);
  ComputeMeshBounds(empty);
  EXPECT_TRUE(empty.centroid == Vector3() && empty.bounds.min == Vector3() && empty.bounds.max == Vector3());
  EXPECT_EQ(empty.centroidRadius, 0.0f);

  // The mesh's own measures against a sweep in double precision: its box (also stored), its box in
  // a frame, its radius about a point, its centroid and its reach from it; without vertices, zeros.
  COrientation frame;
  frame.RotateZ(0.7f);
  frame.SetPosition(Vector3(1, 2, 3));
  Eigen::Vector3d lo = Eigen::Vector3d::Constant(1e30), hi = -lo, localLo = lo, localHi = hi, sum = lo * 0.0;
  double farthest = 0.0, reach = 0.0;
  for (uint32_t i = 0; i < mesh.vertexCount; ++i) {
    const Vector3 p = mesh.positions[i], q = frame.WorldToLocalPoint(p);
    const Eigen::Vector3d e(p.x, p.y, p.z), l(q.x, q.y, q.z);
    lo = lo.cwiseMin(e), hi = hi.cwiseMax(e), localLo = localLo.cwiseMin(l), localHi = localHi.cwiseMax(l), sum += e;
    farthest = std::max(farthest, (e - Eigen::Vector3d(1, -2, 0.5)).norm());
    reach = std::max(reach, (e - Eigen::Vector3d(mesh.centroid.x, mesh.centroid.y, mesh.centroid.z)).norm());
  }
  const auto near = [](const Vector3& v, const Eigen::Vector3d& e) {
    return (Eigen::Vector3d(v.x, v.y, v.z) - e).norm() < 1e-4;
  };
  mesh.bounds = Box();
  const Box box = mesh.ComputeBox(), local = mesh.ComputeTransformedBox(frame);
  EXPECT_TRUE(near(box.min, lo) && near(box.max, hi) && near(mesh.bounds.min, lo) && near(mesh.bounds.max, hi));
  EXPECT_TRUE(near(local.min, localLo) && near(local.max, localHi));
  EXPECT_NEAR(mesh.ComputeRadiusAbout(1, -2, 0.5f), farthest, 1e-4);
  EXPECT_TRUE(near(mesh.ComputeCentroid(), sum / mesh.vertexCount) && near(mesh.centroid, sum / mesh.vertexCount));
  EXPECT_NEAR(mesh.centroidRadius, reach, 1e-5);
  const Box none = empty.ComputeTransformedBox(frame);
  EXPECT_TRUE(none.min == Vector3() && none.max == Vector3() && empty.ComputeRadiusAbout(1, 2, 3) == 0.0f);
  EXPECT_TRUE(empty.ComputeCentroid() == Vector3() && empty.ComputeBox().max == Vector3());
}

TEST(TriMeshIntersect, NearestHitMatchesBruteForce) {
  plat::srand(21);
  int hits = 0;
  for (int round = 0; round < 20; ++round) {
    TriMesh mesh;
    round % 2 ? MakeSphere(mesh, 4 + round % 5, 5 + round % 4) : MakeSoup(mesh, 12, 25);
    mesh.ComputeFaceNormals(nullptr);
    for (int ray = 0; ray < 150; ++ray) {
      const Vector3 s = RandomPoint(2.5f), e = RandomPoint(2.5f);
      SegmentQuery query(s, e);
      query.result.time = 42.0f;
      query.normal = Vector3(7, 7, 7);
      const bool hit = mesh.IntersectNearest(query);
      const auto [time, margin] = ReferenceNearest(mesh, s, e);
      if (hit != (time < 1.0)) {
        ASSERT_LT(margin, 1e-3) << "only a graze of a border may differ in single precision";
      } else if (hit) {
        ++hits;
        EXPECT_NEAR(query.result.time, time, 1e-4);
        EXPECT_LT((query.result.point - (s + (e - s) * query.result.time)).Length(), 1e-4f);
      } else {
        EXPECT_EQ(query.result.time, 42.0f) << "a miss must leave the caller's record alone";
        EXPECT_EQ(query.normal, Vector3(7, 7, 7));
      }
    }
  }
  EXPECT_GT(hits, 200);
}
