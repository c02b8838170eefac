// Tests of Triangle: normal winding, degenerate normals and barycentric round trips.
#include "core/math/Triangle.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(TriangleTest, NormalWindingAndDegenerateTriangles) {
  Triangle t;
  t.Set(Vector3(0, 0, 0), Vector3(2, 0, 0), Vector3(0, 3, 0), false);
  EXPECT_EQ(t.normal, Vector3(0, 0, 6));
  Vector3 n;
  ComputeTriangleNormal(n, Vector3(0, 0, 0), Vector3(0, 3, 0), Vector3(2, 0, 0));
  EXPECT_EQ(n, Vector3(0, 0, -1));  // swapped winding flips the normal
  // A degenerate triangle keeps a zero normal instead of NaN.
  t.Set(Vector3(0, 0, 0), Vector3(1, 1, 1), Vector3(2, 2, 2), true);
  EXPECT_EQ(t.normal, Vector3(0, 0, 0));
  EXPECT_EQ(t.ProjectPoint(Vector3(4, 0, 1)).x, 0.0f);
  EXPECT_TRUE(Triangle::IsInsideUV(Vector2(1, 0)));
  EXPECT_FALSE(Triangle::IsInsideUV(Vector2(0.6f, 0.5f)));
}

TEST(TriangleTest, ProjectPointInvertsPointAtOffThePlane) {
  std::mt19937 rng(21);
  std::uniform_real_distribution<float> d(-5.0f, 5.0f), uv(-0.5f, 1.5f);
  for (int i = 0; i < 2000; ++i) {
    Triangle t;
    t.Set(Vector3(d(rng), d(rng), d(rng)), Vector3(d(rng), d(rng), d(rng)), Vector3(d(rng), d(rng), d(rng)), true);
    if (t.ComputeNormal().Length() < 1.0f) continue;  // skip near-degenerate draws
    const Vector2 in(uv(rng), uv(rng));
    const Vector2 out = t.ProjectPoint(t.PointAt(in) + t.normal * d(rng));
    EXPECT_NEAR(out.x, in.x, 2e-3f);
    EXPECT_NEAR(out.y, in.y, 2e-3f);
  }
}

}  // namespace
