// Segment and swept-sphere queries against double-precision references, and the nearest-hit walkers.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

#include "core/spatial/BoundedObject.h"
#include "core/spatial/Octree.h"
#include "core/math/Orientation.h"
#include "physics/collision/BeamInfo.h"
#include "physics/collision/SphereTreeNode.h"
#include "physics/collision/SphereTreeWalk.h"
#include "tests/physics/PhysicsTestUtil.h"

using physics_test::RandomPoint;
using physics_test::Uniform;

namespace {

using V = Eigen::Vector3d;
V E(const Vector3& v) { return V(v.x, v.y, v.z); }

// Closest point of triangle abc to p, region by region (corners, edges, face).
V ClosestOnTriangle(const V& p, const V& a, const V& b, const V& c) {
  const V ab = b - a, ac = c - a, ap = p - a, bp = p - b, cp = p - c;
  const double d1 = ab.dot(ap), d2 = ac.dot(ap), d3 = ab.dot(bp), d4 = ac.dot(bp), d5 = ab.dot(cp), d6 = ac.dot(cp);
  if (d1 <= 0 && d2 <= 0) return a;
  if (d3 >= 0 && d4 <= d3) return b;
  if (d6 >= 0 && d5 <= d6) return c;
  const double vc = d1 * d4 - d3 * d2, vb = d5 * d2 - d1 * d6, va = d3 * d6 - d5 * d4;
  if (vc <= 0 && d1 >= 0 && d3 <= 0) return a + ab * (d1 / (d1 - d3));
  if (vb <= 0 && d2 >= 0 && d6 <= 0) return a + ac * (d2 / (d2 - d6));
  if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0) return b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
  return a + ab * (vb / (va + vb + vc)) + ac * (vc / (va + vb + vc));
}

// First time in [0, 1] at which the distance (convex along a straight path) drops to r; -1 for
// never. A ternary search finds the minimum, a bisection the entry before it.
template <class Dist>
double FirstTouch(const Dist& dist, double r) {
  if (dist(0.0) <= r) return 0.0;
  double lo = 0.0, hi = 1.0;
  for (int i = 0; i < 70; ++i) {
    const double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
    (dist(m1) < dist(m2) ? hi : lo) = dist(m1) < dist(m2) ? m2 : m1;
  }
  if (dist(lo) > r) return -1.0;
  hi = lo, lo = 0.0;
  for (int i = 0; i < 50; ++i) (dist(0.5 * (lo + hi)) > r ? lo : hi) = 0.5 * (lo + hi);
  return hi;
}

// Entry of the point s -> e into the box [lo, hi] (0 inside), or -1.
double SlabEntry(const V& s, const V& e, const V& lo3, const V& hi3) {
  double lo = 0.0, hi = 1.0;
  for (int axis = 0; axis < 3; ++axis) {
    const double d = e[axis] - s[axis];
    if (d == 0.0 && (s[axis] < lo3[axis] || s[axis] > hi3[axis])) return -1;
    if (d == 0.0) continue;
    const double t0 = (lo3[axis] - s[axis]) / d, t1 = (hi3[axis] - s[axis]) / d;
    lo = std::max(lo, std::min(t0, t1));
    hi = std::min(hi, std::max(t0, t1));
  }
  return lo <= hi ? lo : -1;
}

}  // namespace

TEST(RayInfoQueries, BoxEdgeCases) {
  const Box box(Vector3(0, 0, 0), Vector3(2, 2, 2));
  RayInfo inside(Vector3(0.5f, 0.5f, 0.25f), Vector3(1.5f, 1, 1));
  ASSERT_TRUE(inside.IntersectBox(box));
  EXPECT_EQ(inside.result.time, 0.0f);
  EXPECT_EQ(inside.normal, Vector3(0, 0, -1));  // the way out through the nearest face
  // Starting inside and leaving: a hit at the start, not where it leaves.
  RayInfo leaving(Vector3(1.9f, 1, 1), Vector3(5, 1, 1));
  ASSERT_TRUE(leaving.IntersectBox(box));
  EXPECT_EQ(leaving.result.point, leaving.start);
  EXPECT_EQ(leaving.normal, Vector3(1, 0, 0));
  // Entering through the maximum x face: the normal faces the start.
  RayInfo fromMaxX(Vector3(4, 1, 1), Vector3(1, 1, 1));
  ASSERT_TRUE(fromMaxX.IntersectBox(box));
  EXPECT_EQ(fromMaxX.normal, Vector3(1, 0, 0));
  EXPECT_FLOAT_EQ(fromMaxX.result.time, 2.0f / 3.0f);
  // Parallel to a face and just outside it: never crosses.
  RayInfo grazing(Vector3(-1, 1, 2.000001f), Vector3(3, 1, 2.000001f));
  EXPECT_FALSE(grazing.IntersectBox(box));
  EXPECT_EQ(grazing.result.time, FLT_MAX);
}

