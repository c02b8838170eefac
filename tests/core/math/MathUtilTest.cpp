// Utility functions against double-precision references, brute force and their stated cases.
#include "core/math/MathUtil.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "platform/system/Platform.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

Eigen::Vector3d E(const Vector3& v) { return Eigen::Vector3d(v.x, v.y, v.z); }

struct Rng {
  explicit Rng(unsigned seed) : engine(seed) {}
  float U(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(engine); }
  Vector3 P() { return Vector3(U(-10, 10), U(-10, 10), U(-10, 10)); }
  Vector2 P2() { return Vector2(U(-10, 10), U(-10, 10)); }
  std::mt19937 engine;
};

TEST(MathUtil, ScalarRanges) {
  EXPECT_TRUE(InRange(5, 10, 0));  // the ends in either order
  EXPECT_EQ(DistanceOutsideRange(-3, 0, 10), 3);
  EXPECT_EQ(WrapToRange(10, 0, 10), 10);
  EXPECT_EQ(WrapToRange(20, 0, 10), 10);
  EXPECT_EQ(WrapToRange(7, 3, 3), 3);  // an empty period, no division by zero
  Rng rng(3);
  for (int i = 0; i < 5000; ++i) {
    const float lo = rng.U(-50, 50), hi = lo + rng.U(0.5f, 20), x = rng.U(-500, 500);
    const float w = WrapToRange(x, lo, hi);
    ASSERT_TRUE(w >= lo - 1e-3f && w <= hi + 1e-3f);
    const double turns = (static_cast<double>(x) - w) / (static_cast<double>(hi) - lo);
    ASSERT_NEAR(turns, std::round(turns), 1e-3);
    if (x >= lo && x <= hi) {
      ASSERT_EQ(w, x);
    }
  }
}

TEST(MathUtil, SegmentsAgainstReference) {
  Rng rng(11);
  for (int i = 0; i < 1000; ++i) {
    const Vector3 a = rng.P(), b = rng.P(), p = rng.P();
    const Eigen::Vector3d ab = E(b) - E(a);
    const double t = (E(p) - E(a)).dot(ab) / ab.squaredNorm();
    EXPECT_NEAR(SegmentParameter(a, b, p), t, 1e-3 * (1 + std::fabs(t)));
    Vector3 foot, closest;
    ProjectPointOntoLine(foot, a, b, p);
    EXPECT_LT((E(foot) - (E(a) + ab * t)).norm(), 1e-2 * (1 + std::fabs(t)));
    // Closest point: no sample of the segment comes nearer.
    ClosestPointOnSegment(closest, a, b, p);
    double best = 1e30;
    for (int k = 0; k <= 500; ++k) best = std::min(best, (E(a) + ab * (k / 500.0) - E(p)).norm());
    const double got = (E(closest) - E(p)).norm();
    EXPECT_LE(got, best + 1e-3);
    EXPECT_GE(got, best - ab.norm() / 500 - 1e-3);
    // The planar forms agree with the spatial ones at z = 0; the 3-D-point form ignores z.
    const Vector2 a2(a.x, a.y), b2(b.x, b.y), p2(p.x, p.y);
    const Vector3 a0(a.x, a.y, 0), b0(b.x, b.y, 0), p0(p.x, p.y, 0);
    const float t0 = SegmentParameter(a0, b0, p0);
    EXPECT_NEAR(SegmentParameter2D(a2, b2, p2), t0, 1e-4 * (1 + std::fabs(t0)));
    EXPECT_NEAR(SegmentParameter2D(a, b, p), t0, 1e-4 * (1 + std::fabs(t0)));
    Vector2 c2;
    ClosestPointOnSegment2D(c2, a2, b2, p2);
    ClosestPointOnSegment(closest, a0, b0, p0);
    EXPECT_NEAR(c2.x, closest.x, 1e-4);
    EXPECT_NEAR(c2.y, closest.y, 1e-4);
    const double area = 0.5 * ab.cross(E(p) - E(a)).norm();
    EXPECT_NEAR(TriangleArea(a, b, p), area, 1e-3 * (1 + area));
    const double angle = std::atan2(E(a).cross(E(b)).norm(), E(a).dot(E(b)));
    EXPECT_NEAR(AngleBetween(a, b), angle, 2e-3);
  }
}

