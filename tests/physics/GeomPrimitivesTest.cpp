// Tests of the geometric primitives against brute-force references (sampling, separating
// axes, exact closest points) and their stated edge cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "core/math/MathUtil.h"
#include "physics/collision/GeomPrimitives.h"
#include "tests/physics/PhysicsTestUtil.h"
#include "tests/support/MathCompare.h"

using physics_test::DebugCapture;
using physics_test::RandomPoint;
using physics_test::Uniform;
using testing_support::ElementsNear;

namespace {

// Distance between two segments by sampling one finely and projecting exactly onto the
// other (clamped), then refining around the best sample.
double BruteSegmentDistance(const Vector3& a0, const Vector3& a1, const Vector3& b0, const Vector3& b1) {
  auto distanceAt = [&](double s) {
    const double px = a0.x + (double(a1.x) - a0.x) * s, py = a0.y + (double(a1.y) - a0.y) * s,
                 pz = a0.z + (double(a1.z) - a0.z) * s;
    const double dx = double(b1.x) - b0.x, dy = double(b1.y) - b0.y, dz = double(b1.z) - b0.z;
    const double len2 = dx * dx + dy * dy + dz * dz;
    double t = len2 > 0 ? ((px - b0.x) * dx + (py - b0.y) * dy + (pz - b0.z) * dz) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double qx = b0.x + dx * t - px, qy = b0.y + dy * t - py, qz = b0.z + dz * t - pz;
    return std::sqrt(qx * qx + qy * qy + qz * qz);
  };
  const int samples = 2000;
  double best = 1e30, bestS = 0;
  for (int i = 0; i <= samples; ++i) {
    const double s = double(i) / samples, d = distanceAt(s);
    if (d < best) best = d, bestS = s;
  }
  // The distance is convex in s: a ternary search around the best sample finishes it.
  double lo = std::max(0.0, bestS - 1.0 / samples), hi = std::min(1.0, bestS + 1.0 / samples);
  for (int i = 0; i < 100; ++i) {
    const double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
    (distanceAt(m1) < distanceAt(m2) ? hi : lo) = (distanceAt(m1) < distanceAt(m2) ? m2 : m1);
  }
  return std::min(best, distanceAt(0.5 * (lo + hi)));
}

// Separating-axis reference for triangle/box overlap (touching counts), in doubles.
bool SatTriangleBox(const Box& box, const Vector3& a, const Vector3& b, const Vector3& k) {
  const double c[3] = {0.5 * (double(box.min.x) + box.max.x), 0.5 * (double(box.min.y) + box.max.y),
                       0.5 * (double(box.min.z) + box.max.z)};
  const double h[3] = {0.5 * (double(box.max.x) - box.min.x), 0.5 * (double(box.max.y) - box.min.y),
                       0.5 * (double(box.max.z) - box.min.z)};
  double v[3][3];
  const Vector3* p[3] = {&a, &b, &k};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) v[i][j] = (*p[i])[j] - c[j];
  auto separated = [&](const double axis[3]) {
    double lo = 1e300, hi = -1e300;
    for (auto& vi : v) {
      const double d = vi[0] * axis[0] + vi[1] * axis[1] + vi[2] * axis[2];
      lo = std::min(lo, d), hi = std::max(hi, d);
    }
    const double r = h[0] * std::fabs(axis[0]) + h[1] * std::fabs(axis[1]) + h[2] * std::fabs(axis[2]);
    return lo > r || hi < -r;
  };
  double e[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) e[i][j] = v[(i + 1) % 3][j] - v[i][j];
  for (int j = 0; j < 3; ++j) {
    const double axis[3] = {double(j == 0), double(j == 1), double(j == 2)};
    if (separated(axis)) return false;
  }
  const double n[3] = {e[0][1] * e[1][2] - e[0][2] * e[1][1], e[0][2] * e[1][0] - e[0][0] * e[1][2],
                       e[0][0] * e[1][1] - e[0][1] * e[1][0]};
  if (separated(n)) return false;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const double u[3] = {double(j == 0), double(j == 1), double(j == 2)};
      const double axis[3] = {u[1] * e[i][2] - u[2] * e[i][1], u[2] * e[i][0] - u[0] * e[i][2],
                              u[0] * e[i][1] - u[1] * e[i][0]};
      if (separated(axis)) return false;
    }
  return true;
}