TEST(RayInfoQueries, PolygonTriangleAndSphereAgreeWithReferences) {
  plat::srand(201);
  int hits[3] = {};
  for (int i = 0; i < 3000; ++i) {
    const Vector3 a = RandomPoint(4), b = RandomPoint(4), k = RandomPoint(4);
    Vector3 n = (b - a).Cross(k - a);
    if (n.Length() < 0.5f) continue;
    n = n * (1.0f / n.Length());
    const Vector3 s = RandomPoint(6), e = RandomPoint(6);
    // Reference crossing of the plane and its plane coordinates.
    const double d0 = E(n).dot(E(s - a)), d1 = E(n).dot(E(e - a)), t = d0 / (d0 - d1);
    Eigen::Matrix2d m;
    const V p = E(s) + E(e - s) * t, ab = E(b - a), ak = E(k - a);
    m << ab.dot(ab), ab.dot(ak), ab.dot(ak), ak.dot(ak);
    const Eigen::Vector2d uv = m.inverse() * (Eigen::Vector2d(ab.dot(p - E(a)), ak.dot(p - E(a))));
    const bool within = t >= 0 && t <= 1 && uv.x() >= 0 && uv.y() >= 0 && uv.sum() <= 1;
    const bool clear = std::min({std::fabs(t), std::fabs(1 - t), std::fabs(uv.x()), std::fabs(uv.y()),
                                 std::fabs(1 - uv.sum())}) > 1e-3 && std::fabs(d0 - d1) > 1e-3;
    RayInfo one(s, e), two(s, e);
    const bool gotOne = one.IntersectPolygon(a, b, k, n, false, nullptr);
    const bool gotTwo = two.IntersectTriangle(a, b, k, n, false, nullptr);
    if (clear) {
      ASSERT_EQ(gotOne, within && d1 < d0) << "trial " << i;  // one-sided: front to back only
      ASSERT_EQ(gotTwo, within) << "trial " << i;
    }
    if (gotTwo) {
      ++hits[0];
      EXPECT_NEAR(two.result.time, t, 1e-3);
      EXPECT_NEAR(two.result.u, uv.x(), 1e-3);
      EXPECT_NEAR(two.result.v, uv.y(), 1e-3);
      EXPECT_LT(two.normal.Dot(e - s), 0.0f);  // faces the start
    }
    hits[1] += gotOne;
    // Sphere: the entry of the segment, always with its time even without details.
    const Vector3 c = RandomPoint(3);
    const float r = Uniform(0.2f, 3.0f);
    const auto dist = [&](double x) { return (E(s) + E(e - s) * x - E(c)).norm(); };
    const double expected = FirstTouch(dist, r);
    RayInfo ball(s, e), bare(s, e);
    bare.mode = 0;
    bare.result.point = Vector3(9, 9, 9);
    const bool gotBall = ball.IntersectSphere(c, r);
    ASSERT_EQ(bare.IntersectSphere(c, r), gotBall);
    const bool grazes = (FirstTouch(dist, r * 0.999) >= 0) != (FirstTouch(dist, r * 1.001) >= 0);
    if (!grazes) {
      ASSERT_EQ(gotBall, expected >= 0) << "trial " << i;
    }
    if (!gotBall) continue;
    ++hits[2];
    EXPECT_NEAR(ball.result.time, expected, 2e-4);
    EXPECT_EQ(bare.result.time, ball.result.time);
    EXPECT_EQ(bare.result.point, Vector3(9, 9, 9));  // details only with mode bit 0
  }
  EXPECT_GT(hits[0], 80);
  EXPECT_GT(hits[1], 40);
  EXPECT_GT(hits[2], 300);
}

