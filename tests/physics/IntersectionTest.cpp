// Segment and swept-sphere queries against direct double-precision computations, and the nearest-hit walkers.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

#include "core/math/BoundedObject.h"
#include "core/math/Octree.h"
#include "core/math/Orientation.h"
#include "physics/BeamInfo.h"
#include "physics/RayInfo.h"
#include "physics/SphereTreeNode.h"
#include "tests/physics/PhysicsTestUtil.h"

using physics_test::RandomPoint;
using physics_test::Uniform;

namespace {

using V = Eigen::Vector3d;
V E(const Vector3& v) { return V(v.x, v.y, v.z); }

// Closest point of triangle abc to p (the region walk over corners, edges and face).
V ClosestOnTriangle(const V& p, const V& a, const V& b, const V& c) {
  const V ab = b - a, ac = c - a, ap = p - a;
  const double d1 = ab.dot(ap), d2 = ac.dot(ap);
  if (d1 <= 0 && d2 <= 0) return a;
  const V bp = p - b;
  const double d3 = ab.dot(bp), d4 = ac.dot(bp);
  if (d3 >= 0 && d4 <= d3) return b;
  const double vc = d1 * d4 - d3 * d2;
  if (vc <= 0 && d1 >= 0 && d3 <= 0) return a + ab * (d1 / (d1 - d3));
  const V cp = p - c;
  const double d5 = ab.dot(cp), d6 = ac.dot(cp);
  if (d6 >= 0 && d5 <= d6) return c;
  const double vb = d5 * d2 - d1 * d6;
  if (vb <= 0 && d2 >= 0 && d6 <= 0) return a + ac * (d2 / (d2 - d6));
  const double va = d3 * d6 - d5 * d4;
  if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) return b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
  const double denom = 1.0 / (va + vb + vc);
  return a + ab * (vb * denom) + ac * (vc * denom);
}

// First time in [0, 1] at which a centre moving s -> e comes within r of the convex set whose
// distance function is given; -1 when it never does. The distance along a straight path to a
// convex set is convex in time, so a ternary search finds its minimum and a bisection the entry.
template <class Dist>
double FirstTouch(const Dist& dist, double r) {
  if (dist(0.0) <= r) return 0.0;
  double lo = 0.0, hi = 1.0;
  for (int i = 0; i < 70; ++i) {
    const double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
    if (dist(m1) < dist(m2)) {
      hi = m2;
    } else {
      lo = m1;
    }
  }
  const double tMin = 0.5 * (lo + hi);
  if (dist(tMin) > r) return -1.0;
  lo = 0.0, hi = tMin;
  for (int i = 0; i < 50; ++i) {
    const double mid = 0.5 * (lo + hi);
    (dist(mid) > r ? lo : hi) = mid;
  }
  return hi;
}

// Slab reference: entry time of the segment into the box (0 inside), -1 for a miss.
double SlabEntry(const V& s, const V& e, const V& lo3, const V& hi3) {
  double lo = 0.0, hi = 1.0;
  for (int axis = 0; axis < 3; ++axis) {
    const double d = e[axis] - s[axis];
    if (d == 0.0) {
      if (s[axis] < lo3[axis] || s[axis] > hi3[axis]) return -1;
      continue;
    }
    double t0 = (lo3[axis] - s[axis]) / d, t1 = (hi3[axis] - s[axis]) / d;
    if (t0 > t1) std::swap(t0, t1);
    lo = std::max(lo, t0);
    hi = std::min(hi, t1);
  }
  return lo <= hi ? lo : -1;
}

// Entry time of a point moving s -> e into the sphere (c, r); -1 for none; 0 when it starts inside.
double SphereEntry(const V& s, const V& e, const V& c, double r) {
  const V d = e - s, m = s - c;
  const double a = d.dot(d), b = m.dot(d), k = m.dot(m) - r * r;
  if (k <= 0) return 0.0;
  if (a == 0) return -1;
  const double disc = b * b - a * k;
  if (disc < 0) return -1;
  const double t = (-b - std::sqrt(disc)) / a;
  return t >= 0 && t <= 1 ? t : -1;
}

}  // namespace