// Barycentric (u, v) of p's foot on the plane of a, b, k; false for a degenerate triangle.
bool Barycentric(const Vector3& p, const Vector3& a, const Vector3& b, const Vector3& k, float& u, float& v) {
  const Vector3 e1 = b - a, e2 = k - a, w = p - a;
  const float d11 = e1.Dot(e1), d12 = e1.Dot(e2), d22 = e2.Dot(e2);
  const float det = d11 * d22 - d12 * d12;
  if (det == 0.0f) return false;
  u = (d22 * w.Dot(e1) - d12 * w.Dot(e2)) / det;
  v = (d11 * w.Dot(e2) - d12 * w.Dot(e1)) / det;
  return true;
}

}  // namespace

TEST(SegmentsWithinDistance, AgreesWithBruteForceOnRandomSegments) {
  plat::srand(81);
  int decided = 0;
  for (int n = 0; n < 3000; ++n) {
    Vector3 a0 = RandomPoint(10), a1 = RandomPoint(10), b0 = RandomPoint(10), b1 = RandomPoint(10);
    switch (n % 5) {
      case 1:  // parallel, offset sideways and along
        b0 = a0 + RandomPoint(3);
        b1 = b0 + (a1 - a0) * Uniform(-2, 2);
        break;
      case 2:  // collinear, maybe disjoint
        b0 = a0 + (a1 - a0) * Uniform(-3, 3);
        b1 = a0 + (a1 - a0) * Uniform(-3, 3);
        break;
      case 3:  // a point against a segment
        b1 = b0;
        break;
      case 4:  // nearly parallel
        b0 = a0 + RandomPoint(2);
        b1 = b0 + (a1 - a0) * Uniform(0.2f, 2) + RandomPoint(1e-3f);
        break;
      default:
        break;
    }
    const float r = Uniform(0.01f, 6);
    const double truth = BruteSegmentDistance(a0, a1, b0, b1);
    if (std::fabs(truth - r) < 1e-3 * (1 + r)) continue;  // too close to call in floats
    EXPECT_EQ(SegmentsWithinDistance(a0, a1, b0, b1, r), truth < r)
        << "case " << n % 5 << " distance " << truth << " r " << r;
    ++decided;
  }
  EXPECT_GT(decided, 2800);
}

TEST(SegmentsWithinDistance, ParallelFarApartAndEndsExactlyRApart) {
  // The infinite lines coincide but the segments are 10 apart: the old 0/0 said true.
  EXPECT_FALSE(SegmentsWithinDistance(Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(11, 0, 0), Vector3(12, 0, 0), 1));
  EXPECT_TRUE(SegmentsWithinDistance(Vector3(0, 0, 0), Vector3(0, 0, 0), Vector3(0, 0, 0.5f), Vector3(0, 0, 0.5f), 1));
  // Square to each other, their ends exactly r apart: the closest points lie on both segments, at their ends.
  EXPECT_TRUE(SegmentsWithinDistance(Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 0, 1), Vector3(0, 1, 1), 1));
}

TEST(PointInTriangle, MatchesBarycentricInsideForBothWindings) {
  plat::srand(82);
  for (int n = 0; n < 2000; ++n) {
    const Vector3 a = RandomPoint(5), b = RandomPoint(5), k = RandomPoint(5);
    const Vector3 normal = (b - a).Cross(k - a);
    if (normal.LengthSquared() < 1.0f) continue;
    const float u = Uniform(-0.5f, 1.5f), v = Uniform(-0.5f, 1.5f);
    // A point off the plane: only its projection along the normal matters.
    const Vector3 p = a + (b - a) * u + (k - a) * v + normal * Uniform(-1, 1);
    const float margin = 1e-3f;
    const bool inside = u > margin && v > margin && u + v < 1 - margin;
    const bool outside = u < -margin || v < -margin || u + v > 1 + margin;
    if (!inside && !outside) continue;
    EXPECT_EQ(PointInTriangle(p, a, b, k, normal), inside);
    EXPECT_EQ(PointInTriangle(p, a, k, b, normal), inside);  // other winding
    EXPECT_EQ(PointInTriangle(p, a, b, k, normal * -3.0f), inside);
  }
  // On an edge counts for both windings; just beyond it does not.
  const Vector3 a(0, 0, 0), b(2, 0, 0), k(0, 2, 0), n(0, 0, 1);
  EXPECT_TRUE(PointInTriangle(Vector3(1, 0, 0), a, b, k, n));
  EXPECT_TRUE(PointInTriangle(Vector3(1, 0, 0), a, k, b, n));
  EXPECT_TRUE(PointInTriangle(Vector3(1, 1, 0), a, b, k, n));
  EXPECT_FALSE(PointInTriangle(Vector3(1, -0.001f, 0), a, b, k, n));
  EXPECT_FALSE(PointInTriangle(Vector3(50, 50, 0), a, b, k, Vector3(0, 0, 0)));  // no plane direction
}

