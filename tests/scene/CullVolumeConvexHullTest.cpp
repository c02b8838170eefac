// Convex hull faces and the 2-D hull scan, checked against brute force and
// against the invariants of a closed, outward-wound convex surface.
#include "scene/ConvexHull2D.h"
#include "scene/ConvexHullFaces.h"

#include "core/math/Vector2.h"
#include "core/math/Vector3.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// 30-bit uniform value in [lo, hi]: two 15-bit draws, so random clouds are in
// general position unless a test makes them degenerate on purpose.
float RandomFloat(float lo, float hi) {
  const double r = (static_cast<double>(plat::rand()) * (plat::kRandMax + 1) + plat::rand()) /
                   (static_cast<double>(plat::kRandMax + 1) * (plat::kRandMax + 1) - 1);
  return static_cast<float>(lo + (hi - lo) * r);
}

Vector3 RandomPoint(float lo, float hi) {
  const float x = RandomFloat(lo, hi);
  const float y = RandomFloat(lo, hi);
  const float z = RandomFloat(lo, hi);
  return Vector3(x, y, z);
}

struct D3 {
  double x, y, z;
};
D3 ToD(const Vector3& v) { return {v.x, v.y, v.z}; }
D3 Sub(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
D3 Cross(const D3& a, const D3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Len(const D3& a) { return std::sqrt(Dot(a, a)); }

double Scale(const std::vector<Vector3>& pts) {
  double s = 0.0;
  for (const Vector3& p : pts) s = std::max({s, std::fabs(double(p.x)), std::fabs(double(p.y)), std::fabs(double(p.z))});
  return s;
}

double SignedVolume(const std::vector<Vector3>& pts, const std::vector<ConvexHullTriangle>& tris) {
  const D3 o = ToD(pts[tris[0].index[0]]);
  double v = 0.0;
  for (const ConvexHullTriangle& t : tris) {
    const D3 a = Sub(ToD(pts[t.index[0]]), o), b = Sub(ToD(pts[t.index[1]]), o), c = Sub(ToD(pts[t.index[2]]), o);
    v += Dot(a, Cross(b, c)) / 6.0;
  }
  return v;
}

// Everything a correct hull must satisfy: valid distinct indices; every directed
// edge used once and its reverse once (closed and consistently wound); Euler's
// formula for a sphere; every input point on or inside every face plane; the
// normals pointing away from the hull's interior; positive volume.
void ExpectValidHull(const std::vector<Vector3>& pts, const std::vector<ConvexHullTriangle>& tris,
                     double relTol = 1e-6) {
  ASSERT_GE(tris.size(), 4u);
  std::map<std::pair<int, int>, int> directed;
  std::set<int> vertices;
  for (const ConvexHullTriangle& t : tris) {
    for (int k = 0; k < 3; ++k) {
      ASSERT_LT(t.index[k], pts.size());
      vertices.insert(t.index[k]);
    }
    ASSERT_NE(t.index[0], t.index[1]);
    ASSERT_NE(t.index[1], t.index[2]);
    ASSERT_NE(t.index[0], t.index[2]);
    for (int k = 0; k < 3; ++k) ++directed[{t.index[k], t.index[(k + 1) % 3]}];
  }
  for (const auto& [edge, uses] : directed) {
    ASSERT_EQ(uses, 1) << "edge " << edge.first << "-" << edge.second << " used twice the same way";
    const auto twin = directed.find({edge.second, edge.first});
    ASSERT_TRUE(twin != directed.end()) << "open edge " << edge.first << "-" << edge.second;
  }
  const long long v = vertices.size(), e = directed.size() / 2, f = tris.size();
  EXPECT_EQ(v - e + f, 2);

  const double tol = relTol * Scale(pts);
  D3 centre{0, 0, 0};
  for (int i : vertices) {
    const D3 p = ToD(pts[i]);
    centre = {centre.x + p.x / v, centre.y + p.y / v, centre.z + p.z / v};
  }
  for (const ConvexHullTriangle& t : tris) {
    const D3 p0 = ToD(pts[t.index[0]]);
    const D3 n = Cross(Sub(ToD(pts[t.index[1]]), p0), Sub(ToD(pts[t.index[2]]), p0));
    const double len = Len(n);
    ASSERT_GT(len, 0.0) << "zero-area triangle";
    for (const Vector3& q : pts) {
      ASSERT_LE(Dot(n, Sub(ToD(q), p0)) / len, tol) << "a point lies outside a face";
    }
    EXPECT_LT(Dot(n, Sub(centre, p0)) / len, tol) << "face wound inward";
  }
  EXPECT_GT(SignedVolume(pts, tris), 0.0);
}

// Brute-force hull faces of points in general position: every triple whose
// plane has all other points strictly on one side, wound with the rest behind it.
std::set<std::array<int, 3>> BruteForceFaces(const std::vector<Vector3>& pts) {
  std::set<std::array<int, 3>> faces;
  const int n = static_cast<int>(pts.size());
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      for (int k = j + 1; k < n; ++k) {
        const D3 p0 = ToD(pts[i]);
        const D3 nrm = Cross(Sub(ToD(pts[j]), p0), Sub(ToD(pts[k]), p0));
        int above = 0, below = 0;
        for (int q = 0; q < n; ++q) {
          if (q == i || q == j || q == k) continue;
          const double d = Dot(nrm, Sub(ToD(pts[q]), p0));
          (d > 0 ? above : below)++;
        }
        if (above == 0) faces.insert({i, j, k});
        if (below == 0) faces.insert({i, k, j});
      }
    }
  }
  return faces;
}

