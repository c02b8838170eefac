// Tests of the polyhedron vector library: products and inverses against Eigen, quaternion
// conversions, and the text forms.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <Eigen/Geometry>
#include <cmath>
#include <sstream>

#include "physics/polymath/Se3.h"
#include "physics/polymath/VclipMatrix3.h"
#include "physics/polymath/VclipMatrixTransform.h"
#include "physics/polymath/VclipQuaternion.h"
#include "physics/polymath/VclipVector3.h"
#include "tests/physics/PolyTestUtil.h"
#include "tests/support/MathCompare.h"

using physics_test::CerrCapture;
using physics_test::Uniform;
using poly_test::RandomRotation;
using poly_test::RandomVector;
using testing_support::ElementsNear;
using testing_support::SameRotation;

namespace {

constexpr float kTol = 1e-4f;

VclipMatrix3 RandomMatrix() {
  VclipMatrix3 m;
  for (auto& row : m.m)
    for (float& e : row) e = Uniform(-2.0f, 2.0f);
  return m;
}

Eigen::Matrix3f ToEigen(const VclipMatrix3& m) {
  Eigen::Matrix3f e;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) e(i, j) = m.m[i][j];
  return e;
}
Eigen::Vector3f ToEigen(const VclipVector3& v) { return Eigen::Vector3f(v.x, v.y, v.z); }
Eigen::Quaternionf ToEigen(const VclipQuaternion& q) { return Eigen::Quaternionf(q.w, q.x, q.y, q.z); }

// Reads text the reader must refuse into x; returns what it reported.
std::string RefusedRead(Se3& x, const std::string& text) {
  CerrCapture err;
  std::istringstream in(text);
  EXPECT_FALSE(x.Read(in)) << text;
  return err.Text();
}

}  // namespace

TEST(VclipVector3, CrossAndSumAgreeWithEigen) {
  plat::srand(11);
  for (int n = 0; n < 200; ++n) {
    const VclipVector3 a = RandomVector(10), b = RandomVector(10);
    EXPECT_PRED_FORMAT3(ElementsNear, VclipVector3::Cross(a, b), ToEigen(a).cross(ToEigen(b)), kTol);
    VclipVector3 sum;
    VclipVector3::Sum(a, b, sum);
    VclipVector3 added = a;
    added.Add(b);
    EXPECT_PRED_FORMAT3(ElementsNear, sum, ToEigen(a) + ToEigen(b), 1e-5f);
    EXPECT_EQ(sum, added);
  }
}

TEST(VclipVector3, TextFormAndRoundTrip) {
  // The explicit sign is only for the vector; the stream's own flags come back.
  std::ostringstream out;
  out << VclipVector3(1, -2, 0.5f) << ' ' << 4;
  EXPECT_EQ(out.str(), "(+1 -2 +0.5) 4");

  // The unit axes by name, read and as the public constants.
  VclipVector3 v;
  const char* names[6] = {"i", "-i", "+j", "-j", "k i", "-k"};
  const VclipVector3* constants[6] = {&VclipVector3::kI, &VclipVector3::kMinusI, &VclipVector3::kJ,
                                      &VclipVector3::kMinusJ, &VclipVector3::kK, &VclipVector3::kMinusK};
  for (int a = 0; a < 6; ++a) {
    const float sign = a % 2 ? -1.0f : 1.0f;
    const VclipVector3 axis(a / 2 == 0 ? sign : 0.0f, a / 2 == 1 ? sign : 0.0f, a / 2 == 2 ? sign : 0.0f);
    std::istringstream(names[a]) >> v;
    EXPECT_TRUE(v == axis && *constants[a] == axis) << names[a];
  }
  std::istringstream("-2.5e1 0 7") >> v;
  EXPECT_EQ(v, VclipVector3(-25, 0, 7));

  // Printed numbers (minus the brackets) read back to the same vector at full precision.
  plat::srand(12);
  for (int n = 0; n < 100; ++n) {
    const VclipVector3 original = RandomVector(1000);
    std::ostringstream text;
    text.precision(9);
    text << original.x << ' ' << original.y << ' ' << original.z;
    VclipVector3 back;
    std::istringstream in(text.str());
    ASSERT_TRUE(in >> back);
    EXPECT_EQ(back, original);
  }
}

TEST(VclipVector3, MalformedTextFailsWithoutChangingTheVector) {
  for (const char* text : {"q", "1 2", "1x 2 3", "+", "ii", ""}) {
    VclipVector3 v(7, 8, 9);
    std::istringstream in(text);
    in >> v;
    EXPECT_TRUE(in.fail()) << text;
    EXPECT_EQ(v, VclipVector3(7, 8, 9)) << text;
  }
}