TEST(SegmentSphereEntryTime, EdgeCasesAndSampledEntry) {
  const Vector3 centre(5, 0, 0);
  EXPECT_EQ(SegmentSphereEntryTime(Vector3(0, 0, 0), Vector3(4.0f / 1.3f, 0, 0), centre, 1), 1.0f);  // enters at 1.3
  EXPECT_EQ(SegmentSphereEntryTime(Vector3(0, 3, 0), Vector3(10, 3, 0), centre, 1), FLT_MAX);
  EXPECT_EQ(SegmentSphereEntryTime(Vector3(5, 0, 0.5f), Vector3(5, 0, 0.5f), centre, 1), 0.0f);
  EXPECT_EQ(SegmentSphereEntryTime(Vector3(0, 0, 0), Vector3(0, 0, 0), centre, 1), FLT_MAX);
  EXPECT_EQ(SegmentSphereEntryTime(Vector3(10, 0, 0), Vector3(12, 0, 0), centre, 1), 0.0f);  // entered before A

  plat::srand(83);
  for (int n = 0; n < 500; ++n) {
    const Vector3 a = RandomPoint(10), b = RandomPoint(10), k = RandomPoint(5);
    const float r = Uniform(0.5f, 5);
    const float t = SegmentSphereEntryTime(a, b, k, r);
    // Reference: the first sampled parameter inside the sphere on the segment.
    float first = FLT_MAX;
    for (int i = 0; i <= 4000; ++i) {
      const float s = i / 4000.0f;
      if ((a + (b - a) * s - k).LengthSquared() <= r * r) {
        first = s;
        break;
      }
    }
    if (first == FLT_MAX) continue;  // the segment misses; the line may still hit (clamped answer)
    EXPECT_NEAR(t, first, 2e-3f);
  }
}

TEST(BezierTangent, MatchesDerivativeOfTheCurve) {
  plat::srand(84);
  for (int n = 0; n < 100; ++n) {
    const Vector3 p0 = RandomPoint(5), p1 = RandomPoint(5), p2 = RandomPoint(5), p3 = RandomPoint(5);
    EXPECT_PRED_FORMAT3(ElementsNear, BezierTangent(0, p0, p1, p2, p3), (p1 - p0) * 3.0f, 1e-5f);
    EXPECT_PRED_FORMAT3(ElementsNear, BezierTangent(1, p0, p1, p2, p3), (p3 - p2) * 3.0f, 1e-5f);
    const float t = Uniform(0.05f, 0.95f), h = 1e-3f;
    Vector3 before, after;
    EvaluateCubicBezier(before, t - h, p0, p1, p2, p3);
    EvaluateCubicBezier(after, t + h, p0, p1, p2, p3);
    EXPECT_PRED_FORMAT3(ElementsNear, BezierTangent(t, p0, p1, p2, p3), (after - before) * (0.5f / h), 0.05f);
  }
}

TEST(SlopeTangent, SlopesAndReportedDegenerateCases) {
  float slope = -1;
  ASSERT_TRUE(SlopeTangent(Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0), slope));
  EXPECT_EQ(slope, 0.0f);
  ASSERT_TRUE(SlopeTangent(Vector3(2, 3, 5), Vector3(3, 3, 6), Vector3(2, 4, 5), slope));  // 45 degrees, off the origin
  EXPECT_FLOAT_EQ(slope, 1.0f);
  ASSERT_TRUE(SlopeTangent(Vector3(0, 0, 0), Vector3(0, 1, 0), Vector3(2, 0, 1), slope));  // either winding
  EXPECT_FLOAT_EQ(slope, 0.5f);
  ASSERT_TRUE(SlopeTangent(Vector3(0, 0, 0), Vector3(1, 0, 0.3f), Vector3(0, 1, 0.4f), slope));  // 0.3 and 0.4 up
  EXPECT_FLOAT_EQ(slope, 0.5f);

  DebugCapture log;
  slope = 7;
  EXPECT_FALSE(SlopeTangent(Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 0, 1), slope));  // vertical wall
  EXPECT_FALSE(SlopeTangent(Vector3(0, 0, 0), Vector3(1, 1, 1), Vector3(2, 2, 2), slope));  // collinear
  EXPECT_EQ(slope, 7.0f);
  EXPECT_NE(log.Text().find("SlopeTangent: vertical plane"), std::string::npos);
  EXPECT_NE(log.Text().find("SlopeTangent: the three points"), std::string::npos);
}