// A segment that starts inside a sphere hits at time 0 at its start; the normal is the one where
// its line enters the sphere behind the start, so it faces against the motion.
TEST(RayInfoQueries, SegmentStartingInsideASphereTakesTheNormalOfItsLineEntry) {
  const Vector3 c(1, 2, 3);
  struct Case {
    Vector3 from, sweep, normal;
  };
  const Case cases[] = {
      {Vector3(0, 0, 0), Vector3(0, 0, 3), Vector3(0, 0, -1)},         // from the very centre
      {Vector3(0, -0.5f, 0), Vector3(0, -0.1f, 0), Vector3(0, 1, 0)},  // short, moving out
  };
  for (const Case& k : cases) {
    RayInfo ray(c + k.from, c + k.from + k.sweep);
    ASSERT_TRUE(ray.IntersectSphere(c, 1.0f));
    EXPECT_EQ(ray.result.point, ray.start);
    EXPECT_LT((E(ray.normal) - E(k.normal)).norm(), 1e-6) << k.from.x << " " << k.from.y;
  }
  // A segment shorter than sqrt(0.001) is a point test: its normal points from the centre to it.
  RayInfo point(c + Vector3(0.3f, 0, 0), c + Vector3(0.31f, 0, 0));
  ASSERT_TRUE(point.IntersectSphere(c, 1.0f));
  EXPECT_EQ(point.normal, Vector3(1, 0, 0));

  // Any other start: against the entry found by bisection back along the line from the start in double
  // precision (the line is inside the sphere on one interval, so inside at 0 and outside far back bracket it).
  plat::srand(202);
  for (int i = 0; i < 500; ++i) {
    const float r = Uniform(0.3f, 2.0f);
    const Vector3 s = c + RandomPoint(r * 0.57f), e = s + RandomPoint(4);
    if ((e - s).Length() < 0.1f) continue;
    RayInfo ray(s, e);
    ASSERT_TRUE(ray.IntersectSphere(c, r));
    const V d = E(e - s);
    double inside = 0.0, outside = 3.0 * r / d.norm();
    for (int j = 0; j < 80; ++j) {
      const double mid = 0.5 * (inside + outside);
      ((E(s) - d * mid - E(c)).norm() <= r ? inside : outside) = mid;
    }
    const V entryNormal = (E(s) - d * inside - E(c)) / double(r);
    EXPECT_EQ(ray.result.time, 0.0f);
    EXPECT_LT((E(ray.normal) - entryNormal).norm(), 1e-4) << "trial " << i;
  }
}

TEST(BeamInfoQueries, PolygonAgreesWithFirstTouchOfTheConvexDistance) {
  plat::srand(203);
  int face = 0, rim = 0;
  for (int i = 0; i < 1200; ++i) {
    const Vector3 a = RandomPoint(3), b = RandomPoint(3), k = RandomPoint(3);
    Vector3 n = (b - a).Cross(k - a);
    if (n.Length() < 0.5f) continue;
    n = n * (1.0f / n.Length());
    const float r = Uniform(0.1f, 1.5f);
    const Vector3 s = RandomPoint(5), e = i % 3 == 0 ? s + RandomPoint(r) : RandomPoint(5);  // short and long
    const bool quad = i % 2 == 1;  // the parallelogram A, B, B + K - A, K
    const auto closest = [&](const V& p) {
      const V c1 = ClosestOnTriangle(p, E(a), E(b), E(k));
      const V c2 = ClosestOnTriangle(p, E(b), E(b) + E(k) - E(a), E(k));
      return !quad || (c1 - p).norm() <= (c2 - p).norm() ? c1 : c2;
    };
    const auto dist = [&](double t) {
      const V p = E(s) + E(e - s) * t;
      return (closest(p) - p).norm();
    };
    if (dist(0) <= r * 1.001 || (FirstTouch(dist, r * 0.999) >= 0) != (FirstTouch(dist, r * 1.001) >= 0)) continue;
    const double expected = FirstTouch(dist, r);
    BeamInfo beam(s, e, r);
    ASSERT_EQ(beam.IntersectTriangle(a, b, k, n, quad, nullptr), expected >= 0) << "trial " << i;
    if (expected < 0) continue;
    EXPECT_NEAR(beam.result.time, expected, 1e-3) << "trial " << i;
    const V z = E(s) + E(e - s) * double(beam.result.time), contact = closest(z);
    EXPECT_LT((E(beam.result.point) - contact).norm(), 5e-3) << "trial " << i;
    EXPECT_LT((E(beam.normal) - (z - contact).normalized()).norm(), 5e-3) << "trial " << i;
    // (u, v) are the contact's coordinates along A-B and A-K, on the rim too.
    EXPECT_LT((E(a) + E(b - a) * beam.result.u + E(k - a) * beam.result.v - contact).norm(), 5e-3) << "trial " << i;
    (std::fabs(E(n).dot(z - contact)) > 0.999 * r ? face : rim) += 1;
  }
  EXPECT_GT(face, 40);
  EXPECT_GT(rim, 40);
}