TEST(RayInfoQueries, OneSidedPolygonAgreesWithDirectCrossing) {
  plat::srand(201);
  int hits = 0;
  for (int i = 0; i < 3000; ++i) {
    const Vector3 a = RandomPoint(4), b = RandomPoint(4), k = RandomPoint(4);
    Vector3 n = (b - a).Cross(k - a);
    if (n.Length() < 0.5f) continue;
    n = n * (1.0f / n.Length());
    const Vector3 s = RandomPoint(6), e = RandomPoint(6);
    RayInfo ray(s, e);
    const bool got = ray.IntersectPolygon(a, b, k, n, false, nullptr);
    // Reference: the crossing from front to back, inside the triangle.
    const double d0 = E(n).dot(E(s) - E(a)), d1 = E(n).dot(E(e) - E(a));
    bool expected = false, clear = true;
    if (d0 > d1) {
      const double t = d0 / (d0 - d1);
      const V p = E(s) + (E(e) - E(s)) * t;
      const V closest = ClosestOnTriangle(p, E(a), E(b), E(k));
      expected = t >= 0 && t <= 1 && (closest - p).norm() < 1e-9;
      clear = std::fabs(t) > 1e-4 && std::fabs(t - 1) > 1e-4 && ((closest - p).norm() > 1e-3 || expected);
      if (expected) {
        // Near an edge a point may fall either way; inside means away from every edge.
        const double margin = std::min({(ClosestOnTriangle(p, E(a), E(b), E(a)) - p).norm(),
                                        (ClosestOnTriangle(p, E(b), E(k), E(b)) - p).norm(),
                                        (ClosestOnTriangle(p, E(k), E(a), E(k)) - p).norm()});
        clear = clear && margin > 1e-3;
      }
      if (got) {
        EXPECT_NEAR(ray.result.time, t, 1e-4);
        EXPECT_EQ(ray.normal, n);
        const V uvPoint = E(a) + (E(b) - E(a)) * ray.result.u + (E(k) - E(a)) * ray.result.v;
        EXPECT_LT((uvPoint - p).norm(), 1e-3);
      }
    }
    if (clear) {
      ASSERT_EQ(got, expected) << "trial " << i;
    }
    hits += got;
  }
  EXPECT_GT(hits, 50);
}