TEST(IntersectLines2D, CrossingsVerticalLinesAndParallelLines) {
  Vector2 out;
  ASSERT_TRUE(IntersectLines2D(1.5f, -3, 1.5f, 8, 0, 0, 1, 1, out));  // vertical first line
  EXPECT_NEAR(out.x, 1.5f, 1e-5f);
  EXPECT_NEAR(out.y, 1.5f, 1e-5f);
  ASSERT_TRUE(IntersectLines2D(0, 2, 4, 2, -3, 0, -3, 1, out));  // vertical second line
  EXPECT_NEAR(out.x, -3, 1e-5f);
  EXPECT_NEAR(out.y, 2, 1e-5f);

  plat::srand(85);
  for (int n = 0; n < 300; ++n) {
    const Vector3 p = RandomPoint(10), d1 = RandomPoint(1), d2 = RandomPoint(1);
    if (std::fabs(d1.x * d2.y - d1.y * d2.x) < 0.2f || std::fabs(d1.x) < 0.05f || std::fabs(d2.x) < 0.05f) continue;
    const Vector3 q1 = p - d1 * Uniform(1, 3), q2 = p + d2 * Uniform(1, 3);
    ASSERT_TRUE(IntersectLines2D(q1.x, q1.y, (q1 + d1).x, (q1 + d1).y, q2.x, q2.y, (q2 + d2).x, (q2 + d2).y, out));
    EXPECT_NEAR(out.x, p.x, 2e-3f);
    EXPECT_NEAR(out.y, p.y, 2e-3f);
  }

  DebugCapture log;
  out.Set(9, 9);
  EXPECT_FALSE(IntersectLines2D(0, 0, 1, 1, 0, 1, 2, 3, out));
  EXPECT_FALSE(IntersectLines2D(1, 0, 1, 1, 2, 0, 2, 5, out));  // two vertical lines
  EXPECT_EQ(out, Vector2(9, 9));
  EXPECT_NE(log.Text().find("IntersectLines2D: parallel"), std::string::npos);
}

TEST(IntersectSegments2D, CrossingPointLiesOnBothSegments) {
  plat::srand(86);
  for (int n = 0; n < 1000; ++n) {
    const Vector2 a(Uniform(-5, 5), Uniform(-5, 5)), b(Uniform(-5, 5), Uniform(-5, 5));
    const Vector2 k(Uniform(-5, 5), Uniform(-5, 5)), d(Uniform(-5, 5), Uniform(-5, 5));
    Vector2 point;
    float s = 0, t = 0;
    const bool crosses = IntersectSegments2D(a, b, k, d, point, s, t);
    ASSERT_NE(s, FLT_MAX);
    // The point is A + s(B - A) and also K + t(D - K).
    const Vector2 onFirst = a + (b - a) * s, onSecond = k + (d - k) * t;
    const float scale = 1 + std::max(std::fabs(s), std::fabs(t));
    EXPECT_NEAR(point.x, onFirst.x, 1e-4f * scale);
    EXPECT_NEAR(onFirst.x, onSecond.x, 1e-3f * scale);
    EXPECT_NEAR(onFirst.y, onSecond.y, 1e-3f * scale);
    EXPECT_EQ(crosses, s >= 0 && s <= 1 && t >= 0 && t <= 1);
  }
  // Parallel segments: no crossing, and the caller's point is left alone.
  Vector2 point(7, 7);
  float s = 0, t = 0;
  EXPECT_FALSE(IntersectSegments2D(Vector2(0, 0), Vector2(2, 0), Vector2(0, 1), Vector2(2, 1), point, s, t));
  EXPECT_TRUE(s == FLT_MAX && t == FLT_MAX && point == Vector2(7, 7));
}

