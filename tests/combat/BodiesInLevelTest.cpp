// Bodies in the demo level: crates fall, meet the terrain and each other and come to rest; a buggy stands on its
// springs, drives forward, and a locked wheel stays locked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "combat/Body.h"
#include "combat/Vehicle.h"
#include "combat/VehicleDef.h"
#include "core/math/Octree.h"
#include "physics/RigidConst.h"
#include "physics/TerrainCollision.h"
#include "scene/MeshInstance.h"
#include "scene/ShadedMesh.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentLevel.h"
#include "tests/physics/RigidTestUtil.h"

namespace {

constexpr float kGround = 2.0f;  // height of the demo level's open ground
constexpr float kDt = 0.01f;

COrientation At(float x, float y, float z) { return COrientation(TMatrix(), Vector3(x, y, z)); }

// The demo level's faces as collision polygons in an octree of the level's box.
struct Level {
  std::unique_ptr<ShadedMesh> mesh{DemoContent::BuildLevelMesh()};
  std::unique_ptr<CMeshInstance> instance{new CMeshInstance()};
  COctree octree{DemoContent::LevelWorldBox()};

  Level() {
    EXPECT_NE(nullptr, mesh);
    EXPECT_TRUE(instance->SetMesh(mesh.get(), true, false, false, 0, 10, nullptr, true, nullptr));
    BuildTerrainCollisionPolygons(&octree, instance.get(), nullptr, 7, nullptr, true, false);
  }
};

}  // namespace

// Steps every body, checking after each step that none left the ground's surface; true when
// the first two ever touched each other.
bool StepAll(CBody* bodies, size_t n, int steps, float minHeight, Vector3* settled, int settleStep) {
  bool met = false;
  for (int step = 0; step < steps; ++step) {
    for (size_t i = 0; i < n; ++i) bodies[i].StepPhysics(kDt);
    for (size_t i = 0; i < n; ++i) {
      const RigidBodyState& s = bodies[i].GetState();
      EXPECT_TRUE(std::isfinite(s.position.z) && s.position.z > minHeight) << "body " << i << " step " << step;
      met = met || bodies[i].GetPartner() != nullptr;
      if (step == settleStep) settled[i] = s.position;
    }
    if (::testing::Test::HasFailure()) break;
  }
  return met;
}

void ExpectResting(const CBody& body, const Vector3& settled, float height) {
  const RigidBodyState& s = body.GetState();
  EXPECT_LT(s.velocity.Length(), 0.1f);
  EXPECT_LT((s.position - settled).Length(), 0.02f) << "still moving";
  EXPECT_NEAR(height, s.position.z, 0.05f);
}

TEST(BodiesInLevel, CratesDropOntoGroundAndBlockAndComeToRest) {
  Level level;
  std::unique_ptr<RigidConst> model(new RigidConst());
  ASSERT_TRUE(model->BuildFromMesh(DemoContent::BuildCrate()));
  ASSERT_NE(nullptr, model->GetPieces());
  // One over open ground, one over the 3 m block at (10..18, 10..22), tumbling.
  CBody crates[2];
  crates[0].Setup(model.get(), At(30.0f, 30.0f, kGround + 3.0f));
  COrientation tilted = At(14.0f, 16.0f, kGround + 6.0f);
  tilted.RotateX(0.3f);
  crates[1].Setup(model.get(), tilted);
  crates[1].GetState().velocity = Vector3(0.5f, 0.0f, 0.0f);
  for (CBody& c : crates) level.octree.InsertObject(&c);
  Vector3 settled[2];
  StepAll(crates, 2, 300, kGround + 0.45f, settled, 200);
  ExpectResting(crates[0], settled[0], kGround + 0.5f);
  ExpectResting(crates[1], settled[1], kGround + 3.0f + 0.5f);
  for (CBody& c : crates) level.octree.RemoveObject(&c);
}

TEST(BodiesInLevel, BodiesThrownTogetherBounceApartKeepingMomentumAndRest) {
  Level level;
  // Half-metre balls: their sweeps meet each other's collision spheres.
  const std::unique_ptr<RigidConst> light = rigid_test::MakeModel({{Vector3(), 20.0f, 0.5f}});
  const std::unique_ptr<RigidConst> heavy = rigid_test::MakeModel({{Vector3(), 60.0f, 0.5f}});
  CBody balls[2];
  balls[0].Setup(light.get(), At(28.0f, 30.0f, kGround + 3.0f));
  balls[1].Setup(heavy.get(), At(32.0f, 30.0f, kGround + 3.0f));
  balls[0].GetState().velocity = Vector3(4.0f, 0.0f, 0.0f);
  balls[1].GetState().velocity = Vector3(-4.0f, 0.0f, 0.0f);
  for (CBody& b : balls) level.octree.InsertObject(&b);
  const float momentum = 20.0f * 4.0f - 60.0f * 4.0f;
  bool met = false;
  Vector3 unused[2];
  for (int step = 0; step < 60 && !met; ++step) met = StepAll(balls, 2, 1, kGround + 0.45f, unused, -1);
  ASSERT_TRUE(met) << "the bodies never touched";
  // Still in the air, both move apart with the momentum they met with, less a little drag.
  StepAll(balls, 2, 5, kGround + 0.45f, unused, -1);
  const float after = 20.0f * balls[0].GetState().velocity.x + 60.0f * balls[1].GetState().velocity.x;
  EXPECT_NEAR(momentum, after, 0.1f * std::fabs(momentum));
  EXPECT_LT(balls[0].GetState().velocity.x, 0.0f);
  EXPECT_LT(balls[0].GetState().velocity.x, balls[1].GetState().velocity.x);
  Vector3 settled[2];
  StepAll(balls, 2, 400, kGround + 0.45f, settled, 300);
  EXPECT_GT(balls[1].GetState().position.x - balls[0].GetState().position.x, 1.0f);
  for (int i = 0; i < 2; ++i) ExpectResting(balls[i], settled[i], kGround + 0.5f);
  for (CBody& b : balls) level.octree.RemoveObject(&b);
}

