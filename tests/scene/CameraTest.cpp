// Cameras against small stand-ins for the skater and vehicle they follow.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/world/GameObject.h"
#include "core/input/InputMan.h"
#include "core/spatial/BoundedObject.h"
#include "core/spatial/Octree.h"
#include "platform/system/Platform.h"
#include "platform/system/Win32.h"
#include "scene/camera/CameraSubject.h"
#include "scene/camera/ChaseCam.h"
#include "scene/camera/EditCam.h"
#include "scene/camera/InsideCarCam.h"
#include "scene/camera/ObserverCam.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/camera/SkateCam.h"
#include "scene/camera/VehicleCamPoints.h"

namespace {

constexpr float kPi = 3.14159265f;

// A followed object: a frame, an optional mesh and the skater/creature answers the cameras ask for.
class Subject : public CGameObject, public CCameraSubject {
 public:
  uint32_t GetCameraSubjectKind() const override { return kind; }
  const COrientation& GetCameraSubjectFrame() override { return frame; }
  const ShadedMesh* GetCameraSubjectMesh() const override { return mesh; }
  bool IsDoingTrick() const override { return trick; }
  Vector3 GetCameraSubjectVelocity() const override { return velocity; }
  float GetCollisionRadius() const override { return 0.5f; }
  void SetCameraAlpha(float a) override { alpha = a; }
  bool WantsCameraObstacleSweep() const override { return true; }

  uint32_t kind = kOther;
  COrientation frame;
  ShadedMesh* mesh = nullptr;
  bool trick = false;
  Vector3 velocity;
  float alpha = -1.0f;
};

class Wall : public CBoundedObject {
 public:
  explicit Wall(const Box& box) {
    SetBounds(box);
    SetBoundFlags(0x100000);
  }
};

// Keys held for the length of a scope.
class HeldKeys {
 public:
  explicit HeldKeys(std::vector<int> keys) : keys_(std::move(keys)) {
    for (int k : keys_) plat::SetKeyState(k, true);
  }
  ~HeldKeys() {
    for (int k : keys_) plat::SetKeyState(k, false);
  }

 private:
  std::vector<int> keys_;
};

InputEvent Event(uint32_t code) {
  InputEvent e;
  e.code = code;
  return e;
}

bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

TEST(Camera, EmptyFieldOfViewRangeGivesAFiniteZoomFraction) {
  CObserverCam cam;
  cam.SetFovRange(1.0f, 1.0f);
  EXPECT_FLOAT_EQ(cam.GetZoomFraction(), 1.0f);
}

TEST(ObserverCam, ThrustDampingAndModes) {
  CInputMan input;
  CObserverCam cam;
  const float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 6, 7};
  cam.SetPlacement(frame, 0, 1.0f);
  {
    // Shift wins over Ctrl: 100 per second along X for 0.1 s.
    HeldKeys keys({VK_SHIFT, VK_CONTROL, 'F'});
    cam.UpdateCamera(nullptr, 0.1f, &input, 0, 0, nullptr);
  }
  // Damping 1 keeps drifting once the keys are up: 1 in the thrust's step, 1 more in this one.
  cam.UpdateCamera(nullptr, 0.1f, &input, 0, 0, nullptr);
  EXPECT_NEAR(cam.GetFrame().GetPosition().x, 7.0f, 1e-4f);
  {
    HeldKeys keys({VK_CONTROL, 'W'});  // Ctrl alone: 3 per second, up the Z axis
    cam.SetPlacement(frame, 0, 1.0f);
    cam.UpdateCamera(nullptr, 1.0f, &input, 0, 0, nullptr);
    EXPECT_NEAR(cam.GetVelocity().z, 3.0f, 1e-4f);
  }
  {
    HeldKeys keys({'D'});  // plain: 30 per second, to the right (-Y)
    cam.SetPlacement(frame, 0, 0.0f);
    cam.UpdateCamera(nullptr, 0.5f, &input, 0, 0, nullptr);
    // Damping 0 stops it at once.
    EXPECT_EQ(cam.GetVelocity(), Vector3());
    EXPECT_EQ(cam.GetFrame().GetPosition(), Vector3(5, 6, 7));
  }

