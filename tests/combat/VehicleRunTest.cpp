// The demo vehicle and creature made through the world's factory on the demo level: the vehicle settles on its
// wheels, drives and stops on the hand brake; the creature rests upright and is refused a taken place; crates in
// the vehicle's path land, are struck, meet and rest without anything passing through; create messages round-trip
// and hostile ones leave nothing; a saved vehicle state comes back exactly; driver keys.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "combat/Body.h"
#include "combat/BodyCreation.h"
#include "combat/Creature.h"
#include "combat/Vehicle.h"
#include "combat/VehicleRun.h"
#include "core/data/ResourceTable.h"
#include "core/input/InputMan.h"
#include "core/input/Settings.h"
#include "core/world/GameMessage.h"
#include "core/world/GameWorld.h"
#include "physics/collision/SphereTreeNode.h"
#include "physics/rigid/RigidConst.h"
#include "platform/system/Platform.h"
#include "scene/camera/VehicleCamPoints.h"
#include "tests/combat/DemoLevelFixture.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentLevel.h"
#include "tools/DemoContentVehicle.h"

using namespace combat_test;

namespace {

constexpr float kG = 9.8f;

// A world holding the demo level's ground and a resource table over the written demo meshes.
class VehicleRun : public ::testing::Test {
 protected:
  void SetUp() override {
    quiet = std::make_unique<testing_support::DebugCapture>();
    ASSERT_TRUE(DemoContent::BuildBuggy()->Save(Path("buggy.mesh").c_str(), nullptr));
    ASSERT_TRUE(DemoContent::BuildCreature()->Save(Path("creature.mesh").c_str(), nullptr));
    ASSERT_TRUE(DemoContent::BuildCrate()->Save(Path("crate.mesh").c_str(), nullptr));
    table.Add(Path("buggy.mesh").c_str());
    table.Add(Path("creature.mesh").c_str());
    table.Add(Path("crate.mesh").c_str());
    world.SetResourceTable(&table);
    world.GetOctree().Reset(DemoContent::LevelWorldBox());
    ASSERT_NE(nullptr, level);
    ASSERT_NE(nullptr, world.AddTerrainMesh(level.get(), nullptr, false, false));
  }
  void TearDown() override {
    world.ClearWorld();
    world.SetResourceTable(nullptr);
    table.UnloadAll();
  }
  std::string Path(const char* name) const { return folder.Path() + name; }
  size_t ObjectCount() const {
    size_t n = 0;
    for (uint32_t id = 1; id < world.GetNextObjectID(); ++id) n += world.GetObjectByID(id) != nullptr;
    return n;
  }

