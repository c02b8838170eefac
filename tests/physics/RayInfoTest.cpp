// Tests of the segment query's box and triangle tests against slab and barycentric references.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>

#include "physics/RayInfo.h"
#include "tests/physics/PhysicsTestUtil.h"

using physics_test::RandomPoint;
using physics_test::Uniform;

namespace {

// Slab reference: entry time of the segment into the box (0 when it starts inside), or -1
// when it misses.
double SlabEntry(const Vector3& s, const Vector3& e, const Box& box) {
  double lo = 0.0, hi = 1.0;
  for (int axis = 0; axis < 3; ++axis) {
    const double d = double(e[axis]) - s[axis];
    if (d == 0.0) {
      if (s[axis] < box.min[axis] || s[axis] > box.max[axis]) return -1;
      continue;
    }
    double t0 = (box.min[axis] - s[axis]) / d, t1 = (box.max[axis] - s[axis]) / d;
    if (t0 > t1) std::swap(t0, t1);
    lo = std::max(lo, t0);
    hi = std::min(hi, t1);
  }
  return lo <= hi ? lo : -1;
}

bool Inside(const Box& box, const Vector3& p) {
  return p.x >= box.min.x && p.x <= box.max.x && p.y >= box.min.y && p.y <= box.max.y && p.z >= box.min.z &&
         p.z <= box.max.z;
}

}  // namespace

TEST(RayInfoBox, EdgeCases) {
  const Box box(Vector3(0, 0, 0), Vector3(2, 2, 2));
  RayInfo inside(Vector3(0.5f, 0.5f, 0.25f), Vector3(1.5f, 1, 1));
  ASSERT_TRUE(inside.IntersectBox(box));
  EXPECT_EQ(inside.result.time, 0.0f);
  EXPECT_EQ(inside.result.point, inside.start);
  EXPECT_EQ(inside.normal, Vector3(0, 0, -1));  // the way out through the nearest face

  // Starting inside and leaving: still a hit at the start, not where it leaves.
  RayInfo leaving(Vector3(1.9f, 1, 1), Vector3(5, 1, 1));
  ASSERT_TRUE(leaving.IntersectBox(box));
  EXPECT_EQ(leaving.result.time, 0.0f);
  EXPECT_EQ(leaving.result.point, leaving.start);
  EXPECT_EQ(leaving.normal, Vector3(1, 0, 0));

  // Entering through the maximum x face: the normal faces the segment's start.
  RayInfo fromMaxX(Vector3(4, 1, 1), Vector3(1, 1, 1));
  ASSERT_TRUE(fromMaxX.IntersectBox(box));
  EXPECT_EQ(fromMaxX.normal, Vector3(1, 0, 0));
  EXPECT_FLOAT_EQ(fromMaxX.result.time, 2.0f / 3.0f);
  EXPECT_EQ(fromMaxX.result.point.x, 2.0f);

  RayInfo fromMinZ(Vector3(1, 1, -2), Vector3(1, 1, 4));
  ASSERT_TRUE(fromMinZ.IntersectBox(box));
  EXPECT_EQ(fromMinZ.normal, Vector3(0, 0, -1));
  EXPECT_FLOAT_EQ(fromMinZ.result.time, 1.0f / 3.0f);

  RayInfo miss(Vector3(-1, 3, 1), Vector3(3, 3, 1));
  EXPECT_FALSE(miss.IntersectBox(box));
  EXPECT_EQ(miss.result.time, FLT_MAX);
}

