// Tests of TriMesh: adjacency and vertex rings against brute force, vertex splitting,
// 16-bit limits, bounds, and nearest-hit search against an independent ray test.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cfloat>
#include <cmath>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "physics/RayInfo.h"
#include "physics/TriMesh.h"
#include "tests/physics/PhysicsTestUtil.h"

namespace {

using physics_test::DebugCapture;
using physics_test::RandomPoint;
using physics_test::Uniform;

void Fill(TriMesh& mesh, const std::vector<Vector3>& points, const std::vector<uint16_t>& corners) {
  ASSERT_TRUE(mesh.Allocate(static_cast<uint32_t>(points.size()), static_cast<uint32_t>(corners.size() / 3)));
  std::copy(points.begin(), points.end(), mesh.positions);
  std::copy(corners.begin(), corners.end(), mesh.indices);
}

// Closed surface: a latitude/longitude sphere with poles, every edge shared by two faces.
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
  const uint16_t top = static_cast<uint16_t>(points.size() - 1);
  auto at = [segments](int r, int s) { return static_cast<uint16_t>(1 + (r - 1) * segments + (s % segments)); };
  std::vector<uint16_t> c;
  for (int s = 0; s < segments; ++s) c.insert(c.end(), {0, at(1, s + 1), at(1, s)});
  for (int r = 1; r + 1 < rings; ++r) {
    for (int s = 0; s < segments; ++s) {
      c.insert(c.end(), {at(r, s), at(r, s + 1), at(r + 1, s)});
      c.insert(c.end(), {at(r, s + 1), at(r + 1, s + 1), at(r + 1, s)});
    }
  }
  for (int s = 0; s < segments; ++s) c.insert(c.end(), {at(rings - 1, s), at(rings - 1, s + 1), top});
  Fill(mesh, points, c);
}

// Random index soup over a small vertex pool: shared, repeated and degenerate edges abound.
void MakeSoup(TriMesh& mesh, int vertices, int faces) {
  std::vector<Vector3> points;
  for (int i = 0; i < vertices; ++i) points.push_back(RandomPoint(5.0f));
  std::vector<uint16_t> c;
  for (int f = 0; f < 3 * faces; ++f) c.push_back(static_cast<uint16_t>(plat::rand() % vertices));
  Fill(mesh, points, c);
}

// Structural checks that hold for any built adjacency, against a brute-force scan.
void CheckAdjacency(const TriMesh& mesh) {
  const uint32_t count = 3 * mesh.faceCount;
  std::map<std::pair<uint32_t, uint32_t>, std::vector<uint32_t>> directed;
  for (uint32_t i = 0; i < count; ++i) {
    const TriMeshHalfEdge& e = mesh.halfEdges[i];
    ASSERT_EQ(e.from, mesh.indices[i]);
    ASSERT_EQ(e.to, mesh.indices[3 * (i / 3) + (i % 3 + 1) % 3]);
    ASSERT_EQ(e.face, i / 3);
    ASSERT_EQ(mesh.halfEdges[e.next].prev, i);
    ASSERT_EQ(mesh.GetHalfEdgeIndexInFace(&e), i % 3);
    directed[{e.from, e.to}].push_back(i);
  }
  for (uint32_t i = 0; i < count; ++i) {
    const TriMeshHalfEdge& e = mesh.halfEdges[i];
    // After splitting, no directed edge is used twice (degenerate a->a edges aside).
    const std::pair<uint32_t, uint32_t> key(e.from, e.to);
    if (e.from != e.to) {
      ASSERT_EQ(directed[key].size(), 1u) << "half-edge " << i;
    }
    const auto reverse = directed.find({e.to, e.from});
    const bool hasReverse = e.from != e.to && reverse != directed.end();
    if (hasReverse) {
      ASSERT_EQ(e.twin, static_cast<int32_t>(reverse->second[0])) << "half-edge " << i;
    } else if (e.from != e.to) {
      ASSERT_EQ(e.twin, -1) << "half-edge " << i;
    }
    if (e.twin >= 0) {
      const TriMeshHalfEdge& t = mesh.halfEdges[e.twin];
      ASSERT_EQ(t.twin, static_cast<int32_t>(i));
      ASSERT_EQ(t.from, e.to);
      ASSERT_EQ(e.edgeMark + t.edgeMark, 1);
      ASSERT_EQ(e.edgeMark, i > static_cast<uint32_t>(e.twin) ? 1 : 0);  // the later-built carries the mark
    } else {
      ASSERT_EQ(e.edgeMark, 1);
    }
  }
  for (uint32_t v = 0; v < mesh.vertexCount; ++v) {
    const TriMeshHalfEdge* e = mesh.GetVertexHalfEdge(v);
    int32_t last = -1;
    for (uint32_t i = 0; i < count; ++i) {
      if (mesh.halfEdges[i].from == v) last = static_cast<int32_t>(i);
    }
    ASSERT_EQ(e ? static_cast<int32_t>(e - mesh.halfEdges) : -1, last) << "vertex " << v;
  }
}

