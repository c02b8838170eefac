// Tests of Box: overlap edges, intersections against a per-axis reference, wrapping and random points.
#include "core/math/Box.h"

#include "platform/system/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

Box MakeBox(float x0, float y0, float z0, float x1, float y1, float z1) {
  return Box(Vector3(x0, y0, z0), Vector3(x1, y1, z1));
}

TEST(BoxTest, OverlapsIsStrictAboveAndInclusiveBelow) {
  const Box a = MakeBox(0, 0, 0, 1, 1, 1);
  EXPECT_TRUE(a.Overlaps(MakeBox(-1, 0, 0, 0, 1, 1)));  // other.max touches a.min
  EXPECT_FALSE(a.Overlaps(MakeBox(1, 0, 0, 2, 1, 1)));  // other.min touches a.max
  EXPECT_FALSE(a.Overlaps(MakeBox(0, 0, 1, 1, 1, 2)));
  // Intersect of face-sharing boxes is empty even though Overlaps says true.
  Box out;
  EXPECT_FALSE(a.Intersect(MakeBox(-1, 0, 0, 0, 1, 1), out));
  EXPECT_TRUE(a.Intersect(MakeBox(0.5f, -1, -1, 2, 2, 2), out));
  EXPECT_EQ(out.min, Vector3(0.5f, 0, 0));
  EXPECT_EQ(out.max, Vector3(1, 1, 1));
  EXPECT_TRUE(a.ContainsBox(a));
  EXPECT_FALSE(a.IsInside(MakeBox(0.1f, 0, 0, 1, 1, 1)));
  for (int i = 0; i < 8; ++i) EXPECT_EQ(a.GetCorner(i), a.GetCornerXYZ(i & 1, (i & 2) != 0, (i & 4) != 0));
}

TEST(BoxTest, VolumesAgreeWithPerAxisReference) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> pos(-10.0f, 10.0f), size(0.0f, 8.0f);
  auto randomBox = [&] {
    const Vector3 lo(pos(rng), pos(rng), pos(rng));
    return Box(lo, lo + Vector3(size(rng), size(rng), size(rng)));
  };
  for (int i = 0; i < 2000; ++i) {
    const Box a = randomBox(), b = randomBox();
    float ref = 1.0f;
    bool positive = true;
    for (int k = 0; k < 3; ++k) {
      const float e = std::min(a.max[k], b.max[k]) - std::max(a.min[k], b.min[k]);
      positive = positive && e > 0.0f;
      ref *= e;
    }
    EXPECT_FLOAT_EQ(a.OverlapVolume(b), positive ? ref : 0.0f);
    const Box u = a.Union(b);
    EXPECT_TRUE(u.ContainsBox(a) && u.ContainsBox(b));
    EXPECT_FLOAT_EQ(a.GrowthToBox(b), u.Volume() - a.Volume());
    const Vector3 p = b.GetCorner(i & 7);
    Box grown = a;
    grown.ExtendByPoint(p);
    EXPECT_FLOAT_EQ(a.GrowthToPoint(p), grown.Volume() - a.Volume());
  }
}

TEST(BoxTest, ScaleAboutCentreIgnoresShrinkingToNothing) {
  Box s = MakeBox(0, 0, 0, 2, 4, 6);
  s.ScaleAboutCentre(Vector3(1, 1, 1));
  EXPECT_EQ(s.GetSize(), Vector3(4, 8, 12));
  EXPECT_EQ(s.GetCenter(), Vector3(1, 2, 3));
  s.ScaleAboutCentre(Vector3(0, 0, 0));
  EXPECT_EQ(s.GetSize(), Vector3(4, 8, 12));
  s.ScaleAboutCentre(Vector3(-0.5f, 0, 0));
  EXPECT_FLOAT_EQ(s.GetSize().x, 2.0f);
}

TEST(BoxTest, WrapLandsInsideByWholePeriods) {
  const Box b = MakeBox(0, 0, 0, 10, 10, 10);
  EXPECT_EQ(b.DistanceOutside(Vector3(-2, 5, 13)), Vector3(2, 0, 3));
  EXPECT_EQ(b.WrapPoint(Vector3(-1, 25, 10)), Vector3(9, 5, 10));
  EXPECT_EQ(b.WrapPoint(Vector3(20, 3, -10)), Vector3(10, 3, 0));
  // A flat box (a plane of drops, or an unset box) has no period: no NaN.
  EXPECT_EQ(MakeBox(0, 0, 5, 10, 10, 5).WrapPoint(Vector3(3, 4, 100)), Vector3(3, 4, 5));

  std::mt19937 rng(9);
  std::uniform_real_distribution<float> far(-100.0f, 100.0f);
  const Box odd = MakeBox(-3, 2, 0.5f, 4, 2.5f, 9);
  for (int i = 0; i < 2000; ++i) {
    const Vector3 p(far(rng), far(rng), far(rng));
    const Vector3 w = odd.WrapPoint(p);
    for (int k = 0; k < 3; ++k) {
      EXPECT_GE(w[k], odd.min[k] - 1e-3f);
      EXPECT_LE(w[k], odd.max[k] + 1e-3f);
      const float steps = (p[k] - w[k]) / (odd.max[k] - odd.min[k]);
      EXPECT_NEAR(steps, std::round(steps), 1e-2f);
    }
  }
}

TEST(BoxTest, RandomPointStaysInsideAndDrawsOncePerAxis) {
  const Box b = MakeBox(-1, 2, 3, 1, 6, 3.5f);
  plat::srand(123);
  for (int i = 0; i < 5000; ++i) EXPECT_TRUE(b.ContainsBox(Box(b.RandomPoint(), b.RandomPoint())));
  plat::srand(42);
  const int rx = plat::rand(), ry = plat::rand(), rz = plat::rand();
  plat::srand(42);
  const Vector3 p = b.RandomPoint();
  EXPECT_FLOAT_EQ(p.x, -1.0f + rx * 2.0f / 32767.0f);
  EXPECT_FLOAT_EQ(p.y, 2.0f + ry * 4.0f / 32767.0f);
  EXPECT_FLOAT_EQ(p.z, 3.0f + rz * 0.5f / 32767.0f);
}

}  // namespace