// Rotates a triangle's indices so the smallest comes first (keeps winding).
std::array<int, 3> Canonical(const ConvexHullTriangle& t) {
  std::array<int, 3> a{t.index[0], t.index[1], t.index[2]};
  while (a[0] > a[1] || a[0] > a[2]) std::rotate(a.begin(), a.begin() + 1, a.end());
  return a;
}

std::vector<std::string> CaptureLog(const std::function<void()>& action) {
  std::vector<std::string> lines;
  plat::DebugSink previous = plat::SetDebugSink([&](const char* text) { lines.emplace_back(text); });
  action();
  plat::SetDebugSink(previous);
  return lines;
}

std::vector<Vector3> CubeCorners(float h) {
  std::vector<Vector3> c;
  for (int i = 0; i < 8; ++i) c.emplace_back((i & 1) ? h : -h, (i & 2) ? h : -h, (i & 4) ? h : -h);
  return c;
}

void Shuffle(std::vector<Vector3>& pts) {
  for (size_t i = pts.size(); i > 1; --i) std::swap(pts[i - 1], pts[plat::rand() % i]);
}

}  // namespace

TEST(ConvexHullFaces, TetrahedronGivesFourOutwardTriangles) {
  const std::vector<Vector3> pts = {Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
  std::vector<ConvexHullTriangle> tris;
  ASSERT_TRUE(BuildConvexHullFaces(pts.data(), 4, tris));
  ASSERT_EQ(tris.size(), 4u);
  ExpectValidHull(pts, tris);
  EXPECT_NEAR(SignedVolume(pts, tris), 1.0 / 6.0, 1e-12);

  // The mirrored order must still come out outward.
  const std::vector<Vector3> mirrored = {Vector3(0, 0, 0), Vector3(0, 1, 0), Vector3(1, 0, 0), Vector3(0, 0, 1)};
  ASSERT_TRUE(BuildConvexHullFaces(mirrored.data(), 4, tris));
  ExpectValidHull(mirrored, tris);
}

TEST(ConvexHullFaces, DegenerateSetsHaveNoHull) {
  std::vector<ConvexHullTriangle> tris(3);
  const std::vector<Vector3> three = {Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0)};
  EXPECT_FALSE(BuildConvexHullFaces(three.data(), 3, tris));
  EXPECT_TRUE(tris.empty());

  const std::vector<Vector3> equal(10, Vector3(2.5f, -1, 3));
  EXPECT_FALSE(BuildConvexHullFaces(equal.data(), 10, tris));

  std::vector<Vector3> line;
  for (int i = 0; i < 20; ++i) line.emplace_back(1.0f + i, 2.0f + 2 * i, -3.0f * i);
  line.push_back(line[3]);
  EXPECT_FALSE(BuildConvexHullFaces(line.data(), static_cast<uint32_t>(line.size()), tris));

  const std::vector<Vector3> square = {Vector3(0, 0, 1), Vector3(1, 0, 1), Vector3(1, 1, 1), Vector3(0, 1, 1)};
  EXPECT_FALSE(BuildConvexHullFaces(square.data(), 4, tris));

  // Many points on the tilted plane z = x + 2y - 3 (exact in floats).
  std::vector<Vector3> plane;
  for (int i = 0; i < 60; ++i) {
    const int x = plat::rand() % 200 - 100, y = plat::rand() % 200 - 100;
    plane.emplace_back(float(x), float(y), float(x + 2 * y - 3));
  }
  EXPECT_FALSE(BuildConvexHullFaces(plane.data(), static_cast<uint32_t>(plane.size()), tris));
  EXPECT_TRUE(tris.empty());

  EXPECT_FALSE(BuildConvexHullFaces(nullptr, 8, tris));
}