TEST(CircleTests, PointInCircleAndCircleTouchesSegmentAgreeWithSampling) {
  EXPECT_TRUE(PointInCircle2D(Vector3(3, 4, 100), Vector3(0, 0, -5), 5));
  EXPECT_FALSE(PointInCircle2D(Vector3(3, 4.01f, 0), Vector3(0, 0, 0), 5));
  // Touching exactly counts, past the end and across the middle (a 3-4-5 triangle).
  Vector3 closest;
  EXPECT_TRUE(CircleTouchesSegment2D(Vector3(7, 4, 9), 2, Vector3(0, 0, 0), Vector3(4, 0, 0), 3, closest));
  EXPECT_TRUE(CircleTouchesSegment2D(Vector3(1, 5, 0), 2, Vector3(0, 0, 0), Vector3(4, 0, 0), 3, closest));
  EXPECT_FALSE(CircleTouchesSegment2D(Vector3(1, 5.01f, 0), 2, Vector3(0, 0, 0), Vector3(4, 0, 0), 3, closest));

  plat::srand(87);
  for (int n = 0; n < 500; ++n) {
    const Vector3 p = RandomPoint(5), a = RandomPoint(5), b = RandomPoint(5);
    const float r1 = Uniform(0, 2), r2 = Uniform(0, 2);
    const bool touches = CircleTouchesSegment2D(p, r1, a, b, r2, closest);
    float best = FLT_MAX;
    for (int i = 0; i <= 2000; ++i) {
      const Vector3 q = a + (b - a) * (i / 2000.0f);
      best = std::min(best, std::hypot(q.x - p.x, q.y - p.y));
    }
    const float gap = std::hypot(closest.x - p.x, closest.y - p.y);
    EXPECT_NEAR(gap, best, 5e-3f);
    // The closest point lies on the 3-D segment.
    const float s = SegmentParameter(a, b, closest);
    EXPECT_PRED_FORMAT3(ElementsNear, closest, a + (b - a) * std::clamp(s, 0.0f, 1.0f), 1e-3f);
    if (std::fabs(best - (r1 + r2)) > 1e-2f) {
      EXPECT_EQ(touches, best < r1 + r2);
    }
  }
}

TEST(PlacePointBesideLine2D, EndsOnTheReferenceSideAtTheClearance) {
  plat::srand(88);
  for (int n = 0; n < 1000; ++n) {
    const Vector3 a = RandomPoint(5), b = RandomPoint(5), r = RandomPoint(5);
    if (std::hypot(b.x - a.x, b.y - a.y) < 0.1f) continue;
    Vector3 p = RandomPoint(5);
    if (n % 3 == 0) p = a + (b - a) * Uniform(-1, 2);  // exactly on the line (up to rounding)
    const Vector3 foot = a + (b - a) * SegmentParameter2D(a, b, p);
    const float z = p.z, c = Uniform(0, 1);
    const bool rightOfR = IsRightOfLine2D(a.x, a.y, b.x, b.y, r.x, r.y);
    EXPECT_EQ(PlacePointBesideLine2D(a, b, p, r, c), rightOfR);
    EXPECT_EQ(p.z, z);
    EXPECT_EQ(IsRightOfLine2D(a.x, a.y, b.x, b.y, p.x, p.y), rightOfR);
    // Distance from the line, and level with the original foot.
    const float len = std::hypot(b.x - a.x, b.y - a.y);
    const float distance = std::fabs((b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x)) / len;
    EXPECT_NEAR(distance, 0.01f + c, 1e-4f);
    EXPECT_NEAR(SegmentParameter2D(a, b, p), SegmentParameter2D(a, b, foot), 1e-4f);
  }
}

TEST(PlacePointBesideLine2D, LineWithoutPlanDirectionLeavesThePoint) {
  DebugCapture log;
  Vector3 p(2, 1, 5);
  EXPECT_FALSE(PlacePointBesideLine2D(Vector3(1, 1, 0), Vector3(1, 1, 9), p, Vector3(1, -3, 0), 0.5f));
  EXPECT_EQ(p, Vector3(2, 1, 5));
  EXPECT_NE(log.Text().find("PlacePointBesideLine2D:"), std::string::npos);
}

TEST(DegenerateInput, ZeroLengthSegmentAndVectorGiveZeroNotNaN) {
  EXPECT_EQ(SegmentParameterByValue(Vector3(1, 1, 1), Vector3(1, 1, 1), Vector3(3, 7, 1)), 0.0f);
  Vector2 zero;
  Vector2Normalize(zero);
  EXPECT_EQ(zero, Vector2(0, 0));
  Vector2 v(3, -4);
  Vector2Normalize(v);
  EXPECT_EQ(v, Vector2(0.6f, -0.8f));  // divided by its length, 5
}