  testing_support::TempFolder folder;
  std::unique_ptr<testing_support::DebugCapture> quiet;
  CResourceTable table;
  CGameWorld world{nullptr, nullptr};
  std::unique_ptr<ShadedMesh> level{DemoContent::BuildLevelMesh()};
};

float Speed(const CVehicle& v) { return v.GetState().velocity.Length(); }

// The demo crate is a 1 m cube about its centre of mass.
constexpr float kCrateHalf = 0.5f;

// How deep a sphere reaches into the crate's box (negative while apart): the nearest point of the box
// to the centre, found in the crate's frame.
float SphereDepthInCrate(const COrientation& crate, const Vector3& centre, float radius) {
  const Vector3 local = crate.WorldToLocalPoint(centre);
  Vector3 nearest = local;
  float inside = kCrateHalf;  // the centre's depth below the nearest face when it lies inside
  for (int i = 0; i < 3; ++i) {
    nearest[i] = std::max(-kCrateHalf, std::min(kCrateHalf, local[i]));
    inside = std::min(inside, kCrateHalf - std::fabs(local[i]));
  }
  if (inside > 0.0f) return radius + inside;
  return radius - (local - nearest).Length();
}

// The deepest any of the vehicle's collision spheres or wheels reaches into the crate.
float VehicleDepthInCrate(const CVehicle& vehicle, const COrientation& crate) {
  float deepest = -1e9f;
  const SphereTreeNode* root = vehicle.GetSphereTree();
  for (uint32_t i = 0; root != nullptr && i < root->childCount; ++i) {
    const SphereTreeNode& s = root->children[i];
    deepest = std::max(deepest, SphereDepthInCrate(crate, vehicle.GetFrame().LocalToWorldPoint(s.centre), s.radius));
  }
  for (size_t i = 0; i < vehicle.GetWheelCount(); ++i) {
    const CWheel& w = vehicle.GetWheel(i);
    deepest = std::max(deepest, SphereDepthInCrate(crate, w.GetWorldCenter(), w.GetParams().radius));
  }
  return deepest;
}

// How deep two crates reach into each other (negative while apart): the least overlap of their boxes
// over the 15 separating axes of two boxes (each one's face normals and the crossings of their edges).
float CrateDepthInCrate(const COrientation& a, const COrientation& b) {
  std::vector<Vector3> axes;
  for (int i = 0; i < 3; ++i) {
    axes.push_back(a.axes.m[i]);
    axes.push_back(b.axes.m[i]);
    for (int k = 0; k < 3; ++k) axes.push_back(a.axes.m[i].Cross(b.axes.m[k]));
  }
  const Vector3 d = b.position - a.position;
  float least = 1e9f;
  for (const Vector3& axis : axes) {
    const float length = axis.Length();
    if (length < 1e-4f) continue;  // edges in line: their face normals stand for the crossing
    const Vector3 l = axis * (1.0f / length);
    float reach = 0.0f;
    for (int i = 0; i < 3; ++i) reach += kCrateHalf * (std::fabs(a.axes.m[i].Dot(l)) + std::fabs(b.axes.m[i].Dot(l)));
    least = std::min(least, reach - std::fabs(d.Dot(l)));
  }
  return least;
}

float LowestCorner(const COrientation& crate) {
  float lowest = 1e9f;
  for (int i = 0; i < 8; ++i) {
    const Vector3 corner(i & 1 ? kCrateHalf : -kCrateHalf, i & 2 ? kCrateHalf : -kCrateHalf,
                         i & 4 ? kCrateHalf : -kCrateHalf);
    lowest = std::min(lowest, crate.LocalToWorldPoint(corner).z);
  }
  return lowest;
}

// The mass of a mesh's balls, as its point-mass attach points give it (mass, then radius).
float BallMass(const ShadedMesh& mesh) {
  std::vector<int> balls;
  mesh.CollectAttachPoints(kAttachRigidPointMass, balls);
  float mass = 0.0f;
  for (const int i : balls) {
    float m = 0.0f;
    std::memcpy(&m, mesh.attachPoints[static_cast<size_t>(i)].GetData(), sizeof m);
    mass += m;
  }
  return mass;
}

}  // namespace

TEST_F(VehicleRun, VehicleSettlesOnItsWheelsDrivesAndStopsOnTheHandBrakeWhileTheCreatureRestsUpright) {
  CVehicleRun run(world);
  // The wheels hang 0.35 + 0.3 below the centre of mass: 1 m above the ground.
  ASSERT_TRUE(run.Create(Path("buggy.mesh").c_str(), At(6.0f, 32.0f, kGround + 1.65f), Path("creature.mesh").c_str(),
                         At(6.0f, 36.0f, kGround + 1.4f)));
  CVehicle& buggy = *run.GetVehicle();
  CCreature& creature = *run.GetCreature();
  ASSERT_EQ(4u, buggy.GetWheelCount());
  const float mass = buggy.GetState().GetMass();
  VehicleControls idle, drive, brake;
  drive.throttle = 1.0f;
  brake.handBrake = true;

  run.Run(3.0f, {{3.0f, idle}}, nullptr);
  EXPECT_LT(Speed(buggy), 0.02f);
  EXPECT_NEAR(1.0f, buggy.GetState().rotation.m[2].z, 1e-3f);
  for (size_t i = 0; i < 4; ++i) {
    const CWheel& w = buggy.GetWheel(i);
    EXPECT_TRUE(w.IsOnGround()) << i;
    EXPECT_FLOAT_EQ(0.25f * mass, w.GetSupportedMass()) << i;
    EXPECT_NEAR(0.25f * mass * kG, w.GetSuspensionForce().z, 0.05f * mass * kG) << i;
  }
  // The creature fell half a metre onto its lowest sphere and stands there, never turned.
  const RigidBodyState& c = creature.GetState();
  EXPECT_NEAR(kGround + 0.9f, c.position.z, 0.02f);
  EXPECT_LT(c.velocity.Length(), 0.1f);
  EXPECT_TRUE(c.rotation == TMatrix() && c.angularMomentum == Vector3(0, 0, 0));

  const Vector3 start = buggy.GetState().position;
  run.Run(5.0f, {{5.0f, drive}}, nullptr);
  const RigidBodyState& s = buggy.GetState();
  EXPECT_GT(s.velocity.x, 8.0f);
  EXPECT_NEAR(0.0f, s.velocity.y, 0.1f);
  EXPECT_GT(s.position.x - start.x, 8.0f);
  EXPECT_NEAR(start.y, s.position.y, 0.1f);
  // A wheel rolling on the ground turns at its speed over its rolling radius.
  const CWheel& rear = buggy.GetWheel(3);
  ASSERT_LT(rear.GetParams().mountPoint.x, 0.0f);
  EXPECT_NEAR(s.velocity.x / (rear.GetParams().radius + 0.01f), rear.GetSpin(), 0.15f * rear.GetSpin());

  run.Run(8.0f, {{8.0f, brake}}, nullptr);
  EXPECT_LT(Speed(buggy), 0.05f);
  for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(buggy.GetWheel(i).IsLocked() && buggy.GetWheel(i).GetSpin() == 0.0f);
  const Vector3 stopped = s.position;
  run.Run(9.0f, {{9.0f, brake}}, nullptr);
  EXPECT_LT((s.position - stopped).Length(), 0.02f);
  EXPECT_NEAR(kGround + 0.9f, c.position.z, 0.02f);
  EXPECT_TRUE(c.rotation == TMatrix());
  // Letting go of the hand brake frees the wheels.
  run.Run(9.1f, {{9.1f, idle}}, nullptr);
  for (size_t i = 0; i < 4; ++i) EXPECT_FALSE(buggy.GetWheel(i).IsLocked());
}

