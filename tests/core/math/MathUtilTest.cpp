// Utility functions against double-precision references, brute force and their stated cases.
#include "core/math/MathUtil.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "platform/Platform.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

Eigen::Vector3d ToEigen(const Vector3& v) { return Eigen::Vector3d(v.x, v.y, v.z); }

struct Rng {
  explicit Rng(unsigned seed) : engine(seed) {}
  float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(engine); }
  Vector3 Point(float extent = 10.0f) {
    return Vector3(Uniform(-extent, extent), Uniform(-extent, extent), Uniform(-extent, extent));
  }
  Vector2 Point2(float extent = 10.0f) { return Vector2(Uniform(-extent, extent), Uniform(-extent, extent)); }
  std::mt19937 engine;
};

void ExpectNear(const Vector3& got, const Eigen::Vector3d& want, double tol) {
  EXPECT_NEAR(got.x, want.x(), tol);
  EXPECT_NEAR(got.y, want.y(), tol);
  EXPECT_NEAR(got.z, want.z(), tol);
}

TEST(MathUtilScalar, RangesAndStatedCases) {
  EXPECT_TRUE(InRange(5, 10, 0));
  EXPECT_TRUE(InRange(10, 0, 10));
  EXPECT_FALSE(InRange(-0.1f, 0, 10));
  EXPECT_FALSE(InRange(10.5f, 10, 0));
  EXPECT_EQ(DistanceOutsideRange(-3, 0, 10), 3);
  EXPECT_EQ(DistanceOutsideRange(12, 0, 10), 2);
  EXPECT_EQ(DistanceOutsideRange(4, 0, 10), 0);

  EXPECT_EQ(WrapToRange(-1, 0, 10), 9);
  EXPECT_EQ(WrapToRange(25, 0, 10), 5);
  EXPECT_EQ(WrapToRange(10, 0, 10), 10);
  EXPECT_EQ(WrapToRange(20, 0, 10), 10);
  EXPECT_EQ(WrapToRange(-10, 0, 10), 0);
  // An empty range has one value; no division by its zero period.
  EXPECT_EQ(WrapToRange(7, 3, 3), 3);
  EXPECT_EQ(WrapToRange(-7, 3, 3), 3);
}

// Wrapping lands in [lo, hi] at a whole number of periods from x.
TEST(MathUtilScalar, WrapMatchesModuloReference) {
  Rng rng(3);
  for (int i = 0; i < 5000; ++i) {
    const float lo = rng.Uniform(-50, 50);
    const float hi = lo + rng.Uniform(0.5f, 20);
    const float x = rng.Uniform(-500, 500);
    const float w = WrapToRange(x, lo, hi);
    const double period = static_cast<double>(hi) - lo;
    ASSERT_GE(w, lo - 1e-3) << x << " " << lo << " " << hi;
    ASSERT_LE(w, hi + 1e-3);
    const double turns = (static_cast<double>(x) - w) / period;
    ASSERT_NEAR(turns, std::round(turns), 1e-3);
    if (x >= lo && x <= hi) {
      ASSERT_EQ(w, x);
    }
  }
}

TEST(MathUtilSegment, ParameterProjectionAndClosestPointAgainstReference) {
  Rng rng(11);
  for (int i = 0; i < 2000; ++i) {
    const Vector3 a = rng.Point(), b = rng.Point(), p = rng.Point();
    const Eigen::Vector3d ea = ToEigen(a), eb = ToEigen(b), ep = ToEigen(p);
    const Eigen::Vector3d ab = eb - ea;
    const double t = (ep - ea).dot(ab) / ab.squaredNorm();
    EXPECT_NEAR(SegmentParameter(a, b, p), t, 1e-3 * (1 + std::fabs(t)));

    Vector3 foot;
    ProjectPointOntoLine(foot, a, b, p);
    ExpectNear(foot, ea + ab * t, 1e-3 * (1 + std::fabs(t)) * 20);
    // The foot's offset is perpendicular to the line.
    EXPECT_NEAR((p - foot).Dot(b - a), 0.0, 0.05);

    // Closest point: brute force over a fine sampling of the segment.
    Vector3 closest;
    ClosestPointOnSegment(closest, a, b, p);
    double best = 1e30;
    for (int k = 0; k <= 1000; ++k) best = std::min(best, (ea + ab * (k / 1000.0) - ep).norm());
    const double got = (ToEigen(closest) - ep).norm();
    EXPECT_LE(got, best + 1e-3);
    EXPECT_GE(got, best - ab.norm() / 1000.0 - 1e-3);

    EXPECT_NEAR(ProjectionFactor(b, p), ToEigen(b).dot(ep) / ToEigen(b).squaredNorm(), 1e-3);
  }
}

