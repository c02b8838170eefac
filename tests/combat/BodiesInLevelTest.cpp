// Bodies in the demo level: crates fall onto the terrain and rest, crates thrown together bounce apart and rest,
// a buggy stands on its springs and drives forward while a locked wheel stays locked; fires burn out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "combat/Body.h"
#include "combat/Fire.h"
#include "core/world/GameWorld.h"
#include "tests/combat/DemoLevelFixture.h"
#include "tests/support/TempFolder.h"
#include "combat/Vehicle.h"
#include "combat/VehicleDef.h"
#include "core/spatial/Octree.h"
#include "physics/collision/CollisionFlags.h"
#include "physics/rigid/RigidConst.h"
#include "physics/terrain/TerrainCollision.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentLevel.h"

using namespace combat_test;


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

TEST(BodiesInLevel, CratesThrownTogetherBounceApartKeepingMomentumAndRest) {
  Level level;
  std::unique_ptr<RigidConst> model(new RigidConst());
  ASSERT_TRUE(model->BuildFromMesh(DemoContent::BuildCrate()));
  const float m = model->GetMass().mass;
  CBody crates[2];
  crates[0].Setup(model.get(), At(28.0f, 30.0f, kGround + 3.0f));
  crates[1].Setup(model.get(), At(32.0f, 30.2f, kGround + 3.15f));
  crates[0].GetState().AddForce(Vector3(5.0f * m / kDt, 0.0f, 0.0f));  // thrown by a push its next tick applies
  crates[1].GetState().velocity = Vector3(-3.0f, 0.0f, 0.0f);
  for (CBody& c : crates) level.octree.InsertObject(&c);
  for (CBody& c : crates) c.StepPhysics(0.0f);  // no time passes: the push still waits for a tick
  const float momentum = m * (5.0f - 3.0f);
  bool met = false;
  Vector3 unused[2];
  for (int step = 0; step < 60 && !met; ++step) met = StepAll(crates, 2, 1, kGround + 0.45f, unused, -1);
  ASSERT_TRUE(met) << "the crates never touched";
  // Each side heard of the impact, with the same impulse.
  EXPECT_TRUE(crates[0].GetImpactCount() > 0 && crates[1].GetImpactCount() > 0);
  EXPECT_GT(crates[0].GetHardestImpact(), 0.0f);
  EXPECT_EQ(crates[0].GetHardestImpact(), crates[1].GetHardestImpact());
  const uint32_t airborne = crates[0].GetImpactCount();
  // Still in the air, they move apart with the momentum they met with, less a little drag.
  StepAll(crates, 2, 5, kGround + 0.45f, unused, -1);
  EXPECT_NEAR(momentum, m * (crates[0].GetState().velocity.x + crates[1].GetState().velocity.x), 0.1f * momentum);
  EXPECT_LT(crates[0].GetState().velocity.x, crates[1].GetState().velocity.x);
  Vector3 settled[2];
  StepAll(crates, 2, 400, kGround + 0.45f, settled, 300);
  EXPECT_GT(crates[1].GetState().position.x - crates[0].GetState().position.x, 1.0f);
  EXPECT_GT(crates[0].GetImpactCount(), airborne);  // the ground's impacts are reported too
  for (int i = 0; i < 2; ++i) ExpectResting(crates[i], settled[i], kGround + 0.5f);
  for (CBody& c : crates) level.octree.RemoveObject(&c);
}