// Two crates are dropped on the vehicle's way east, the second turned half a right angle, and rest;
// the vehicle strikes the first at speed and shoves it into the second, until all three stop, the vehicle
// behind them. Tick by tick neither hull enters the other, nor a crate the ground or the other crate.
TEST_F(VehicleRun, CratesInThePathLandAreStruckMeetAndRestWithNothingPassingThrough) {
  plat::srand(0);  // as vehicle_run seeds it
  CVehicleRun run(world);
  ASSERT_TRUE(run.Create(Path("buggy.mesh").c_str(), At(6.0f, 32.0f, kGround + 1.65f), Path("creature.mesh").c_str(),
                         At(6.0f, 36.0f, kGround + 1.4f)));
  const float dropped = 1.0f;  // the crates' bottoms above the ground
  COrientation turned = At(20.0f, 32.0f, kGround + kCrateHalf + dropped);
  turned.RotateZ(0.785398f);
  ASSERT_TRUE(run.AddCrate(Path("crate.mesh").c_str(), At(12.0f, 32.0f, kGround + kCrateHalf + dropped)));
  ASSERT_TRUE(run.AddCrate(Path("crate.mesh").c_str(), turned));
  ASSERT_EQ(2u, run.GetCrateCount());
  CVehicle& buggy = *run.GetVehicle();
  CBody& crate = *run.GetCrate(0);
  CBody& second = *run.GetCrate(1);
  VehicleControls idle, drive, brake;
  drive.throttle = 1.0f;
  brake.handBrake = true;
  const std::vector<CVehicleRun::Phase> plan = {{3.0f, idle}, {5.0f, drive}, {10.0f, brake}};
  float deepest = -1e9f, deepestCrates = -1e9f, lowest = 1e9f, fastest = 0.0f, struckAt = -1.0f;
  std::vector<std::string> told;
  std::vector<float> pushedAtMeeting;  // the second crate's momentum along the ground after each meeting told
  const float mass = BallMass(*DemoContent::BuildCrate());
  for (int tick = 1; tick <= 1000; ++tick) {
    const float before = Speed(buggy);
    fastest = std::max(fastest, before);
    const size_t toldBefore = told.size();
    run.Run(tick * CVehicleRun::kTickSeconds, plan, &told);
    ASSERT_TRUE(&crate == run.GetCrate(0) && &second == run.GetCrate(1));
    for (const CBody* c : {&crate, &second}) {
      deepest = std::max(deepest, VehicleDepthInCrate(buggy, c->GetFrame()));
      lowest = std::min(lowest, LowestCorner(c->GetFrame()));
    }
    deepestCrates = std::max(deepestCrates, CrateDepthInCrate(crate.GetFrame(), second.GetFrame()));
    for (size_t i = toldBefore; i < told.size(); ++i)
      if (told[i].find(" crate 2 meets crate 1: ") != std::string::npos) {
        const Vector3 v = second.GetState().velocity;
        pushedAtMeeting.push_back(mass * std::sqrt(v.x * v.x + v.y * v.y));
      }
    if (struckAt < 0.0f && crate.GetState().velocity.x > 1.0f) {
      struckAt = run.GetClock();
      EXPECT_LT(Speed(buggy), before - 0.3f) << "the impact slows the vehicle";
    }
  }
  EXPECT_LT(deepest, 0.02f) << "the vehicle entered a crate";
  EXPECT_LT(deepestCrates, 0.02f) << "a crate entered the other";
  EXPECT_GT(lowest, kGround - 0.02f) << "a crate entered the ground";
  EXPECT_TRUE(struckAt > 3.5f && struckAt < 5.0f) << struckAt;
  EXPECT_GT(fastest, 7.0f);
  // All stopped on the ground, the crates flat on a face, the first shoved into the second, the vehicle
  // behind them.
  for (const CBody* c : {&crate, &second}) {
    EXPECT_LT(c->GetState().velocity.Length(), 0.1f);
    EXPECT_NEAR(kGround, LowestCorner(c->GetFrame()), 0.02f);
    EXPECT_NEAR(1.0f, std::fabs(c->GetState().rotation.m[2].z), 1e-3f);
    EXPECT_NEAR(32.0f, c->GetState().position.y, 1.0f);
  }
  EXPECT_LT(Speed(buggy), 0.05f);
  const RigidBodyState& c = crate.GetState();
  EXPECT_GT(c.position.x, 12.0f + 5.0f) << "shoved along";
  EXPECT_GT(second.GetState().position.x, 20.0f + 5.0f) << "shoved along by the first";
  const float gap = c.position.x - buggy.GetState().position.x;
  EXPECT_TRUE(gap > 1.6f && gap < 2.5f) << gap;
  // The impulses told: a landing's lies between the crate's momentum on meeting the ground (from rest,
  // v = sqrt(2 g h)) and twice that (a bounce at most turns it round); every strike pushes; the first
  // meeting of the crates, the second one still, gives it the momentum it leaves with (the ground's
  // friction takes a little of it within the tick).
  const float momentum = mass * std::sqrt(2.0f * kG * dropped);
  int landings = 0, strikes = 0, meetings = 0;
  for (const std::string& line : told) {
    float at = 0.0f, impulse = 0.0f;
    if (std::sscanf(line.c_str(), "t=%f crate %*u lands: impulse %f", &at, &impulse) == 2) {
      ++landings;
      EXPECT_TRUE(impulse >= momentum && impulse <= 2.0f * momentum) << line << ", momentum " << momentum;
    } else if (std::sscanf(line.c_str(), "t=%f crate 1 struck by the vehicle: impulse %f", &at, &impulse) == 2) {
      ++strikes;
      EXPECT_GT(impulse, 0.0f) << line;
    } else if (std::sscanf(line.c_str(), "t=%f crate 2 meets crate 1: impulse %f", &at, &impulse) == 2) {
      EXPECT_GT(at, struckAt) << "the crates meet only once the first is shoved: " << line;
      if (meetings++ == 0) {
        ASSERT_FALSE(pushedAtMeeting.empty());
        EXPECT_NEAR(pushedAtMeeting[0], impulse, 0.03f * impulse) << line;
      }
    } else {
      EXPECT_EQ(std::string::npos, line.find(" struck ")) << "only the first crate is in the vehicle's way: " << line;
    }
  }
  EXPECT_EQ(2, landings);
  EXPECT_GE(strikes, 1);
  EXPECT_GE(meetings, 1);
}