TEST(MathUtilSegment, EndsAndDegenerateSegments) {
  const Vector3 a(1, 2, 3), b(4, 2, 3);
  Vector3 out;
  ClosestPointOnSegment(out, a, b, Vector3(9, 5, -1));
  EXPECT_EQ(out, b);
  ClosestPointOnSegment(out, a, b, Vector3(1, 7, 7));  // level with a
  EXPECT_EQ(out, a);

  EXPECT_EQ(SegmentParameter(a, a, b), 0.0f);
  EXPECT_EQ(ProjectionFactor(Vector3(), b), 0.0f);
  ProjectPointOntoLine(out, a, a, b);
  EXPECT_EQ(out, a);
  ClosestPointOnSegment(out, a, a, b);
  EXPECT_EQ(out, a);
  EXPECT_EQ(TriangleArea(a, a, b), 0.0f);

  const Vector2 c(2, 5);
  EXPECT_EQ(SegmentParameter2D(c, c, Vector2(7, 7)), 0.0f);
  EXPECT_EQ(SegmentParameter2D(2, 5, 2, 5, 7, 7), 0.0f);
  Vector2 out2;
  ProjectPointOntoLine2D(out2, c, c, Vector2(7, 7));
  EXPECT_EQ(out2, c);
  ClosestPointOnSegment2D(out2, c, c, Vector2(7, 7));
  EXPECT_EQ(out2, c);
}

// The 2-D forms agree with the 3-D ones on points in the z = 0 plane, and the
// 3-D-point form of the parameter ignores z.
TEST(MathUtilSegment, PlanarFormsMatchSpatialOnes) {
  Rng rng(5);
  for (int i = 0; i < 1000; ++i) {
    const Vector2 a = rng.Point2(), b = rng.Point2(), p = rng.Point2();
    const Vector3 a3(a.x, a.y, 0), b3(b.x, b.y, 0), p3(p.x, p.y, 0);
    const float t = SegmentParameter(a3, b3, p3);
    EXPECT_NEAR(SegmentParameter2D(a, b, p), t, 1e-4 * (1 + std::fabs(t)));
    EXPECT_NEAR(SegmentParameter2D(Vector3(a.x, a.y, 40), b3, Vector3(p.x, p.y, -9)), t,
                1e-4 * (1 + std::fabs(t)));

    Vector2 got2;
    Vector3 got3;
    ClosestPointOnSegment2D(got2, a, b, p);
    ClosestPointOnSegment(got3, a3, b3, p3);
    EXPECT_NEAR(got2.x, got3.x, 1e-4);
    EXPECT_NEAR(got2.y, got3.y, 1e-4);
    ProjectPointOntoLine2D(got2, a, b, p);
    ProjectPointOntoLine(got3, a3, b3, p3);
    EXPECT_NEAR(got2.x, got3.x, 1e-3);
    EXPECT_NEAR(got2.y, got3.y, 1e-3);
    EXPECT_NEAR(AngleBetween2D(a, b), AngleBetween(a3, b3), 1e-4);

    // Side test against the sign of the exact cross product.
    const double cross = (static_cast<double>(b.x) - a.x) * (static_cast<double>(p.y) - a.y) -
                         (static_cast<double>(b.y) - a.y) * (static_cast<double>(p.x) - a.x);
    if (std::fabs(cross) > 1e-3) {
      EXPECT_EQ(IsRightOfLine2D(a, b, p), cross < 0);
    }

    const bool inside = p.x >= std::min(a.x, b.x) && p.x <= std::max(a.x, b.x) &&
                        p.y >= std::min(a.y, b.y) && p.y <= std::max(a.y, b.y);
    EXPECT_EQ(PointInRect2D(a, b, p), inside);
    EXPECT_EQ(PointInRect2D(b, a, p), inside);
  }
  EXPECT_TRUE(IsRightOfLine2D(0, 0, 1, 0, 0.5f, -1));
  EXPECT_FALSE(IsRightOfLine2D(0, 0, 1, 0, 0.5f, 0));
  EXPECT_TRUE(PointInRect2D(Vector2(0, 0), Vector2(2, 2), Vector2(2, 0)));
}