TEST(ConvexHullFaces, DuplicateAndInteriorPointsAddNothing) {
  std::vector<Vector3> pts = {Vector3(0, 0, 0), Vector3(4, 0, 0), Vector3(0, 4, 0), Vector3(0, 0, 4)};
  pts.push_back(pts[1]);
  pts.push_back(pts[3]);
  pts.push_back(Vector3(0.5f, 0.5f, 0.5f));
  pts.push_back(Vector3(1, 1, 2));  // on the slanted face
  std::vector<ConvexHullTriangle> tris;
  ASSERT_TRUE(BuildConvexHullFaces(pts.data(), static_cast<uint32_t>(pts.size()), tris));
  EXPECT_EQ(tris.size(), 4u);
  ExpectValidHull(pts, tris);
}

TEST(ConvexHullFaces, RandomCloudsMatchBruteForce) {
  plat::srand(11);
  for (int round = 0; round < 40; ++round) {
    const int n = 4 + round % 26;
    std::vector<Vector3> pts;
    for (int i = 0; i < n; ++i) pts.push_back(RandomPoint(-10, 10));
    std::vector<ConvexHullTriangle> tris;
    ASSERT_TRUE(BuildConvexHullFaces(pts.data(), n, tris)) << "round " << round;
    ExpectValidHull(pts, tris);
    std::set<std::array<int, 3>> got;
    for (const ConvexHullTriangle& t : tris) got.insert(Canonical(t));
    EXPECT_EQ(got, BruteForceFaces(pts)) << "round " << round;
  }
}

TEST(ConvexHullFaces, LargeRandomCloudsAndSpheresStayClosed) {
  plat::srand(5);
  for (int round = 0; round < 6; ++round) {
    std::vector<Vector3> pts;
    const int n = 300 + 200 * round;
    for (int i = 0; i < n; ++i) {
      Vector3 p = RandomPoint(-1, 1);
      if (round % 2 == 1) {
        // On the unit sphere: every point is a hull vertex and neighbouring
        // faces are nearly coplanar.
        const float len = p.Length();
        if (len < 1e-3f) continue;
        p = p * (1.0f / len);
      }
      pts.push_back(p);
    }
    std::vector<ConvexHullTriangle> tris;
    ASSERT_TRUE(BuildConvexHullFaces(pts.data(), static_cast<uint32_t>(pts.size()), tris));
    ExpectValidHull(pts, tris);
  }
}