TEST_F(VehicleRun, CreaturePlacedIntoAWallIsRefusedAndKeepsItsFrame) {
  // The 3 m block stands at x 10..18; a creature straddling its west face does not fit.
  const uint32_t before = static_cast<uint32_t>(ObjectCount());
  EXPECT_NE(0u, CreateBodyThroughWorld(world, CCreature::kTypeCode, Path("creature.mesh").c_str(),
                                       At(10.0f, 16.0f, kGround + 1.0f), CGameObject::kNoOwner));
  world.UpdateObjects(kDt);  // the creature that found no room has gone
  EXPECT_EQ(before, ObjectCount());

  const uint32_t id = CreateBodyThroughWorld(world, CCreature::kTypeCode, Path("creature.mesh").c_str(),
                                             At(6.0f, 16.0f, kGround + 1.0f), CGameObject::kNoOwner);
  auto* creature = dynamic_cast<CCreature*>(world.GetObjectByID(id));
  ASSERT_NE(nullptr, creature);
  const COrientation frame = creature->GetFrame();
  COrientation wall = At(10.2f, 16.0f, kGround + 1.0f);
  wall.RotateZ(1.0f);
  EXPECT_FALSE(creature->Place(wall));
  EXPECT_TRUE(creature->GetFrame().axes == frame.axes && creature->GetFrame().position == frame.position);
  EXPECT_TRUE(creature->GetState().position == frame.position);
  // Free ground takes it, turned as asked; the view comes from its eyes.
  COrientation free = At(6.0f, 12.0f, kGround + 0.95f);
  free.RotateZ(1.0f);
  EXPECT_TRUE(creature->Place(free));
  EXPECT_TRUE(creature->GetFrame().position == free.position);
  COrientation view;
  creature->SetCameraFrame(view);
  EXPECT_NEAR(0.0f, (view.position - free.LocalToWorldPoint(Vector3(0.25f, 0.0f, 0.75f))).Length(), 1e-4f);
  EXPECT_NEAR(1.0f, view.GetXAxis().Dot(free.GetXAxis()), 1e-5f);
  // The camera is swept out to the eyes only when they lie outside the body's spheres; with the
  // weight low the spheres' centre lies above the centre of mass, and the eyes inside them.
  EXPECT_FALSE(creature->WantsCameraObstacleSweep());
  for (const float eyes : {1.65f, 2.6f}) {
    std::unique_ptr<ShadedMesh> mesh = DemoContent::BuildCreature();
    for (AttachPoint& point : mesh->attachPoints) {
      if (point.type == kAttachRigidPointMass) point.transform.position.z = 0.5f;
      if (point.type == kAttachCreatureView) point.transform.position.z = eyes;
    }
    const std::string path = Path(eyes < 2.0f ? "low.mesh" : "tall.mesh");
    ASSERT_TRUE(mesh->Save(path.c_str(), nullptr));
    table.Add(path.c_str());
    const uint32_t other = CreateBodyThroughWorld(world, CCreature::kTypeCode, path.c_str(),
                                                  At(6.0f, eyes < 2.0f ? 20.0f : 24.0f, kGround + 1.0f),
                                                  CGameObject::kNoOwner);
    auto* low = dynamic_cast<CCreature*>(world.GetObjectByID(other));
    ASSERT_NE(nullptr, low);
    EXPECT_EQ(eyes > 2.0f, low->WantsCameraObstacleSweep()) << eyes;
  }
}