// Segment query with the one-sided polygon test the mesh walker drives: only a segment
// running from the front to the back of the plane can hit.
class SegmentQuery : public RayInfo {
 public:
  SegmentQuery(const Vector3& from, const Vector3& to) : RayInfo(from, to) {}
  bool IntersectPolygon(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool parallelogram,
                        const Box*) {
    const float d0 = n.Dot(start - a), d1 = n.Dot(end - a);
    if (!(d1 < d0)) return false;
    const float t = d0 / (d0 - d1);
    result.time = t;
    result.point = start + (end - start) * t;
    normal = n;
    if (t < 0.0f || t > 1.0f) return false;
    int ia = 0, ib = 1;  // kept axes
    const float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    if (az >= ax && az >= ay) {
      ia = 0, ib = 1;
    } else if (ax >= ay && ax >= az) {
      ia = 1, ib = 2;
    } else {
      ia = 0, ib = 2;
    }
    const Vector3 e1 = b - a, e2 = k - a, p = result.point - a;
    const float det = e2[ib] * e1[ia] - e1[ib] * e2[ia];
    if (det == 0.0f) return false;
    const float u = (e2[ib] * p[ia] - p[ib] * e2[ia]) / det;
    const float v = (p[ib] * e1[ia] - e1[ib] * p[ia]) / det;
    result.u = u;
    result.v = v;
    if (parallelogram && u >= 0 && u <= 1 && v >= 0 && v <= 1) return true;
    return u >= 0 && v >= 0 && u + v <= 1;
  }
};

struct ReferenceHit {
  double time = DBL_MAX;
  double edgeMargin = 0.0;  // barycentric distance of the hit from the triangle's border
};

// Double-precision front-to-back crossing with 3-D barycentric coordinates.
ReferenceHit ReferenceNearest(const TriMesh& mesh, const Vector3& s, const Vector3& e) {
  auto v = [](const Vector3& p) { return Eigen::Vector3d(p.x, p.y, p.z); };
  ReferenceHit best;
  for (uint32_t f = 0; f < mesh.faceCount; ++f) {
    const Eigen::Vector3d p0 = v(mesh.positions[mesh.indices[3 * f]]);
    const Eigen::Vector3d p1 = v(mesh.positions[mesh.indices[3 * f + 1]]);
    const Eigen::Vector3d p2 = v(mesh.positions[mesh.indices[3 * f + 2]]);
    const Eigen::Vector3d n = (p2 - p0).cross(p1 - p0);
    if (n.norm() < 1e-9) continue;
    const double d0 = n.dot(v(s) - p0), d1 = n.dot(v(e) - p0);
    if (!(d1 < d0)) continue;
    const double t = d0 / (d0 - d1);
    if (t < 0 || t > 1) continue;
    const Eigen::Vector3d x = v(s) + (v(e) - v(s)) * t;
    Eigen::Matrix<double, 3, 2> m;
    m << p1 - p0, p2 - p0;
    const Eigen::Vector2d uv = m.colPivHouseholderQr().solve(x - p0);
    const double margin = std::min({uv.x(), uv.y(), 1.0 - uv.x() - uv.y()});
    if (margin < 0) continue;
    if (t < best.time) best = {t, margin};
  }
  return best;
}

}  // namespace