TEST(VclipMatrix3, ProductsAndInverseAgreeWithEigen) {
  plat::srand(21);
  for (int n = 0; n < 200; ++n) {
    const VclipMatrix3 a = RandomMatrix(), b = RandomMatrix();
    const Eigen::Matrix3f ea = ToEigen(a), eb = ToEigen(b);
    EXPECT_PRED_FORMAT3(ElementsNear, VclipMatrix3::Product(a, b), ea * eb, kTol);
    VclipMatrix3 post = a;
    post.PostMultiply(b);
    EXPECT_PRED_FORMAT3(ElementsNear, post, ea * eb, kTol);
    VclipMatrix3 pre = a;
    pre.PreMultiply(b);
    EXPECT_PRED_FORMAT3(ElementsNear, pre, eb * ea, kTol);

    const VclipVector3 v = RandomVector(5);
    EXPECT_PRED_FORMAT3(ElementsNear, a.Apply(v), ea * ToEigen(v), kTol);

    if (std::fabs(ea.determinant()) < 0.05f) continue;  // keep the reference well conditioned
    VclipMatrix3 inv;
    ASSERT_EQ(inv.Invert(a), 0);
    EXPECT_PRED_FORMAT3(ElementsNear, inv, ea.inverse(), 2e-3f * ea.inverse().cwiseAbs().maxCoeff());
    // In place, through the same object.
    VclipMatrix3 self = a;
    ASSERT_EQ(self.Invert(self), 0);
    EXPECT_PRED_FORMAT3(ElementsNear, self, ea.inverse(), 2e-3f * ea.inverse().cwiseAbs().maxCoeff());
  }
}

TEST(VclipMatrix3, SingularInverseFailsAndWritesNothing) {
  const VclipMatrix3 zeroRow(1, 2, 3, 0, 0, 0, 4, 5, 6);
  VclipMatrix3 target(9, 9, 9, 9, 9, 9, 9, 9, 9);
  EXPECT_EQ(target.Invert(zeroRow), 1);
  EXPECT_PRED_FORMAT3(ElementsNear, target, Eigen::Matrix3f::Constant(9.0f), 0.0f);
  EXPECT_EQ(target.Invert(VclipMatrix3::kZero), 1);
  EXPECT_PRED_FORMAT3(ElementsNear, VclipMatrix3::kZero, Eigen::Matrix3f::Zero(), 0.0f);
  EXPECT_PRED_FORMAT3(ElementsNear, VclipMatrixTransform::kIdentity.R, Eigen::Matrix3f::Identity(), 0.0f);
}

TEST(VclipQuaternion, ProductsAndRotationsAgreeWithEigen) {
  plat::srand(31);
  for (int n = 0; n < 200; ++n) {
    const VclipQuaternion a = RandomRotation(), b = RandomRotation();
    const Eigen::Quaternionf ea = ToEigen(a), eb = ToEigen(b);
    const VclipQuaternion ab = VclipQuaternion::Product(a, b);
    const Eigen::Quaternionf eab = ea * eb;
    EXPECT_PRED_FORMAT3(ElementsNear, ab, Eigen::Vector4f(eab.w(), eab.x(), eab.y(), eab.z()), kTol);
    VclipQuaternion post = a, pre = a;
    post.PostMultiply(b);
    pre.PreMultiply(b);
    EXPECT_PRED_FORMAT3(SameRotation, post, ab, kTol);
    EXPECT_PRED_FORMAT3(SameRotation, pre, VclipQuaternion::Product(b, a), kTol);

    const VclipVector3 v = RandomVector(10);
    VclipVector3 rotated, back;
    a.Rotate(v, rotated);
    EXPECT_PRED_FORMAT3(ElementsNear, rotated, ea * ToEigen(v), 1e-3f);
    a.InverseRotate(rotated, back);
    EXPECT_PRED_FORMAT3(ElementsNear, back, v, 1e-3f);

    // Matrix of the quaternion is Eigen's, and converting back gives the rotation again.
    VclipMatrix3 m;
    m.SetFromQuaternion(a);
    EXPECT_PRED_FORMAT3(ElementsNear, m, ea.toRotationMatrix(), kTol);
    VclipQuaternion fromMatrix;
    fromMatrix.SetFromMatrix(m);
    EXPECT_PRED_FORMAT3(SameRotation, fromMatrix, a, kTol);
    EXPECT_GE(fromMatrix.w, 0.0f);
    EXPECT_NEAR(fromMatrix.Length(), 1.0f, 1e-5f);
  }
}

