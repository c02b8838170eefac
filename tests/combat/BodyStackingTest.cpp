// Crates meeting face to face and landing on each other: they come to rest without sinking into each other,
// and the contacts never hand out more energy than gravity put in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "combat/Body.h"
#include "tests/combat/DemoLevelFixture.h"
#include "core/spatial/Octree.h"
#include "physics/rigid/RigidConst.h"
#include "physics/terrain/TerrainCollision.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentLevel.h"

using namespace combat_test;

namespace {

constexpr float kHalf = 0.5f;  // the demo crate is a 1 m cube about its centre of mass

// Deepest any corner of a lies inside box b (0 when none is inside).
float CornerDepth(const COrientation& a, const COrientation& b) {
  float deepest = 0.0f;
  for (int i = 0; i < 8; ++i) {
    const Vector3 corner(i & 1 ? kHalf : -kHalf, i & 2 ? kHalf : -kHalf, i & 4 ? kHalf : -kHalf);
    const Vector3 p = b.WorldToLocalPoint(a.LocalToWorldPoint(corner));
    const float depth = std::min({kHalf - std::fabs(p.x), kHalf - std::fabs(p.y), kHalf - std::fabs(p.z)});
    deepest = std::max(deepest, depth);
  }
  return deepest;
}

float Overlap(const CBody& a, const CBody& b) {
  return std::max(CornerDepth(a.GetFrame(), b.GetFrame()), CornerDepth(b.GetFrame(), a.GetFrame()));
}

// Gap between two upright crates along the line of their centres, by the faces met.
float Gap(const CBody& a, const CBody& b) {
  const Vector3 d = b.GetFrame().position - a.GetFrame().position;
  return std::max({std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)}) - 2.0f * kHalf;
}

// Kinetic plus potential energy in the model's gravity.
float Energy(const CBody& body) {
  const RigidBodyState& s = body.GetState();
  const float m = s.GetMass();
  const Vector3& g = body.GetModel()->GetParams().gravity;
  return 0.5f * m * s.velocity.Dot(s.velocity) + 0.5f * s.angularVelocity.Dot(s.angularMomentum) -
         m * g.Dot(s.position);
}

class BodyStacking : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(model->BuildFromMesh(DemoContent::BuildCrate()));
  }
  void TearDown() override {
    for (CBody& c : crates)
      if (c.IsFiled()) level.octree.RemoveObject(&c);
  }
  void Place(const COrientation& a, const COrientation& b) {
    crates[0].Setup(model.get(), a);
    crates[1].Setup(model.get(), b);
    for (CBody& c : crates) level.octree.InsertObject(&c);
  }
  // Steps both crates, checking overlap and energy after every step; true when they met.
  // The poses 100 steps before the end are kept to tell a resting crate from a creeping one.
  bool Run(int steps) {
    const float start = Energy(crates[0]) + Energy(crates[1]);
    // The resting push of a contact may add a trace; a tenth of a crate lifted a metre is
    // far below what a runaway contact adds within a second.
    const float slack = 0.1f * model->GetMass().mass * model->GetParams().gravity.Length();
    bool met = false;
    for (int step = 0; step < steps; ++step) {
      for (CBody& c : crates) c.StepPhysics(kDt);
      // Within a few centimetres of each other counts as meeting: the ground contact takes
      // over the partner record every step.
      met = met || Overlap(crates[0], crates[1]) > 0.0f || Gap(crates[0], crates[1]) < 0.05f;
      const float overlap = Overlap(crates[0], crates[1]);
      if (overlap > 0.05f) ADD_FAILURE() << "crates overlap by " << overlap << " at step " << step;
      const float energy = Energy(crates[0]) + Energy(crates[1]);
      if (energy > start + slack) ADD_FAILURE() << "energy grew from " << start << " to " << energy << " at step " << step;
      if (step == steps - 100)
        for (int i = 0; i < 2; ++i) settled[i] = crates[i].GetState().position;
      if (HasFailure()) break;
    }
    return met;
  }
  void ExpectRestingAt(int i, float height) {
    const RigidBodyState& s = crates[i].GetState();
    // A crate held between two contacts may keep a small velocity its sweep never acts on;
    // resting means it no longer moves and its velocity no longer builds up.
    EXPECT_LT(s.velocity.Length(), 0.2f) << "crate " << i;
    EXPECT_LT((s.position - settled[i]).Length(), 0.01f) << "crate " << i << " still moving";
    EXPECT_NEAR(height, s.position.z, 0.06f) << "crate " << i;
  }

  Level level;
  std::unique_ptr<RigidConst> model{new RigidConst()};
  CBody crates[2];
  Vector3 settled[2];
};

}  // namespace

TEST_F(BodyStacking, CratesSlidingFaceToFaceWithEdgesAlignedStopAndRest) {
  // Same height and side: every edge of the meeting faces lies in a shared plane.
  Place(At(28.0f, 30.0f, kGround + kHalf), At(29.5f, 30.0f, kGround + kHalf));
  crates[0].GetState().velocity = Vector3(4.0f, 0.0f, 0.0f);
  crates[1].GetState().velocity = Vector3(-2.0f, 0.0f, 0.0f);
  EXPECT_TRUE(Run(500)) << "the crates never touched";
  for (int i = 0; i < 2; ++i) ExpectRestingAt(i, kGround + kHalf);
  EXPECT_GT(crates[1].GetState().position.x - crates[0].GetState().position.x, 2.0f * kHalf - 0.05f);
}

TEST_F(BodyStacking, CratesThrownTogetherInTheAirWithEdgesAlignedRest) {
  Place(At(28.0f, 30.0f, kGround + 3.0f), At(32.0f, 30.0f, kGround + 3.0f));
  crates[0].GetState().velocity = Vector3(5.0f, 0.0f, 0.0f);
  crates[1].GetState().velocity = Vector3(-3.0f, 0.0f, 0.0f);
  EXPECT_TRUE(Run(500)) << "the crates never touched";
  for (int i = 0; i < 2; ++i) ExpectRestingAt(i, kGround + kHalf);
}

TEST_F(BodyStacking, CrateDroppedSquarelyOntoACrateRestsOnIt) {
  Place(At(30.0f, 30.0f, kGround + kHalf), At(30.0f, 30.0f, kGround + 3.0f));
  EXPECT_TRUE(Run(400)) << "the crates never touched";
  ExpectRestingAt(0, kGround + kHalf);
  ExpectRestingAt(1, kGround + 3.0f * kHalf);
  EXPECT_NEAR(30.0f, crates[1].GetState().position.x, 0.1f);
}

TEST_F(BodyStacking, TiltedCrateLandingOnACrateComesToRest) {
  COrientation tilted = At(30.1f, 30.0f, kGround + 3.0f);
  tilted.RotateX(0.3f);
  Place(At(30.0f, 30.0f, kGround + kHalf), tilted);
  EXPECT_TRUE(Run(400)) << "the crates never touched";
  ExpectRestingAt(0, kGround + kHalf);
  // It lands on its edge, tips flat and stays on the crate below.
  ExpectRestingAt(1, kGround + 3.0f * kHalf);
  EXPECT_NEAR(1.0f, crates[1].GetFrame().axes.m[2].z, 0.01f);
}