TEST(TriMeshAdjacency, SmallCasesFromTheLayout) {
  {
    TriMesh mesh;
    Fill(mesh, {Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0)}, {0, 1, 2});
    ASSERT_TRUE(mesh.BuildEdgeAdjacency());
    for (uint32_t k = 0; k < 3; ++k) {
      EXPECT_EQ(mesh.GetFaceHalfEdge(0, k)->twin, -1);
      EXPECT_EQ(mesh.GetFaceHalfEdge(0, k)->edgeMark, 1);
      EXPECT_EQ(mesh.GetNeighbourFace(0, k), -1);
    }
  }
  {
    TriMesh mesh;  // shared edge 1-2 used in opposite directions
    Fill(mesh, {Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(1, 1, 0)}, {0, 1, 2, 2, 1, 3});
    ASSERT_TRUE(mesh.BuildEdgeAdjacency());
    EXPECT_EQ(mesh.vertexCount, 4u);
    EXPECT_EQ(mesh.GetFaceHalfEdge(0, 1)->twin, 3);
    EXPECT_EQ(mesh.GetFaceHalfEdge(0, 1)->edgeMark, 0);
    EXPECT_EQ(mesh.GetFaceHalfEdge(1, 0)->edgeMark, 1);
    EXPECT_EQ(mesh.GetNeighbourFace(0, 1), 1);
    EXPECT_EQ(mesh.GetNeighbourFace(1, 0), 0);
    CheckAdjacency(mesh);
  }
  {
    TriMesh mesh;  // edge 0-1 used twice in the same direction: the second face gets copies
    Fill(mesh, {Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, -1, 0)}, {0, 1, 2, 0, 1, 3});
    ASSERT_TRUE(mesh.BuildEdgeAdjacency());
    EXPECT_EQ(mesh.vertexCount, 6u);
    EXPECT_EQ(mesh.indices[3], 4);
    EXPECT_EQ(mesh.indices[4], 5);
    EXPECT_EQ(mesh.positions[4], mesh.positions[0]);
    EXPECT_EQ(mesh.positions[5], mesh.positions[1]);
    EXPECT_EQ(mesh.GetNeighbourFace(1, 0), -1);
    CheckAdjacency(mesh);
  }
  {
    TriMesh mesh;
    Fill(mesh, {Vector3(0, 0, 0)}, {});
    ASSERT_TRUE(mesh.BuildEdgeAdjacency());
    EXPECT_EQ(mesh.GetVertexHalfEdge(0), nullptr);
  }
}

TEST(TriMeshAdjacency, RandomMeshesMatchBruteForceAndKeepTheirShape) {
  plat::srand(11);
  for (int round = 0; round < 60; ++round) {
    TriMesh mesh;
    if (round % 3 == 0) {
      MakeSphere(mesh, 3 + round % 7, 3 + round % 5);
    } else {
      MakeSoup(mesh, 4 + round % 20, 1 + round * 2);
    }
    std::vector<Vector3> before;
    for (uint32_t i = 0; i < 3 * mesh.faceCount; ++i) before.push_back(mesh.positions[mesh.indices[i]]);
    const uint32_t oldV = mesh.vertexCount;
    DebugCapture quiet;
    ASSERT_TRUE(mesh.BuildEdgeAdjacency());
    CheckAdjacency(mesh);
    // Splitting only renames corners: every corner keeps its position.
    for (uint32_t i = 0; i < 3 * mesh.faceCount; ++i) ASSERT_EQ(mesh.positions[mesh.indices[i]], before[i]);
    if (round % 3 == 0) {
      EXPECT_EQ(mesh.vertexCount, oldV);  // a clean closed mesh needs no split
    }
    // A second call finds nothing to split and keeps the arrays.
    const TriMeshHalfEdge* edges = mesh.halfEdges;
    ASSERT_TRUE(mesh.BuildEdgeAdjacency());
    EXPECT_EQ(mesh.halfEdges, edges);
  }
}