TEST_F(VehicleRun, CreateMessagesRoundTripAndHostileOnesLeaveNothing) {
  const std::string model = Path("buggy.mesh");
  COrientation frame = At(20.0f, 30.0f, kGround + 2.0f);
  frame.RotateZ(0.5f);
  const uint32_t id = CreateBodyThroughWorld(world, CVehicle::kTypeCode, model.c_str(), frame, 7);
  auto* buggy = dynamic_cast<CVehicle*>(world.GetObjectByID(id));
  ASSERT_NE(nullptr, buggy);
  EXPECT_EQ(7u, buggy->GetOwnerID());
  const uint8_t* message = buggy->BuildCreateMessage(true);
  ASSERT_NE(nullptr, message);
  ASSERT_EQ(GameMessage::kCreateHeaderSize + BodyCreation::kDataBytes, GameMessage::Size(message));
  EXPECT_EQ(CVehicle::kTypeCode, message[GameMessage::kTypeCodeOffset]);
  EXPECT_EQ(id, GameMessage::Target(message));
  BodyCreation data;
  ASSERT_TRUE(data.Read(message + GameMessage::kCreateHeaderSize, BodyCreation::kDataBytes));
  EXPECT_EQ(model, data.model);
  EXPECT_TRUE(data.frame.axes == frame.axes && data.frame.position == frame.position);

  // A creature is not made of a vehicle, nor a vehicle of a plain body model; a model nobody has is refused too.
  const size_t count = ObjectCount();
  EXPECT_EQ(0u, CreateBodyThroughWorld(world, CCreature::kTypeCode, model.c_str(), At(30, 30, 5), 0));
  ASSERT_TRUE(DemoContent::BuildCrate()->Save(Path("crate.mesh").c_str(), nullptr));
  table.Add(Path("crate.mesh").c_str());
  ASSERT_NE(nullptr, table.GetResource(table.FindByName(Path("crate.mesh").c_str())));
  EXPECT_EQ(0u, CreateBodyThroughWorld(world, CVehicle::kTypeCode, Path("crate.mesh").c_str(), At(30, 30, 5), 0));
  // A model the table does not hold is not looked for, even when the file is there.
  ASSERT_TRUE(DemoContent::BuildBuggy()->Save(Path("other.mesh").c_str(), nullptr));
  EXPECT_EQ(0u, CreateBodyThroughWorld(world, CVehicle::kTypeCode, Path("other.mesh").c_str(), At(30, 30, 5), 0));
  EXPECT_EQ(-1, table.FindByName(Path("other.mesh").c_str()));
  // Hostile creation data: cut short, an unterminated or empty name, a frame that is not finite.
  uint8_t good[BodyCreation::kDataBytes];
  data.Write(good);
  // The layout messages carry: a 64-byte name, then the frame's three axes and position as 12 floats.
  ASSERT_EQ(sizeof good, 64u + 12u * 4u);
  float x = 0.0f;
  std::memcpy(&x, good + 64 + 9 * 4, 4);
  EXPECT_EQ(x, frame.position.x);
  EXPECT_TRUE(data.Read(good, sizeof good));
  EXPECT_FALSE(data.Read(good, sizeof good - 1));
  uint8_t bad[BodyCreation::kDataBytes];
  std::memcpy(bad, good, sizeof bad);
  std::memset(bad, 'x', BodyCreation::kNameBytes);
  EXPECT_FALSE(data.Read(bad, sizeof bad));
  bad[0] = 0;
  EXPECT_FALSE(data.Read(bad, sizeof bad));
  std::memcpy(bad, good, sizeof bad);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::memcpy(bad + BodyCreation::kNameBytes + 40, &nan, 4);
  EXPECT_FALSE(data.Read(bad, sizeof bad));
  uint8_t* shortMessage = world.AllocMessage(GameMessage::kCreateHeaderSize + 10);
  GameMessage::SetCreateHeader(shortMessage, GameMessage::kCreateHeaderSize + 10, 999, GameMessage::kCreate, 0,
                               CVehicle::kTypeCode, 0);
  world.HandleMessage(0, shortMessage);
  EXPECT_EQ(count, ObjectCount());
  // A crate is made by its owner, not of a vehicle's model; no factory makes one, so it has no create message.
  CVehicleRun run(world);
  EXPECT_FALSE(run.AddCrate(model.c_str(), At(30, 34, 5)));
  ASSERT_TRUE(run.AddCrate(Path("crate.mesh").c_str(), At(30, 34, 5)));
  EXPECT_EQ(count + 1, ObjectCount());
  EXPECT_EQ(nullptr, run.GetCrate()->BuildCreateMessage(true));
}