TEST(RayInfoQueries, SphereAgreesWithQuadraticAndAlwaysWritesTime) {
  plat::srand(202);
  int hits = 0;
  for (int i = 0; i < 3000; ++i) {
    const Vector3 c = RandomPoint(3), s = RandomPoint(6), e = RandomPoint(6);
    const float r = Uniform(0.2f, 3.0f);
    const double expected = SphereEntry(E(s), E(e), E(c), r);
    RayInfo detailed(s, e), bare(s, e);
    bare.mode = 0;
    bare.result.point = Vector3(9, 9, 9);
    const bool got = detailed.IntersectSphere(c, r);
    ASSERT_EQ(bare.IntersectSphere(c, r), got);
    if (std::fabs(E(s - c).norm() - r) < 1e-3) continue;  // grazing the start
    if (!got) {
      EXPECT_LT(expected, 0) << "trial " << i;
      continue;
    }
    ++hits;
    EXPECT_NEAR(detailed.result.time, expected, 2e-4) << "trial " << i;
    // Without details the time is there for the walkers; only point and normal stay put.
    EXPECT_EQ(bare.result.time, detailed.result.time);
    EXPECT_EQ(bare.result.point, Vector3(9, 9, 9));
    const V p = E(s) + (E(e) - E(s)) * expected;
    EXPECT_LT((E(detailed.result.point) - p).norm(), 2e-3);
    EXPECT_NEAR(detailed.normal.Length(), 1.0f, 1e-4);
  }
  EXPECT_GT(hits, 300);
  // Short segments are point tests.
  RayInfo point(Vector3(0.5f, 0, 0), Vector3(0.51f, 0, 0));
  EXPECT_TRUE(point.IntersectSphere(Vector3(0, 0, 0), 1));
  EXPECT_EQ(point.result.time, 0.0f);
  EXPECT_EQ(point.normal, Vector3(1, 0, 0));
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
    // Long and short sweeps alike.
    const Vector3 s = RandomPoint(5), e = i % 3 == 0 ? s + RandomPoint(r) : RandomPoint(5);
    // Every other trial asks for the parallelogram A, B, B + K - A, K.
    const bool quad = i % 2 == 1;
    const V d4 = E(b) + E(k) - E(a);
    const auto closest = [&](const V& p) {
      const V c1 = ClosestOnTriangle(p, E(a), E(b), E(k));
      if (!quad) return c1;
      const V c2 = ClosestOnTriangle(p, E(b), d4, E(k));
      return (c1 - p).norm() <= (c2 - p).norm() ? c1 : c2;
    };
    const auto dist = [&](double t) {
      const V p = E(s) + (E(e) - E(s)) * t;
      return (closest(p) - p).norm();
    };
    if (dist(0) <= r * 1.001) continue;  // start overlaps are checked below
    const double expected = FirstTouch(dist, r);
    BeamInfo beam(s, e, r);
    const bool got = beam.IntersectTriangle(a, b, k, n, quad, nullptr);
    // Grazing sweeps may go either way.
    const auto grazes = [&](double rr) { return FirstTouch(dist, rr) >= 0; };
    if (grazes(r * 0.999) != grazes(r * 1.001)) continue;
    ASSERT_EQ(got, expected >= 0) << "trial " << i;
    if (!got) continue;
    EXPECT_NEAR(beam.result.time, expected, 1e-3) << "trial " << i;
    const V z = E(s) + (E(e) - E(s)) * double(beam.result.time);
    const V contact = closest(z);
    EXPECT_LT((E(beam.result.point) - contact).norm(), 5e-3) << "trial " << i;
    EXPECT_LT((E(beam.normal) - (z - contact).normalized()).norm(), 5e-3) << "trial " << i;
    // (u, v) are the contact's coordinates along A-B and A-K.
    const V uvPoint = E(a) + (E(b) - E(a)) * beam.result.u + (E(k) - E(a)) * beam.result.v;
    EXPECT_LT((uvPoint - contact).norm(), 5e-3) << "trial " << i;
    (std::fabs(E(n).dot(z - contact)) > 0.999 * r ? face : rim) += 1;
  }
  EXPECT_GT(face, 40);
  EXPECT_GT(rim, 40);
}

TEST(BeamInfoQueries, StartOverlapCountsOnlyWhileClosingIn) {
  const Vector3 a(0, 0, 0), b(4, 0, 0), k(0, 4, 0), n(0, 0, 1);
  // Resting on the face, moving along it or away from it: free to go.
  BeamInfo along(Vector3(1, 1, 0.5f), Vector3(2, 1, 0.5f), 0.5f);
  EXPECT_FALSE(along.IntersectPolygon(a, b, k, n, false, nullptr));
  BeamInfo away(Vector3(1, 1, 0.45f), Vector3(1, 1, 3), 0.5f);
  EXPECT_FALSE(away.IntersectPolygon(a, b, k, n, false, nullptr));
  BeamInfo still(Vector3(1, 1, 0.45f), Vector3(1, 1, 0.45f), 0.5f);
  EXPECT_FALSE(still.IntersectPolygon(a, b, k, n, false, nullptr));
  // Sunk in a little and still pressing: blocked at once, facing out of the face.
  BeamInfo pressing(Vector3(1, 1, 0.45f), Vector3(1, 1, -2), 0.5f);
  ASSERT_TRUE(pressing.IntersectPolygon(a, b, k, n, false, nullptr));
  EXPECT_EQ(pressing.result.time, 0.0f);
  EXPECT_EQ(pressing.normal, n);
  // Over an edge, pressing towards it.
  BeamInfo edge(Vector3(2, -0.3f, 0), Vector3(2, 1, 0), 0.5f);
  ASSERT_TRUE(edge.IntersectPolygon(a, b, k, n, false, nullptr));
  EXPECT_EQ(edge.result.time, 0.0f);
  EXPECT_NEAR(edge.result.u, 0.5f, 1e-6);  // half-way along A-B
  EXPECT_EQ(edge.result.v, 0.0f);
  // Asked for, any start overlap counts.
  away.mode |= QueryMode::kStartOverlap;
  EXPECT_TRUE(away.IntersectPolygon(a, b, k, n, false, nullptr));
  EXPECT_EQ(away.result.time, 0.0f);
  // One-sided: from behind the plane the face is not met (its rim still is).
  BeamInfo behind(Vector3(1, 1, -2), Vector3(1, 1, 2), 0.5f);
  EXPECT_FALSE(behind.IntersectPolygon(a, b, k, n, false, nullptr));
  EXPECT_TRUE(behind.IntersectTriangle(a, b, k, n, false, nullptr));
  EXPECT_EQ(behind.normal, Vector3(0, 0, -1));
}