namespace {

struct Buggy {
  CVehicleDef def;
  CVehicle vehicle;

  Buggy(Level& level, float x, float y, float drop) {
    EXPECT_TRUE(def.BuildFromVehicleMesh(DemoContent::BuildBuggy()));
    vehicle.Setup(&def, At(x, y, RestHeight() + drop));
    level.octree.InsertObject(&vehicle);
  }
  ~Buggy() {
    if (vehicle.GetOctree()) vehicle.GetOctree()->RemoveObject(&vehicle);
  }
  // Where the centre of mass rides when each wheel carries its share at its static compression.
  float RestHeight() const {
    const WheelParams& w = def.GetWheels()[0];
    return kGround + w.radius + 0.01f - w.mountPoint.z - RestCompression();
  }
  float RestCompression() const {
    const WheelParams& w = def.GetWheels()[0];
    return def.GetMass().mass * w.parentMass * 9.8f / w.stiffness;
  }
  void Run(int steps) {
    for (int i = 0; i < steps; ++i) vehicle.StepPhysics(kDt);
  }
};

}  // namespace

TEST(BodiesInLevel, BuggySettlesOnItsSpringsAndDrivesForward) {
  Level level;
  Buggy buggy(level, 24.0f, 30.0f, 0.4f);
  ASSERT_EQ(4u, buggy.vehicle.GetWheelCount());
  float low = 1e9f;
  for (int i = 0; i < 400; ++i) {
    buggy.Run(1);
    low = std::min(low, buggy.vehicle.GetState().position.z);
  }
  const RigidBodyState& s = buggy.vehicle.GetState();
  EXPECT_GT(low, kGround + 0.3f) << "the body fell onto the ground";
  EXPECT_NEAR(buggy.RestHeight(), s.position.z, 0.01f);
  EXPECT_LT(s.velocity.Length(), 0.02f);
  EXPECT_NEAR(1.0f, s.rotation.m[2].z, 1e-3f);  // level
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(buggy.vehicle.GetWheel(i).IsOnGround()) << i;
    EXPECT_NEAR(buggy.RestCompression(), buggy.vehicle.GetWheel(i).GetExtension(), 5e-3f) << i;
  }

  // Under engine torque it rolls forward (its x axis) on turning wheels, staying on its springs.
  const Vector3 start = s.position;
  buggy.vehicle.SetDriveTorque(150.0f);
  for (int i = 0; i < 200; ++i) {
    buggy.Run(1);
    ASSERT_NEAR(buggy.RestHeight(), s.position.z, 0.05f) << i;
  }
  EXPECT_GT(s.velocity.x, 0.5f);
  EXPECT_GT(s.position.x - start.x, 0.5f);
  EXPECT_LT(std::fabs(s.position.y - start.y), 0.05f * (s.position.x - start.x));
  for (size_t i = 0; i < 4; ++i) EXPECT_GT(buggy.vehicle.GetWheel(i).GetSpin(), 0.5f) << i;
}

TEST(BodiesInLevel, LockedWheelNeverTurnsWhileTheOthersDrive) {
  Level level;
  Buggy buggy(level, 24.0f, 30.0f, 0.0f);
  buggy.Run(200);
  CWheel& locked = buggy.vehicle.GetWheel(0);
  locked.SetLocked(true);
  const float angle = locked.GetSpinAngle();
  buggy.vehicle.SetDriveTorque(400.0f);
  for (int i = 0; i < 300; ++i) {
    buggy.Run(1);
    ASSERT_EQ(0.0f, locked.GetSpin()) << i;
    ASSERT_EQ(angle, locked.GetSpinAngle()) << i;
  }
  EXPECT_GT(buggy.vehicle.GetState().velocity.Length(), 0.3f);
  for (size_t i = 1; i < 4; ++i) EXPECT_GT(std::fabs(buggy.vehicle.GetWheel(i).GetSpin()), 0.5f) << i;
}
