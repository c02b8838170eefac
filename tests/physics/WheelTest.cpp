// Wheels: the closed-form spring, hanging and resting suspensions, locked wheels, side grip, the friction curve,
// the suspension axis taken from a vehicle mesh.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "physics/rigid/RigidCollisionBody.h"
#include "core/math/SecondOrderGeneralSolution.h"
#include "physics/collision/SurfaceType.h"
#include "physics/rigid/Wheel.h"
#include "platform/system/Platform.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/physics/RigidTestUtil.h"
#include "tools/DemoContent.h"

using namespace rigid_test;

namespace {

WheelParams Params(const Vector3& mount) {
  WheelParams p;
  p.mountPoint = mount;
  p.suspensionAxis = Vector3(0, 0, 1);
  p.suspensionLength = 0.3f;
  p.radius = 0.3f;
  p.spinInertia = 0.5f * p.mass * p.radius * p.radius;
  return p;
}

// A 400 kg body on four wheels over the ground plane z = 0, stepped as a vehicle steps it.
struct Vehicle {
  std::unique_ptr<RigidConst> model;
  CRigidCollisionBody body;
  CWheel wheels[4];
  const SurfaceType* ground = SurfaceType::Get(0);

  explicit Vehicle(float height) {
    RigidPhysicsParams params;
    params.linearDrag = Vector3(0, 0, 0);
    model = MakeModel({{Vector3(1, 0.5f, 0), 100, 0.2f}, {Vector3(1, -0.5f, 0), 100, 0.2f},
                       {Vector3(-1, 0.5f, 0), 100, 0.2f}, {Vector3(-1, -0.5f, 0), 100, 0.2f}},
                      params);
    body.SetModel(model.get(), At(Vector3(0, 0, height)), Vector3(), Vector3());
    int i = 0;
    for (float x : {1.0f, -1.0f})
      for (float y : {0.5f, -0.5f}) wheels[i++].Attach(&body, 0.0f, 0.0f, Params(Vector3(x, y, 0)));
  }

  void Step(float dt) {
    RigidBodyState& s = body.GetState();
    s.ClearForces();
    s.AddForce(Vector3(0, 0, -9.8f * s.GetMass()));
    // Every wheel reads the body's force for its equilibrium, so all of them look before any adds.
    for (CWheel& w : wheels) w.UpdateSuspension(dt);
    for (CWheel& w : wheels) {
      s.AddForceAtPoint(w.GetSuspensionForce(), w.GetWorldMountPoint());
      w.ComputeContactForces(dt);
    }
    s.Integrate(dt);
    s.AdvancePose(dt);
    s.CommitPose();
    for (CWheel& w : wheels) {
      // What the world's sweep of the wheel finds: the plane under it.
      w.ClearGroundContact();
      const Vector3 c = w.GetWorldMountPoint();
      w.SetGroundContact(Vector3(c.x, c.y, 0), Vector3(0, 0, 1), ground);
      w.ApplySweep(nullptr, nullptr);
    }
  }
};

}  // namespace

TEST(Wheel, ClosedFormSpringMeetsItsInitialConditionsAndIntegral) {
  // Over-, critically and under-damped, and one a rounding error away from critical.
  const float cases[][3] = {{1, 10, 4}, {1, 4, 4}, {1, 1, 25}, {2, 8.0000005f, 8}};
  for (const auto& c : cases) {
    CSecondOrderGeneralSolution s(c[0], c[1], c[2]);
    s.SetInitialConditions(0.7f, -1.3f);
    EXPECT_NEAR(0.7f, s.Position(0), 1e-5f);
    EXPECT_NEAR(-1.3f, s.Rate(0), 1e-4f);
    for (float t : {0.1f, 0.5f, 1.0f}) {
      const float h = 1e-3f;
      EXPECT_NEAR(s.Position(t), (s.Integral(t + h) - s.Integral(t - h)) / (2 * h), 2e-3f) << c[1] << " " << t;
      const float x = s.Position(t), v = s.Rate(t);
      const float acc = (s.Rate(t + h) - s.Rate(t - h)) / (2 * h);
      EXPECT_NEAR(0.0f, c[0] * acc + c[1] * v + c[2] * x, 2e-2f) << c[1] << " " << t;
    }
  }
}