TEST(MathUtilGeometry, AreaAndAnglesAgainstReference) {
  Rng rng(17);
  for (int i = 0; i < 2000; ++i) {
    const Vector3 a = rng.Point(), b = rng.Point(), c = rng.Point();
    const Eigen::Vector3d ea = ToEigen(a), eb = ToEigen(b), ec = ToEigen(c);
    const double area = 0.5 * (eb - ea).cross(ec - ea).norm();
    EXPECT_NEAR(TriangleArea(a, b, c), area, 1e-3 * (1 + area));

    const Eigen::Vector3d u = eb - ea, v = ec - ea;
    const double angle = std::atan2(u.cross(v).norm(), u.dot(v));
    EXPECT_NEAR(AngleBetween(b - a, c - a), angle, 2e-3);
  }
  EXPECT_NEAR(AngleBetween(Vector3(1, 0, 0), Vector3(-2, 0, 0)), kPi, 1e-6);
  EXPECT_EQ(AngleBetween(Vector3(1, 0, 0), Vector3(1, 0, 0)), 0.0f);  // clamped, no NaN
  EXPECT_EQ(AngleBetween(Vector3(), Vector3(1, 2, 3)), 0.0f);
  EXPECT_EQ(AngleBetween2D(Vector2(3, 4), Vector2()), 0.0f);
  EXPECT_NEAR(AngleBetween2D(Vector2(1, 0), Vector2(0, -5)), kPi / 2, 1e-6);
}

TEST(MathUtilGeometry, OrientationAngleOfRotations) {
  TMatrix identity, turned, rolled;
  EXPECT_EQ(OrientationAngle(identity, identity), 0.0f);
  // About Z by 0.3: X and Y rows move by 0.3, Z stays.
  turned.Set(std::cos(0.3f), std::sin(0.3f), 0, -std::sin(0.3f), std::cos(0.3f), 0, 0, 0, 1);
  EXPECT_NEAR(OrientationAngle(identity, turned), 0.3, 1e-5);
  // A half turn about X: Y and Z reverse, the clamp keeps acos defined.
  rolled.Set(1, 0, 0, 0, -1, 0, 0, 0, -1);
  EXPECT_NEAR(OrientationAngle(identity, rolled), kPi, 1e-6);
}

TEST(MathUtilBezier, EndsExactAndReference) {
  Rng rng(23);
  for (int i = 0; i < 500; ++i) {
    const Vector3 p0 = rng.Point(), p1 = rng.Point(), p2 = rng.Point(), p3 = rng.Point();
    Vector3 out;
    EvaluateCubicBezier(out, 0.0f, p0, p1, p2, p3);
    EXPECT_EQ(out, p0);
    EvaluateCubicBezier(out, 1.0f, p0, p1, p2, p3);
    EXPECT_EQ(out, p3);
    // De Casteljau in double as the reference.
    const double t = rng.Uniform(0, 1);
    Eigen::Vector3d q[4] = {ToEigen(p0), ToEigen(p1), ToEigen(p2), ToEigen(p3)};
    for (int level = 3; level > 0; --level)
      for (int k = 0; k < level; ++k) q[k] = q[k] * (1 - t) + q[k + 1] * t;
    EvaluateCubicBezier(out, static_cast<float>(t), p0, p1, p2, p3);
    ExpectNear(out, q[0], 1e-3);
  }
}

TEST(MathUtilRandom, UnitVectorsFollowTheGameStream) {
  plat::srand(99);
  const int r1 = plat::rand();
  const int r2 = plat::rand();
  plat::srand(99);
  Vector3 v;
  RandomUnitVector(v);
  const double phi = 2 * kPi * r1 / 32767.0;
  const double z = 2.0 * r2 / 32767.0 - 1;
  const double r = std::sqrt(1 - z * z);
  EXPECT_NEAR(v.x, r * std::cos(phi), 1e-5);
  EXPECT_NEAR(v.y, r * std::sin(phi), 1e-5);
  EXPECT_NEAR(v.z, z, 1e-6);

  // Uniform on the sphere: unit length, every octant about an eighth.
  int octants[8] = {};
  Eigen::Vector3d mean(0, 0, 0);
  const int kDraws = 40000;
  for (int i = 0; i < kDraws; ++i) {
    RandomUnitVector(v);
    ASSERT_NEAR(v.Length(), 1.0f, 1e-5);
    octants[(v.x > 0) | ((v.y > 0) << 1) | ((v.z > 0) << 2)]++;
    mean += ToEigen(v);
  }
  for (int count : octants) EXPECT_NEAR(count, kDraws / 8, kDraws / 8 * 0.08);
  EXPECT_LT((mean / kDraws).norm(), 0.02);
}