  // Modes step 0..3 and round; mode 2 rides at the offset taken while following.
  Subject target;
  target.frame.SetPosition(Vector3(10, 0, 0));
  cam.SetPlacement(frame, 1, 0.0f);
  cam.UpdateCamera(&target.frame, 0.1f, nullptr, 0, 0, &target);
  EXPECT_NEAR(cam.GetFrame().GetXAxis().Dot(Vector3(5, -6, -7) * (1.0f / std::sqrt(110.0f))), 1.0f, 1e-5f);
  cam.HandleInputEvent(Event(18));
  target.frame.SetPosition(Vector3(20, 1, 2));
  cam.UpdateCamera(&target.frame, 0.1f, nullptr, 0, 0, &target);
  EXPECT_EQ(cam.GetFrame().GetPosition(), Vector3(15, 7, 9));
  // Mode 3 zooms so that the subject's mesh fills the same extent: here 3 at an estimated 9.75 away.
  cam.HandleInputEvent(Event(18));
  ShadedMesh mesh;
  mesh.centroidRadius = 3.0f;
  target.mesh = &mesh;
  cam.UpdateCamera(&target.frame, 0.1f, nullptr, 0, 0, &target);
  EXPECT_NEAR(cam.GetView().GetFieldOfView(), 2.0f * std::atan(3.0f / 9.75f), 1e-6f);
  cam.HandleInputEvent(Event(18));
  EXPECT_EQ(cam.GetMode(), 0u);
}

TEST(SpringSolution, MatchesANumericalIntegration) {
  // x'' + b x' + c x = 0 for the three kinds of roots, against small-step RK4.
  const float cases[3][2] = {{100.0f, 500.0f}, {4.0f, 4.0f}, {1.0f, 20.0f}};
  for (const auto& bc : cases) {
    CSecondOrderGeneralSolution s(1.0f, bc[0], bc[1]);
    s.SetInitialConditions(2.0f, -3.0f);
    double x = 2.0, v = -3.0;
    const double h = 1e-5;
    for (int i = 1; i <= 50000; ++i) {
      auto acc = [&](double px, double pv) { return -bc[0] * pv - bc[1] * px; };
      const double k1x = v, k1v = acc(x, v);
      const double k2x = v + 0.5 * h * k1v, k2v = acc(x + 0.5 * h * k1x, v + 0.5 * h * k1v);
      const double k3x = v + 0.5 * h * k2v, k3v = acc(x + 0.5 * h * k2x, v + 0.5 * h * k2v);
      const double k4x = v + h * k3v, k4v = acc(x + h * k3x, v + h * k3v);
      x += h / 6 * (k1x + 2 * k2x + 2 * k3x + k4x);
      v += h / 6 * (k1v + 2 * k2v + 2 * k3v + k4v);
      if (i % 5000 == 0) {
        EXPECT_NEAR(s.Position(static_cast<float>(i * h)), x, 1e-4) << "b " << bc[0] << " t " << i * h;
        EXPECT_NEAR(s.Rate(static_cast<float>(i * h)), v, 1e-3) << "b " << bc[0] << " t " << i * h;
      }
    }
  }
}