TEST(BeamInfoQueries, StartOverlapCountsOnlyWhileClosingIn) {
  const Vector3 a(0, 0, 0), b(4, 0, 0), k(0, 4, 0), n(0, 0, 1);
  const Box box(Vector3(-1, -1, -1), Vector3(1, 1, 1));
  // Touching and moving along, away or not at all: free to go, from faces, boxes and spheres.
  for (const Vector3& to : {Vector3(2, 1, 0.45f), Vector3(1, 1, 3), Vector3(1, 1, 0.45f)}) {
    BeamInfo beam(Vector3(1, 1, 0.45f), to, 0.5f);
    EXPECT_FALSE(beam.IntersectPolygon(a, b, k, n, false, nullptr));
    BeamInfo offBox(Vector3(0, 0, 1.4f), Vector3(0, 0, 1.4f) + (to - Vector3(1, 1, 0.45f)), 0.5f);
    EXPECT_FALSE(offBox.IntersectBox(box));
    EXPECT_FALSE(offBox.IntersectSphere(Vector3(0, 0, 0), 1));
  }
  // Sunk in a little and still pressing: blocked at once.
  BeamInfo pressing(Vector3(1, 1, 0.45f), Vector3(1, 1, -2), 0.5f);
  ASSERT_TRUE(pressing.IntersectPolygon(a, b, k, n, false, nullptr));
  EXPECT_EQ(pressing.result.time, 0.0f);
  EXPECT_EQ(pressing.normal, n);
  BeamInfo edge(Vector3(2, -0.3f, 0), Vector3(2, 1, 0), 0.5f);
  ASSERT_TRUE(edge.IntersectPolygon(a, b, k, n, false, nullptr));
  EXPECT_EQ(edge.result.time, 0.0f);
  EXPECT_NEAR(edge.result.u, 0.5f, 1e-6);  // half-way along A-B
  // Asked for, any start overlap counts.
  BeamInfo away(Vector3(1, 1, 0.45f), Vector3(1, 1, 3), 0.5f);
  away.mode |= QueryMode::kStartOverlap;
  EXPECT_TRUE(away.IntersectPolygon(a, b, k, n, false, nullptr));
  // One-sided: from behind, even passing right through, the face is not met.
  BeamInfo behind(Vector3(1, 1, -2), Vector3(1, 1, 2), 0.5f);
  EXPECT_FALSE(behind.IntersectPolygon(a, b, k, n, false, nullptr));
}

namespace {

// Dense sampling of a sweep in double precision: the first of n + 1 evenly spaced times at
// which dist is at most r, or -1 when no sample comes that close.
template <class Dist>
double SampledFirstTouch(const Dist& dist, double r, int n) {
  for (int i = 0; i <= n; ++i)
    if (dist(double(i) / n) <= r) return double(i) / n;
  return -1.0;
}

// Distance from p to the triangle abc.
double TriangleDistance(const V& p, const Vector3& a, const Vector3& b, const Vector3& k) {
  return (ClosestOnTriangle(p, E(a), E(b), E(k)) - p).norm();
}

}  // namespace

