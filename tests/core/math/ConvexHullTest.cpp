// Convex hull faces and the 2-D hull scan, checked against brute force and
// against the invariants of a closed, outward-wound convex surface.
#include "core/math/ConvexHull2D.h"
#include "core/math/ConvexHullFaces.h"

#include "platform/system/Platform.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using Eigen::Vector3d;
using Tris = std::vector<ConvexHullTriangle>;

// 30 random bits per value, so clouds are in general position unless a test
// makes them degenerate on purpose.
float RandomFloat(float lo, float hi) {
  const double r = (double(plat::rand()) * (plat::kRandMax + 1) + plat::rand()) / (double(plat::kRandMax + 1) * (plat::kRandMax + 1));
  return float(lo + (hi - lo) * r);
}
Vector3 RandomPoint(float lo, float hi) {
  const float x = RandomFloat(lo, hi), y = RandomFloat(lo, hi), z = RandomFloat(lo, hi);
  return Vector3(x, y, z);
}
Vector3d D(const Vector3& v) { return Vector3d(v.x, v.y, v.z); }
Vector3d FaceNormal(const std::vector<Vector3>& p, const ConvexHullTriangle& t) {
  return (D(p[t.index[1]]) - D(p[t.index[0]])).cross(D(p[t.index[2]]) - D(p[t.index[0]]));
}

double Volume(const std::vector<Vector3>& p, const Tris& tris) {
  double v = 0.0;
  for (const ConvexHullTriangle& t : tris) v += D(p[t.index[0]]).dot(FaceNormal(p, t)) / 6.0;
  return v;
}

// A closed sphere-like surface: every directed edge used once and its reverse
// once (closed, consistently wound) and Euler's formula. Gives the vertices used.
void ExpectClosedSurface(const std::vector<Vector3>& p, const Tris& tris, std::set<int>& vertices) {
  std::map<std::pair<int, int>, int> directed;
  for (const ConvexHullTriangle& t : tris) {
    for (int k = 0; k < 3; ++k) {
      ASSERT_LT(t.index[k], p.size());
      vertices.insert(t.index[k]);
      ++directed[{t.index[k], t.index[(k + 1) % 3]}];
    }
  }
  for (const auto& [edge, uses] : directed) {
    ASSERT_EQ(uses, 1) << "edge used twice the same way";
    ASSERT_TRUE(directed.count({edge.second, edge.first})) << "open edge";
  }
  EXPECT_EQ(long(vertices.size()) - long(directed.size() / 2) + long(tris.size()), 2);
}

// A correct hull: a closed surface (above), no zero-area triangle, every input
// point on or behind every face, the normals facing away from the interior.
void ExpectValidHull(const std::vector<Vector3>& p, const Tris& tris, double relTol = 1e-6) {
  ASSERT_GE(tris.size(), 4u);
  std::set<int> vertices;
  ASSERT_NO_FATAL_FAILURE(ExpectClosedSurface(p, tris, vertices));
  double scale = 0.0;
  Vector3d centre = Vector3d::Zero();
  for (const Vector3& q : p) scale = std::max(scale, D(q).cwiseAbs().maxCoeff());
  for (int i : vertices) centre += D(p[i]) / vertices.size();
  for (const ConvexHullTriangle& t : tris) {
    const Vector3d n = FaceNormal(p, t);
    ASSERT_GT(n.norm(), 0.0) << "zero-area triangle";
    // Plain doubles in the inner loop: unoptimised Eigen would dominate the run time.
    const double nx = n.x(), ny = n.y(), nz = n.z(), limit = relTol * scale * n.norm();
    const Vector3& o = p[t.index[0]];
    for (const Vector3& q : p) {
      ASSERT_LE(nx * (double(q.x) - o.x) + ny * (double(q.y) - o.y) + nz * (double(q.z) - o.z), limit) << "point outside a face";
    }
    EXPECT_LT(n.dot(centre - D(p[t.index[0]])) / n.norm(), relTol * scale) << "face wound inward";
  }
  EXPECT_GT(Volume(p, tris), 0.0);
}