TEST(Wheel, HangingWheelSettlesAtItsStaticDeflection) {
  Vehicle v(10.0f);  // far above the ground
  CWheel& w = v.wheels[0];
  const WheelParams p = w.GetParams();
  w.Attach(&v.body, 0.2f, -1.5f, p);  // flung out along its travel
  // Step after step the wheel follows the one closed-form motion of a free sprung mass from its
  // start, and pushes on the body with the spring's mean force over the step.
  const float xEq = p.mass * -9.8f / p.stiffness;
  CSecondOrderGeneralSolution free(p.mass, p.damping, p.stiffness);
  free.SetInitialConditions(0.2f - xEq, -1.5f);
  for (int i = 1; i <= 400; ++i) {
    w.UpdateSuspension(0.01f);
    if (i == 1) {
      const float mean = p.stiffness * ((free.Integral(0.01f) - free.Integral(0.0f)) / 0.01f + xEq) +
                         p.damping * (free.Position(0.01f) - free.Position(0.0f)) / 0.01f;
      EXPECT_NEAR(mean, w.GetSuspensionForce().z, 1e-3f * std::fabs(mean));
      EXPECT_TRUE(w.GetSuspensionForce().x == 0.0f && w.GetSuspensionForce().y == 0.0f);
    }
    w.ApplySweep(nullptr, nullptr);
    EXPECT_NEAR(free.Position(0.01f * float(i)) + xEq, w.GetExtension(), 1e-4f) << i;
    EXPECT_NEAR(free.Rate(0.01f * float(i)), w.GetExtensionRate(), 1e-3f) << i;
  }
  EXPECT_NEAR(1.0f * p.mass * -9.8f / p.stiffness, w.GetExtension(), 1e-5f);
  EXPECT_NEAR(0.0f, w.GetExtensionRate(), 1e-4f);
  EXPECT_FALSE(w.IsGripping());
}

TEST(Wheel, VehicleSettlesWhereTheSpringsCarryItsWeight) {
  Vehicle v(0.35f);
  for (int i = 0; i < 600; ++i) v.Step(0.01f);
  const RigidBodyState& s = v.body.GetState();
  const float compression = s.GetMass() * 9.8f / (4.0f * v.wheels[0].GetParams().stiffness);
  for (const CWheel& w : v.wheels) {
    EXPECT_TRUE(w.IsGripping());
    EXPECT_NEAR(compression, w.GetExtension(), 2e-3f);
    // The wheel's bounds, built round its frame, follow it to where the last sweep left it.
    const Vector3 centre = w.GetWorldCenter();
    EXPECT_TRUE(w.GetBounds().min == centre - Vector3(0.3f, 0.3f, 0.3f));
    EXPECT_TRUE(w.GetBounds().max == centre + Vector3(0.3f, 0.3f, 0.3f));
  }
  EXPECT_NEAR(0.3f + 0.01f - compression, s.position.z, 3e-3f);
  EXPECT_NEAR(0.0f, s.velocity.Length(), 1e-3f);
  EXPECT_NEAR(1.0f, s.rotation.m[2].z, 1e-5f);  // level
  // Driven, a wheel on the ground pushes the body along its forward direction, the unit vector across
  // its axle and the ground normal: +x here, on level ground as on ground sloping sideways.
  for (const Vector3& n : {Vector3(0, 0, 1), Vector3(0, 0.6f, 0.8f)}) {
    v.wheels[0].SetGroundContact(Vector3(1, 0.5f, 0), n, v.ground);
    v.body.GetState().ClearForces();
    v.wheels[0].ApplyForwardForce(50.0f);
    EXPECT_NEAR(0.0f, (s.force - Vector3(50, 0, 0)).Length(), 1e-3f) << n.y;
  }

  // A wheel takes a new bump when its step covers more than a draw in [0, 1] of a metre: standing
  // still it draws once a step and keeps its bump even on a draw of 0; covering 2 m it always redraws.
  unsigned seed = 0;
  do plat::srand(++seed);
  while (plat::rand() != 0);
  for (int draws : {1, 2}) {
    plat::srand(seed);
    for (int k = 0; k < draws; ++k) plat::rand();
    const int after = plat::rand();
    v.body.GetState().velocity = Vector3(draws == 1 ? 0.0f : 200.0f, 0, 0);
    plat::srand(seed);
    v.wheels[0].UpdateSuspension(0.01f);
    EXPECT_EQ(after, plat::rand()) << draws;
  }
  // Without a spring, a wheel on the ground has no equilibrium to divide out, and stays finite.
  WheelParams slack = v.wheels[1].GetParams();
  slack.stiffness = 0.0f;
  v.wheels[1].Attach(&v.body, -0.3f, 0.0f, slack);
  v.wheels[1].SetGroundContact(Vector3(1, -0.5f, 0), Vector3(0, 0, 1), v.ground);
  ASSERT_TRUE(v.wheels[1].IsOnGround());
  v.wheels[1].UpdateSuspension(0.01f);
  EXPECT_TRUE(std::isfinite(v.wheels[1].GetSuspensionForce().z));
}