// Sweeps shorter than the radius that start and end clear of the target but pass within reach
// of it on the way: the sampled sweep overlaps, so each is a contact at its entry time.
TEST(BeamInfoQueries, ShortSweepsThroughTheRimOfATargetAreContacts) {
  constexpr int kSamples = 50000;
  // A sphere: reach 2.5 around the origin, crossed along y = 2.48 from x = -0.4 to 0.4.
  {
    const Vector3 s(-0.4f, 2.48f, 0), e(0.4f, 2.48f, 0), c(0, 0, 0);
    const auto dist = [&](double t) { return (E(s) + E(e - s) * t - E(c)).norm(); };
    ASSERT_GT(dist(0), 2.5);
    ASSERT_GT(dist(1), 2.5);
    const double y = e.y, expected = (0.4 - std::sqrt(6.25 - y * y)) / 0.8;  // about 0.1055
    EXPECT_NEAR(SampledFirstTouch(dist, 2.5, kSamples), expected, 2.0 / kSamples);
    BeamInfo beam(s, e, 1.0f);
    ASSERT_TRUE(beam.IntersectSphere(c, 1.5f));
    EXPECT_NEAR(beam.result.time, expected, 1e-5);
    const V z = E(s) + E(e - s) * expected, n = z.normalized();
    EXPECT_LT((E(beam.normal) - n).norm(), 1e-5);
    EXPECT_LT((E(beam.result.point) - n * 1.5).norm(), 1e-5);  // on the target's surface
  }
  const Vector3 a(0, 0, 0), b(4, 0, 0), k(0, 4, 0), n(0, 0, 1);
  const float h = std::sqrt(0.48f);
  // The corner A: (-0.5 + w, -0.5 - w, h) for w from -0.15 to 0.15 comes within 1 of A for
  // |w| <= 0.1 (2 * 0.25 + 0.48 + 2 w^2 = 1), entering at w = -0.1, t = 1/6, nearest to A all along.
  // The edge A-B: (2, -0.7 + w, 0.7 + w) comes within 1 of it for |w| <= 0.1, entering at
  // (2, -0.8, 0.6), also at t = 1/6, beside the face all along.
  struct Case {
    Vector3 s, e, point, normal;
    float u, v;
  };
  const Case cases[] = {
      {Vector3(-0.65f, -0.35f, h), Vector3(-0.35f, -0.65f, h), a, Vector3(-0.6f, -0.4f, h), 0.0f, 0.0f},
      {Vector3(2, -0.85f, 0.55f), Vector3(2, -0.55f, 0.85f), Vector3(2, 0, 0), Vector3(0, -0.8f, 0.6f), 0.5f, 0.0f},
  };
  for (const Case& c : cases) {
    const auto dist = [&](double t) { return TriangleDistance(E(c.s) + E(c.e - c.s) * t, a, b, k); };
    ASSERT_GT(dist(0), 1.0);
    ASSERT_GT(dist(1), 1.0);
    ASSERT_LT((c.e - c.s).Length(), 1.0f);
    EXPECT_NEAR(SampledFirstTouch(dist, 1.0, kSamples), 1.0 / 6.0, 2e-4);
    BeamInfo beam(c.s, c.e, 1.0f);
    ASSERT_TRUE(beam.IntersectPolygon(a, b, k, n, false, nullptr));
    EXPECT_NEAR(beam.result.time, 1.0 / 6.0, 1e-4);
    EXPECT_LT((E(beam.result.point) - E(c.point)).norm(), 1e-4);
    EXPECT_LT((E(beam.normal) - E(c.normal)).norm(), 1e-4);
    EXPECT_NEAR(beam.result.u, c.u, 1e-4);
    EXPECT_NEAR(beam.result.v, c.v, 1e-4);
  }

  // Random short sweeps past a point of the target (a point of the sphere's reach, or a point
  // of the triangle, its rim included) at about the reach, starting and ending clear: contact
  // exactly when the sampled sweep comes within reach, at the sampled entry time.
  plat::srand(205);
  int grazes[2] = {}, misses = 0;
  for (int i = 0; i < 2000; ++i) {
    const bool sphere = i % 2 == 0;
    const float r = Uniform(0.2f, 1.0f), rs = Uniform(0.2f, 1.5f);
    const Vector3 c = RandomPoint(1.5f), ta = RandomPoint(2), tb = RandomPoint(2), tk = RandomPoint(2);
    Vector3 tn = (tb - ta).Cross(tk - ta);
    if (tn.Length() < 0.5f) continue;
    tn = tn * (1.0f / tn.Length());
    const double reach = sphere ? double(r) + rs : double(r);
    // The point passed (the sphere's centre, or a corner or edge point of the triangle) and the
    // side it is passed on: outwards from the triangle, tilted out of its plane.
    Vector3 passed = c, side = RandomPoint(1);
    if (!sphere) {
      const Vector3 corners[3] = {ta, tb, tk};
      const int edge = i % 3;
      const Vector3 p0 = corners[edge], p1 = corners[(edge + 1) % 3], opposite = corners[(edge + 2) % 3];
      passed = i % 4 == 1 ? p0 : p0 + (p1 - p0) * Uniform(0, 1);
      Vector3 out = (p1 - p0).Cross(tn);
      if (out.Dot(opposite - p0) > 0) out = out * -1.0f;
      if (i % 4 == 1) out = p0 - (ta + tb + tk) * (1.0f / 3.0f);
      out = out * (1.0f / out.Length());
      side = out + tn * Uniform(-1.5f, 1.5f);
    }
    if (side.Length() < 0.1f) continue;
    side = side * (1.0f / side.Length());
    Vector3 along = side.Cross(RandomPoint(1));
    if (along.Length() < 0.1f) continue;
    along = along * (1.0f / along.Length());
    const Vector3 closest = passed + side * (sphere ? float(reach) : r) * Uniform(0.9f, 1.05f);
    const float half = r * Uniform(0.2f, 0.49f), skew = Uniform(-0.3f, 0.3f);
    const Vector3 s = closest - along * half * (1 + skew), e = closest + along * half * (1 - skew);
    const auto dist = [&](double t) {
      const V p = E(s) + E(e - s) * t;
      return sphere ? (p - E(c)).norm() : TriangleDistance(p, ta, tb, tk);
    };
    if (dist(0) <= reach * 1.001 || dist(1) <= reach * 1.001) continue;  // clear at both ends
    double nearest = dist(0), touch = -1.0;
    for (int j = 0; j <= 1000; ++j) {
      const double d = dist(j / 1000.0);
      nearest = std::min(nearest, d);
      if (touch < 0 && d <= reach) touch = j / 1000.0;
    }
    if (std::fabs(nearest - reach) < 1e-3 * reach) continue;  // a tangent: too close to call
    BeamInfo beam(s, e, r);
    const bool hit = sphere ? beam.IntersectSphere(c, rs) : beam.IntersectTriangle(ta, tb, tk, tn, false, nullptr);
    ASSERT_EQ(hit, touch >= 0) << "trial " << i;
    if (!hit) {
      ++misses;
      continue;
    }
    ++grazes[sphere ? 0 : 1];
    EXPECT_NEAR(beam.result.time, touch, 1.5e-3) << "trial " << i;
  }
  EXPECT_GT(grazes[0], 25);  // spheres
  EXPECT_GT(grazes[1], 80);  // triangles
  EXPECT_GT(misses, 200);
}