// Brute force for points in general position: every triple with all other
// points strictly behind it, wound so, with the smallest index first.
std::set<std::array<int, 3>> BruteForceFaces(const std::vector<Vector3>& p) {
  std::set<std::array<int, 3>> faces;
  const int n = int(p.size());
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j)
      for (int k = j + 1; k < n; ++k) {
        const Vector3d nrm = (D(p[j]) - D(p[i])).cross(D(p[k]) - D(p[i]));
        int above = 0, below = 0;
        for (int q = 0; q < n; ++q)
          if (q != i && q != j && q != k) (nrm.dot(D(p[q]) - D(p[i])) > 0 ? above : below)++;
        if (above == 0) faces.insert({i, j, k});
        if (below == 0) faces.insert({i, k, j});
      }
  return faces;
}

bool Build(const std::vector<Vector3>& p, Tris& tris, uint32_t count = 0) {
  return BuildConvexHullFaces(p.data(), count ? count : uint32_t(p.size()), tris);
}

std::vector<std::string> CaptureLog(const std::function<void()>& action) {
  std::vector<std::string> lines;
  plat::DebugSink previous = plat::SetDebugSink([&](const char* text) { lines.emplace_back(text); });
  action();
  plat::SetDebugSink(previous);
  return lines;
}

void Shuffle(std::vector<Vector3>& p) {
  for (size_t i = p.size(); i > 1; --i) std::swap(p[i - 1], p[plat::rand() % i]);
}

}  // namespace

TEST(ConvexHullFaces, TetrahedraDuplicatesAndDegenerateSets) {
  std::vector<Vector3> tet = {Vector3(0, 0, 0), Vector3(4, 0, 0), Vector3(0, 4, 0), Vector3(0, 0, 4)};
  Tris tris;
  ASSERT_TRUE(Build(tet, tris));
  ExpectValidHull(tet, tris);
  EXPECT_NEAR(Volume(tet, tris), 64.0 / 6.0, 1e-9);
  std::swap(tet[1], tet[2]);  // mirrored order still comes out outward
  ASSERT_TRUE(Build(tet, tris));
  ExpectValidHull(tet, tris);
  // Duplicates (one straight after the point it copies), an interior point and a point on a face add nothing.
  tet.insert(tet.begin() + 1, {tet[0], tet[3], Vector3(0.5f, 0.5f, 0.5f), Vector3(1, 1, 2)});
  ASSERT_TRUE(Build(tet, tris));
  EXPECT_EQ(tris.size(), 4u);
  ExpectValidHull(tet, tris);

  EXPECT_FALSE(Build(tet, tris, 3));
  EXPECT_TRUE(tris.empty());
  EXPECT_FALSE(Build(std::vector<Vector3>(10, Vector3(2.5f, -1, 3)), tris));
  std::vector<Vector3> line, plane;
  for (int i = 0; i < 20; ++i) line.emplace_back(1.0f + i, 2.0f + 2 * i, -3.0f * i);
  EXPECT_FALSE(Build(line, tris));
  for (int i = 0; i < 60; ++i) {  // on the tilted plane z = x + 2y - 3, exact in floats
    const int x = plat::rand() % 200 - 100, y = plat::rand() % 200 - 100;
    plane.emplace_back(float(x), float(y), float(x + 2 * y - 3));
  }
  EXPECT_FALSE(Build(plane, tris));
  EXPECT_FALSE(BuildConvexHullFaces(nullptr, 8, tris));
}

TEST(ConvexHullFaces, RandomCloudsMatchBruteForceAndLargeOnesStayClosed) {
  plat::srand(11);
  for (int round = 0; round < 40; ++round) {
    std::vector<Vector3> p;
    for (int i = 0; i < 4 + round % 26; ++i) p.push_back(RandomPoint(-10, 10));
    Tris tris;
    ASSERT_TRUE(Build(p, tris));
    ExpectValidHull(p, tris);
    std::set<std::array<int, 3>> got;
    for (const ConvexHullTriangle& t : tris) {
      std::array<int, 3> a{t.index[0], t.index[1], t.index[2]};
      std::rotate(a.begin(), std::min_element(a.begin(), a.end()), a.end());
      got.insert(a);
    }
    EXPECT_EQ(got, BruteForceFaces(p)) << "round " << round;
  }
  for (int round = 0; round < 6; ++round) {
    std::vector<Vector3> p;
    for (int i = 0; i < 300 + 200 * round; ++i) {
      const Vector3 q = RandomPoint(-1, 1);
      // Odd rounds: on the unit sphere, every point a vertex, neighbours nearly coplanar.
      if (round % 2 == 0) p.push_back(q);
      else if (q.Length() > 1e-3f) p.push_back(q * (1.0f / q.Length()));
    }
    Tris tris;
    ASSERT_TRUE(Build(p, tris));
    ExpectValidHull(p, tris);
  }
}