TEST(Wheel, TyresGripSidewaysAndLockedWheelsNeverSpin) {
  Vehicle v(0.27f);
  for (int i = 0; i < 300; ++i) v.Step(0.01f);
  // Pushed sideways, the tyres take the side speed away.
  v.body.GetState().velocity = Vector3(0, 1.0f, 0);
  v.Step(0.01f);
  EXPECT_LT(v.body.GetState().velocity.y, 1.0f);
  for (int i = 0; i < 200; ++i) v.Step(0.01f);
  EXPECT_NEAR(0.0f, v.body.GetState().velocity.y, 0.05f);

  // Rolling forward, a free wheel turns with the ground; a locked one does not turn at all.
  v.wheels[0].SetLocked(true);
  const float angle = v.wheels[0].GetSpinAngle();
  v.body.GetState().velocity = Vector3(3.0f, 0, 0);
  CWheel& skid = v.wheels[0];  // lets go of its grip (static limit plus roughness), then slides
  for (float mu : {skid.GetForwardStaticFriction() + 3.0f * skid.GetRoughness(), skid.GetForwardKineticFriction()}) {
    v.body.GetState().ClearForces();
    skid.ComputeContactForces(0.01f);
    EXPECT_NEAR(0.0f, (v.body.GetState().force + Vector3(mu * skid.GetSuspensionForce().z, 0, 0)).Length(), 1.0f) << mu;
  }
  for (int i = 0; i < 20; ++i) {
    const float turned = v.wheels[1].GetSpinAngle();
    v.wheels[0].ApplyDriveTorque(500.0f, 0.01f);
    v.Step(0.01f);
    EXPECT_EQ(angle, v.wheels[0].GetSpinAngle());
    EXPECT_FLOAT_EQ(turned + 0.01f * v.wheels[1].GetSpin(), v.wheels[1].GetSpinAngle());
  }
  EXPECT_GT(std::fabs(v.wheels[1].GetSpin()), 1.0f);
  // A free wheel rolls at the body's speed over the reach from its centre down to the ground, so
  // the tyre does not slip where it meets the ground.
  const float rolling = v.body.GetState().velocity.x / (v.wheels[1].GetParams().radius + 0.01f);
  EXPECT_NEAR(rolling, v.wheels[1].GetSpin(), 0.02f * std::fabs(rolling));
  EXPECT_LT(v.wheels[1].GetSlipVelocity().Length(), 0.05f);
  v.wheels[0].SetLocked(false);
  v.wheels[0].ApplyDriveTorque(0.0f, 0.01f);
  CWheel& hanging = v.wheels[2];  // a used wheel moved to a new mount keeps no force or contact velocity
  hanging.Attach(&v.body, 0.0f, 0.0f, Params(Vector3(5, 0, 5)));
  hanging.SetLocked(true);
  hanging.ApplyDriveTorque(500.0f, 0.1f);
  EXPECT_TRUE(hanging.IsLocked() && !v.wheels[0].IsLocked() && hanging.GetSpin() == 0.0f);
  // What the wheel meets hears of the body and the tyre's surface.
  const CollisionInfo* tyre = hanging.GetCollisionInfo(nullptr);
  EXPECT_TRUE(tyre->object == &v.body && tyre->surface == &hanging.GetParams().forwardSurface);
  EXPECT_TRUE(hanging.GetSuspensionForce() == Vector3(0, 0, 0) && hanging.GetContactVelocity() == Vector3(0, 0, 0));
  // A restored suspension state leaves a locked wheel still, and spins a free one that drops its old force.
  hanging.SetSuspensionState(0.2f, -1.5f, 9.0f);
  EXPECT_EQ(0.2f, hanging.GetExtension());
  EXPECT_EQ(-1.5f, hanging.GetExtensionRate());
  EXPECT_EQ(0.0f, hanging.GetSpin());
  v.wheels[0].SetSuspensionState(0.2f, -1.5f, 9.0f);
  EXPECT_TRUE(v.wheels[0].GetSpin() == 9.0f && v.wheels[0].GetSuspensionForce() == Vector3(0, 0, 0));
}