TEST(BodiesInLevel, BuggySettlesOnItsSpringsAndDrivesWithALockedWheel) {
  Level level;
  CVehicleDef def;
  ASSERT_TRUE(def.BuildFromVehicleMesh(DemoContent::BuildBuggy()));
  const WheelParams& w = def.GetWheels()[0];
  // Each wheel carries its share of the weight at its static compression.
  const float compression = def.GetMass().mass * w.parentMass * 9.8f / w.stiffness;
  const float rest = kGround + w.radius + 0.01f - w.mountPoint.z - compression;
  CVehicle buggy;
  buggy.Setup(&def, At(0.0f, 0.0f, 0.0f));  // a second set-up starts the body and its wheels afresh
  buggy.Setup(&def, At(24.0f, 30.0f, rest + 0.4f));
  ASSERT_EQ(4u, buggy.GetWheelCount());
  level.octree.InsertObject(&buggy);
  const RigidBodyState& s = buggy.GetState();
  float low = 1e9f;
  for (int i = 0; i < 400; ++i, buggy.StepPhysics(kDt)) low = std::min(low, s.position.z);
  EXPECT_GT(low, kGround + 0.3f) << "the body came down onto the ground";
  EXPECT_NEAR(rest, s.position.z, 0.01f);
  EXPECT_LT(s.velocity.Length(), 0.02f);
  EXPECT_NEAR(1.0f, s.rotation.m[2].z, 1e-3f);  // level
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(compression, buggy.GetWheel(i).GetExtension(), 5e-3f) << i;
  }

  // Under engine torque it rolls forward (its x axis) on its springs; the locked wheel skids
  // along without ever turning.
  CWheel& locked = buggy.GetWheel(0);
  locked.SetLocked(true);
  const float angle = locked.GetSpinAngle();
  const Vector3 start = s.position;
  VehicleControls throttle;
  throttle.throttle = 1.0f;
  buggy.SetControls(throttle);
  for (int i = 0; i < 200; ++i) {
    buggy.StepPhysics(kDt);
    ASSERT_NEAR(rest, s.position.z, 0.05f) << i;
    ASSERT_EQ(angle, locked.GetSpinAngle()) << i;
    // The wheels' probe leaves the body found by the others' queries.
    ASSERT_TRUE(buggy.HasAllFlags(CollisionFlags::kCandidate)) << i;
  }
  EXPECT_GT(s.velocity.x, 0.3f);
  EXPECT_GT(s.position.x - start.x, 0.3f);
  for (size_t i = 1; i < 4; ++i) EXPECT_GT(buggy.GetWheel(i).GetSpin(), 0.5f) << i;
  // Out of the world the body moves on freely, drawn where it goes, with no ground under any wheel.
  level.octree.RemoveObject(&buggy);
  buggy.StepPhysics(kDt);
  EXPECT_TRUE(buggy.GetFrame().axes == s.rotation && buggy.GetFrame().position == s.position);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_FALSE(buggy.GetWheel(i).IsOnGround()) << i;
    EXPECT_EQ(buggy.GetWheel(i).GetWorldCenter(), buggy.GetWheel(i).GetWheelFrame().position) << i;
  }
}

// A fire burns for exactly its duration, or until its host leaves the world; a fire on no host
// burns out on time alone.
TEST(Fire, BurnsForItsDurationOrUntilItsHostGoes) {
  testing_support::DebugCapture quiet;
  CGameWorld world(nullptr, nullptr);
  auto* host = new CGameObject();
  host->SetFlags(CGameObject::kNetworked);
  const uint32_t hostId = world.RegisterNewObject(std::unique_ptr<CGameObject>(host));
  ASSERT_NE(hostId, 0u);
  CFire timed, hosted;
  timed.Start(CGameObject::kNoOwner, Vector3(1.0f, 2.0f, 3.0f), 1.0f, 4.0f, 5.0f, 6.0f, 7.0f, 42);
  EXPECT_TRUE(timed.GetHostId() == CGameObject::kNoOwner && timed.GetPosition() == Vector3(1.0f, 2.0f, 3.0f) &&
              timed.GetDuration() == 1.0f && timed.GetSize() == 4.0f && timed.GetStrength() == 6.0f &&
              timed.GetElapsed() == 0.0f && timed.GetOwnerID() == 42u);
  hosted.Start(hostId, Vector3(), 100.0f, 1.0f, 1.0f, 1.0f, 1.0f, CGameObject::kNoOwner);
  for (int i = 0; i < 3; ++i) {
    timed.Update(0.25f);
    hosted.Update(0.25f);
  }
  timed.Update(-1.0f);  // time never runs backwards
  EXPECT_TRUE(timed.GetElapsed() == 0.75f && !timed.IsMarkedForRemoval() && !hosted.IsMarkedForRemoval());
  timed.Update(0.25f);
  EXPECT_TRUE(timed.IsMarkedForRemoval());
  world.RemoveObject(hostId);
  hosted.Update(0.01f);
  EXPECT_TRUE(hosted.IsMarkedForRemoval() && hosted.GetElapsed() < 1.0f);
}
