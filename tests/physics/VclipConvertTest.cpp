// Tests of the converter between engine frames and the polyhedron library: round trips
// and that both sides map the same point to the same place.
#include <gtest/gtest.h>

#include <cmath>

#include "physics/polyhedron/VclipConvert.h"
#include "tests/physics/PhysicsTestUtil.h"
#include "tests/support/MathCompare.h"

using physics_test::RandomPoint;
using physics_test::Uniform;
using testing_support::ElementsNear;

namespace {

// A random rigid frame built with the engine's own rotations.
COrientation RandomFrame() {
  COrientation frame;
  frame.RotateZ(Uniform(-3.1f, 3.1f));
  frame.RotateY(Uniform(-3.1f, 3.1f));
  frame.RotateX(Uniform(-3.1f, 3.1f));
  frame.position = RandomPoint(50);
  return frame;
}

}  // namespace

TEST(VclipConvert, MatrixRoundTripIsExactAndTransposes) {
  plat::srand(71);
  for (int n = 0; n < 100; ++n) {
    TMatrix m;
    for (int i = 0; i < 3; ++i) m.m[i] = RandomPoint(3);
    const VclipMatrix3 v = ToVclip(m);
    EXPECT_EQ(ToEngine(v), m);
    // Row-vector product on one side equals column-vector product on the other.
    const Vector3 p = RandomPoint(5);
    EXPECT_PRED_FORMAT3(ElementsNear, ToEngine(v.Apply(ToVclip(p))), p * m, 1e-4f);
  }
}

TEST(VclipConvert, QuaternionsMeanTheSameRotation) {
  plat::srand(72);
  for (int n = 0; n < 100; ++n) {
    Quaternion q;
    q.Random();
    const VclipQuaternion v = ToVclip(q);
    const Quaternion back = ToEngine(v);
    EXPECT_TRUE(back.x == q.x && back.y == q.y && back.z == q.z && back.w == q.w);

    TMatrix engineRotation;
    q.ToMatrix(engineRotation);
    const Vector3 p = RandomPoint(5);
    VclipVector3 rotated;
    v.Rotate(ToVclip(p), rotated);
    EXPECT_PRED_FORMAT3(ElementsNear, ToEngine(rotated), p * engineRotation, 1e-4f);
  }
}

TEST(VclipConvert, FramesRoundTripAndMapPointsAlike) {
  plat::srand(73);
  for (int n = 0; n < 200; ++n) {
    const COrientation frame = RandomFrame();
    const Vector3 p = RandomPoint(20);
    const Vector3 world = frame.LocalToWorldPoint(p);

    const VclipMatrixTransform x = ToVclip(frame);
    EXPECT_PRED_FORMAT3(ElementsNear, ToEngine(x), frame, 0.0f);
    EXPECT_PRED_FORMAT3(ElementsNear, ToEngine(x.Apply(ToVclip(p))), world, 1e-3f);

    const Se3 s = ToVclipSe3(frame);
    EXPECT_PRED_FORMAT3(ElementsNear, ToEngine(s), frame, 1e-5f);

    const Matrix4 m4 = frame.ToMatrix4();
    const VclipMatrixTransform fromMatrix = ToVclip(m4);
    EXPECT_EQ(ToEngineMatrix4(fromMatrix), m4);
    Vector4 h;
    TransformPoint4(h, m4, p);
    EXPECT_PRED_FORMAT3(ElementsNear, ToEngine(fromMatrix.Apply(ToVclip(p))), Vector3(h.x, h.y, h.z), 1e-3f);

    // The inverse on the polyhedron side is the engine's world-to-local mapping.
    VclipMatrixTransform inverse;
    x.Invert(inverse);
    EXPECT_PRED_FORMAT3(ElementsNear, ToEngine(inverse.Apply(ToVclip(world))), frame.WorldToLocalPoint(world), 1e-3f);
  }
}

TEST(VclipConvert, CompositionMatchesTheEngineOnBothSides) {
  plat::srand(74);
  for (int n = 0; n < 100; ++n) {
    const COrientation parent = RandomFrame(), child = RandomFrame();
    const COrientation composed = parent.LocalToWorldOrientation(child);
    // Engine: child first, then parent. Column vectors: parent * child.
    const VclipMatrixTransform product = VclipMatrixTransform::Product(ToVclip(parent), ToVclip(child));
    EXPECT_PRED_FORMAT3(ElementsNear, ToEngine(product), composed, 1e-3f);
  }
}
