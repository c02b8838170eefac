// Tests of Box: overlap edges, intersections against a per-axis reference, wrapping and random points.
#include "core/math/Box.h"

#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

Box MakeBox(float x0, float y0, float z0, float x1, float y1, float z1) {
  return Box(Vector3(x0, y0, z0), Vector3(x1, y1, z1));
}

Box RandomBox(std::mt19937& rng) {
  std::uniform_real_distribution<float> pos(-10.0f, 10.0f), size(0.0f, 8.0f);
  const Vector3 lo(pos(rng), pos(rng), pos(rng));
  return Box(lo, lo + Vector3(size(rng), size(rng), size(rng)));
}

TEST(BoxTest, OverlapsIsStrictAboveAndInclusiveBelow) {
  const Box a = MakeBox(0, 0, 0, 1, 1, 1);
  // other.max touches a.min: inclusive side, counts as overlapping.
  EXPECT_TRUE(a.Overlaps(MakeBox(-1, 0, 0, 0, 1, 1)));
  // other.min touches a.max: strict side, does not overlap.
  EXPECT_FALSE(a.Overlaps(MakeBox(1, 0, 0, 2, 1, 1)));
  EXPECT_FALSE(a.Overlaps(MakeBox(0, 1, 0, 1, 2, 1)));
  EXPECT_FALSE(a.Overlaps(MakeBox(0, 0, 1, 1, 1, 2)));
  EXPECT_TRUE(a.Overlaps(MakeBox(0.5f, 0.5f, 0.5f, 3, 3, 3)));
  EXPECT_FALSE(a.Overlaps(MakeBox(2, 2, 2, 3, 3, 3)));
  // Intersect of face-sharing boxes is empty even though Overlaps says true.
  Box out;
  EXPECT_FALSE(a.Intersect(MakeBox(-1, 0, 0, 0, 1, 1), out));
  EXPECT_FALSE(a.Intersect(MakeBox(1, 0, 0, 2, 1, 1), out));
  EXPECT_TRUE(a.Intersect(MakeBox(0.5f, -1, -1, 2, 2, 2), out));
  EXPECT_EQ(out.min, Vector3(0.5f, 0, 0));
  EXPECT_EQ(out.max, Vector3(1, 1, 1));
}

TEST(BoxTest, ContainmentIncludesFaces) {
  const Box outer = MakeBox(0, 0, 0, 4, 4, 4);
  EXPECT_TRUE(outer.ContainsBox(outer));
  EXPECT_TRUE(outer.ContainsBox(MakeBox(0, 1, 1, 4, 2, 2)));
  EXPECT_FALSE(outer.ContainsBox(MakeBox(-0.01f, 1, 1, 2, 2, 2)));
  EXPECT_TRUE(MakeBox(1, 1, 1, 2, 2, 2).IsInside(outer));
  EXPECT_FALSE(outer.IsInside(MakeBox(1, 1, 1, 2, 2, 2)));
}

TEST(BoxTest, CornersAndConstruction) {
  const Box b = MakeBox(1, 2, 3, 4, 5, 6);
  EXPECT_EQ(b.GetCorner(0), b.min);
  EXPECT_EQ(b.GetCorner(7), b.max);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(b.GetCorner(i), b.GetCornerXYZ(i & 1, (i & 2) != 0, (i & 4) != 0));
  EXPECT_EQ(b.GetCorner(5), Vector3(4, 2, 6));

  Box p;
  p.SetFromPoints(Vector3(3, -1, 2), Vector3(-2, 4, 2));
  EXPECT_EQ(p.min, Vector3(-2, -1, 2));
  EXPECT_EQ(p.max, Vector3(3, 4, 2));
  p.SetFromTriangle(Vector3(0, 5, 1), Vector3(2, -3, 0), Vector3(-1, 0, 7));
  EXPECT_EQ(p.min, Vector3(-1, -3, 0));
  EXPECT_EQ(p.max, Vector3(2, 5, 7));
  p.SetFromCenterRadius(Vector3(1, 1, 1), 2);
  EXPECT_EQ(p.min, Vector3(-1, -1, -1));
  EXPECT_EQ(p.max, Vector3(3, 3, 3));
  EXPECT_FLOAT_EQ(p.Volume(), 64.0f);
}