// A one-sided face ignores a sphere that reaches it from behind, however long the sweep; the
// two-sided test meets it from either side at the sampled first touch, facing the start.
TEST(BeamInfoQueries, FacesIgnoreTheirBackAtEverySweepLength) {
  const Vector3 a(0, 0, 0), b(4, 0, 0), k(0, 4, 0), n(0, 0, 1);
  // Centres under (1, 1): at least 1.41 from every edge line, so only the face is in reach.
  const Vector3 end(1, 1, -0.8f);
  for (const Vector3& start : {Vector3(1, 1, -1.5f), Vector3(1, 1, -3)}) {  // short, long
    const auto dist = [&](double t) { return TriangleDistance(E(start) + E(end - start) * t, a, b, k); };
    const double expected = (-1.0 - start.z) / (end.z - start.z);  // the centre at z = -1
    EXPECT_NEAR(SampledFirstTouch(dist, 1.0, 50000), expected, 4e-5);
    BeamInfo oneSided(start, end, 1.0f), twoSided(start, end, 1.0f);
    EXPECT_FALSE(oneSided.IntersectPolygon(a, b, k, n, false, nullptr)) << start.z;
    EXPECT_EQ(oneSided.result.time, FLT_MAX);
    ASSERT_TRUE(twoSided.IntersectTriangle(a, b, k, n, false, nullptr)) << start.z;
    EXPECT_NEAR(twoSided.result.time, expected, 1e-5);
    EXPECT_EQ(twoSided.normal, Vector3(0, 0, -1));
    EXPECT_LT((E(twoSided.result.point) - V(1, 1, 0)).norm(), 1e-5);
  }
}