TEST(ChaseCam, SpringSettlesWithoutOvershootAndSurvivesPausedTicks) {
  CChaseCam cam;
  COrientation target;
  cam.Reset(target.GetPosition());
  const Vector3 desired(-6.0f, 0.0f, 1.5f);  // behind and above a target heading along X
  Vector3 startOffset = cam.GetFrame().GetPosition() - desired;
  float lastDistance = startOffset.Length();
  startOffset.Normalize();
  for (int tick = 0; tick < 120; ++tick) {
    // Every tenth tick is paused.
    const float dt = tick % 10 == 5 ? 0.0f : 1.0f / 30.0f;
    cam.UpdateCamera(&target, dt, nullptr, 0, 0, nullptr);
    const Vector3 p = cam.GetFrame().GetPosition();
    ASSERT_TRUE(Finite(p) && Finite(cam.GetCameraVelocity())) << "tick " << tick;
    const float distance = (p - desired).Length();
    EXPECT_LE(distance, lastDistance + 1e-5f) << "tick " << tick;
    EXPECT_GE((p - desired).Dot(startOffset), -1e-4f) << "overshoot at tick " << tick;
    lastDistance = distance;
  }
  EXPECT_LT(lastDistance, 0.01f);
  // Looking at the look point ahead of the target.
  Vector3 toLook = Vector3(2, 0, 1) - cam.GetFrame().GetPosition();
  toLook.Normalize();
  EXPECT_NEAR(cam.GetFrame().GetXAxis().Dot(toLook), 1.0f, 1e-4f);

  // A target driving along Y: the camera ends behind it along the new heading, within the limit.
  COrientation driving;
  driving.RotateZ(-kPi / 2);  // X axis now +Y (RotateZ turns clockwise seen from the tip)
  for (int tick = 0; tick < 300; ++tick) {
    driving.SetPosition(Vector3(0.0f, tick * 0.2f, 0.0f));
    cam.UpdateCamera(&driving, 1.0f / 30.0f, nullptr, 0, 0, nullptr);
  }
  const Vector3 rel = cam.GetFrame().GetPosition() - driving.GetPosition();
  EXPECT_LT(rel.y, -3.0f);
  EXPECT_LT(std::fabs(rel.x), 0.5f);
  EXPECT_LE((cam.GetFrame().GetPosition() - (driving.GetPosition() + Vector3(0, 2, 1))).Length(),
            (Vector3(-6, 0, 1.5f) - Vector3(2, 0, 1)).Length() * 2.0f + 1e-3f);
  cam.Reset(driving.GetPosition());  // a reset camera starts at rest on its target
  EXPECT_TRUE(cam.GetCameraVelocity() == Vector3() && cam.GetFrame().GetPosition() == driving.GetPosition());
}

TEST(ChaseCam, ClickReturnsTheOrbitALongDragStays) {
  CChaseCam cam;
  cam.Reset(Vector3());
  const float full = cam.GetView().GetFieldOfView();
  for (int i = 0; i < 3; ++i) cam.Orbit(true, false, 5.0f, -10.0f, 0.05f);
  const float yaw = cam.GetYaw();
  EXPECT_NEAR(yaw, -0.75f, 1e-5f);
  EXPECT_NEAR(cam.GetPitch(), -1.5f, 1e-5f);
  float last = std::fabs(yaw);
  for (int i = 0; i < 200; ++i) {
    cam.Orbit(false, false, 0, 0, 0.05f);
    EXPECT_LE(std::fabs(cam.GetYaw()), last);
    EXPECT_LE(cam.GetYaw(), 0.0f);  // never crosses zero
    last = std::fabs(cam.GetYaw());
  }
  EXPECT_LT(std::fabs(cam.GetYaw()), 0.002f);
  EXPECT_LT(std::fabs(cam.GetPitch()), 0.002f);

  // Five ticks or more: stays, clamped to the angle limit; the third button zooms, not below 0.2.
  for (int i = 0; i < 40; ++i) cam.Orbit(true, true, 40.0f, 0.0f, 0.05f);
  for (int i = 0; i < 20; ++i) cam.Orbit(false, false, 0, 0, 0.05f);
  EXPECT_FLOAT_EQ(cam.GetYaw(), -kPi / 2);
  EXPECT_FLOAT_EQ(cam.GetView().GetFieldOfView(), 0.2f * full);
  // A click brings the zoom back with the view, at two a second.
  cam.Orbit(true, false, 0, 0, 0.05f);
  for (int i = 0; i < 9; ++i) cam.Orbit(false, false, 0, 0, 0.05f);
  EXPECT_FLOAT_EQ(cam.GetView().GetFieldOfView(), full);
}