TEST(TriMeshAdjacency, VertexRingsMatchBruteForce) {
  plat::srand(5);
  for (int round = 0; round < 30; ++round) {
    TriMesh mesh;
    MakeSphere(mesh, 3 + round % 5, 3 + round % 6);
    if (round % 2) {
      // Open the surface by dropping some faces (the last faces are moved over them).
      const uint32_t drop = 1 + plat::rand() % 3;
      mesh.faceCount -= drop;
    }
    ASSERT_TRUE(mesh.BuildEdgeAdjacency());
    for (uint32_t i = 0; i < 3 * mesh.faceCount; ++i) {
      const TriMeshHalfEdge* start = mesh.GetHalfEdge(i);
      std::vector<const TriMeshHalfEdge*> ring;
      const TriMeshHalfEdge* end = mesh.CollectVertexRing(ring, start);
      std::set<const TriMeshHalfEdge*> got(ring.begin(), ring.end());
      ASSERT_EQ(got.size(), ring.size()) << "a ring lists a half-edge twice";
      std::set<const TriMeshHalfEdge*> all;
      for (uint32_t j = 0; j < 3 * mesh.faceCount; ++j) {
        if (mesh.halfEdges[j].from == start->from) all.insert(mesh.GetHalfEdge(j));
      }
      // Every vertex of these meshes has one fan, so the ring is everything leaving it.
      ASSERT_EQ(got, all) << "half-edge " << i;
      bool open = false;
      for (const TriMeshHalfEdge* e : all) open = open || e->twin < 0 || mesh.halfEdges[e->prev].twin < 0;
      EXPECT_EQ(end, open ? nullptr : start);
    }
  }
}

TEST(TriMeshAdjacency, MalformedRingStopsAndThirdFaceStaysOpen) {
  TriMesh mesh;
  MakeSphere(mesh, 4, 5);
  ASSERT_TRUE(mesh.BuildEdgeAdjacency());
  // Damage the structure so a walk circles without returning to its start: from half-edge
  // 2 the steps go to 0, then 1, 0, 1, ... (a step goes to the twin of the previous edge).
  TriMeshHalfEdge* e = mesh.halfEdges;
  e[1].twin = 0;  // previous of 2 is 1
  e[2].twin = 1;  // previous of 0 is 2
  e[0].twin = 0;  // previous of 1 is 0
  std::vector<const TriMeshHalfEdge*> ring;
  DebugCapture log;
  EXPECT_EQ(mesh.CollectVertexRing(ring, mesh.GetHalfEdge(2)), nullptr);
  EXPECT_LE(ring.size(), 3u * mesh.faceCount);

  // Without the split pass a third face on an edge would be linked over a pair; the build
  // reports it and leaves it open instead, so twins stay mutual.
  TriMesh fan;
  Fill(fan, {Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, -1, 0), Vector3(0, 0, 1)},
       {0, 1, 2, 1, 0, 3, 0, 1, 4});
  DebugCapture log2;
  ASSERT_TRUE(fan.BuildEdgeAdjacency());
  CheckAdjacency(fan);
}

