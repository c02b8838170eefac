// The closest-feature walk against libccd: distances of random 20- to 200-vertex convex
// pairs, coherent motion through and out of contact, and deep penetration.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "physics/polyhedron/VclipWalk.h"
#include "tests/physics/PolyTestUtil.h"

#ifdef KELVARUN_HAVE_CCD
#include <ccd/ccd.h>
#endif

using namespace poly_test;

#ifdef KELVARUN_HAVE_CCD
namespace {

// libccd (this version) answers only "do they overlap?". A vertex set grown by a ball
// of radius `grow` overlaps another set exactly when their distance is below grow, so
// two overlap queries bracket a distance and a bisection measures one - all without
// any of the walk's code.
struct CcdShape {
  std::vector<Vec> points;
  Vec centre;
  double grow = 0.0;
};

CcdShape MakeCcdShape(const Polyhedron& p, const Se3& pose) {
  CcdShape s;
  for (const Vertex& v : p.vertices()) s.points.push_back(ToEigen(pose.Transform(v.coords)));
  for (const Vec& q : s.points) s.centre = s.centre + q;
  s.centre = s.centre * (1.0 / static_cast<double>(s.points.size()));
  return s;
}

void CcdSupport(const void* obj, const ccd_vec3_t* dir, ccd_vec3_t* out) {
  const CcdShape& s = *static_cast<const CcdShape*>(obj);
  const Vec d(ccdVec3X(dir), ccdVec3Y(dir), ccdVec3Z(dir));
  const Vec* best = &s.points[0];
  for (const Vec& q : s.points) {
    if (q.dot(d) > best->dot(d)) best = &q;
  }
  Vec p = *best;
  const double length = d.norm();
  if (s.grow > 0.0 && length > 0.0) p = p + d * (s.grow / length);
  ccdVec3Set(out, p.x, p.y, p.z);
}

void CcdCentre(const void* obj, ccd_vec3_t* out) {
  const CcdShape& s = *static_cast<const CcdShape*>(obj);
  ccdVec3Set(out, s.centre.x, s.centre.y, s.centre.z);
}

ccd_t CcdSetup() {
  ccd_t ccd;
  CCD_INIT(&ccd);
  ccd.support1 = ccd.support2 = CcdSupport;
  ccd.center1 = ccd.center2 = CcdCentre;
  // A grown shape is curved, so a query right at touching converges slowly; past this
  // many iterations libccd answers "apart", which only blurs the bracket at ~1e-9.
  ccd.max_iterations = 2000;
  ccd.epa_tolerance = 1e-7;
  ccd.mpr_tolerance = 1e-7;
  return ccd;
}

bool GjkOverlap(const CcdShape& a, CcdShape b, double grow) {
  const ccd_t ccd = CcdSetup();
  b.grow = grow;
  return ccdGJKIntersect(&a, &b, &ccd) != 0;
}

bool MprOverlap(const CcdShape& a, const CcdShape& b) {
  const ccd_t ccd = CcdSetup();
  return ccdMPRIntersect(&a, &b, &ccd) != 0;
}

// libccd's distance by bisection on the growth (0 when the sets overlap).
double CcdDistance(const CcdShape& a, const CcdShape& b) {
  if (GjkOverlap(a, b, 0.0)) return 0.0;
  double lo = 0.0, hi = (a.points[0] - b.points[0]).norm();
  for (int i = 0; i < 60 && hi - lo > 1e-9; ++i) {
    const double mid = 0.5 * (lo + hi);
    (GjkOverlap(a, b, mid) ? hi : lo) = mid;
  }
  return 0.5 * (lo + hi);
}

double Tolerance(double d) { return 1e-4 * std::max(1.0, std::fabs(d)); }

// Runs the walk for b placed by rel beside a and checks the result against libccd:
// a positive distance d must leave the sets apart at d - tol and touching at d + tol,
// and a reported contact must be within tol of one. Returns the walk's distance.
float CheckAgainstCcd(const PolyTree& a, const PolyTree& b, const Se3& rel, ClosestFeatureCache& cache) {
  VclipVector3 cp1, cp2;
  const float d = VClip::Run(a, b, rel, cache, cp1, cp2);
  EXPECT_LT(VClip::LastHandlerCalls(), VClip::CycleLimit());
  const CcdShape sa = MakeCcdShape(*a.polyhedron(), Se3::kIdentity);
  const CcdShape sb = MakeCcdShape(*b.polyhedron(), rel);
  const double tol = Tolerance(d);
  bool agrees = GjkOverlap(sa, sb, std::max(0.0, static_cast<double>(d)) + tol);
  if (d > tol) agrees = agrees && !GjkOverlap(sa, sb, d - tol);
  if (!agrees) ADD_FAILURE() << "walk " << d << ", libccd " << CcdDistance(sa, sb);
  if (d > tol) {
    // The closest points are as far apart as the distance says.
    EXPECT_NEAR((ToEigen(cp1) - ToEigen(rel.Transform(cp2))).norm(), d, tol);
  }
  return d;
}

// Hull of count points on an ellipsoid: every point is a hull vertex, so the
// vertex count is what was asked for.
std::shared_ptr<Polyhedron> EllipsoidHull(int count) {
  const VclipVector3 axes(Uniform(0.4f, 1.6f), Uniform(0.4f, 1.6f), Uniform(0.4f, 1.6f));
  auto p = std::make_shared<Polyhedron>();
  for (int i = 0; i < count; ++i) {
    VclipVector3 u = RandomVector(1.0f);
    const float length = u.Length();
    if (length < 0.1f) {
      --i;
      continue;
    }
    u = u.Scaled(1.0f / length);
    p->addVertex(("e" + std::to_string(i)).c_str(), VclipVector3(u.x * axes.x, u.y * axes.y, u.z * axes.z));
  }
  if (p->buildHull() != 0) return nullptr;
  return p;
}

// Alternates ellipsoid hulls with hulls of points in a cube (many interior points).
std::shared_ptr<Polyhedron> RandomConvex(int round) {
  const int count = 20 + (round * 37) % 181;
  return round % 2 ? EllipsoidHull(count) : RandomHull(count, Uniform(0.5f, 1.5f));
}

size_t VertexCount(const Polyhedron& p) { return p.vertices().size(); }

}  // namespace