TEST(EditCam, OrbitKeepsTheDistancePanFollowsTheCursorDollyApproaches) {
  CEditCam cam;
  cam.GetFrame().SetPosition(Vector3(-10, 0, 0));
  cam.SetFocus(Vector3());
  // Pan, a drag 80 to the right with the third button, at the starting field of view (pi/2): half
  // width at the focus is r tan(pi/4) = r.
  CInputMan input;
  plat::SetCursorScreenPos(100, 100);
  cam.UpdateCamera(nullptr, 0.1f, &input, 0, 0, nullptr);  // no button: the drag's anchor
  plat::SetCursorScreenPos(180, 100);
  input.SetButtonDown(2, true);
  cam.UpdateCamera(nullptr, 0.1f, &input, 0, 0, nullptr);
  const float k = 2.0f * 10.0f * 1.0f / 800.0f;
  EXPECT_NEAR(cam.GetFocus().y, 80.0f * k, 1e-4f);
  EXPECT_NEAR(cam.GetFrame().GetPosition().y, 80.0f * k, 1e-4f);
  EXPECT_NEAR((cam.GetFrame().GetPosition() - cam.GetFocus()).Length(), 10.0f, 1e-4f);

  for (int i = 0; i < 20; ++i) {
    cam.MoveByDrag(nullptr, CEditCam::kOrbit, 30.0f, 0.0f);
    EXPECT_NEAR((cam.GetFrame().GetPosition() - cam.GetFocus()).Length(), 10.0f, 1e-3f);
  }
  Vector3 toFocus = cam.GetFocus() - cam.GetFrame().GetPosition();
  toFocus.Normalize();
  EXPECT_NEAR(cam.GetFrame().GetXAxis().Dot(toFocus), 1.0f, 1e-5f);
  cam.MoveByDrag(nullptr, CEditCam::kDolly, 0.0f, -40.0f);  // 0.2 of the distance closer
  EXPECT_NEAR((cam.GetFrame().GetPosition() - cam.GetFocus()).Length(), 8.0f, 1e-3f);
}

TEST(InsideCarCam, ZoomStaysInRangeAndTheVehicleCameraPointPlacesIt) {
  CInsideCarCam cam;
  cam.HandleInputEvent(Event(18));
  cam.HandleInputEvent(Event(15));
  cam.UpdateCamera(nullptr, 0.125f, nullptr, 0, 0, nullptr);
  EXPECT_FLOAT_EQ(cam.GetZoom(), 0.5f);  // in at 2 a second, and the zoom-in key adds 2 more
  cam.HandleInputEvent(Event(18));
  cam.UpdateCamera(nullptr, 5.0f, nullptr, 0, 0, nullptr);  // back out, stopping at 0
  EXPECT_FLOAT_EQ(cam.GetZoom(), 0.0f);
  cam.SetFollowFactor(3.0f);
  EXPECT_FLOAT_EQ(cam.GetZoom(), 1.0f);
  cam.SetFollowFactor(0.0f);

  ShadedMesh mesh;
  COrientation seat;
  seat.SetPosition(Vector3(0.5f, 0.3f, 1.2f));
  const uint32_t chase = 1;  // the chase camera's point: its kind word is all it needs
  mesh.AddAttachPoint(COrientation(), kAttachCameraFrame, 4, &chase, false);
  const uint32_t shortPoint = 0;  // too short for a second word: ignored safely
  mesh.AddAttachPoint(COrientation(), kAttachCameraFrame, 2, &shortPoint, false);
  struct {
    uint32_t kind;
    float fov;
  } inside = {0, 1.0f};
  mesh.AddAttachPoint(seat, kAttachCameraFrame, 8, &inside, false);
  Subject car;
  car.kind = CCameraSubject::kCreature;
  car.mesh = &mesh;
  car.frame.SetPosition(Vector3(100, 0, 0));
  cam.UpdateCamera(&car.frame, 0.1f, nullptr, 0, 0, &car);
  EXPECT_EQ(cam.GetFrame().GetPosition(), Vector3(100.5f, 0.3f, 1.2f));
  EXPECT_FLOAT_EQ(cam.GetView().GetFieldOfView(), 1.0f);
  float word = -1.0f;
  EXPECT_TRUE(FindVehicleCamPoint(&mesh, 1, nullptr, &word));
  EXPECT_EQ(word, 0.0f);  // a second word it does not have reads as 0
  // The chase view of the same vehicle stands at its chase point and looks at its look point.
  mesh.AddAttachPoint(seat, kAttachChaseLook, 0, nullptr, false);
  car.kind = CCameraSubject::kOther;
  CChaseCam behind;
  behind.UpdateCamera(&car.frame, 0.1f, nullptr, 0, 0, &car);
  EXPECT_TRUE(behind.GetCameraOffset() == Vector3() && behind.GetLookOffset() == seat.GetPosition());
}