TEST(VclipQuaternion, FromMatrixCoversEveryBranch) {
  VclipQuaternion q;
  // Half turns about x, y and z take the x, y and z branches.
  const VclipMatrix3 halfTurns[3] = {VclipMatrix3(1, 0, 0, 0, -1, 0, 0, 0, -1),
                                     VclipMatrix3(-1, 0, 0, 0, 1, 0, 0, 0, -1),
                                     VclipMatrix3(-1, 0, 0, 0, -1, 0, 0, 0, 1)};
  const VclipQuaternion expected[3] = {VclipQuaternion(0, 1, 0, 0), VclipQuaternion(0, 0, 1, 0),
                                       VclipQuaternion(0, 0, 0, 1)};
  for (int i = 0; i < 3; ++i) {
    q.SetFromMatrix(halfTurns[i]);
    EXPECT_PRED_FORMAT3(ElementsNear, q, expected[i], 1e-6f);
  }

  // Near-half turns about random axes also go through the x, y, z branches.
  plat::srand(32);
  for (int n = 0; n < 100; ++n) {
    VclipQuaternion r;
    r.SetFromAngleAxis(3.1f, VclipVector3(Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1)), true);
    VclipMatrix3 m;
    m.SetFromQuaternion(r);
    q.SetFromMatrix(m);
    EXPECT_PRED_FORMAT3(SameRotation, q, r, kTol);
  }
}

TEST(VclipQuaternion, AngleAxisAgreesWithEigenAndSurvivesZeroAxis) {
  plat::srand(33);
  for (int n = 0; n < 100; ++n) {
    const float angle = Uniform(-6, 6);
    const VclipVector3 axis = RandomVector(3);
    VclipQuaternion q;
    q.SetFromAngleAxis(angle, axis, true);
    const Eigen::Quaternionf e(Eigen::AngleAxisf(angle, ToEigen(axis).normalized()));
    EXPECT_PRED_FORMAT3(ElementsNear, q, Eigen::Vector4f(e.w(), e.x(), e.y(), e.z()), kTol);
  }
  // A zero axis must not produce NaNs (which fail any rotation check); normalised it is no rotation at all.
  VclipQuaternion q;
  q.SetFromAngleAxis(1.0f, VclipVector3::kZero, true);
  q.Normalize();
  EXPECT_PRED_FORMAT3(SameRotation, q, VclipQuaternion::kIdentity, 1e-6f);

  VclipQuaternion zero(0, 0, 0, 0);
  zero.Normalize();
  EXPECT_EQ(zero.w, 1.0f);
}

TEST(VclipMatrixTransform, ProductAndInverseAgreeWithEigen) {
  plat::srand(41);
  for (int n = 0; n < 200; ++n) {
    VclipMatrix3 ra, rb;
    ra.SetFromQuaternion(RandomRotation());
    rb.SetFromQuaternion(RandomRotation());
    const VclipMatrixTransform a(ra, RandomVector(20)), b(rb, RandomVector(20));
    Eigen::Affine3f ea = Eigen::Affine3f::Identity(), eb = Eigen::Affine3f::Identity();
    ea.linear() = ToEigen(a.R);
    ea.translation() = ToEigen(a.t);
    eb.linear() = ToEigen(b.R);
    eb.translation() = ToEigen(b.t);

    const VclipMatrixTransform ab = VclipMatrixTransform::Product(a, b);
    const Eigen::Affine3f eab = ea * eb;
    EXPECT_PRED_FORMAT3(ElementsNear, ab.R, eab.linear(), kTol);
    EXPECT_PRED_FORMAT3(ElementsNear, ab.t, eab.translation(), 1e-3f);
    VclipMatrixTransform post = a, pre = a;
    post.PostMultiply(b);
    pre.PreMultiply(b);
    EXPECT_PRED_FORMAT3(ElementsNear, post.t, eab.translation(), 1e-3f);
    EXPECT_PRED_FORMAT3(ElementsNear, pre.t, (eb * ea).translation(), 1e-3f);

    const VclipVector3 p = RandomVector(10);
    EXPECT_PRED_FORMAT3(ElementsNear, ab.Apply(p), eab * ToEigen(p), 1e-3f);

    VclipMatrixTransform inv;
    a.Invert(inv);
    const Eigen::Affine3f einv = ea.inverse(Eigen::Isometry);
    EXPECT_PRED_FORMAT3(ElementsNear, inv.R, einv.linear(), kTol);
    EXPECT_PRED_FORMAT3(ElementsNear, inv.t, einv.translation(), 1e-3f);
    VclipMatrixTransform self = a;
    self.Invert();
    EXPECT_PRED_FORMAT3(ElementsNear, self.t, inv.t, 0.0f);
    EXPECT_PRED_FORMAT3(ElementsNear, self.R, inv.R, 0.0f);
  }
}