TEST(BeamInfoQueries, BoxAndSphereAgreeWithGrownShapes) {
  plat::srand(204);
  int boxHits = 0, sphereHits = 0;
  for (int i = 0; i < 3000; ++i) {
    const float r = Uniform(0.1f, 1.5f);
    const Vector3 s = RandomPoint(6), e = i % 4 == 0 ? s + RandomPoint(r) : RandomPoint(6);
    Box box;
    box.SetFromPoints(RandomPoint(3), RandomPoint(3));
    const V lo = E(box.min) - V(r, r, r), hi = E(box.max) + V(r, r, r);
    const bool startsInside = (E(s).array() >= lo.array()).all() && (E(s).array() <= hi.array()).all();
    BeamInfo beam(s, e, r);
    const bool gotBox = beam.IntersectBox(box);
    if (!startsInside) {
      const double expected = SlabEntry(E(s), E(e), lo, hi);
      const double near = std::min({SlabEntry(E(s), E(e), lo - V(1e-3, 1e-3, 1e-3), hi + V(1e-3, 1e-3, 1e-3))});
      const double far = SlabEntry(E(s), E(e), lo + V(1e-3, 1e-3, 1e-3), hi - V(1e-3, 1e-3, 1e-3));
      if ((near >= 0) == (far >= 0)) {
        ASSERT_EQ(gotBox, expected >= 0) << "trial " << i;
        if (gotBox) {
          ++boxHits;
          EXPECT_NEAR(beam.result.time, expected, 1e-4);
          EXPECT_LT(beam.normal.Dot(e - s), 0.0f);
        }
      }
    }
    const Vector3 c = RandomPoint(3);
    const float rs = Uniform(0.1f, 2.0f);
    BeamInfo ball(s, e, r);
    const bool gotSphere = ball.IntersectSphere(c, rs);
    const double reach = double(r) + rs;
    if (E(s - c).norm() <= reach + 1e-3) continue;  // start overlaps: checked below
    const double expected = SphereEntry(E(s), E(e), E(c), reach);
    if ((SphereEntry(E(s), E(e), E(c), reach * 0.999) >= 0) != (SphereEntry(E(s), E(e), E(c), reach * 1.001) >= 0))
      continue;
    ASSERT_EQ(gotSphere, expected >= 0) << "trial " << i;
    if (!gotSphere) continue;
    ++sphereHits;
    EXPECT_NEAR(ball.result.time, expected, 1e-3);
    const V z = E(s) + (E(e) - E(s)) * expected;
    EXPECT_LT((E(ball.normal) - (z - E(c)).normalized()).norm(), 2e-3);
    EXPECT_NEAR((E(ball.result.point) - E(c)).norm(), rs, 1e-3);  // on the target's surface
  }
  EXPECT_GT(boxHits, 200);
  EXPECT_GT(sphereHits, 200);

  // A short sweep that ends clear of the sphere is no contact; touching and leaving neither.
  BeamInfo shortMiss(Vector3(0, 0, 3), Vector3(0, 0, 2.6f), 0.5f);
  EXPECT_FALSE(shortMiss.IntersectSphere(Vector3(0, 0, 0), 2));
  BeamInfo leaving(Vector3(0, 0, 2.4f), Vector3(0, 0, 2.6f), 0.5f);
  EXPECT_FALSE(leaving.IntersectSphere(Vector3(0, 0, 0), 2));
  BeamInfo leavingBox(Vector3(0, 0, 1.4f), Vector3(0, 0, 3), 0.5f);
  EXPECT_FALSE(leavingBox.IntersectBox(Box(Vector3(-1, -1, -1), Vector3(1, 1, 1))));
}

