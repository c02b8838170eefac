// Tests of Triangle: normal winding, degenerate normals and barycentric round trips.
#include "core/math/Triangle.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(TriangleTest, NormalFollowsP1MinusP0CrossP2MinusP0) {
  Triangle t;
  t.Set(Vector3(0, 0, 0), Vector3(2, 0, 0), Vector3(0, 3, 0), false);
  EXPECT_EQ(t.normal, Vector3(0, 0, 6));
  EXPECT_EQ(t.ComputeNormal(), Vector3(0, 0, 6));
  t.Set(Vector3(0, 0, 0), Vector3(2, 0, 0), Vector3(0, 3, 0), true);
  EXPECT_EQ(t.normal, Vector3(0, 0, 1));
  Vector3 n;
  ComputeTriangleNormal(n, Vector3(0, 0, 0), Vector3(0, 3, 0), Vector3(2, 0, 0));
  EXPECT_EQ(n, Vector3(0, 0, -1));  // swapped winding flips the normal
}

TEST(TriangleTest, DegenerateTriangleKeepsZeroNormal) {
  Triangle t;
  t.Set(Vector3(0, 0, 0), Vector3(1, 1, 1), Vector3(2, 2, 2), true);
  EXPECT_EQ(t.normal, Vector3(0, 0, 0));
  Vector3 n(5, 5, 5);
  ComputeTriangleNormal(n, Vector3(1, 0, 0), Vector3(1, 0, 0), Vector3(3, 0, 0));
  EXPECT_EQ(n, Vector3(0, 0, 0));
  EXPECT_EQ(t.ProjectPoint(Vector3(4, 0, 1)).x, 0.0f);
}

TEST(TriangleTest, ProjectPointInvertsPointAtOffThePlane) {
  std::mt19937 rng(21);
  std::uniform_real_distribution<float> d(-5.0f, 5.0f), uv(-0.5f, 1.5f);
  for (int i = 0; i < 2000; ++i) {
    Triangle t;
    t.Set(Vector3(d(rng), d(rng), d(rng)), Vector3(d(rng), d(rng), d(rng)), Vector3(d(rng), d(rng), d(rng)), true);
    if (t.ComputeNormal().Length() < 1.0f) continue;  // skip near-degenerate draws
    const Vector2 in(uv(rng), uv(rng));
    // Lift the point off the plane along the normal: the foot is unchanged.
    const Vector3 p = t.PointAt(in) + t.normal * d(rng);
    const Vector2 out = t.ProjectPoint(p);
    EXPECT_NEAR(out.x, in.x, 2e-3f);
    EXPECT_NEAR(out.y, in.y, 2e-3f);
    Vector3 free;
    InterpolateTriangle(free, in, t.p0, t.p1, t.p2);
    EXPECT_EQ(free, t.PointAt(in));
  }
}

TEST(TriangleTest, InsideTestIncludesEdges) {
  EXPECT_TRUE(Triangle::IsInsideUV(Vector2(0, 0)));
  EXPECT_TRUE(Triangle::IsInsideUV(Vector2(0.5f, 0.5f)));
  EXPECT_TRUE(Triangle::IsInsideUV(Vector2(1, 0)));
  EXPECT_FALSE(Triangle::IsInsideUV(Vector2(-0.01f, 0.5f)));
  EXPECT_FALSE(Triangle::IsInsideUV(Vector2(0.6f, 0.5f)));
  Triangle t;
  t.Set(Vector3(1, 1, 1), Vector3(3, 1, 1), Vector3(1, 4, 1), false);
  EXPECT_EQ(t.PointAt(Vector2(0, 0)), t.p0);
  EXPECT_EQ(t.PointAt(Vector2(1, 0)), t.p1);
  EXPECT_EQ(t.PointAt(Vector2(0, 1)), t.p2);
}

}  // namespace
