// Tests of COrientation: frame round trips, rotation senses, look-at cases and matrix forms.
#include "core/math/Orientation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/support/MathCompare.h"
#include "tests/support/MathReference.h"
#include "tests/support/TempFolder.h"

using namespace testing_support;

namespace {

TEST(OrientationTest, PointAndFrameRoundTrips) {
  std::mt19937 rng(10);
  for (int n = 0; n < 500; ++n) {
    const COrientation f = RandomFrame(rng), g = RandomFrame(rng);
    const Vector3 p = RandomPoint(rng);
    EXPECT_PRED_FORMAT3(WithinDistance, f.WorldToLocalPoint(f.LocalToWorldPoint(p)), p, 2e-3f);
    EXPECT_PRED_FORMAT3(WithinDistance, f.WorldToLocalVector(f.LocalToWorldVector(p)), p, 2e-3f);
    // Composition: a point in g's space through (f o g) equals through g then f.
    const COrientation fg = f.LocalToWorldOrientation(g);
    EXPECT_PRED_FORMAT3(WithinDistance, fg.LocalToWorldPoint(p), f.LocalToWorldPoint(g.LocalToWorldPoint(p)), 2e-3f);
    COrientation free;
    ComposeOrientations(f, g, free);
    EXPECT_PRED_FORMAT4(FramesWithin, free, fg, 1e-7f, 1e-5f);
    EXPECT_PRED_FORMAT4(FramesWithin, f.WorldToLocalOrientation(fg), g, 2e-5f, 2e-3f);
    EXPECT_TRUE(fg.IsOrthonormal(1e-4f) && fg.IsRightHanded(1e-4f));
  }
}

TEST(OrientationTest, OwnFrameAndWorldAxisTurnsAgree) {
  COrientation f;
  f.RotateZ(3.14159265f / 2);  // clockwise seen from the tip
  EXPECT_PRED_FORMAT3(WithinDistance, f.GetXAxis(), Vector3(0, -1, 0), 1e-6f);
  std::mt19937 rng(12);
  std::uniform_real_distribution<float> d(-1.0f, 1.0f);
  for (int n = 0; n < 300; ++n) {
    const COrientation base = RandomFrame(rng);
    const float a = 3.0f * d(rng);
    // Each own-axis turn is a world-axis turn by the opposite angle about that axis.
    for (int axis = 0; axis < 3; ++axis) {
      COrientation own = base, world = base;
      if (axis == 0) own.RotateX(a);
      if (axis == 1) own.RotateY(a);
      if (axis == 2) own.RotateZ(a);
      world.RotateAboutWorldAxis(base.axes[axis], -a);
      EXPECT_PRED_FORMAT4(FramesWithin, own, world, 2e-5f, 2e-3f);
    }
    Vector3 local(d(rng), d(rng), d(rng));
    if (!local.Normalize()) continue;
    COrientation byFrame = base, byWorld = base;
    byFrame.RotateAboutFrameAxis(local, a);
    byWorld.RotateAboutWorldAxis(base.LocalToWorldVector(local), a);
    EXPECT_PRED_FORMAT4(FramesWithin, byFrame, byWorld, 2e-5f, 2e-3f);
    EXPECT_PRED_FORMAT3(WithinDistance, byWorld.LocalToWorldVector(local), base.LocalToWorldVector(local),
                        2e-5f);  // the axis stays
  }
}

TEST(OrientationTest, LookAtCarriesXOntoTheTargetInEveryCase) {
  std::mt19937 rng(15);
  for (int n = 0; n < 500; ++n) {
    COrientation f = RandomFrame(rng);
    const Vector3 target = RandomPoint(rng);
    const bool rebuild = n % 2;
    f.LookAt(target, rebuild);
    Vector3 d = target - f.position;
    d.Normalize();
    EXPECT_PRED_FORMAT3(WithinDistance, f.GetXAxis(), d, 2e-4f);
    EXPECT_TRUE(f.IsOrthonormal(1e-4f));
    if (rebuild) {
      EXPECT_NEAR(f.GetYAxis().z, 0.0f, 1e-5f);  // the rebuild keeps Z up
    }
  }
  // Straight down or up (the overview camera): a full frame, not zero Y and Z rows.
  for (float dz : {-10.0f, 10.0f}) {
    COrientation v = RandomFrame(rng);
    v.LookAt(v.position + Vector3(0, 0, dz), true);
    EXPECT_TRUE(v.IsOrthonormal(1e-4f) && v.IsRightHanded(1e-4f));
    EXPECT_PRED_FORMAT3(WithinDistance, v.GetXAxis(), Vector3(0, 0, dz / 10.0f), 1e-6f);
  }
  // Straight ahead with a dot product rounding above 1: no NaN. Straight behind: a yaw half turn.
  COrientation h;
  h.axes[0].Set(1.0000001f, 0, 0);
  h.LookAt(Vector3(3, 0, 0), false);
  EXPECT_FALSE(std::isnan(h.axes[0].x) || std::isnan(h.axes[1].y) || std::isnan(h.axes[2].z));
  COrientation back;
  back.LookAt(Vector3(-4, 0, 0), false);
  EXPECT_PRED_FORMAT3(WithinDistance, back.GetXAxis(), Vector3(-1, 0, 0), 1e-6f);
  EXPECT_PRED_FORMAT3(WithinDistance, back.GetZAxis(), Vector3(0, 0, 1), 1e-6f);
  // Target at the position: nothing changes.
  COrientation same = RandomFrame(rng);
  const COrientation copy = same;
  same.LookAt(same.position, true);
  same.LookAt(same.position, false);
  EXPECT_PRED_FORMAT4(FramesWithin, same, copy, 1e-7f, 1e-5f);
}

TEST(OrientationTest, LookAtWithUpAlongUpStillGivesAFrame) {
  const Vector3 upIn(0, 0, 1);
  Vector3 up = upIn;
  COrientation g;
  g.LookAtWithUp(Vector3(0, 0, 5), up);
  EXPECT_EQ(up, upIn);  // nudged internally only
  for (const Vector3& u : {upIn, Vector3(0, 0, -1), Vector3(0, 0, 3), Vector3(0, 0, 0)}) {
    COrientation h;
    h.LookAtWithUp(Vector3(0, 0, 5), u);
    EXPECT_TRUE(h.IsOrthonormal(1e-5f));
    EXPECT_PRED_FORMAT3(WithinDistance, h.GetXAxis(), Vector3(0, 0, 1), 1e-6f);
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
    EXPECT_TRUE(f.IsOrthonormal(1e-5f) && f.IsRightHanded(1e-5f));
    EXPECT_PRED_FORMAT3(WithinDistance, f.GetXAxis(), noisyX, 1e-6f);  // X keeps its direction
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
  for (int i = 0; i < 3; ++i) s.axes[i] *= 2.0f;
  EXPECT_EQ(s.ClassifyScale(0.01f), 1);  // uniform
  s.axes[1] *= 2.0f;
  EXPECT_EQ(s.ClassifyScale(0.01f), 2);  // non-uniform
  EXPECT_EQ(s.ClassifyScale(3.0f), 1);   // the longest axis exactly the tolerance away from 1 is scaled
  EXPECT_EQ(s.ClassifyScale(3.5f), 0);
  EXPECT_FALSE(s.IsMirrored());
  s.axes[1] *= -1.0f;
  EXPECT_TRUE(s.IsMirrored());
}

TEST(OrientationTest, MatrixFormsAndInterpolation) {
  std::mt19937 rng(17);
  for (int n = 0; n < 300; ++n) {
    const COrientation f = RandomFrame(rng), b = RandomFrame(rng);
    const Matrix4 world = f.ToMatrix4(), view = f.ToViewMatrix();
    EXPECT_TRUE(ToEigen(view).isApprox(ToEigen(world).inverse(), 1e-4f)) << n;
    const Vector3 p = RandomPoint(rng);
    Vector4 out;
    TransformPoint4(out, world, p);
    EXPECT_PRED_FORMAT3(WithinDistance, out.XYZ(), f.LocalToWorldPoint(p), 2e-3f);
    TransformPoint4(out, f.ToCameraMatrix(), p);
    const Vector3 local = f.WorldToLocalPoint(p);
    EXPECT_PRED_FORMAT3(WithinDistance, out.XYZ(), Vector3(-local.y, local.z, local.x), 2e-3f);
    COrientation back;
    back.SetFromMatrix4(world);
    EXPECT_PRED_FORMAT4(FramesWithin, back, f, 1e-7f, 1e-5f);

    COrientation r;
    r.Interpolate(f, b, 0.0f);
    EXPECT_PRED_FORMAT4(FramesWithin, r, f, 2e-5f, 2e-3f);
    r.Interpolate(f, b, 0.25f);
    EXPECT_PRED_FORMAT3(WithinDistance, r.position, f.position + (b.position - f.position) * 0.25f, 2e-4f);
    EXPECT_TRUE(r.IsOrthonormal(1e-4f));
    r = f;
    r.Interpolate(r, b, 1.0f);  // aliased output
    EXPECT_PRED_FORMAT4(FramesWithin, r, b, 2e-5f, 2e-3f);
  }
}

}  // namespace