TEST(Se3, AppendMatchesTransformComposition) {
  plat::srand(51);
  for (int n = 0; n < 100; ++n) {
    const Se3 a(RandomRotation(), RandomVector(10)), b(RandomRotation(), RandomVector(10));
    Se3 ab = a;
    ab.Append(b);
    const VclipVector3 p = RandomVector(10);
    EXPECT_PRED_FORMAT3(ElementsNear, ab.Transform(p), a.Transform(b.Transform(p)), 1e-3f);
    EXPECT_NEAR(ab.rotation.Length(), 1.0f, 1e-6f);

    // From a matrix and translation: the same mapping as the matrix transform.
    VclipMatrix3 r;
    r.SetFromQuaternion(a.rotation);
    const Se3 fromMatrix(r, a.translation);
    EXPECT_PRED_FORMAT3(ElementsNear, fromMatrix.Transform(p), VclipMatrixTransform(r, a.translation).Apply(p), 1e-3f);
  }
}

TEST(Se3, ReadsStepsLeftToRight) {
  Se3 x;
  std::istringstream in("{ trans 1 2 3 }");
  ASSERT_TRUE(x.Read(in));
  EXPECT_PRED_FORMAT3(SameRotation, x.rotation, VclipQuaternion::kIdentity, 0.0f);
  EXPECT_PRED_FORMAT3(ElementsNear, x.translation, VclipVector3(1, 2, 3), 0.0f);

  // Translate then rotate: p is turned about z, then moved.
  std::istringstream both("{ trans 1 0 0 rot 90 k } tail");
  ASSERT_TRUE(x.Read(both));
  EXPECT_PRED_FORMAT3(ElementsNear, x.Transform(VclipVector3(1, 0, 0)), VclipVector3(1, 1, 0), 1e-4f);
  std::string rest;
  both >> rest;
  EXPECT_EQ(rest, "tail");  // reading stops after the closing brace

  // Rotate then translate: the translation is turned by the rotation read before it.
  std::istringstream turned("{ rot 90 k trans 1 0 0 }");
  ASSERT_TRUE(x.Read(turned));
  EXPECT_PRED_FORMAT3(ElementsNear, x.Transform(VclipVector3::kZero), VclipVector3(0, 1, 0), 1e-4f);

  // An axis needing normalisation and a numeric axis are both accepted.
  std::istringstream numeric("{ rot 180 0 0 5 }");
  ASSERT_TRUE(x.Read(numeric));
  EXPECT_PRED_FORMAT3(ElementsNear, x.Transform(VclipVector3(1, 0, 0)), VclipVector3(-1, 0, 0), 1e-4f);
}

TEST(Se3, ReadErrorsAreReportedAndKeepWhatWasRead) {
  Se3 x(VclipQuaternion(0, 1, 0, 0), VclipVector3(5, 5, 5));
  EXPECT_EQ(RefusedRead(x, "trans 1 2 3"), "Se3::read : didn't find '{' \a\n");
  EXPECT_PRED_FORMAT3(ElementsNear, x.translation, VclipVector3::kZero, 0.0f);  // reset to the identity first
  EXPECT_PRED_FORMAT3(SameRotation, x.rotation, VclipQuaternion::kIdentity, 0.0f);
  // A missing closing brace and an overlong body give the same message.
  const std::string unclosed = "Se3::read : didn't find '}' or transform text too long\a\n";
  EXPECT_EQ(RefusedRead(x, "{ trans 1 2 3 "), unclosed);
  EXPECT_EQ(RefusedRead(x, "{" + std::string(1200, ' ') + "}"), unclosed);
  EXPECT_EQ(RefusedRead(x, "{ trans 1 2 3 spin 4 trans 9 9 9 }"), "Se3::read : unknown token spin \a\n");
  EXPECT_EQ(RefusedRead(x, "{ trans 1 2 3 trans 1 x 3 }"), "Se3::read : bad vector after trans \a\n");
  EXPECT_PRED_FORMAT3(ElementsNear, x.translation, VclipVector3(1, 2, 3), 0.0f);
  // A truncated step must not leave garbage in the transform.
  EXPECT_FALSE(RefusedRead(x, "{ trans 1 0 0 rot 90 }").empty());
  EXPECT_PRED_FORMAT3(ElementsNear, x.translation, VclipVector3(1, 0, 0), 0.0f);
  EXPECT_PRED_FORMAT3(SameRotation, x.rotation, VclipQuaternion::kIdentity, 0.0f);
}