TEST(ProjectPointToTriangleUV, RecoversPlaneCoordinates) {
  plat::srand(89);
  for (int n = 0; n < 500; ++n) {
    const Vector3 a = RandomPoint(5), b = RandomPoint(5), k = RandomPoint(5);
    const Vector3 normal = (b - a).Cross(k - a);
    if (normal.LengthSquared() < 1.0f) continue;
    float u = Uniform(-1, 2), v = Uniform(-1, 2);
    const Vector3 p = a + (b - a) * u + (k - a) * v + normal * Uniform(-3, 3);
    Vector2 uv;
    ProjectPointToTriangleUV(uv, p, a, b, k);
    ASSERT_TRUE(Barycentric(p, a, b, k, u, v));
    EXPECT_NEAR(uv.x, u, 2e-3f);
    EXPECT_NEAR(uv.y, v, 2e-3f);
  }
  Vector2 uv(5, 5);
  ProjectPointToTriangleUV(uv, Vector3(1, 2, 3), Vector3(0, 0, 0), Vector3(1, 1, 1), Vector3(2, 2, 2));
  EXPECT_EQ(uv, Vector2(0, 0));
}

TEST(PointInsideAllPlanes, UnitCubeFromSixPlanes) {
  PlaneRecord planes[6] = {};
  for (int axis = 0; axis < 3; ++axis) {
    planes[2 * axis].point = Vector3(0, 0, 0);
    planes[2 * axis].normal[axis] = 1;
    planes[2 * axis + 1].point = Vector3(1, 1, 1);
    planes[2 * axis + 1].normal[axis] = -1;
  }
  EXPECT_TRUE(PointInsideAllPlanes(Vector3(1, 0, 1), planes, 6));  // on the boundary
  // Just outside each of the six faces in turn.
  for (int plane = 0; plane < 6; ++plane) {
    Vector3 p(0.5f, 0.5f, 0.5f);
    p[plane / 2] = plane % 2 ? 1.01f : -0.01f;
    EXPECT_FALSE(PointInsideAllPlanes(p, planes, 6)) << plane;
  }
}

TEST(TriangleOverlapsBox, AgreesWithSeparatingAxes) {
  plat::srand(90);
  int overlaps = 0, checked = 0;
  for (int n = 0; n < 4000; ++n) {
    Box box;
    box.SetFromPoints(RandomPoint(3), RandomPoint(3));
    const float spread = n % 2 ? 6.0f : 2.0f;
    const Vector3 a = RandomPoint(spread), b = RandomPoint(spread), k = RandomPoint(spread);
    if ((b - a).Cross(k - a).LengthSquared() < 1e-2f) continue;
    // Skip near-touching configurations: shrink and grow the box slightly and require
    // the reference to agree on both.
    Box inner = box, outer = box;
    inner.Inflate(Vector3(-1e-3f, -1e-3f, -1e-3f));
    outer.Inflate(Vector3(1e-3f, 1e-3f, 1e-3f));
    const bool truth = SatTriangleBox(inner, a, b, k);
    if (truth != SatTriangleBox(outer, a, b, k)) continue;
    EXPECT_EQ(TriangleOverlapsBox(box, a, b, k), truth) << "trial " << n;
    overlaps += truth;
    ++checked;
  }
  EXPECT_GT(overlaps, 300);
  EXPECT_GT(checked - overlaps, 300);
}

TEST(TriangleOverlapsBox, TriangleLyingInAFaceTouchesForEitherWinding) {
  const Box box(Vector3(0, 0, 0), Vector3(1, 1, 1));
  // A large triangle in the plane of the top face, vertices outside the box.
  const Vector3 a(-5, -5, 1), b(10, -5, 1), k(-5, 10, 1);
  EXPECT_TRUE(TriangleOverlapsBox(box, a, b, k));
  EXPECT_TRUE(TriangleOverlapsBox(box, a, k, b));
  EXPECT_FALSE(TriangleOverlapsBox(box, Vector3(-5, -5, 1.01f), Vector3(10, -5, 1.01f), Vector3(-5, 10, 1.01f)));
}