TEST(MathUtil, DegenerateAndEdgeCases) {
  // Coinciding ends: the foot is the end, not a division by zero.
  const Vector3 a(1, 2, 3), b(4, 2, 3);
  Vector3 out;
  EXPECT_EQ(SegmentParameter(a, a, b), 0.0f);
  EXPECT_EQ(ProjectionFactor(Vector3(), b), 0.0f);
  ProjectPointOntoLine(out, a, a, b);
  EXPECT_EQ(out, a);
  EXPECT_EQ(TriangleArea(a, a, b), 0.0f);
  const Vector2 c(2, 5);
  Vector2 out2;
  EXPECT_EQ(SegmentParameter2D(c, c, Vector2(7, 7)), 0.0f);
  ProjectPointOntoLine2D(out2, c, c, Vector2(7, 7));
  EXPECT_EQ(out2, c);
  ClosestPointOnSegment2D(out2, c, c, Vector2(7, 7));
  EXPECT_EQ(out2, c);

  EXPECT_EQ(AngleBetween(Vector3(3, 1, 0), Vector3(3, 1, 0)), 0.0f);  // clamped, no NaN
  EXPECT_EQ(AngleBetween(Vector3(), b), 0.0f);
  EXPECT_EQ(AngleBetween2D(Vector2(3, 4), Vector2()), 0.0f);
  EXPECT_FALSE(IsRightOfLine2D(0, 0, 1, 0, 0.5f, 0));
  EXPECT_TRUE(PointInRect2D(Vector2(2, 2), Vector2(0, 0), Vector2(2, 0)));  // edges count

  TMatrix identity, turned, flipped;
  turned.Set(std::cos(0.3f), std::sin(0.3f), 0, -std::sin(0.3f), std::cos(0.3f), 0, 0, 0, 1);
  flipped.Set(1, 0, 0, 0, -1, 0, 0, 0, -1);
  EXPECT_NEAR(OrientationAngle(identity, turned), 0.3, 1e-5);
  EXPECT_NEAR(OrientationAngle(identity, flipped), kPi, 1e-6);
}

TEST(MathUtil, BezierAgainstDeCasteljau) {
  Rng rng(23);
  for (int i = 0; i < 500; ++i) {
    const Vector3 p[4] = {rng.P(), rng.P(), rng.P(), rng.P()};
    Vector3 out;
    const double t = rng.U(0, 1);
    Eigen::Vector3d q[4] = {E(p[0]), E(p[1]), E(p[2]), E(p[3])};
    for (int level = 3; level > 0; --level)
      for (int k = 0; k < level; ++k) q[k] = q[k] * (1 - t) + q[k + 1] * t;
    EvaluateCubicBezier(out, static_cast<float>(t), p[0], p[1], p[2], p[3]);
    EXPECT_LT((E(out) - q[0]).norm(), 1e-3);
  }
}

TEST(MathUtil, RandomUnitVectorsFollowTheGameStream) {
  plat::srand(99);
  const int r1 = plat::rand(), r2 = plat::rand();
  plat::srand(99);
  Vector3 v;
  RandomUnitVector(v);  // the angle takes the first draw
  const double phi = 2 * kPi * r1 / 32767.0, z = 2.0 * r2 / 32767.0 - 1;
  EXPECT_NEAR(v.x, std::sqrt(1 - z * z) * std::cos(phi), 1e-5);
  EXPECT_NEAR(v.z, z, 1e-6);
  // Uniform on the sphere: unit length, every octant about an eighth.
  int octants[8] = {};
  for (int i = 0; i < 40000; ++i) {
    RandomUnitVector(v);
    ASSERT_NEAR(v.Length(), 1.0f, 1e-5);
    octants[(v.x > 0) | ((v.y > 0) << 1) | ((v.z > 0) << 2)]++;
  }
  for (int count : octants) EXPECT_NEAR(count, 5000, 400);
}