TEST(Wheel, FrictionCurveRampsToItsSlidingValue) {
  const Vector3 none(0, 0, 0);
  // From a speed of 0.5 the tyre slides: the force grows with speed to the full kinetic force at 2.
  EXPECT_EQ(Vector3(0, 0, -12.5f), ComputeFrictionForce(100, Vector3(0, 0, 0.5f), none, 0.8f, 0.5f));
  EXPECT_EQ(Vector3(-25, 0, 0), ComputeFrictionForce(100, Vector3(1, 0, 0), none, 0.8f, 0.5f));
  EXPECT_EQ(Vector3(0, -50, 0), ComputeFrictionForce(100, Vector3(0, 4, 0), none, 0.8f, 0.5f));
  EXPECT_EQ(Vector3(-30, 0, 0), ComputeFrictionForce(100, none, Vector3(30, 0, 0), 0.8f, 0.5f));
  EXPECT_NEAR(80.0f, ComputeFrictionForce(100, none, Vector3(0, 300, 0), 0.8f, 0.5f).Length(), 1e-3f);
  EXPECT_EQ(none, ComputeFrictionForce(0, none, none, 0.8f, 0.5f));
  // A tyre is table entry 19 going forward and slides sideways at half as much again, unless its
  // definition text names another surface (ICE is entry 10) or scale.
  const struct {
    const char* text;
    uint32_t entry;
    float scale;
    int render;  // drawn unless the text says otherwise
  } tyres[] = {{"", 19, 1.5f, 1}, {"SurfaceType = ICE\nKineticFrictionSideScalar = 2\nrender = false", 10, 2.0f, 0}};
  for (const auto& t : tyres) {
    WheelParams tyre;
    tyre.Read(t.text);
    SurfaceType side = *SurfaceType::Get(t.entry);
    EXPECT_EQ(0, std::memcmp(&tyre.forwardSurface, &side, sizeof side)) << t.text;
    side.kineticFriction *= t.scale;
    EXPECT_EQ(0, std::memcmp(&tyre.sideSurface, &side, sizeof side)) << t.text;
    EXPECT_EQ(t.render, tyre.render) << t.text;
  }
}