TEST_F(VehicleRun, SavedStateComesBackExactlyAndARunawayStepIsRefused) {
  CVehicleRun run(world);
  ASSERT_TRUE(run.Create(Path("buggy.mesh").c_str(), At(6.0f, 32.0f, kGround + 1.0f), Path("creature.mesh").c_str(),
                         At(6.0f, 36.0f, kGround + 1.4f)));
  CVehicle& buggy = *run.GetVehicle();
  VehicleControls drive;
  drive.throttle = 1.0f;
  drive.steer = 0.5f;
  run.Run(3.0f, {{2.0f, VehicleControls()}, {3.0f, drive}}, nullptr);
  VehicleState saved, again;
  buggy.SaveState(saved);
  ASSERT_GT(saved.body.velocity.Length(), 1.0f);
  ASSERT_EQ(4u, saved.wheels.size());
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(saved.wheels[i].extension, buggy.GetWheel(i).GetExtension()) << "every wheel saved, " << i;
    EXPECT_NE(saved.wheels[i].spin, 0.0f) << "rolling, " << i;
  }
  run.Run(4.0f, {{4.0f, drive}}, nullptr);
  buggy.RestoreState(saved);
  buggy.SaveState(again);
  EXPECT_TRUE(again.body.rotation == saved.body.rotation && again.body.position == saved.body.position &&
              again.body.velocity == saved.body.velocity && again.body.angularMomentum == saved.body.angularMomentum);
  EXPECT_TRUE(buggy.GetFrame().position == saved.body.position);
  ASSERT_EQ(4u, again.wheels.size());
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(saved.wheels[i].extension, again.wheels[i].extension) << i;
    EXPECT_EQ(saved.wheels[i].rate, again.wheels[i].rate) << i;
    EXPECT_EQ(saved.wheels[i].spin, again.wheels[i].spin) << i;
  }
  // A step that would send the body to infinity is refused: it stays where the step began, at rest.
  const Vector3 before = buggy.GetState().position;
  buggy.GetState().velocity = Vector3(std::numeric_limits<float>::infinity(), 0.0f, 0.0f);
  buggy.StepPhysics(kDt);
  EXPECT_TRUE(buggy.GetState().position == before && buggy.GetFrame().position == before);
  EXPECT_EQ(Vector3(0, 0, 0), buggy.GetState().velocity);
  for (size_t i = 0; i < 4; ++i)
    EXPECT_TRUE(buggy.GetWheel(i).GetSpin() == 0.0f && buggy.GetWheel(i).GetExtensionRate() == 0.0f) << "at rest, " << i;
  // Placing it anew puts it there at rest on unloaded springs; a place across the block's wall is refused.
  EXPECT_FALSE(buggy.Place(At(10.3f, 16.0f, kGround + 1.0f)));
  EXPECT_TRUE(buggy.GetFrame().position == before);
  EXPECT_TRUE(buggy.Place(At(20.0f, 32.0f, kGround + 1.0f)));
  EXPECT_TRUE(buggy.GetFrame().position == Vector3(20.0f, 32.0f, kGround + 1.0f));
  EXPECT_EQ(Vector3(0, 0, 0), buggy.GetState().velocity);
  for (size_t i = 0; i < 4; ++i)
    EXPECT_TRUE(buggy.GetWheel(i).GetExtension() == 0.0f && buggy.GetWheel(i).GetSpin() == 0.0f) << i;
}