struct Polygon {
  std::vector<Vector2> points;
  std::vector<uint32_t> indices;
  Polygon(std::initializer_list<Vector2> pts, bool reversed = false) : points(pts) {
    for (uint32_t i = 0; i < points.size(); ++i) indices.push_back(i);
    if (reversed) std::reverse(indices.begin(), indices.end());
  }
  int n() const { return static_cast<int>(indices.size()); }
  bool Convex() const { return IsConvexPolygon2D(points.data(), indices.data(), n()); }
  bool Crosses() const { return PolygonSelfIntersects2D(points.data(), indices.data(), n()); }
  bool AngleSum() const { return PolygonAngleSumMatches2D(points.data(), indices.data(), n()); }
};

TEST(MathUtil, PolygonTests) {
  // Clockwise with y up, and the same reversed.
  for (bool rev : {false, true}) {
    const Polygon square({{0, 0}, {0, 1}, {1, 1}, {1, 0}}, rev);
    const Polygon lShape({{0, 0}, {0, 2}, {1, 2}, {1, 1}, {2, 1}, {2, 0}}, rev);
    const Polygon bowTie({{0, 0}, {1, 1}, {1, 0}, {0, 1}}, rev);
    const Polygon straight({{0, 0}, {0, 1}, {0, 2}, {2, 2}, {2, 0}}, rev);
    EXPECT_TRUE(square.Convex());
    EXPECT_FALSE(lShape.Convex());
    EXPECT_EQ(straight.Convex(), rev);  // a straight corner counts as a left turn
    EXPECT_FALSE(square.Crosses() || lShape.Crosses());
    const uint32_t strip[] = {1, 0, 2, 3};  // a triangle read out of a longer index list
    EXPECT_FALSE(PolygonSelfIntersects2D(bowTie.points.data(), strip + 1, 3));
    // The angle sum matches for simple clockwise polygons only.
    EXPECT_EQ(square.AngleSum(), !rev);
    EXPECT_EQ(lShape.AngleSum(), !rev);
    EXPECT_FALSE(bowTie.AngleSum());
  }
  EXPECT_TRUE(IsConvexPolygon2D(nullptr, nullptr, 0));

  // Self-intersection of random polygons against pairwise orientation tests.
  auto orient = [](const Vector2& p, const Vector2& q, const Vector2& r) {
    const double v = (double(q.x) - p.x) * (double(r.y) - p.y) - (double(q.y) - p.y) * (double(r.x) - p.x);
    return (v > 0) - (v < 0);
  };
  Rng rng(31);
  int crossing = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    Polygon poly({});
    const int n = 4 + static_cast<int>(rng.engine() % 5);
    for (int i = 0; i < n; ++i) poly.points.push_back(rng.P2()), poly.indices.push_back(i);
    bool expected = false;
    for (int i = 0; i < n; ++i) {
      for (int j = i + 2; j < n && !(i == 0 && j == n - 1); ++j) {
        const Vector2 &a = poly.points[i], &b = poly.points[(i + 1) % n];
        const Vector2 &c = poly.points[j], &d = poly.points[(j + 1) % n];
        expected |= orient(a, b, c) != orient(a, b, d) && orient(c, d, a) != orient(c, d, b);
      }
    }
    crossing += expected;
    ASSERT_EQ(poly.Crosses(), expected) << "trial " << trial;
  }
  EXPECT_TRUE(crossing > 300 && crossing < 2700);
}

}  // namespace