// ---- Polygons ----

struct Polygon {
  std::vector<Vector2> points;
  std::vector<uint32_t> indices;
  explicit Polygon(std::initializer_list<Vector2> pts) : points(pts) {
    for (uint32_t i = 0; i < points.size(); ++i) indices.push_back(i);
  }
  Polygon Reversed() const {
    Polygon r = *this;
    std::reverse(r.indices.begin(), r.indices.end());
    return r;
  }
  int n() const { return static_cast<int>(indices.size()); }
  bool Convex() const { return IsConvexPolygon2D(points.data(), indices.data(), n()); }
  bool Crosses() const { return PolygonSelfIntersects2D(points.data(), indices.data(), n()); }
  bool AngleSum() const { return PolygonAngleSumMatches2D(points.data(), indices.data(), n()); }
};

TEST(MathUtilPolygon, ConvexityCrossingAndAngleSum) {
  // Listed clockwise with y up.
  const Polygon square({{0, 0}, {0, 1}, {1, 1}, {1, 0}});
  const Polygon lShape({{0, 0}, {0, 2}, {1, 2}, {1, 1}, {2, 1}, {2, 0}});
  const Polygon bowTie({{0, 0}, {1, 1}, {1, 0}, {0, 1}});
  const Polygon withStraight({{0, 0}, {0, 1}, {0, 2}, {2, 2}, {2, 0}});

  EXPECT_TRUE(square.Convex());
  EXPECT_TRUE(square.Reversed().Convex());
  // A straight corner counts as a left turn: convex only when listed anticlockwise.
  EXPECT_FALSE(withStraight.Convex());
  EXPECT_TRUE(withStraight.Reversed().Convex());
  EXPECT_FALSE(lShape.Convex());
  EXPECT_FALSE(lShape.Reversed().Convex());
  EXPECT_TRUE(IsConvexPolygon2D(nullptr, nullptr, 0));

  EXPECT_FALSE(square.Crosses());
  EXPECT_FALSE(lShape.Crosses());
  EXPECT_TRUE(bowTie.Crosses());
  EXPECT_TRUE(bowTie.Reversed().Crosses());

  // The angle sum holds for simple polygons listed clockwise only.
  EXPECT_TRUE(square.AngleSum());
  EXPECT_TRUE(lShape.AngleSum());
  EXPECT_TRUE(withStraight.AngleSum());
  EXPECT_FALSE(square.Reversed().AngleSum());
  EXPECT_FALSE(lShape.Reversed().AngleSum());
  EXPECT_FALSE(bowTie.AngleSum());
}

// Orientation of the triangle p, q, r in exact enough double arithmetic.
int Orient(const Vector2& p, const Vector2& q, const Vector2& r) {
  const double v = (static_cast<double>(q.x) - p.x) * (static_cast<double>(r.y) - p.y) -
                   (static_cast<double>(q.y) - p.y) * (static_cast<double>(r.x) - p.x);
  return (v > 0) - (v < 0);
}

// Self-intersection of random polygons against a pairwise orientation test.
TEST(MathUtilPolygon, SelfIntersectionAgainstBruteForce) {
  Rng rng(31);
  int crossing = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const int n = 4 + static_cast<int>(rng.engine() % 5);
    Polygon poly({});
    for (int i = 0; i < n; ++i) {
      poly.points.push_back(rng.Point2());
      poly.indices.push_back(static_cast<uint32_t>(i));
    }
    bool expected = false;
    for (int i = 0; i < n && !expected; ++i) {
      for (int j = i + 2; j < n; ++j) {
        if (i == 0 && j == n - 1) continue;  // neighbours through the wrap
        const Vector2 &a = poly.points[i], &b = poly.points[(i + 1) % n];
        const Vector2 &c = poly.points[j], &d = poly.points[(j + 1) % n];
        if (Orient(a, b, c) != Orient(a, b, d) && Orient(c, d, a) != Orient(c, d, b)) {
          expected = true;
          break;
        }
      }
    }
    crossing += expected;
    ASSERT_EQ(poly.Crosses(), expected) << "trial " << trial;
  }
  EXPECT_GT(crossing, 300);
  EXPECT_LT(crossing, 2700);
}

}  // namespace