namespace {

// A ball filed in an octree that answers every query with its sphere.
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

// Two-level tree: a root around every leaf group, each group around its leaves.
struct TestTree {
  SphereTreeNode model, working;
  std::vector<Vector3> leafCentres;  // model space
  std::vector<float> leafRadii;

  void Build(int groups, int leaves) {
    model.AllocateChildren(groups);
    working.AllocateChildren(groups);
    for (int g = 0; g < groups; ++g) {
      SphereTreeNode& group = model.children[g];
      group.AllocateChildren(leaves);
      working.children[g].AllocateChildren(leaves);
      const Vector3 base = RandomPoint(4);
      for (int l = 0; l < leaves; ++l) {
        group.children[l].centre = base + RandomPoint(1);
        group.children[l].radius = Uniform(0.2f, 0.8f);
        leafCentres.push_back(group.children[l].centre);
        leafRadii.push_back(group.children[l].radius);
      }
      group.FitToChildren();
    }
    model.FitToChildren();
  }
};

}  // namespace

TEST(IntersectionWalkers, OctreeKeepsTheNearestOfEveryBall) {
  plat::srand(205);
  COctree tree(Box(Vector3(-20, -20, -20), Vector3(20, 20, 20)));
  std::vector<std::unique_ptr<Ball>> balls;
  for (int i = 0; i < 60; ++i) {
    balls.push_back(std::make_unique<Ball>(RandomPoint(10), Uniform(0.3f, 2.0f)));
    tree.InsertObject(balls.back().get());
  }
  int hits = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const Vector3 s = RandomPoint(12), e = RandomPoint(12);
    const float r = Uniform(0.1f, 1.0f);
    double best = FLT_MAX;
    const Ball* bestBall = nullptr;
    for (const auto& b : balls) {
      BeamInfo one(s, e, r);
      if (one.IntersectSphere(b->centre, b->radius) && one.result.time < best) best = one.result.time, bestBall = b.get();
    }
    BeamInfo beam(s, e, r);
    CBoundedObject* hit = nullptr;
    const bool got = tree.AnyInBox(beam, &hit, 0x4, true);
    ASSERT_EQ(got, bestBall != nullptr) << "trial " << trial;
    if (!got) continue;
    ++hits;
    EXPECT_NEAR(beam.result.time, best, 1e-6);
    // The segment walk agrees with its own brute force too.
    double rayBest = FLT_MAX;
    for (const auto& b : balls) {
      RayInfo one(s, e);
      if (one.IntersectSphere(b->centre, b->radius)) rayBest = std::min(rayBest, double(one.result.time));
    }
    RayInfo ray(s, e);
    CBoundedObject* rayHit = nullptr;
    ASSERT_EQ(tree.RayQuery(ray, &rayHit, 0x4, true, 1.0f), rayBest < FLT_MAX);
    if (rayBest < FLT_MAX) {
      EXPECT_NEAR(ray.result.time, rayBest, 1e-6);
    }
  }
  EXPECT_GT(hits, 50);
}