TEST(BoxTest, VolumesAgreeWithPerAxisReference) {
  std::mt19937 rng(5);
  for (int i = 0; i < 2000; ++i) {
    const Box a = RandomBox(rng), b = RandomBox(rng);
    float ref = 1.0f;
    bool positive = true;
    for (int k = 0; k < 3; ++k) {
      const float e = std::min(a.max[k], b.max[k]) - std::max(a.min[k], b.min[k]);
      positive = positive && e > 0.0f;
      ref *= e;
    }
    EXPECT_FLOAT_EQ(a.OverlapVolume(b), positive ? ref : 0.0f);
    EXPECT_FLOAT_EQ(a.OverlapVolume(b), b.OverlapVolume(a));

    const Box u = a.Union(b);
    EXPECT_TRUE(u.ContainsBox(a) && u.ContainsBox(b));
    EXPECT_FLOAT_EQ(a.GrowthToBox(b), u.Volume() - a.Volume());
    EXPECT_GE(a.GrowthToBox(b), 0.0f);
    Box ext = a;
    ext.ExtendByBox(b);
    EXPECT_EQ(ext.min, u.min);
    EXPECT_EQ(ext.max, u.max);

    const Vector3 p = b.GetCorner(i & 7);
    Box grown = a;
    grown.ExtendByPoint(p);
    EXPECT_FLOAT_EQ(a.GrowthToPoint(p), grown.Volume() - a.Volume());
    EXPECT_TRUE(grown.ContainsBox(a));
  }
}

TEST(BoxTest, MoveInflateAndScale) {
  Box b = MakeBox(0, 0, 0, 2, 4, 6);
  b.Translate(Vector3(1, 1, 1));
  EXPECT_EQ(b.min, Vector3(1, 1, 1));
  b.Inflate(Vector3(1, 0, 0.5f));
  EXPECT_EQ(b.min, Vector3(0, 1, 0.5f));
  EXPECT_EQ(b.max, Vector3(4, 5, 7.5f));

  Box s = MakeBox(0, 0, 0, 2, 4, 6);
  const Vector3 centre = s.GetCenter();
  s.ScaleAboutCentre(Vector3(1, 1, 1));
  EXPECT_EQ(s.GetSize(), Vector3(4, 8, 12));
  EXPECT_EQ(s.GetCenter(), centre);
  s.ScaleAboutCentre(Vector3(0, 0, 0));
  EXPECT_EQ(s.GetSize(), Vector3(4, 8, 12));
  s.ScaleAboutCentre(Vector3(-0.5f, 0, 0));
  EXPECT_FLOAT_EQ(s.GetSize().x, 2.0f);
}

TEST(BoxTest, DistanceOutsideAndWrap) {
  const Box b = MakeBox(0, 0, 0, 10, 10, 10);
  EXPECT_EQ(b.DistanceOutside(Vector3(-2, 5, 13)), Vector3(2, 0, 3));
  EXPECT_EQ(b.DistanceOutside(Vector3(10, 0, 5)), Vector3(0, 0, 0));

  EXPECT_EQ(b.WrapPoint(Vector3(-1, 25, 10)), Vector3(9, 5, 10));
  EXPECT_EQ(b.WrapPoint(Vector3(20, 3, -10)), Vector3(10, 3, 0));

  std::mt19937 rng(9);
  std::uniform_real_distribution<float> far(-100.0f, 100.0f);
  const Box odd = MakeBox(-3, 2, 0.5f, 4, 2.5f, 9);
  for (int i = 0; i < 2000; ++i) {
    const Vector3 p(far(rng), far(rng), far(rng));
    const Vector3 w = odd.WrapPoint(p);
    for (int k = 0; k < 3; ++k) {
      EXPECT_GE(w[k], odd.min[k] - 1e-3f);
      EXPECT_LE(w[k], odd.max[k] + 1e-3f);
      // Moved by a whole number of extents.
      const float steps = (p[k] - w[k]) / (odd.max[k] - odd.min[k]);
      EXPECT_NEAR(steps, std::round(steps), 1e-2f);
    }
  }
}

TEST(BoxTest, WrapIntoFlatBoxDoesNotProduceNaN) {
  // A flat box (a plane of drops, or an unset box) has no period to wrap by.
  const Box flat = MakeBox(0, 0, 5, 10, 10, 5);
  const Vector3 w = flat.WrapPoint(Vector3(3, 4, 100));
  EXPECT_EQ(w, Vector3(3, 4, 5));
}

TEST(BoxTest, RandomPointStaysInsideAndDrawsOncePerAxis) {
  const Box b = MakeBox(-1, 2, 3, 1, 6, 3.5f);
  plat::srand(123);
  for (int i = 0; i < 5000; ++i) EXPECT_TRUE(b.ContainsBox(Box(b.RandomPoint(), b.RandomPoint())));
  // Same seed, hand-computed from three draws.
  plat::srand(42);
  const int rx = plat::rand(), ry = plat::rand(), rz = plat::rand();
  plat::srand(42);
  const Vector3 p = b.RandomPoint();
  EXPECT_FLOAT_EQ(p.x, -1.0f + rx * 2.0f / 32767.0f);
  EXPECT_FLOAT_EQ(p.y, 2.0f + ry * 4.0f / 32767.0f);
  EXPECT_FLOAT_EQ(p.z, 3.0f + rz * 0.5f / 32767.0f);
}

}  // namespace