TEST(TriMeshLimits, SixteenBitIndicesAreNeverWrapped) {
  // Two faces share an edge in the same direction near the top of the index range; the
  // split would need vertex 65536, which a 16-bit index cannot hold.
  TriMesh mesh;
  std::vector<Vector3> points(65535);
  for (size_t i = 0; i < points.size(); ++i) points[i] = Vector3(static_cast<float>(i), 0, 0);
  Fill(mesh, points, {65533, 65534, 0, 65533, 65534, 1});
  DebugCapture log;
  EXPECT_FALSE(mesh.BuildEdgeAdjacency());
  EXPECT_NE(log.Text().find("TriMesh"), std::string::npos);
  EXPECT_EQ(mesh.vertexCount, 65535u);
  EXPECT_EQ(mesh.indices[3], 65533);  // refused meshes keep their indices
  EXPECT_EQ(mesh.halfEdges, nullptr);

  // One vertex fewer and the split fits exactly: new vertices 65534 and 65535.
  TriMesh fits;
  points.resize(65534);
  Fill(fits, points, {65532, 65533, 0, 65532, 65533, 1});
  ASSERT_TRUE(fits.BuildEdgeAdjacency());
  EXPECT_EQ(fits.vertexCount, 65536u);
  EXPECT_EQ(fits.indices[3], 65534);
  EXPECT_EQ(fits.indices[4], 65535);
  CheckAdjacency(fits);

  TriMesh tooBig;
  EXPECT_FALSE(tooBig.Allocate(65537, 1));

  TriMesh outOfRange;
  Fill(outOfRange, {Vector3(), Vector3(1, 0, 0), Vector3(0, 1, 0)}, {0, 1, 7});
  EXPECT_FALSE(outOfRange.BuildEdgeAdjacency());
}

TEST(TriMeshLimits, HighVertexNumbersPairCorrectly) {
  // With 65536 vertices the edge codes pass 2^31; pairs among the highest numbers must
  // still find each other and nothing else.
  TriMesh mesh;
  std::vector<Vector3> points(65536);
  for (size_t i = 0; i < points.size(); ++i) points[i] = Vector3(static_cast<float>(i % 256), static_cast<float>(i / 256), 0);
  Fill(mesh, points, {65535, 65534, 65279, 65534, 65535, 65533, 0, 1, 256, 1, 0, 65535});
  ASSERT_TRUE(mesh.BuildEdgeAdjacency());
  EXPECT_EQ(mesh.GetNeighbourFace(0, 0), 1);
  EXPECT_EQ(mesh.GetNeighbourFace(2, 0), 3);
  CheckAdjacency(mesh);
}