TEST(IntersectionWalkers, SphereTreeWalkFindsTheNearestLeaf) {
  plat::srand(206);
  for (int trial = 0; trial < 200; ++trial) {
    TestTree t;
    t.Build(4, 5);
    COrientation pose;
    pose.RotateAboutWorldAxis(Vector3(0, 0, 1), Uniform(-3, 3));
    pose.RotateAboutWorldAxis(Vector3(1, 0, 0), Uniform(-3, 3));
    pose.position = RandomPoint(2);
    SphereTreeRef ref;
    ref.model = &t.model;
    ref.working = &t.working;
    ref.orientation = &pose;
    ref.stamp = 7 + trial;
    const Vector3 s = RandomPoint(9), e = RandomPoint(9);
    // Brute force over the leaves in world space.
    double best = FLT_MAX;
    for (size_t l = 0; l < t.leafCentres.size(); ++l) {
      BeamInfo one(s, e, 0.3f);
      if (one.IntersectSphere(pose.LocalToWorldPoint(t.leafCentres[l]), t.leafRadii[l]) && one.result.time < best)
        best = one.result.time;
    }
    BeamInfo beam(s, e, 0.3f);
    const bool got = beam.IntersectSphereTree(ref);
    ASSERT_EQ(got, best < FLT_MAX) << "trial " << trial;
    EXPECT_EQ(beam.mode, QueryMode::kDetails);  // restored
    if (got) {
      EXPECT_NEAR(beam.result.time, best, 1e-6);
    } else {
      EXPECT_EQ(beam.result.time, FLT_MAX);
    }
    // Working centres are the posed model centres, cached under the stamp.
    EXPECT_EQ(t.working.stamp, ref.stamp);
    EXPECT_LT((t.working.centre - pose.LocalToWorldPoint(t.model.centre)).Length(), 1e-4f);

    // First-leaf mode stops at a leaf that is hit, not necessarily the nearest.
    BeamInfo first(s, e, 0.3f);
    first.mode = QueryMode::kDetails | QueryMode::kFirstLeaf;
    EXPECT_EQ(first.IntersectSphereTree(ref), got);
    if (got) {
      EXPECT_GE(first.result.time, best - 1e-6);
    }
  }
}

TEST(IntersectionWalkers, WorldSpaceTreesAndBadNumbers) {
  // A tree already in world space: no pose, stamp 0, model and working root the same nodes.
  plat::srand(207);
  TestTree t;
  t.Build(3, 4);
  SphereTreeRef ref;
  ref.model = &t.model;
  ref.working = &t.model;
  const Vector3 target = t.leafCentres[5];
  BeamInfo beam(target + Vector3(0, 0, 9), target, 0.1f);
  ASSERT_TRUE(beam.IntersectSphereTree(ref));
  EXPECT_LT(beam.result.time, 1.0f);
  EXPECT_EQ(t.leafCentres[5], t.model.children[1].children[1].centre);  // nothing moved

  // Not-a-number anywhere is no hit, never a crash or a stale answer.
  const Vector3 bad(NAN, 0, 0), a(0, 0, 0), b(2, 0, 0), k(0, 2, 0), n(0, 0, 1);
  const Box box(Vector3(-1, -1, -1), Vector3(1, 1, 1));
  for (int which = 0; which < 2; ++which) {
    const Vector3 s = which ? bad : Vector3(0.5f, 0.5f, 3), e = which ? Vector3(0.5f, 0.5f, -3) : bad;
    RayInfo ray(s, e);
    BeamInfo ball(s, e, 0.5f);
    EXPECT_FALSE(ray.IntersectBox(box));
    EXPECT_FALSE(ray.IntersectPolygon(a, b, k, n, false, nullptr));
    EXPECT_FALSE(ray.IntersectTriangle(a, b, k, n, false, nullptr));
    EXPECT_FALSE(ray.IntersectSphere(a, 1));
    EXPECT_FALSE(ball.IntersectBox(box));
    EXPECT_FALSE(ball.IntersectTriangle(a, b, k, n, true, nullptr));
    EXPECT_FALSE(ball.IntersectSphere(a, 1));
  }
}