// The runner program on the written demo meshes: the level's ground is filed in an octree of the
// level's box (none of it left in the root), and the run ends with the buggy held east of its start,
// behind the crate it struck, which it tells of and which rests where the last line shows it; each
// crate's rest is told once, and the crates' meeting as it happens. Without a crate model it says so
// and fails.
TEST(VehicleRunProgram, LaysTheLevelInItsBoxAndDrivesTheBuggyEastToAStop) {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  const std::string program = (self.parent_path().parent_path() / "vehicle_run").string();
  ASSERT_TRUE(std::filesystem::exists(program)) << program;
  testing_support::TempFolder folder;
  const std::string meshes = folder.MakeFolder("meshes");
  ASSERT_TRUE(DemoContent::BuildBuggy()->Save((meshes + "/buggy.mesh").c_str(), nullptr));
  ASSERT_TRUE(DemoContent::BuildCreature()->Save((meshes + "/creature.mesh").c_str(), nullptr));
  ASSERT_TRUE(DemoContent::BuildCrate()->Save((meshes + "/crate.mesh").c_str(), nullptr));
  const std::string output = folder.Path() + "run.txt";
  ASSERT_EQ(0, std::system((program + " " + folder.Path() + " >" + output + " 2>&1").c_str()));
  const std::string text = testing_support::ReadBytes(output);
  EXPECT_EQ(std::string::npos, text.find("added to root"));
  const size_t last = text.rfind("t=10.00 vehicle at (");
  ASSERT_NE(std::string::npos, last) << text.substr(0, 2000);
  float x = 0.0f, y = 0.0f;
  ASSERT_EQ(2, std::sscanf(text.c_str() + last, "t=10.00 vehicle at (%f %f", &x, &y));
  EXPECT_TRUE(x > 6.0f + 8.0f && std::fabs(y - 32.0f) < 0.1f) << x << " " << y;
  EXPECT_NE(std::string::npos, text.find("hand 1", last)) << "held on the hand brake";
  const size_t landed = text.find(" crate 1 lands: impulse ");
  const size_t struck = text.rfind(" crate 1 struck by the vehicle: impulse ");
  const size_t met = text.find(" crate 2 meets crate 1: impulse ");
  const size_t rest = text.rfind(" crate 1 at rest at (");
  ASSERT_TRUE(landed < struck && struck < rest && rest < last && met < rest) << text.substr(0, 4000);
  float cx = 0.0f, cy = 0.0f, cz = 0.0f, lx = 0.0f, ly = 0.0f, lz = 0.0f;
  ASSERT_EQ(3, std::sscanf(text.c_str() + rest, " crate 1 at rest at (%f %f %f)", &cx, &cy, &cz));
  const size_t lastCrate = text.find("| crate 1 at (", last);
  ASSERT_NE(std::string::npos, lastCrate);
  ASSERT_EQ(3, std::sscanf(text.c_str() + lastCrate, "| crate 1 at (%f %f %f)", &lx, &ly, &lz));
  EXPECT_TRUE(cx == lx && cy == ly && cz == lz) << "it stayed where it came to rest";
  EXPECT_NEAR(kGround + 0.5f, cz, 0.02f);
  EXPECT_GT(cx - x, 1.6f) << "the buggy stopped behind it";
  // Each crate rests after its landing and after the shove; a rest is told once, so two told rests
  // of one crate lie apart by more than it may shift while still.
  for (const char* crate : {"crate 1", "crate 2"}) {
    std::vector<Vector3> rests;
    const std::string key = std::string(" ") + crate + " at rest at (";
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
      Vector3 p;
      ASSERT_EQ(3, std::sscanf(text.c_str() + at + key.size(), "%f %f %f", &p.x, &p.y, &p.z));
      rests.push_back(p);
    }
    EXPECT_EQ(2u, rests.size()) << crate;
    for (size_t i = 1; i < rests.size(); ++i)
      EXPECT_GT((rests[i] - rests[i - 1]).Length(), CVehicleRun::kStillMetres) << crate << " told at rest twice";
  }

  // Without the crate's model the vehicle and the creature are made, the crate is not: it says so and fails.
  std::filesystem::remove(meshes + "/crate.mesh");
  const std::string code = folder.Path() + "code.txt";  // the exit code as the shell tells it
  std::system((program + " " + folder.Path() + " >" + output + " 2>&1; echo $? >" + code).c_str());
  EXPECT_EQ("1\n", testing_support::ReadBytes(code));
  const std::string refused = testing_support::ReadBytes(output);
  EXPECT_NE(std::string::npos, refused.find("vehicle_run: the crate could not be made from " + folder.Path()))
      << refused;
  EXPECT_EQ(std::string::npos, refused.find("t=")) << "nothing runs";
}