TEST(ConvexHullFaces, CubesWithCoplanarPointsAreClosed) {
  plat::srand(3);
  std::vector<Vector3> corners;
  for (int i = 0; i < 8; ++i) corners.emplace_back((i & 1) ? 1 : -1, (i & 2) ? 1 : -1, (i & 4) ? 1 : -1);
  for (int round = 0; round < 8; ++round) {
    // Corners, 5x5 grids on every face, interior points and duplicates, shuffled.
    std::vector<Vector3> p = corners;
    for (int f = 0; f < 6; ++f)
      for (int g = 0; g < 25; ++g) {
        Vector3 q;
        q[f % 3] = f < 3 ? -1.0f : 1.0f;
        q[(f + 1) % 3] = -1.0f + 0.5f * (g % 5);
        q[(f + 2) % 3] = -1.0f + 0.5f * (g / 5);
        p.push_back(q);
      }
    for (int i = 0; i < 30; ++i) p.push_back(RandomPoint(-0.9f, 0.9f));
    for (int i = 0; i < 10; ++i) p.push_back(p[plat::rand() % p.size()]);
    Shuffle(p);
    Tris tris;
    ASSERT_TRUE(Build(p, tris));
    ExpectValidHull(p, tris);
    EXPECT_NEAR(Volume(p, tris), 8.0, 1e-9);
  }
}

TEST(ConvexHullFaces, NearDegenerateSetsStayClosedAndConvex) {
  plat::srand(17);
  for (int round = 0; round < 12; ++round) {
    std::vector<Vector3> p;
    const int kind = round % 6;
    for (int i = 0; i < 216; ++i) {
      const Vector3 r = RandomPoint(-1, 1);
      if (kind == 0) {  // a cube grid turned about two axes: coplanar only before rounding
        const float a = 0.3f + round, b = 1.1f * round;
        const float x = (i % 6) * 0.2f - 0.5f, y = (i / 6 % 6) * 0.2f - 0.5f, z = (i / 36) * 0.2f - 0.5f;
        const float x1 = std::cos(a) * x - std::sin(a) * y, y1 = std::sin(a) * x + std::cos(a) * y;
        p.emplace_back(std::cos(b) * x1 + std::sin(b) * z, y1, -std::sin(b) * x1 + std::cos(b) * z);
      } else if (kind == 1) {  // a slab a few float steps thick
        p.emplace_back(r.x, r.y, 1e-6f * r.z);
      } else if (kind == 2) {  // two rings of cocircular points
        const float t = 6.2831853f * (i / 2) / 108;
        p.emplace_back(std::cos(t), std::sin(t), float(i % 2));
      } else if (kind == 3) {  // a fine spread on a big offset
        p.push_back(r + Vector3(1e4f, -2e4f, 5e3f));
      } else if (kind == 4) {  // about one float step off a cube's faces
        Vector3 q = r;
        q[i % 3] = (i % 2 ? 1.0f : -1.0f) * (1.0f + 1e-7f * r[i % 3]);
        p.push_back(q);
      } else {  // a needle
        p.emplace_back(50 * r.x, 100 * r.x + 1e-3f * r.y, -50 * r.x + 1e-3f * r.z);
      }
    }
    Shuffle(p);
    Tris tris;
    if (Build(p, tris)) {
      ExpectValidHull(p, tris, 1e-5);
    } else {
      EXPECT_EQ(kind, 1) << "only the slab may be too thin to have a volume";
    }
  }
}