TEST(TrianglePlanesLine, PointsLieOnBothPlanesAndMatchTheirCoordinates) {
  plat::srand(91);
  int found = 0;
  for (int n = 0; n < 300; ++n) {
    const Vector3 a0 = RandomPoint(5), a1 = RandomPoint(5), a2 = RandomPoint(5);
    const Vector3 b0 = RandomPoint(5), b1 = RandomPoint(5), b2 = RandomPoint(5);
    const Vector3 na = (a1 - a0).Cross(a2 - a0), nb = (b1 - b0).Cross(b2 - b0);
    if (na.LengthSquared() < 1 || nb.LengthSquared() < 1) continue;
    Vector3 nau = na, nbu = nb;
    nau.Normalize();
    nbu.Normalize();
    if (nau.Cross(nbu).LengthSquared() < 0.1f) continue;  // keep the line well defined
    Vector3 point[2];
    Vector2 uvA[2], uvB[2];
    ASSERT_TRUE(TrianglePlanesLine(a0, a1, a2, b0, b1, b2, point, uvA, uvB));
    for (int i = 0; i < 2; ++i) {
      const float tol = 2e-3f * (1 + point[i].Length());
      EXPECT_NEAR(nau.Dot(point[i] - a0), 0, tol);
      EXPECT_NEAR(nbu.Dot(point[i] - b0), 0, tol);
      EXPECT_PRED_FORMAT3(ElementsNear, b0 + (b1 - b0) * uvB[i].x + (b2 - b0) * uvB[i].y, point[i], tol);
    }
    // The two points are distinct and span the planes' common direction.
    const Vector3 along = point[1] - point[0];
    EXPECT_GT(along.Length(), 1e-3f);
    EXPECT_LT(along.Cross(nau.Cross(nbu)).Length(), 1e-2f * along.Length());
    ++found;
  }
  EXPECT_GT(found, 100);
}

TEST(TrianglePlanesLine, ParallelPlanesInAnyOrientationGiveNoLine) {
  plat::srand(92);
  for (int n = 0; n < 200; ++n) {
    const Vector3 a0 = RandomPoint(5), a1 = RandomPoint(5), a2 = RandomPoint(5);
    Vector3 normal = (a1 - a0).Cross(a2 - a0);
    if (normal.LengthSquared() < 1) continue;
    normal.Normalize();
    // Triangle B: other points of a plane shifted along the normal (or the same plane).
    const Vector3 shift = normal * (n % 4 == 0 ? 0.0f : Uniform(-3, 3));
    const Vector3 b0 = a0 + (a1 - a0) * Uniform(-1, 1) + (a2 - a0) * Uniform(-1, 1) + shift;
    const Vector3 b1 = b0 + (a1 - a0) * Uniform(0.5f, 1) + (a2 - a0) * Uniform(-1, -0.5f);
    const Vector3 b2 = b0 + (a2 - a0) * Uniform(0.5f, 1) + (a1 - a0) * Uniform(0, 0.3f);
    Vector3 point[2];
    Vector2 uvA[2], uvB[2];
    EXPECT_FALSE(TrianglePlanesLine(a0, a1, a2, b0, b1, b2, point, uvA, uvB)) << "trial " << n;
  }
}

TEST(TrianglePlanesLine, SmallTrianglesKeepTheirPrecision) {
  // Millimetre-sized, nearly axis-aligned triangles: every coefficient of the system is
  // below 0.01 and would be dropped without scaling.
  const Vector3 a0(0, 0, 0), a1(0.004f, 0.0002f, 0), a2(0, 0.004f, 0.0003f);
  const Vector3 b0(0.001f, 0.001f, -0.002f), b1(0.001f, 0.0012f, 0.002f), b2(0.003f, 0.001f, 0.0021f);
  Vector3 point[2];
  Vector2 uvA[2], uvB[2];
  ASSERT_TRUE(TrianglePlanesLine(a0, a1, a2, b0, b1, b2, point, uvA, uvB));
  Vector3 na = (a1 - a0).Cross(a2 - a0), nb = (b1 - b0).Cross(b2 - b0);
  na.Normalize();
  nb.Normalize();
  for (int i = 0; i < 2; ++i) {
    EXPECT_NEAR(na.Dot(point[i] - a0), 0, 1e-7f);
    EXPECT_NEAR(nb.Dot(point[i] - b0), 0, 1e-7f);
  }
  EXPECT_GT((point[1] - point[0]).Length(), 1e-5f);
}