TEST(RayInfoBox, EntryTimeAgreesWithSlabs) {
  plat::srand(101);
  int hits = 0;
  for (int n = 0; n < 3000; ++n) {
    Box box;
    box.SetFromPoints(RandomPoint(3), RandomPoint(3));
    const Vector3 s = RandomPoint(6), e = RandomPoint(6);
    const double entry = SlabEntry(s, e, box);
    // Skip grazing cases that float rounding may decide either way.
    Box grown = box, shrunk = box;
    grown.Inflate(Vector3(1e-3f, 1e-3f, 1e-3f));
    shrunk.Inflate(Vector3(-1e-3f, -1e-3f, -1e-3f));
    if ((SlabEntry(s, e, grown) >= 0) != (SlabEntry(s, e, shrunk) >= 0)) continue;
    RayInfo ray(s, e);
    const bool hit = ray.IntersectBox(box);
    ASSERT_EQ(hit, entry >= 0) << "trial " << n;
    if (!hit) continue;
    ++hits;
    EXPECT_NEAR(ray.result.time, entry, 1e-4);
    EXPECT_EQ(ray.normal.LengthSquared(), 1.0f);
    if (!Inside(box, s)) {
      // The entered face's normal faces the segment's start.
      EXPECT_LT(ray.normal.Dot(e - s), 0.0f);
    }
  }
  EXPECT_GT(hits, 150);
}

TEST(RayInfoTriangle, TwoSidedHitsFacingTheStart) {
  const Vector3 a(0, 0, 0), b(2, 0, 0), k(0, 2, 0), n(0, 0, 1);
  RayInfo down(Vector3(0.5f, 0.5f, 1), Vector3(0.5f, 0.5f, -1));
  ASSERT_TRUE(down.IntersectTriangle(a, b, k, n, false, nullptr));
  EXPECT_FLOAT_EQ(down.result.time, 0.5f);
  EXPECT_EQ(down.normal, n);
  EXPECT_FLOAT_EQ(down.result.u, 0.25f);
  EXPECT_FLOAT_EQ(down.result.v, 0.25f);

  RayInfo up(Vector3(0.5f, 0.5f, -1), Vector3(0.5f, 0.5f, 1));
  ASSERT_TRUE(up.IntersectTriangle(a, b, k, n, false, nullptr));
  EXPECT_EQ(up.normal, Vector3(0, 0, -1));

  RayInfo onEdge(Vector3(1, 1, 1), Vector3(1, 1, -1));  // u + v = 1
  EXPECT_TRUE(onEdge.IntersectTriangle(a, b, k, n, false, nullptr));
  RayInfo outside(Vector3(1.5f, 1.5f, 1), Vector3(1.5f, 1.5f, -1));
  EXPECT_FALSE(outside.IntersectTriangle(a, b, k, n, false, nullptr));
  EXPECT_TRUE(outside.IntersectTriangle(a, b, k, n, true, nullptr));  // inside the parallelogram
  EXPECT_FLOAT_EQ(outside.result.u, 0.75f);  // written before the range test

  plat::srand(102);
  for (int i = 0; i < 1000; ++i) {
    const Vector3 p0 = RandomPoint(5), p1 = RandomPoint(5), p2 = RandomPoint(5);
    const Vector3 normal = (p1 - p0).Cross(p2 - p0);
    if (normal.LengthSquared() < 1) continue;
    const float u = Uniform(-0.3f, 1.3f), v = Uniform(-0.3f, 1.3f), t = Uniform(-0.3f, 1.3f);
    const Vector3 hit = p0 + (p1 - p0) * u + (p2 - p0) * v;
    const Vector3 d = RandomPoint(3);
    if (std::fabs(d.Dot(normal)) < 0.1f * d.Length() * normal.Length()) continue;
    RayInfo ray(hit - d * t, hit + d * (1 - t));
    const bool expected = u >= 0 && v >= 0 && u + v <= 1 && t >= 0 && t <= 1;
    const float m = 1e-3f;
    const bool clear = std::min({std::fabs(u), std::fabs(v), std::fabs(1 - u - v), std::fabs(t), std::fabs(1 - t)}) > m;
    const bool got = ray.IntersectTriangle(p0, p1, p2, normal, false, nullptr);
    if (clear) {
      EXPECT_EQ(got, expected) << "trial " << i;
    }
    EXPECT_NEAR(ray.result.u, u, 1e-3f);
    EXPECT_NEAR(ray.result.v, v, 1e-3f);
    EXPECT_NEAR(ray.result.time, t, 1e-3f);
  }
}