TEST(TriMeshGeometry, NormalsBoundsAndSpheres) {
  plat::srand(3);
  TriMesh mesh;
  MakeSoup(mesh, 30, 60);
  mesh.indices[0] = mesh.indices[1];  // one degenerate face
  mesh.ComputeFaceNormals(nullptr);
  for (uint32_t f = 0; f < mesh.faceCount; ++f) {
    const Vector3& a = mesh.positions[mesh.indices[3 * f]];
    const Vector3& b = mesh.positions[mesh.indices[3 * f + 1]];
    const Vector3& c = mesh.positions[mesh.indices[3 * f + 2]];
    const Eigen::Vector3d e1(b.x - a.x, b.y - a.y, b.z - a.z), e2(c.x - a.x, c.y - a.y, c.z - a.z);
    const Eigen::Vector3d n = e2.cross(e1);
    const Vector3& got = mesh.faceNormals[f];
    if (n.norm() < 1e-6) {
      EXPECT_EQ(got, Vector3()) << f;
      continue;
    }
    const Eigen::Vector3d unit = n.normalized();
    EXPECT_NEAR(got.x, unit.x(), 1e-5);
    EXPECT_NEAR(got.y, unit.y(), 1e-5);
    EXPECT_NEAR(got.z, unit.z(), 1e-5);
  }

  ComputeMeshBounds(mesh);
  Eigen::Vector3d sum(0, 0, 0);
  double far = 0;
  for (uint32_t i = 0; i < mesh.vertexCount; ++i) {
    const Vector3& p = mesh.positions[i];
    sum += Eigen::Vector3d(p.x, p.y, p.z);
    far = std::max(far, Eigen::Vector3d(p.x, p.y, p.z).norm());
    EXPECT_TRUE(mesh.bounds.ContainsBox(Box(p, p)));
  }
  sum /= mesh.vertexCount;
  EXPECT_NEAR(mesh.centroid.x, sum.x(), 1e-5);
  EXPECT_NEAR(mesh.radius, far, 1e-5);
  EXPECT_NEAR(mesh.centroidRadius, mesh.ComputeRadiusAbout(mesh.centroid.x, mesh.centroid.y, mesh.centroid.z), 1e-6);

  Vector3 centre;
  float radius = 0;
  ComputeBoundingSphere(mesh.positions, mesh.vertexCount, centre, radius);
  for (uint32_t i = 0; i < mesh.vertexCount; ++i) EXPECT_LE((mesh.positions[i] - centre).Length(), radius * 1.0001f);
  ComputeBoundingSphere(mesh.positions, 1, centre, radius);
  EXPECT_EQ(centre, mesh.positions[0]);
  EXPECT_EQ(radius, 0.0f);

  // A turned frame: the box of the local coordinates holds every point mapped back.
  COrientation frame;
  MakeAxisRotation(frame.axes, Vector3(0, 0, 1), 0.7f);
  frame.position = Vector3(1, 2, 3);
  const Box local = mesh.ComputeTransformedBox(frame);
  for (uint32_t i = 0; i < mesh.vertexCount; ++i) {
    const Vector3 q = frame.WorldToLocalPoint(mesh.positions[i]);
    EXPECT_TRUE(local.ContainsBox(Box(q, q)));
  }

  TriMesh empty;  // no vertices: zeros rather than a division by zero
  ComputeMeshBounds(empty);
  EXPECT_EQ(empty.centroid, Vector3());
  EXPECT_EQ(empty.radius, 0.0f);
  EXPECT_EQ(empty.ComputeRadiusAbout(1, 2, 3), 0.0f);
  ComputeBoundingSphere(nullptr, 0, centre, radius);
  EXPECT_EQ(radius, 0.0f);
}

TEST(TriMeshIntersect, NearestHitMatchesBruteForce) {
  plat::srand(21);
  int hits = 0, compared = 0;
  for (int round = 0; round < 20; ++round) {
    TriMesh mesh;
    if (round % 2) {
      MakeSphere(mesh, 4 + round % 5, 5 + round % 4);
    } else {
      MakeSoup(mesh, 12, 25);
    }
    mesh.ComputeFaceNormals(nullptr);
    for (int ray = 0; ray < 200; ++ray) {
      const Vector3 s = RandomPoint(2.5f), e = RandomPoint(2.5f);
      SegmentQuery query(s, e);
      query.result.time = 42.0f;
      query.normal = Vector3(7, 7, 7);
      const bool hit = mesh.IntersectNearest(query);
      const ReferenceHit ref = ReferenceNearest(mesh, s, e);
      const bool refHit = ref.time < 1.0;
      if (hit != refHit) {
        // Only a graze of a triangle border may go either way in single precision.
        ASSERT_LT(ref.edgeMargin, 1e-3) << "round " << round << " ray " << ray;
        continue;
      }
      ++compared;
      if (!hit) {
        // A miss leaves the caller's record alone.
        EXPECT_EQ(query.result.time, 42.0f);
        EXPECT_EQ(query.normal, Vector3(7, 7, 7));
        continue;
      }
      ++hits;
      EXPECT_NEAR(query.result.time, ref.time, 1e-4) << "round " << round << " ray " << ray;
      const Vector3 expected = s + (e - s) * query.result.time;
      EXPECT_NEAR((query.result.point - expected).Length(), 0.0f, 1e-4f);
    }
  }
  EXPECT_GT(hits, 200);
  EXPECT_GT(compared, 3800);
}