TEST(VclipReference, RandomPairsInRandomPosesMatchLibccd) {
  plat::srand(77);
  int apart = 0, touching = 0;
  for (int round = 0; round < 200; ++round) {
    auto p1 = RandomConvex(round);
    auto p2 = RandomConvex(round + 3);
    ASSERT_TRUE(p1 && p2);
    auto a = Leaf("a", p1);
    auto b = Leaf("b", p2);
    ClosestFeatureCache cache(17);
    const Se3 rel(RandomRotation(), RandomVector(Uniform(0.5f, 4.0f)));
    const float d = CheckAgainstCcd(*a, *b, rel, cache);
    (d > 0.0f ? apart : touching)++;
  }
  EXPECT_GT(apart, 50);
  EXPECT_GT(touching, 20);
}

TEST(VclipReference, CoherentMotionInAndOutOfContactStaysWithLibccd) {
  plat::srand(5);
  for (int pair = 0; pair < 6; ++pair) {
    auto a = Leaf("a", pair % 2 ? EllipsoidHull(20 + 36 * pair) : RandomHull(40 + 32 * pair, 1.0f));
    auto b = Leaf("b", pair % 2 ? RandomHull(200 - 30 * pair, 1.0f) : EllipsoidHull(200 - 36 * pair));
    ASSERT_TRUE(a->polyhedron() && b->polyhedron());
    ASSERT_GE(VertexCount(*b->polyhedron()), 20u);
    ClosestFeatureCache cache(17);
    VclipVector3 axis = RandomVector(1.0f), u = RandomVector(1.0f), v = RandomVector(1.0f);
    u = u.Scaled(1.0f / u.Length());
    v = VclipVector3::Cross(u, v);
    v = v.Scaled(1.0f / v.Length());
    int apart = 0, contact = 0, calls = 0;
    const int steps = 400;
    for (int step = 0; step < steps; ++step) {
      // b turns steadily while it swings from well clear to deep inside a and back.
      const float t = static_cast<float>(step);
      VclipQuaternion spin;
      spin.SetFromAngleAxis(0.015f * t, axis, true);
      const float reach = 0.1f + 1.8f * (1.0f + std::cos(0.025f * t));
      const float side = 0.6f * std::sin(0.04f * t);
      const Se3 rel(spin, VclipVector3(reach * u.x + side * v.x, reach * u.y + side * v.y, reach * u.z + side * v.z));
      const float d = CheckAgainstCcd(*a, *b, rel, cache);
      calls += VClip::LastHandlerCalls();
      (d > 0.0f ? apart : contact)++;
    }
    EXPECT_GT(apart, 50) << "pair " << pair;
    EXPECT_GT(contact, 50) << "pair " << pair;
    // The cache makes each small step a short walk, not one from scratch.
    EXPECT_LT(calls, steps * 8) << "pair " << pair;
  }
}

TEST(VclipReference, DeepPenetrationIsOverlapForBothAndTheWayOutMatches) {
  plat::srand(31);
  for (int round = 0; round < 60; ++round) {
    auto a = Leaf("a", RandomConvex(round));
    auto b = Leaf("b", RandomConvex(round + 1));
    ASSERT_TRUE(a->polyhedron() && b->polyhedron());
    ClosestFeatureCache cache(17);
    // Centres well inside each other.
    const Se3 rel(RandomRotation(), RandomVector(0.15f));
    VclipVector3 cp1, cp2;
    EXPECT_LE(VClip::Run(*a, *b, rel, cache, cp1, cp2), 0.0f) << "round " << round;
    EXPECT_LT(VClip::LastHandlerCalls(), VClip::CycleLimit());
    const CcdShape sa = MakeCcdShape(*a->polyhedron(), Se3::kIdentity);
    const CcdShape sb = MakeCcdShape(*b->polyhedron(), rel);
    EXPECT_TRUE(GjkOverlap(sa, sb, 0.0));
    EXPECT_TRUE(MprOverlap(sa, sb));
    // Straight out along a random direction until libccd just sees a gap, then a
    // little further: the walk, starting from its penetrating pair, must find the gap.
    VclipVector3 way = RandomVector(1.0f);
    way = way.Scaled(1.0f / std::max(way.Length(), 1e-3f));
    const auto movedBy = [&](double s) {
      const float f = static_cast<float>(s);
      return Se3(rel.rotation, VclipVector3(rel.translation.x + way.x * f, rel.translation.y + way.y * f,
                                            rel.translation.z + way.z * f));
    };
    double inside = 0.0, outside = 10.0;
    for (int i = 0; i < 40; ++i) {
      const double mid = 0.5 * (inside + outside);
      (GjkOverlap(sa, MakeCcdShape(*b->polyhedron(), movedBy(mid)), 0.0) ? inside : outside) = mid;
    }
    EXPECT_GT(CheckAgainstCcd(*a, *b, movedBy(outside + 0.05), cache), 0.0f) << "round " << round;
  }
}

#else

TEST(VclipReference, NeedsLibccd) { GTEST_SKIP() << "built without libccd"; }

#endif