TEST(ConvexHullFaces, IndexLimitAndNonFiniteInputAreRefusedWithALogLine) {
  plat::srand(23);
  std::vector<Vector3> p(kMaxConvexHullPoints);
  for (Vector3& q : p) q = RandomPoint(-1, 1);
  p.back() = Vector3(2, 2, 2);  // the last 16-bit index must survive as a vertex
  Tris tris;
  ASSERT_TRUE(Build(p, tris));
  ExpectValidHull(p, tris);
  EXPECT_TRUE(std::any_of(tris.begin(), tris.end(), [](const ConvexHullTriangle& t) {
    return t.index[0] == 65535 || t.index[1] == 65535 || t.index[2] == 65535;
  }));

  p.push_back(Vector3(3, 3, 3));
  bool ok = true;
  auto lines = CaptureLog([&] { ok = Build(p, tris); });
  EXPECT_FALSE(ok);
  EXPECT_TRUE(tris.empty());
  EXPECT_EQ(lines.size(), 1u);

  for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    std::vector<Vector3> cube = {Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1), Vector3(1, 1, 1)};
    cube[4].y = bad;
    lines = CaptureLog([&] { ok = Build(cube, tris); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(lines.size(), 1u);
  }
}

// Every point of a sphere is a vertex: the hull of the full 16-bit index range, with the points
// in an order sorted along one axis (the worst case for an incremental build), is closed, keeps
// every point as a vertex (Euler: 2n - 4 faces) and lies within the sphere. A build that scanned
// every face for each point needed minutes here.
TEST(ConvexHullFaces, LargeSphereHullsAreClosedWithEveryPointAVertex) {
  plat::srand(31);
  std::vector<Vector3> p;
  while (p.size() < kMaxConvexHullPoints) {
    const Vector3 q = RandomPoint(-1, 1);
    const float length = q.Length();
    if (length > 0.1f && length < 1.0f) p.push_back(q * (1.0f / length));
  }
  std::sort(p.begin(), p.end(), [](const Vector3& a, const Vector3& b) { return a.z < b.z; });
  // The time is measured by bench/MathBench (BM_ConvexHullSphere); here the whole hull is checked.
  Tris tris;
  ASSERT_TRUE(Build(p, tris));
  std::set<int> vertices;
  ASSERT_NO_FATAL_FAILURE(ExpectClosedSurface(p, tris, vertices));
  // Duplicates from rounding would be interior; points this random are all distinct vertices.
  EXPECT_EQ(vertices.size(), p.size());
  EXPECT_GT(Volume(p, tris), 0.999 * 4.18879);  // (4/3) pi: the inscribed polytope is just smaller
  EXPECT_LT(Volume(p, tris), 4.18879);
}

TEST(ConvexHull2D, HullsAreConvexCounterClockwiseAndHoldEveryPoint) {
  plat::srand(29);
  for (int round = 0; round < 60; ++round) {
    std::vector<Vector2> p;
    for (int i = 0; i < 3 + round * 3; ++i) {
      // Coarse coordinates every third round, so duplicates and collinear runs occur.
      if (round % 3 == 0) p.emplace_back(float(plat::rand() % 7), float(plat::rand() % 7));
      else p.emplace_back(RandomFloat(-5, 5), RandomFloat(-5, 5));
    }
    const std::vector<uint32_t> hull = ConvexHull2D::Build(p.data(), uint32_t(p.size()));
    if (hull.empty()) continue;  // a collinear set
    ASSERT_GE(hull.size(), 3u);
    for (size_t h = 0; h < hull.size(); ++h) {
      const Vector2 a = p[hull[h]], b = p[hull[(h + 1) % hull.size()]], c = p[hull[(h + 2) % hull.size()]];
      EXPECT_GT(double(b.x - a.x) * (c.y - b.y) - double(b.y - a.y) * (c.x - b.x), 0.0) << "not a strict left turn";
      for (const Vector2& q : p) EXPECT_GE(double(b.x - a.x) * (q.y - a.y) - double(b.y - a.y) * (q.x - a.x), -1e-4);
    }
  }
  const Vector2 line[4] = {Vector2(0, 0), Vector2(1, 1), Vector2(2, 2), Vector2(3, 3)};
  EXPECT_TRUE(ConvexHull2D::Build(line, 4).empty());
  const Vector2 tri[4] = {Vector2(0, 0), Vector2(4, 0), Vector2(0, 4), Vector2(1, 1)};
  EXPECT_EQ(ConvexHull2D::Build(tri, 4), (std::vector<uint32_t>{0, 1, 2}));
}
