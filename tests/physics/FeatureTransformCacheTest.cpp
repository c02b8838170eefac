// The walk reuses carried features within one run: a whole walk must end exactly (bit for bit)
// where the same walk made of single steps ends, since each single step starts with nothing kept.
#include <gtest/gtest.h>

#include <cstring>

#include "physics/polyhedron/VclipWalk.h"
#include "tests/physics/PolyTestUtil.h"

using namespace poly_test;

namespace {

VclipMatrixTransform ToTransform(const Se3& pose) {
  VclipMatrixTransform x;
  x.R.SetFromQuaternion(pose.rotation);
  x.t = pose.translation;
  return x;
}

bool SameBits(const VclipVector3& a, const VclipVector3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(FeatureTransformCache, WholeWalksEndWhereTheirSingleStepsEnd) {
  plat::srand(4242);
  int walks = 0, longWalks = 0, contacts = 0;
  for (int round = 0; round < 400; ++round) {
    const std::shared_ptr<Polyhedron> a = RandomHull(6 + plat::rand() % 40, 1.0f);
    const std::shared_ptr<Polyhedron> b = RandomHull(6 + plat::rand() % 40, 1.0f);
    if (!a || !b) continue;
    const VclipMatrixTransform X12 = ToTransform(Se3(RandomRotation(), RandomVector(2.5f)));
    VclipMatrixTransform X21;
    X12.Invert(X21);

    const Feature* f1 = nullptr;
    const Feature* f2 = nullptr;
    VclipVector3 cp1, cp2;
    const float d = VClip::Step(*a, *b, X12, X21, f1, f2, cp1, cp2, false);
    const int calls = VClip::LastHandlerCalls();
    ASSERT_LT(calls, VClip::CycleLimit()) << "round " << round;

    const Feature* g1 = nullptr;
    const Feature* g2 = nullptr;
    VclipVector3 q1, q2;
    float e = 0.0f;
    for (int i = 0; i < calls; ++i) e = VClip::Step(*a, *b, X12, X21, g1, g2, q1, q2, true);
    ASSERT_EQ(f1, g1) << "round " << round;
    ASSERT_EQ(f2, g2) << "round " << round;
    EXPECT_EQ(0, std::memcmp(&d, &e, sizeof d)) << "round " << round << ": " << d << " vs " << e;
    EXPECT_TRUE(SameBits(cp1, q1) && SameBits(cp2, q2)) << "round " << round;
    ++walks;
    longWalks += calls >= 5;
    contacts += d <= 0.0f;
  }
  // Long walks change features many times over, which is where kept features are reused.
  EXPECT_GT(walks, 350);
  EXPECT_GT(longWalks, 100);
  EXPECT_GT(contacts, 20);
}