TEST(Wheel, ATiltedWheelTouchesTheGroundUnderItsCentreGripsAlongItAndRollsWithoutSlip) {
  // One wheel of a body rolled about its forward axis x or pitched about its side axis y, either
  // way, over the ground z = 0; the body drifts forward or back and sideways, and turns slowly.
  const struct {
    float roll, pitch, forward;
  } tilts[] = {{0.5f, 0.0f, 0.3f}, {-0.5f, 0.0f, -0.3f}, {0.0f, 0.5f, -0.3f}, {0.0f, -0.5f, 0.3f}};
  const Vector3 n(0, 0, 1), mount(2, 1, 0.2f), turn(0.2f, -0.1f, 0.1f);
  const float reach = 0.3f + 0.01f, dt = 0.01f;
  for (const auto& c : tilts) {
    SCOPED_TRACE(testing::Message() << "roll " << c.roll << " pitch " << c.pitch);
    plat::srand(1);
    const Vector3 velocity(c.forward, 0.05f, 0);
    Vehicle v(0.35f);
    RigidBodyState& s = v.body.GetState();
    const float cr = std::cos(c.roll), sr = std::sin(c.roll), cp = std::cos(c.pitch), sp = std::sin(c.pitch);
    TMatrix axes;  // rows: the body's axes in the world, one of the two angles being 0
    axes.Set(cp, 0, -sp, 0, cr, sr, sp, -sr, cr * cp);
    const Vector3 centreOfMass = mount - axes.m[0] - axes.m[1] * 0.5f;  // the wheel mounts at (1, 0.5, 0)
    v.body.SetModel(v.model.get(), COrientation(axes, centreOfMass), velocity, turn);
    CWheel& w = v.wheels[0];
    w.Attach(&v.body, 0.0f, 0.0f, Params(Vector3(1, 0.5f, 0)));
    // By hand: the centre slides down the tilted axis until the tyre's reach meets the ground, and
    // the tyre touches it straight below that, not below the mount.
    const Vector3 axis = axes.m[2];
    const Vector3 centre = mount + axis * ((reach - mount.z) / axis.z);
    const Vector3 ground(centre.x, centre.y, 0);
    w.SetGroundContact(Vector3(mount.x, mount.y, 0), n, v.ground);
    ASSERT_TRUE(w.IsOnGround());
    w.ApplySweep(nullptr, nullptr);
    EXPECT_NEAR(0.0f, (w.GetWorldCenter() - centre).Length(), 1e-5f);
    w.UpdateSuspension(dt);
    const float load = w.GetSuspensionForce().z;
    ASSERT_GT(load, 0.0f);
    // The tyre's velocity over the ground is the body's where it touches; slow enough to take grip.
    Vector3 skid = velocity + turn.Cross(ground - centreOfMass);
    skid.z = 0.0f;
    w.ComputeContactForces(dt);
    EXPECT_NEAR(0.0f, (w.GetContactVelocity() - skid).Length(), 1e-5f);
    ASSERT_TRUE(w.IsGripping());
    // Gripping, the tyre stops the side skid within the step and only rolling resistance holds it
    // back: forward stays +x and sideways +y however the body leans, and the force acts at the centre.
    s.ClearForces();
    w.ComputeContactForces(dt);
    ASSERT_TRUE(w.IsGripping());
    const Vector3 grip(-w.GetRoughness() * skid.x * load, -w.GetSupportedMass() * skid.y / dt, 0);
    EXPECT_NEAR(0.0f, (s.force - grip).Length(), 1e-3f * grip.Length());
    EXPECT_NEAR(0.0f, (s.torque - (centre - centreOfMass).Cross(grip)).Length(), 2e-3f * grip.Length());
    // Rolling freely, the tyre turns forward at the speed over its arm from the axle down to the
    // ground, which a rolled axle shortens, so that where it meets the ground it does not slide on.
    const float arm = reach * cr;
    EXPECT_NEAR(skid.x / arm, w.GetSpin(), 1e-4f);
    EXPECT_NEAR(0.0f, (w.GetSlipVelocity() - Vector3(0, skid.y, 0)).Length(), 1e-5f);
  }
}

TEST(Wheel, TheSuspensionAxisRunsAlongTheSlantOfTheWheelsAttachFrame) {
  const struct {
    float aboutX, aboutY;
    Vector3 top;  // the suspension point in the wheel part's own frame
  } cases[] = {{0.0f, 0.0f, Vector3(0, 0, 0.3f)},
               {0.35f, 0.0f, Vector3(0, 0, 0.3f)},
               {0.0f, -0.6f, Vector3(0, 0, 0.4f)},
               {0.3f, 0.5f, Vector3(0.1f, -0.05f, 0.25f)}};
  for (const auto& c : cases) {
    std::unique_ptr<ShadedMesh> body = DemoContent::BuildBox(1.0f, 0.5f, 0.3f);
    std::unique_ptr<ShadedMesh> tyre = DemoContent::BuildBox(0.3f, 0.1f, 0.3f);
    tyre->SetName("wheel=1");
    COrientation top;
    top.SetPosition(c.top);
    const WheelParams stored;
    tyre->AddAttachPoint(top, kAttachWheelParams, WheelParams::kStoredBytes, &stored, false);
    COrientation frame;
    frame.RotateX(c.aboutX);
    frame.RotateY(c.aboutY);
    frame.SetPosition(Vector3(0.9f, 0.8f, -0.1f));
    const int hang = body->AddAttachPoint(frame, kAttachNamedPoint, 6, "wheel", false);
    const ShadedMesh* wheel = tyre.get();
    ASSERT_TRUE(body->AddChildMesh(std::move(tyre), static_cast<uint32_t>(hang)));
    WheelParams p;
    ASSERT_TRUE(p.BindMeshNodes(body.get(), wheel));
    // The point's coordinates taken along the frame's own axes give the slanted travel.
    const Vector3 travel = frame.GetXAxis() * c.top.x + frame.GetYAxis() * c.top.y + frame.GetZAxis() * c.top.z;
    EXPECT_EQ(p.mountPoint, frame.position);
    EXPECT_NEAR(p.suspensionLength, c.top.Length(), 1e-5f);
    EXPECT_NEAR((p.suspensionAxis - travel * (1.0f / c.top.Length())).Length(), 0.0f, 1e-5f) << c.aboutX << c.aboutY;
  }
}