TEST(SweptCameras, SkateCamFollowsFromBehindAndWallsPullBothCamerasIn) {
  COctree tree(Box(Vector3(-64, -64, -64), Vector3(64, 64, 64)));
  CSkateCam cam;
  cam.SetSweepTree(&tree);
  cam.SetParams(0, 0, 0, -4, 0, 2, 2, 0, 1);
  Subject skater;
  skater.kind = CCameraSubject::kSkater;
  // Not a skater: nothing happens.
  Subject other;
  cam.UpdateCamera(nullptr, 0.1f, nullptr, 0, 0, &other);
  EXPECT_EQ(cam.GetFrame().GetPosition(), Vector3());
  // A long enough time step takes the smoothed rotation all the way (identity here).
  cam.UpdateCamera(nullptr, 1.0f, nullptr, 0, 0, &skater);
  EXPECT_NEAR((cam.GetFrame().GetPosition() - Vector3(-4, 0, 2)).Length(), 0.0f, 1e-5f);
  EXPECT_FLOAT_EQ(skater.alpha, 1.0f);
  Vector3 toLook = Vector3(2, 0, 1) - Vector3(-4, 0, 2);
  toLook.Normalize();
  EXPECT_NEAR(cam.GetFrame().GetXAxis().Dot(toLook), 1.0f, 1e-5f);
  // During a trick the view along the skater's travel, (0, 6, -1), tips 72 degrees further down, over it.
  skater.trick = true;
  skater.velocity = Vector3(0, 5, 0);
  cam.UpdateCamera(nullptr, 1.0f, nullptr, 0, 0, &skater);
  const float c = std::cos(0.4f * kPi), s = std::sin(0.4f * kPi);
  EXPECT_NEAR((cam.GetFrame().GetXAxis() - Vector3(0, 6 * c - s, -6 * s - c) * (1.0f / std::sqrt(37.0f))).Length(), 0, 1e-5f);
  skater.trick = false;

  // A wall just behind the skater: the camera's sphere (1.1 x the near distance, 0.33), swept from a
  // unit above the skater, stops at the wall and the skater fades out.
  Wall wall(Box(Vector3(-1.0f, -5, -5), Vector3(-0.8f, 5, 5)));
  tree.InsertObject(&wall);
  cam.UpdateCamera(nullptr, 1.0f, nullptr, 0, 0, &skater);
  EXPECT_NEAR((cam.GetFrame().GetPosition() - Vector3(-0.47f, 0, 1.1175f)).Length(), 0.0f, 1e-5f);
  EXPECT_FLOAT_EQ(skater.alpha, 0.0f);

  // A creature's chase view, left out at x = -4, sweeps the camera's own tree from the creature and
  // stops its near distance (0.3) short of the same wall.
  ShadedMesh eyes;
  eyes.AddAttachPoint(COrientation(), 103, 0, nullptr, false);  // the creature view's type in mesh files
  skater.kind = CCameraSubject::kCreature;
  skater.mesh = &eyes;
  CChaseCam chase;
  chase.SetSweepTree(&tree);
  chase.GetFrame().SetPosition(Vector3(-4, 0, 0));
  chase.UpdateCamera(nullptr, 0.1f, nullptr, 0, 0, &skater);
  EXPECT_NEAR((chase.GetFrame().GetPosition() - Vector3(-0.5f, 0, 0)).Length(), 0.0f, 1e-5f);
  tree.RemoveObject(&wall);
}