TEST(BeamInfoQueries, BoxAndSphereAgreeWithGrownShapes) {
  plat::srand(204);
  int boxHits = 0, sphereHits = 0;
  for (int i = 0; i < 3000; ++i) {
    const float r = Uniform(0.1f, 1.5f), rs = Uniform(0.1f, 2.0f);
    const Vector3 s = RandomPoint(6), e = i % 4 == 0 ? s + RandomPoint(r) : RandomPoint(6), c = RandomPoint(3);
    Box box;
    box.SetFromPoints(RandomPoint(3), RandomPoint(3));
    const V g(r, r, r), m(1e-3, 1e-3, 1e-3), lo = E(box.min) - g, hi = E(box.max) + g;
    BeamInfo beam(s, e, r), ball(s, e, r);
    const bool gotBox = beam.IntersectBox(box);
    const double entry = SlabEntry(E(s), E(e), lo, hi);
    if (SlabEntry(E(s), E(s), lo - m, hi + m) < 0 && (SlabEntry(E(s), E(e), lo - m, hi + m) >= 0) ==
                                                        (SlabEntry(E(s), E(e), lo + m, hi - m) >= 0)) {
      ASSERT_EQ(gotBox, entry >= 0) << "trial " << i;
      if (gotBox) {
        ++boxHits;
        EXPECT_NEAR(beam.result.time, entry, 1e-4);
        EXPECT_LT(beam.normal.Dot(e - s), 0.0f);
      }
    }
    const auto dist = [&](double t) { return (E(s) + E(e - s) * t - E(c)).norm(); };
    const bool gotSphere = ball.IntersectSphere(c, rs);
    const double reach = double(r) + rs;
    if (dist(0) <= reach * 1.001 || (FirstTouch(dist, reach * 0.999) >= 0) != (FirstTouch(dist, reach * 1.001) >= 0))
      continue;
    const double expected = FirstTouch(dist, reach);
    ASSERT_EQ(gotSphere, expected >= 0) << "trial " << i;
    if (!gotSphere) continue;
    ++sphereHits;
    EXPECT_NEAR(ball.result.time, expected, 1e-3);
    const V z = E(s) + E(e - s) * expected;
    EXPECT_LT((E(ball.normal) - (z - E(c)).normalized()).norm(), 2e-3);
    EXPECT_NEAR((E(ball.result.point) - E(c)).norm(), rs, 1e-3);  // on the target's surface
  }
  EXPECT_GT(boxHits, 200);
  EXPECT_GT(sphereHits, 200);
}

namespace {

// A ball filed in an octree that answers queries with its sphere.
class Ball : public CBoundedObject {
 public:
  Ball(const Vector3& c, float r) : centre(c), radius(r) {
    Box b;
    b.SetFromCenterRadius(c, r);
    SetBounds(b);
    SetBoundFlags(0x4);
  }
  bool Intersect(GenericIntersection* query) override { return query->IntersectSphere(centre, radius); }
  Vector3 centre;
  float radius;
};

// Two levels: a root around groups of leaves.
struct TestTree {
  SphereTreeNode model, working;
  std::vector<const SphereTreeNode*> leaves;
  explicit TestTree(int groups) {
    model.AllocateChildren(groups);
    working.AllocateChildren(groups);
    for (int g = 0; g < groups; ++g) {
      model.children[g].AllocateChildren(4);
      working.children[g].AllocateChildren(4);
      const Vector3 base = RandomPoint(4);
      for (int l = 0; l < 4; ++l) {
        SphereTreeNode& leaf = model.children[g].children[l];
        leaf.centre = base + RandomPoint(1);
        leaf.radius = Uniform(0.2f, 0.8f);
        leaves.push_back(&leaf);
      }
      model.children[g].FitToChildren();
    }
    model.FitToChildren();
  }
};

}  // namespace