TEST(VehicleControls, DriverKeysComeFromTheVehicleRowsOfTheKeyTable) {
  CSettings settings;
  CSettings* previous = GetSettings();
  SetSettings(&settings);
  const int keys[] = {'W', 'S', 'A', 'D', VK_SPACE};
  const uint32_t rows[] = {VehicleControls::kActionThrottle, VehicleControls::kActionBrake,
                           VehicleControls::kActionSteerLeft, VehicleControls::kActionSteerRight,
                           VehicleControls::kActionHandBrake};
  for (int i = 0; i < 5; ++i) settings.SetBinding(CInputMan::kKeyboardSlot, rows[i], keys[i], false);
  CInputMan input;
  VehicleControls c = VehicleControls::Read(input);
  EXPECT_TRUE(c.throttle == 0.0f && c.brake == 0.0f && c.steer == 0.0f && !c.handBrake && c.IsIdle());
  plat::SetKeyState('W', true);
  plat::SetKeyState('D', true);
  plat::SetKeyState(VK_SPACE, true);
  c = VehicleControls::Read(input);
  EXPECT_TRUE(c.throttle == 1.0f && c.brake == 0.0f && c.steer == -1.0f && c.handBrake);
  plat::SetKeyState('A', true);  // both ways at once steer straight
  c = VehicleControls::Read(input);
  EXPECT_EQ(0.0f, c.steer);
  for (int key : keys) plat::SetKeyState(key, false);
  SetSettings(previous);
}