TEST(ConvexHullFaces, CubesWithCoplanarPointsAreClosed) {
  plat::srand(3);
  for (int round = 0; round < 8; ++round) {
    std::vector<Vector3> pts = CubeCorners(1.0f);
    // Grids on every face (many exactly coplanar points), edge points, interior
    // points and duplicates, in random order.
    for (int axis = 0; axis < 3; ++axis) {
      for (float side : {-1.0f, 1.0f}) {
        for (int i = 0; i <= 4; ++i) {
          for (int j = 0; j <= 4; ++j) {
            Vector3 p;
            p[axis] = side;
            p[(axis + 1) % 3] = -1.0f + 0.5f * i;
            p[(axis + 2) % 3] = -1.0f + 0.5f * j;
            pts.push_back(p);
          }
        }
      }
    }
    for (int i = 0; i < 30; ++i) pts.push_back(RandomPoint(-0.9f, 0.9f));
    for (int i = 0; i < 10; ++i) pts.push_back(pts[plat::rand() % pts.size()]);
    Shuffle(pts);
    std::vector<ConvexHullTriangle> tris;
    ASSERT_TRUE(BuildConvexHullFaces(pts.data(), static_cast<uint32_t>(pts.size()), tris));
    ExpectValidHull(pts, tris);
    EXPECT_NEAR(SignedVolume(pts, tris), 8.0, 1e-9);
    std::set<int> used;
    for (const ConvexHullTriangle& t : tris) used.insert(t.index, t.index + 3);
    for (const Vector3& corner : CubeCorners(1.0f)) {
      bool found = false;
      for (int i : used) found = found || pts[i] == corner;
      EXPECT_TRUE(found) << "cube corner missing from the hull";
    }
  }
}

TEST(ConvexHullFaces, NearDegenerateSetsStayClosedAndConvex) {
  plat::srand(17);
  std::vector<ConvexHullTriangle> tris;
  for (int round = 0; round < 12; ++round) {
    std::vector<Vector3> pts;
    const int kind = round % 6;
    if (kind == 0) {
      // A rotated cube grid: coplanar in exact terms, only nearly so in floats.
      const float a = RandomFloat(0, 6.283f), b = RandomFloat(0, 6.283f);
      const float ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
      for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 6; ++j)
          for (int k = 0; k < 6; ++k) {
            const float x = i * 0.2f - 0.5f, y = j * 0.2f - 0.5f, z = k * 0.2f - 0.5f;
            const float x1 = ca * x - sa * y, y1 = sa * x + ca * y;
            pts.emplace_back(cb * x1 + sb * z, y1, -sb * x1 + cb * z);
          }
    } else if (kind == 1) {
      // A flat slab a few float steps thick.
      for (int i = 0; i < 200; ++i) {
        Vector3 p = RandomPoint(-1, 1);
        p.z = 1e-6f * RandomFloat(-1, 1);
        pts.push_back(p);
      }
    } else if (kind == 2) {
      // Two parallel rings of cocircular points (a drum).
      for (int i = 0; i < 64; ++i) {
        const float t = 6.2831853f * i / 64;
        pts.emplace_back(std::cos(t), std::sin(t), 0.0f);
        pts.emplace_back(std::cos(t), std::sin(t), 1.0f);
      }
    } else if (kind == 3) {
      // A small cloud far from the origin: a fine spread on top of a big offset.
      for (int i = 0; i < 150; ++i) pts.push_back(RandomPoint(-1, 1) + Vector3(1e4f, -2e4f, 5e3f));
    } else if (kind == 4) {
      // Points jittered by about one float step off a cube's faces.
      for (int i = 0; i < 400; ++i) {
        Vector3 p = RandomPoint(-1, 1);
        const int axis = plat::rand() % 3;
        p[axis] = ((plat::rand() & 1) ? 1.0f : -1.0f) * (1.0f + 1e-7f * RandomFloat(-1, 1));
        pts.push_back(p);
      }
    } else {
      // A needle: nearly collinear points with a little spread.
      for (int i = 0; i < 100; ++i) {
        const float t = RandomFloat(0, 100);
        pts.emplace_back(t, 2 * t + 1e-3f * RandomFloat(-1, 1), -t + 1e-3f * RandomFloat(-1, 1));
      }
    }
    Shuffle(pts);
    if (BuildConvexHullFaces(pts.data(), static_cast<uint32_t>(pts.size()), tris)) {
      ExpectValidHull(pts, tris, 1e-5);
    } else {
      EXPECT_EQ(kind, 1) << "only the slab may be too thin to have a volume";
    }
  }
}