TEST(IntersectionWalkers, OctreeAndSphereTreeKeepTheNearestHit) {
  plat::srand(205);
  COctree tree(Box(Vector3(-20, -20, -20), Vector3(20, 20, 20)));
  std::vector<std::unique_ptr<Ball>> balls;
  for (int i = 0; i < 60; ++i) {
    balls.push_back(std::make_unique<Ball>(RandomPoint(10), Uniform(0.3f, 2.0f)));
    tree.InsertObject(balls.back().get());
  }
  for (int trial = 0; trial < 300; ++trial) {
    const Vector3 s = RandomPoint(12), e = RandomPoint(12);
    double best = FLT_MAX, rayBest = FLT_MAX;
    for (const auto& b : balls) {
      BeamInfo one(s, e, 0.5f);
      RayInfo ray(s, e);
      if (one.IntersectSphere(b->centre, b->radius)) best = std::min(best, double(one.result.time));
      if (ray.IntersectSphere(b->centre, b->radius)) rayBest = std::min(rayBest, double(ray.result.time));
    }
    BeamInfo beam(s, e, 0.5f);
    RayInfo ray(s, e);
    CBoundedObject* hit = nullptr;
    ASSERT_EQ(tree.AnyInBox(beam, &hit, 0x4, true), best < FLT_MAX) << "trial " << trial;
    ASSERT_EQ(tree.RayQuery(ray, &hit, 0x4, true, 1.0f), rayBest < FLT_MAX) << "trial " << trial;
    EXPECT_NEAR(beam.result.time, best, best < FLT_MAX ? 1e-6 : 0);
    EXPECT_NEAR(ray.result.time, rayBest, rayBest < FLT_MAX ? 1e-6 : 0);
  }
  for (int trial = 0; trial < 200; ++trial) {
    TestTree t(4);
    COrientation pose;
    pose.RotateAboutWorldAxis(Vector3(0, 0, 1), Uniform(-3, 3));
    pose.RotateAboutWorldAxis(Vector3(1, 0, 0), Uniform(-3, 3));
    pose.position = RandomPoint(2);
    const SphereTreeRef ref{&t.model, &pose, uint32_t(7 + trial), &t.working};
    const Vector3 s = RandomPoint(9), e = RandomPoint(9);
    double best = FLT_MAX;
    Vector3 bestNormal;
    for (const SphereTreeNode* leaf : t.leaves) {
      BeamInfo one(s, e, 0.3f);
      if (one.IntersectSphere(pose.LocalToWorldPoint(leaf->centre), leaf->radius) && one.result.time < best) {
        best = one.result.time;
        bestNormal = one.normal;
      }
    }
    BeamInfo beam(s, e, 0.3f), first(s, e, 0.3f);
    ASSERT_EQ(IntersectSphereTree(beam, ref), best < FLT_MAX) << "trial " << trial;
    EXPECT_EQ(beam.mode, QueryMode::kDetails);                        // restored
    EXPECT_NEAR(beam.result.time, best, best < FLT_MAX ? 1e-6 : 0);  // FLT_MAX without a leaf hit
    if (best < FLT_MAX) EXPECT_LT((beam.normal - bestNormal).Length(), 1e-4f) << "trial " << trial;
    EXPECT_LT((t.working.centre - pose.LocalToWorldPoint(t.model.centre)).Length(), 1e-4f);
    // First-leaf mode stops at a leaf that is hit, not necessarily the nearest.
    first.mode |= QueryMode::kFirstLeaf;
    EXPECT_EQ(IntersectSphereTree(first, ref), best < FLT_MAX);
    EXPECT_GE(first.result.time, best - 1e-6);
  }
  // A tree already in world space: no pose, stamp 0, model and working root the same.
  TestTree world(3);
  const Vector3 target = world.leaves[5]->centre;
  BeamInfo down(target + Vector3(0, 0, 9), target, 0.1f);
  ASSERT_TRUE(IntersectSphereTree(down, SphereTreeRef{&world.model, nullptr, 0, &world.model}));
  EXPECT_EQ(world.leaves[5]->centre, target);
  // Two leaves mirrored across a beam's path (a symmetric body met square on) are touched at the
  // very same time: the walk keeps the first it reaches. The root, of radius 0, lies on the path.
  SphereTreeNode pair;
  pair.AllocateChildren(2);
  pair.children[0].centre = Vector3(-0.3f, 0, 0);
  pair.children[1].centre = Vector3(0.3f, 0, 0);
  BeamInfo across(Vector3(0, 0, 5), Vector3(0, 0, -5), 0.5f);
  ASSERT_TRUE(IntersectSphereTree(across, SphereTreeRef{&pair, nullptr, 0, &pair}));
  EXPECT_LT((across.normal - Vector3(0.6f, 0, 0.8f)).Length(), 1e-5f);
}

TEST(IntersectionWalkers, NotANumberIsNoHit) {
  const Vector3 bad(NAN, 0, 0), a(0, 0, 0), b(2, 0, 0), k(0, 2, 0), n(0, 0, 1);
  const Box box(Vector3(-1, -1, -1), Vector3(1, 1, 1));
  for (int which = 0; which < 2; ++which) {
    const Vector3 s = which ? bad : Vector3(0.5f, 0.5f, 3), e = which ? Vector3(0.5f, 0.5f, -3) : bad;
    RayInfo ray(s, e);
    BeamInfo ball(s, e, 0.5f);
    EXPECT_FALSE(ray.IntersectBox(box) || ray.IntersectPolygon(a, b, k, n, false, nullptr) ||
                 ray.IntersectTriangle(a, b, k, n, false, nullptr) || ray.IntersectSphere(a, 1));
    EXPECT_FALSE(ball.IntersectBox(box) || ball.IntersectTriangle(a, b, k, n, true, nullptr) ||
                 ball.IntersectSphere(a, 1));
  }
}
