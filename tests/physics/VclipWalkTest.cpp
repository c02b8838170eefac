// Tests of the closest-feature walk: distances of random convex pairs in random poses
// against a brute-force minimum over vertex-face and edge-edge pairs, penetration
// against a separating-axis test, coherence over small motions, and the guards.
#include <gtest/gtest.h>

#include <cfloat>
#include <fstream>
#include <iterator>

#include "physics/polyhedron/VclipWalk.h"
#include "tests/physics/PolyTestUtil.h"
#include "tests/support/WorkingFolder.h"

using namespace poly_test;
using physics_test::CerrCapture;

namespace {

Se3 RandomPose(float reach) { return Se3(RandomRotation(), RandomVector(reach)); }
Se3 Shift(float x, float y, float z) { return Se3(VclipQuaternion::kIdentity, VclipVector3(x, y, z)); }

// Asserts the walk's answer for tree b placed by rel next to tree a (both atomic,
// identity own poses) against the references; returns the walk's distance.
float CheckPair(const PolyTree& a, const PolyTree& b, const Se3& rel, ClosestFeatureCache& cache) {
  VclipVector3 cp1, cp2;
  const float d = VClip::Run(a, b, rel, cache, cp1, cp2);
  EXPECT_LT(VClip::LastHandlerCalls(), VClip::CycleLimit());
  const Solid sa = MakeSolid(*a.polyhedron(), Se3::kIdentity);
  const Solid sb = MakeSolid(*b.polyhedron(), rel);
  const double gap = SeparatingGap(sa, sb);
  if (gap > 1e-3) {
    const double brute = BruteDistance(sa, sb);
    EXPECT_NEAR(d, brute, 2e-4 * (1.0 + brute));
    // The closest points are on their polyhedra and as far apart as reported.
    EXPECT_NEAR((ToEigen(cp1) - ToEigen(rel.Transform(cp2))).norm(), d, 2e-4 * (1.0 + brute));
    for (const Face& f : a.polyhedron()->faces()) EXPECT_LE(f.plane.Dist(cp1), 1e-4f);
    for (const Face& f : b.polyhedron()->faces()) EXPECT_LE(f.plane.Dist(cp2), 1e-4f);
  } else if (gap < -1e-3) {
    EXPECT_LE(d, 0.0f);
  } else {
    EXPECT_LE(d, 2e-3);  // touching: contact, or apart by rounding only
  }
  return d;
}

TEST(VclipWalk, RandomPairsInRandomPosesMatchBruteForce) {
  plat::srand(21);
  int apart = 0, overlapping = 0;
  for (int round = 0; round < 400; ++round) {
    auto p1 = RandomHull(4 + round % 40, Uniform(0.5f, 2.0f));
    auto p2 = RandomHull(4 + (round * 7) % 40, Uniform(0.5f, 2.0f));
    ASSERT_TRUE(p1 && p2);
    auto a = Leaf("a", p1);
    auto b = Leaf("b", p2);
    ClosestFeatureCache cache(17);
    const float d = CheckPair(*a, *b, RandomPose(Uniform(0.0f, 6.0f)), cache);
    (d > 0.0f ? apart : overlapping)++;
  }
  // Both outcomes were exercised.
  EXPECT_GT(apart, 100);
  EXPECT_GT(overlapping, 100);
}

TEST(VclipWalk, AlignedBoxesOnAGridTerminateAndMatchBruteForce) {
  // Exact degeneracies: parallel edges and faces, vertices exactly on region planes.
  plat::srand(9);
  const VclipQuaternion turns[4] = {VclipQuaternion::kIdentity, VclipQuaternion(0.70710678f, 0, 0, 0.70710678f),
                                    VclipQuaternion(0, 1, 0, 0), VclipQuaternion(0.70710678f, 0.70710678f, 0, 0)};
  for (int round = 0; round < 300; ++round) {
    auto a = Leaf("a", MakeBox(VclipVector3(0, 0, 0), VclipVector3(1 + round % 3, 1, 2)));
    auto b = Leaf("b", MakeBox(VclipVector3(-0.5f, -0.5f, -0.5f), VclipVector3(0.5f, 0.5f, 0.5f)));
    ClosestFeatureCache cache(17);
    const auto grid = [] { return 0.5f * static_cast<float>(static_cast<int>(Uniform(-8.0f, 8.0f))); };
    const float gx = grid(), gy = grid();
    const Se3 rel(turns[round % 4], VclipVector3(gx, gy, grid()));
    CheckPair(*a, *b, rel, cache);
  }
}

TEST(VclipWalk, SmallMotionsReuseTheCachedPairAndStayExact) {
  plat::srand(4);
  for (int pair = 0; pair < 4; ++pair) {
    auto a = Leaf("a", RandomHull(20 + pair * 60, 1.0f));
    auto b = Leaf("b", RandomHull(20 + pair * 60, 1.0f));
    ClosestFeatureCache cache(17);
    VclipVector3 axis = RandomVector(1.0f);
    int calls = 0;
    const int steps = 150;
    for (int step = 0; step < steps; ++step) {
      // b circles a at a distance that takes it in and out of contact.
      const float angle = 0.02f * static_cast<float>(step);
      VclipQuaternion spin;
      spin.SetFromAngleAxis(angle, axis, true);
      const float reach = 2.2f + 1.0f * std::sin(0.05f * static_cast<float>(step));
      const Se3 rel(spin, VclipVector3(reach * std::cos(angle), reach * std::sin(angle), 0.3f));
      VclipVector3 c1, c2, e1, e2;
      const float coherent = step % 10 == 0 ? CheckPair(*a, *b, rel, cache) : VClip::Run(*a, *b, rel, cache, c1, c2);
      calls += VClip::LastHandlerCalls();
      // A walk from scratch reaches the same answer as the one from the cached pair.
      ClosestFeatureCache fresh(17);
      const float scratch = VClip::Run(*a, *b, rel, fresh, e1, e2);
      if (coherent > 1e-4f || scratch > 1e-4f) EXPECT_NEAR(coherent, scratch, 1e-4f) << "step " << step;
      else EXPECT_LE(std::max(coherent, scratch), 1e-4f);
      // The same query again starts at the answer: one handler call, same result.
      const float first = VClip::Run(*a, *b, rel, cache, c1, c2);
      const float again = VClip::Run(*a, *b, rel, cache, e1, e2);
      EXPECT_EQ(first, again);
      if (first > 0.0f) EXPECT_EQ(VClip::LastHandlerCalls(), 1);
    }
    // Coherence: a few handler calls per small motion, not a walk from scratch.
    EXPECT_LT(calls, steps * 6) << "pair " << pair;
  }
}

TEST(VclipWalk, TouchingAndPenetratingContacts) {
  auto big = Leaf("big", MakeBox(VclipVector3(-5, -5, -2), VclipVector3(5, 5, 0)));
  // A small tetrahedron whose lowest vertex points down into the top face.
  auto tet = std::make_shared<Polyhedron>();
  Vertex* tip = tet->addVertex("tip", VclipVector3(0, 0, 0));
  Vertex* x = tet->addVertex("x", VclipVector3(1, 0, 1));
  Vertex* y = tet->addVertex("y", VclipVector3(-0.5f, 0.86f, 1));
  Vertex* z = tet->addVertex("z", VclipVector3(-0.5f, -0.86f, 1));
  tet->addFace("top", {x, y, z}, false);
  tet->addFace("s1", {tip, y, x}, false);
  tet->addFace("s2", {tip, z, y}, false);
  tet->addFace("s3", {tip, x, z}, false);
  ASSERT_EQ(tet->check(), 0);
  auto small = Leaf("tet", tet);
  ClosestFeatureCache cache(17);
  VclipVector3 cp1, cp2;
  // Turned half about z under a corner of the top: one corner of the tet lies just inside the box.
  const Se3 underCorner(VclipQuaternion(0, 0, 0, 1), VclipVector3(-5, -5.5f, -2));
  EXPECT_LT(CheckPair(*big, *small, underCorner, cache), 0.0f);
  // Beside the -y side, level with the bottom, an edge's clipped part is a point: on to the side, 0.14 away.
  ClosestFeatureCache fresh(17);
  EXPECT_NEAR(CheckPair(*big, *small, Shift(-4.5f, -6, -2), fresh), 0.14f, 1e-5f);
  // Turned, tip beyond the +x rim: edge x-tip touches the rim at one point, a contact the walk ends on the top face.
  const Se3 acrossRim(VclipQuaternion(0, 0, 0, 1), VclipVector3(5.5f, 0, -0.5f));
  ClosestFeatureCache rim(17);
  EXPECT_EQ(VClip::Run(*big, *small, acrossRim, rim, cp1, cp2), 0.0f);
  EXPECT_TRUE(cp1 == VclipVector3(5, 0, 0) && cp2 == VclipVector3(0.5f, 0, 0.5f));
  EXPECT_STREQ(rim.Find(big.get(), small.get())->feature1->name(), "+z");
  EXPECT_STREQ(rim.Find(big.get(), small.get())->feature2->name(), "x:tip");
  // Tip exactly on the face (touching counts as contact), 0.25 below it (the depth below the nearest
  // face plane), apart again, and turned over wholly inside: the closest points are the tip and the
  // point of the face at it.
  for (const Se3& at : {Shift(0.25f, 0.5f, 0), Shift(1.5f, -2, -0.25f), Shift(-3, 1, 0.5f),
                        Se3(VclipQuaternion(0, 1, 0, 0), VclipVector3(1, 2, -0.7f))}) {
    EXPECT_EQ(VClip::Run(*big, *small, at, cache, cp1, cp2), at.translation.z);
    EXPECT_EQ(cp1, VclipVector3(at.translation.x, at.translation.y, 0));
    EXPECT_EQ(cp2, VclipVector3::kZero);
  }
  EXPECT_LT(VClip::Run(*big, *small, Shift(0, 0, -0.9f), cache, cp1, cp2), 0.0f);  // deep inside
}

TEST(VclipWalk, CompoundTreesDescendOnlyWhenHullsTouch) {
  plat::srand(8);
  auto compound = std::make_unique<PolyTree>("pair");
  auto left = Leaf("left", MakeBox(VclipVector3(0, 0, 0), VclipVector3(1, 1, 1)));
  auto right = Leaf("right", MakeBox(VclipVector3(0, 0, 0), VclipVector3(1, 1, 1)));
  right->setPose(Shift(3, 0, 0));
  compound->addChild(std::move(left));
  compound->addChild(std::move(right));
  ASSERT_EQ(compound->compoundHull(), 0);
  auto probe = Leaf("probe", RandomHull(12, 0.3f));
  ClosestFeatureCache cache(17);
  const Solid leftSolid = MakeSolid(*compound->child(0)->polyhedron(), compound->child(0)->pose());
  const Solid rightSolid = MakeSolid(*compound->child(1)->polyhedron(), compound->child(1)->pose());
  VclipVector3 cp1, cp2;
  for (int i = 0; i < 100; ++i) {
    const Se3 rel = RandomPose(4.0f);
    const Solid probeSolid = MakeSolid(*probe->polyhedron(), rel);
    const float d = VClip::Run(*compound, *probe, rel, cache, cp1, cp2);
    const double gapL = SeparatingGap(leftSolid, probeSolid), gapR = SeparatingGap(rightSolid, probeSolid);
    if (gapL > 1e-3 && gapR > 1e-3) {
      const Solid hull = MakeSolid(*compound->polyhedron(), Se3::kIdentity);
      const double hullGap = SeparatingGap(hull, probeSolid);
      // Apart from the hull the hull distance counts; between the boxes the nearer box.
      const double expected = hullGap > 1e-3 ? BruteDistance(hull, probeSolid)
                                             : std::min(BruteDistance(leftSolid, probeSolid),
                                                        BruteDistance(rightSolid, probeSolid));
      if (hullGap > 1e-3 || hullGap < -1e-3) {
        EXPECT_NEAR(d, expected, 3e-4);
        EXPECT_NEAR((ToEigen(cp1) - ToEigen(rel.Transform(cp2))).norm(), d, 3e-4);
      }
    } else if (gapL < -1e-3 || gapR < -1e-3) {
      EXPECT_LE(d, 0.0f);
    }
  }
  EXPECT_NE(cache.Find(compound->child(0), probe.get()), nullptr);
  // Just over the gap between the boxes the hull is near though both boxes are far: the hull's distance counts.
  const auto cube = Leaf("cube", MakeBox(VclipVector3(0, 0, 0), VclipVector3(1, 1, 1)));
  EXPECT_NEAR(VClip::Run(*compound, *cube, Shift(1.5f, 0, 1.05f), cache, cp1, cp2), 0.05f, 1e-5f);
}

TEST(VclipWalk, CycleGuardStopsTheWalkAndWritesTheReport) {
  testing_support::WorkingFolder folder;
  ASSERT_TRUE(folder.Entered());
  auto a = Leaf("alpha", MakeBox(VclipVector3(0, 0, 0), VclipVector3(1, 1, 1)));
  auto b = Leaf("beta", MakeBox(VclipVector3(0, 0, 0), VclipVector3(1, 1, 1)));
  ClosestFeatureCache cache(17);
  VClip::SetCycleLimit(2);  // the first vertices are far from the closest pair
  CerrCapture err;
  VclipVector3 cp1, cp2;
  VClip::Run(*a, *b, Shift(5, 0.5f, 0.5f), cache, cp1, cp2);
  VClip::SetCycleLimit(5000);
  EXPECT_EQ(VClip::LastHandlerCalls(), 2);
  EXPECT_NE(err.Text().find("vclip cycle detected! \a"), std::string::npos);
  EXPECT_EQ(err.Text().find("invalid feature pair"), std::string::npos);  // a new pair starts at its first vertices
  std::ifstream in("vclipCrash", std::ios::binary);
  ASSERT_TRUE(in);
  const std::string report((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(report.rfind("(alpha,beta)\n", 0), 0u);
  const size_t star = report.find('*');
  ASSERT_NE(star, std::string::npos);
  // After the two binary transforms, both again as text: rotation rows, then the translation.
  const std::string identity = "[+1 +0 +0]\n[+0 +1 +0]\n[+0 +0 +1]\n";
  EXPECT_EQ(report.substr(star + 1 + 96),
            "\nX12\n" + identity + "(5 0.5 0.5)\nX21\n" + identity + "(-5 -0.5 -0.5)\n\n ***** \n");
  // The cache kept the pair reached; the next query finishes from there.
  EXPECT_FLOAT_EQ(VClip::Run(*a, *b, Shift(5, 0.5f, 0.5f), cache, cp1, cp2), 4.0f);
}

TEST(VclipWalk, InvalidPairIsResetAndDeadTreesLeaveTheCache) {
  auto a = Leaf("a", MakeBox(VclipVector3(0, 0, 0), VclipVector3(1, 1, 1)));
  auto b = Leaf("b", MakeBox(VclipVector3(0, 0, 0), VclipVector3(1, 1, 1)));
  ClosestFeatureCache cache(17);
  ClosestFeaturePair& entry = cache.FindOrInsert(a.get(), b.get());
  entry.feature1 = &a->polyhedron()->faces().front();
  entry.feature2 = &b->polyhedron()->faces().front();
  CerrCapture err;
  VclipVector3 cp1, cp2;
  EXPECT_FLOAT_EQ(VClip::Run(*a, *b, Shift(0, 0, 3), cache, cp1, cp2), 2.0f);
  EXPECT_NE(err.Text().find("invalid feature pair combination in vclip"), std::string::npos);

  auto c = Leaf("c", MakeBox(VclipVector3(0, 0, 0), VclipVector3(1, 1, 1)));
  VClip::Run(*a, *c, Shift(0, 3, 0), cache, cp1, cp2);
  VClip::Run(*c, *b, Shift(0, 3, 0), cache, cp1, cp2);
  EXPECT_EQ(cache.Size(), 3u);
  c.reset();
  EXPECT_EQ(cache.Size(), 1u);
  // A new polyhedron invalidates the features cached for the old one.
  a->setPolyhedron(MakeBox(VclipVector3(0, 0, 0), VclipVector3(2, 2, 2)));
  EXPECT_EQ(cache.Size(), 0u);
  EXPECT_FLOAT_EQ(VClip::Run(*a, *b, Shift(0, 0, 3), cache, cp1, cp2), 1.0f);
}

}  // namespace