TEST(ConvexHullFaces, SixteenBitIndexLimit) {
  plat::srand(23);
  std::vector<Vector3> pts(kMaxConvexHullPoints);
  for (Vector3& p : pts) p = RandomPoint(-1, 1);
  pts.back() = Vector3(2, 2, 2);  // the last index must survive as a hull vertex
  std::vector<ConvexHullTriangle> tris;
  ASSERT_TRUE(BuildConvexHullFaces(pts.data(), kMaxConvexHullPoints, tris));
  bool usesLast = false;
  for (const ConvexHullTriangle& t : tris)
    for (uint16_t i : t.index) usesLast = usesLast || i == kMaxConvexHullPoints - 1;
  EXPECT_TRUE(usesLast);
  ExpectValidHull(pts, tris);

  pts.push_back(Vector3(3, 3, 3));
  bool ok = true;
  const auto lines = CaptureLog([&] { ok = BuildConvexHullFaces(pts.data(), kMaxConvexHullPoints + 1, tris); });
  EXPECT_FALSE(ok);
  EXPECT_TRUE(tris.empty());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("BuildConvexHullFaces: ", 0), 0u);
  EXPECT_NE(lines[0].find("65537"), std::string::npos);
  EXPECT_EQ(lines[0].back(), '\n');
}

TEST(ConvexHullFaces, NonFiniteCoordinatesAreRefused) {
  std::vector<Vector3> pts = CubeCorners(1.0f);
  pts[5].y = std::numeric_limits<float>::quiet_NaN();
  std::vector<ConvexHullTriangle> tris;
  bool ok = true;
  auto lines = CaptureLog([&] { ok = BuildConvexHullFaces(pts.data(), 8, tris); });
  EXPECT_FALSE(ok);
  EXPECT_EQ(lines.size(), 1u);
  pts[5].y = std::numeric_limits<float>::infinity();
  lines = CaptureLog([&] { ok = BuildConvexHullFaces(pts.data(), 8, tris); });
  EXPECT_FALSE(ok);
  EXPECT_EQ(lines.size(), 1u);
}

TEST(ConvexHull2D, RandomSetsGiveConvexCounterClockwiseHullsHoldingEveryPoint) {
  plat::srand(29);
  for (int round = 0; round < 60; ++round) {
    const int n = 3 + round * 3;
    std::vector<Vector2> pts;
    for (int i = 0; i < n; ++i) {
      // Coarse coordinates on some rounds, so duplicates and collinear runs occur.
      if (round % 3 == 0) {
        pts.emplace_back(float(plat::rand() % 7), float(plat::rand() % 7));
      } else {
        pts.emplace_back(RandomFloat(-5, 5), RandomFloat(-5, 5));
      }
    }
    const std::vector<uint32_t> hull = ConvexHull2D::Build(pts.data(), n);
    if (hull.empty()) continue;  // a collinear set
    ASSERT_GE(hull.size(), 3u);
    for (size_t h = 0; h < hull.size(); ++h) {
      const Vector2& a = pts[hull[h]];
      const Vector2& b = pts[hull[(h + 1) % hull.size()]];
      const Vector2& c = pts[hull[(h + 2) % hull.size()]];
      const double turn = double(b.x - a.x) * (c.y - b.y) - double(b.y - a.y) * (c.x - b.x);
      EXPECT_GT(turn, 0.0) << "hull not strictly convex and counter-clockwise";
      for (const Vector2& q : pts) {
        const double side = double(b.x - a.x) * (q.y - a.y) - double(b.y - a.y) * (q.x - a.x);
        EXPECT_GE(side, -1e-4) << "point right of a hull edge";
      }
    }
  }
}

TEST(ConvexHull2D, DegenerateInputGivesNoHull) {
  const Vector2 line[4] = {Vector2(0, 0), Vector2(1, 1), Vector2(2, 2), Vector2(3, 3)};
  EXPECT_TRUE(ConvexHull2D::Build(line, 4).empty());
  const Vector2 same[3] = {Vector2(1, 2), Vector2(1, 2), Vector2(1, 2)};
  EXPECT_TRUE(ConvexHull2D::Build(same, 3).empty());
  EXPECT_TRUE(ConvexHull2D::Build(line, 2).empty());
  const Vector2 tri[4] = {Vector2(0, 0), Vector2(4, 0), Vector2(0, 4), Vector2(1, 1)};
  const std::vector<uint32_t> hull = ConvexHull2D::Build(tri, 4);
  EXPECT_EQ(hull, (std::vector<uint32_t>{0, 1, 2}));
}
