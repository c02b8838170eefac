// Tests of COrientation: frame round trips, rotation senses, look-at cases and matrix forms.
#include "core/math/Orientation.h"

#include "core/math/Quaternion.h"
#include "platform/Platform.h"

#include <Eigen/Dense>
#include "tests/support/MathReference.h"
#include <gtest/gtest.h>

#include "tests/support/TempFolder.h"

#include <cmath>
#include <random>
#include <string>

using namespace testing_support;

namespace {

const float kPi = 3.14159265358979f;

void ExpectNear(const Vector3& a, const Vector3& b, float tol) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

void ExpectFrameNear(const COrientation& a, const COrientation& b, float tol) {
  for (int i = 0; i < 3; ++i) ExpectNear(a.axes[i], b.axes[i], tol);
  ExpectNear(a.position, b.position, tol * 100.0f);
}

using testing_support::DebugCapture;

TEST(OrientationTest, PointAndFrameRoundTrips) {
  std::mt19937 rng(10);
  for (int n = 0; n < 500; ++n) {
    const COrientation f = RandomFrame(rng), g = RandomFrame(rng);
    const Vector3 p = RandomPoint(rng);
    ExpectNear(f.WorldToLocalPoint(f.LocalToWorldPoint(p)), p, 1e-3f);
    ExpectNear(f.LocalToWorldPoint(f.WorldToLocalPoint(p)), p, 1e-3f);
    ExpectNear(f.WorldToLocalVector(f.LocalToWorldVector(p)), p, 1e-3f);
    // Composition: a point in g's space through (f o g) equals through g then f.
    const COrientation fg = f.LocalToWorldOrientation(g);
    ExpectNear(fg.LocalToWorldPoint(p), f.LocalToWorldPoint(g.LocalToWorldPoint(p)), 1e-3f);
    COrientation free;
    ComposeOrientations(f, g, free);
    ExpectFrameNear(free, fg, 0.0f);
    ExpectFrameNear(f.WorldToLocalOrientation(fg), g, 1e-5f);
    EXPECT_TRUE(fg.IsOrthonormal(1e-4f));
    EXPECT_TRUE(fg.IsRightHanded(1e-4f));
    EXPECT_FALSE(fg.IsMirrored());
  }
  const COrientation id;
  EXPECT_TRUE(id.IsIdentity());
  COrientation moved;
  moved.position.x = 1e-30f;
  EXPECT_FALSE(moved.IsIdentity());
}

TEST(OrientationTest, OwnAxisTurnsAreClockwiseSeenFromTheTip) {
  COrientation f;
  f.RotateZ(kPi / 2);
  ExpectNear(f.GetXAxis(), Vector3(0, -1, 0), 1e-6f);
  ExpectNear(f.GetYAxis(), Vector3(1, 0, 0), 1e-6f);
  EXPECT_EQ(f.GetZAxis(), Vector3(0, 0, 1));

  // Each own-axis turn equals a world-axis turn by the opposite angle about that axis.
  std::mt19937 rng(12);
  for (int n = 0; n < 200; ++n) {
    const COrientation base = RandomFrame(rng);
    const float a = 0.01f * float(n) - 1.0f;
    for (int axis = 0; axis < 3; ++axis) {
      COrientation own = base, world = base;
      if (axis == 0) own.RotateX(a);
      if (axis == 1) own.RotateY(a);
      if (axis == 2) own.RotateZ(a);
      world.RotateAboutWorldAxis(base.axes[axis], -a);
      ExpectFrameNear(own, world, 1e-5f);
    }
  }
}

TEST(OrientationTest, WorldAndFrameAxisTurnsAgree) {
  std::mt19937 rng(13);
  std::uniform_real_distribution<float> d(-1.0f, 1.0f);
  for (int n = 0; n < 300; ++n) {
    const COrientation base = RandomFrame(rng);
    Vector3 local(d(rng), d(rng), d(rng));
    if (!local.Normalize()) continue;
    const float a = 3.0f * d(rng);
    COrientation byFrame = base, byWorld = base;
    byFrame.RotateAboutFrameAxis(local, a);
    byWorld.RotateAboutWorldAxis(base.LocalToWorldVector(local), a);
    ExpectFrameNear(byFrame, byWorld, 1e-5f);
    // The turn axis itself does not move.
    ExpectNear(byWorld.LocalToWorldVector(local), base.LocalToWorldVector(local), 1e-5f);
    EXPECT_EQ(byWorld.position, base.position);
  }
}

TEST(OrientationTest, LookAtRebuildKeepsZUpAndHandlesVerticalTargets) {
  std::mt19937 rng(14);
  COrientation f = RandomFrame(rng);
  f.LookAt(f.position + Vector3(0, 5, 0), true);
  ExpectNear(f.GetXAxis(), Vector3(0, 1, 0), 1e-6f);
  ExpectNear(f.GetYAxis(), Vector3(-1, 0, 0), 1e-6f);
  ExpectNear(f.GetZAxis(), Vector3(0, 0, 1), 1e-6f);

  // Straight down (the overview camera): a full frame, not zero Y and Z rows.
  for (int n = 0; n < 50; ++n) {
    COrientation v = RandomFrame(rng);
    const Vector3 before = v.position;
    v.LookAt(v.position + Vector3(0, 0, (n & 1) ? 10.0f : -10.0f), true);
    EXPECT_EQ(v.position, before);
    EXPECT_TRUE(v.IsOrthonormal(1e-4f)) << n;
    EXPECT_TRUE(v.IsRightHanded(1e-4f)) << n;
    ExpectNear(v.GetXAxis(), Vector3(0, 0, (n & 1) ? 1.0f : -1.0f), 1e-6f);
  }
  // Target at the position: nothing changes.
  COrientation same = RandomFrame(rng);
  const COrientation copy = same;
  same.LookAt(same.position, true);
  same.LookAt(same.position, false);
  ExpectFrameNear(same, copy, 0.0f);
}

TEST(OrientationTest, LookAtTurnCarriesXOntoTheTarget) {
  std::mt19937 rng(15);
  for (int n = 0; n < 500; ++n) {
    COrientation f = RandomFrame(rng);
    const Vector3 target = RandomPoint(rng);
    f.LookAt(target, false);
    Vector3 d = target - f.position;
    d.Normalize();
    ExpectNear(f.GetXAxis(), d, 1e-4f);
    EXPECT_TRUE(f.IsOrthonormal(1e-4f));
  }
  // Straight ahead: unchanged. The dot product rounds to just above 1 for some
  // directions; it must not turn into NaN.
  COrientation g;
  g.LookAt(Vector3(7, 0, 0), false);
  EXPECT_TRUE(g.IsIdentity());
  COrientation h;
  h.axes[0].Set(1.0000001f, 0, 0);
  h.LookAt(Vector3(3, 0, 0), false);
  EXPECT_FALSE(std::isnan(h.axes[0].x) || std::isnan(h.axes[1].y) || std::isnan(h.axes[2].z));
  // Straight behind: a half turn that keeps the frame valid (yaw about Z).
  COrientation back;
  back.LookAt(Vector3(-4, 0, 0), false);
  ExpectNear(back.GetXAxis(), Vector3(-1, 0, 0), 1e-6f);
  ExpectNear(back.GetZAxis(), Vector3(0, 0, 1), 1e-6f);
  EXPECT_TRUE(back.IsOrthonormal(1e-5f));
}

TEST(OrientationTest, LookAtWithUpBuildsFrameWithoutTouchingCallersUp) {
  COrientation f;
  f.position.Set(1, 2, 3);
  const Vector3 upIn(0, 0, 1);
  Vector3 up = upIn;
  f.LookAtWithUp(Vector3(1, 12, 3), up);
  EXPECT_EQ(up, upIn);
  ExpectNear(f.GetXAxis(), Vector3(0, 1, 0), 1e-6f);
  ExpectNear(f.GetZAxis(), Vector3(0, 0, 1), 1e-6f);

  // Looking along up: the up is nudged by (0, 0.001, 0) internally only.
  COrientation g;
  g.LookAtWithUp(Vector3(0, 0, 5), up);
  EXPECT_EQ(up, upIn);
  Vector3 nudged(0, 0.001f, 1);
  Vector3 y = nudged.Cross(Vector3(0, 0, 1));
  y.Normalize();
  ExpectNear(g.GetYAxis(), y, 1e-6f);
  EXPECT_TRUE(g.IsOrthonormal(1e-5f));
  // Opposite to up, or a scaled up: still a valid frame.
  for (const Vector3& u : {Vector3(0, 0, -1), Vector3(0, 0, 3), Vector3(0, 0, 0)}) {
    COrientation h;
    h.LookAtWithUp(Vector3(0, 0, 5), u);
    EXPECT_TRUE(h.IsOrthonormal(1e-5f));
    ExpectNear(h.GetXAxis(), Vector3(0, 0, 1), 1e-6f);
  }
}

TEST(OrientationTest, OrthonormalizeAndClassification) {
  std::mt19937 rng(16);
  std::uniform_real_distribution<float> noise(-0.05f, 0.05f);
  for (int n = 0; n < 300; ++n) {
    COrientation f = RandomFrame(rng);
    const COrientation clean = f;
    for (int i = 0; i < 3; ++i) f.axes[i] += Vector3(noise(rng), noise(rng), noise(rng));
    Vector3 noisyX = f.GetXAxis();
    noisyX.Normalize();
    f.Orthonormalize();
    EXPECT_TRUE(f.IsOrthonormal(1e-5f));
    EXPECT_TRUE(f.IsRightHanded(1e-5f));
    ExpectNear(f.GetXAxis(), noisyX, 1e-6f);                // X keeps its direction
    EXPECT_GT(f.GetZAxis().Dot(clean.GetZAxis()), 0.9f);  // Z keeps its side
  }
  DebugCapture capture;
  COrientation bad;
  bad.position.Set(4, 5, 6);
  bad.axes[2] = bad.axes[0] * 2.0f;
  bad.Orthonormalize();
  EXPECT_EQ(capture.Text(), "COrientation: Error in Orthonormalization! - resetting to identity!\n");
  EXPECT_EQ(bad.axes, TMatrix());
  EXPECT_EQ(bad.position, Vector3(4, 5, 6));

  COrientation s;
  EXPECT_EQ(s.ClassifyScale(0.01f), 0);
  for (int i = 0; i < 3; ++i) s.axes[i] *= 2.0f;
  EXPECT_EQ(s.ClassifyScale(0.01f), 1);
  s.NormalizeAxes();
  EXPECT_EQ(s.ClassifyScale(0.01f), 0);
  s.axes[1] *= 2.0f;
  EXPECT_EQ(s.ClassifyScale(0.01f), 2);
  EXPECT_FALSE(s.IsOrthonormal(0.01f));
  EXPECT_FALSE(s.IsMirrored());
  s.axes[1] *= -1.0f;
  EXPECT_TRUE(s.IsMirrored());
  COrientation m;
  EXPECT_TRUE(m.IsRightHanded(1e-6f));
  m.axes[2] *= -1.0f;
  EXPECT_TRUE(m.IsMirrored());
  EXPECT_FALSE(m.IsRightHanded(0.01f));
}

TEST(OrientationTest, MatrixFormsInvertAndMapToCameraSpace) {
  std::mt19937 rng(17);
  for (int n = 0; n < 300; ++n) {
    const COrientation f = RandomFrame(rng);
    const Matrix4 world = f.ToMatrix4(), view = f.ToViewMatrix();
    EXPECT_TRUE(ToEigen(view).isApprox(ToEigen(world).inverse(), 1e-4f)) << n;
    const Vector3 p = RandomPoint(rng);
    Vector4 out;
    TransformPoint4(out, world, p);
    ExpectNear(out.XYZ(), f.LocalToWorldPoint(p), 1e-3f);
    EXPECT_EQ(out.w, 1.0f);
    TransformPoint4(out, view, p);
    ExpectNear(out.XYZ(), f.WorldToLocalPoint(p), 1e-3f);
    TransformPoint4(out, f.ToCameraMatrix(), p);
    const Vector3 local = f.WorldToLocalPoint(p);
    ExpectNear(out.XYZ(), Vector3(-local.y, local.z, local.x), 1e-3f);
    COrientation back;
    back.SetFromMatrix4(world);
    ExpectFrameNear(back, f, 0.0f);
  }
}

TEST(OrientationTest, InterpolateHitsEndsAndBlendsPosition) {
  std::mt19937 rng(18);
  for (int n = 0; n < 200; ++n) {
    const COrientation a = RandomFrame(rng), b = RandomFrame(rng);
    COrientation r;
    r.Interpolate(a, b, 0.0f);
    ExpectFrameNear(r, a, 1e-5f);
    r.Interpolate(a, b, 1.0f);
    ExpectFrameNear(r, b, 1e-5f);
    r.Interpolate(a, b, 0.25f);
    ExpectNear(r.position, a.position + (b.position - a.position) * 0.25f, 1e-4f);
    EXPECT_TRUE(r.IsOrthonormal(1e-4f));
    // Blending into itself (aliased output) works.
    COrientation self = a;
    self.Interpolate(self, b, 1.0f);
    ExpectFrameNear(self, b, 1e-5f);
  }
}

}  // namespace
