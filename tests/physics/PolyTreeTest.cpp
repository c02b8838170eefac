// Tests of polyhedron trees: volume integrals against a tetrahedron decomposition,
// compound hulls, the integrals carried through poses and copies.
#include <gtest/gtest.h>

#include "physics/polyhedron/PolyTree.h"
#include "tests/physics/PolyTestUtil.h"

using namespace poly_test;

namespace {

// Reference integrals by fanning each face into tetrahedra with the origin:
// volume det/6, first moment volume x centroid, and
// integral of x x^T = V/20 (sum v v^T + (sum v)(sum v)^T) over the four corners.
struct Integrals {
  double volume = 0;
  Eigen::Vector3d first = Eigen::Vector3d::Zero();
  Eigen::Matrix3d second = Eigen::Matrix3d::Zero();
};

Integrals Reference(const Solid& s) {
  Integrals r;
  for (const auto& face : s.faces) {
    for (size_t i = 1; i + 1 < face.size(); ++i) {
      const Eigen::Vector3d a = face[0].eigen(), b = face[i].eigen(), c = face[i + 1].eigen();
      const double v = a.dot(b.cross(c)) / 6.0;
      const Eigen::Vector3d sum = a + b + c;  // the fourth corner is the origin
      r.volume += v;
      r.first += v * sum / 4.0;
      r.second += v / 20.0 * (a * a.transpose() + b * b.transpose() + c * c.transpose() + sum * sum.transpose());
    }
  }
  return r;
}

void ExpectIntegrals(const PolyTree& t, const Integrals& r, double tol) {
  EXPECT_NEAR(t.volume, r.volume, tol * (1 + std::fabs(r.volume)));
  const double m[3] = {t.firstMoment.x, t.firstMoment.y, t.firstMoment.z};
  const double s[3] = {t.secondMoment.x, t.secondMoment.y, t.secondMoment.z};
  const double scale = tol * (1 + r.second.cwiseAbs().maxCoeff());
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(m[i], r.first[i], tol * (1 + r.first.cwiseAbs().maxCoeff()));
    EXPECT_NEAR(s[i], r.second(i, i), scale);
  }
  EXPECT_NEAR(t.products.x, r.second(0, 1), scale);
  EXPECT_NEAR(t.products.y, r.second(1, 2), scale);
  EXPECT_NEAR(t.products.z, r.second(2, 0), scale);
}

TEST(PolyTreeMass, LeafIntegralsMatchATetrahedronDecomposition) {
  plat::srand(31);
  for (int round = 0; round < 30; ++round) {
    auto leaf = Leaf("leaf", RandomHull(8 + round * 3, Uniform(0.5f, 3.0f)));
    ASSERT_TRUE(leaf->polyhedron());
    // Shift the piece off the origin so that the moments are not trivially small.
    auto shifted = std::make_shared<Polyhedron>();
    const VclipVector3 offset = RandomVector(4.0f);
    for (const Vertex& v : leaf->polyhedron()->vertices()) {
      shifted->addVertex(v.name(), VclipVector3(v.coords.x + offset.x, v.coords.y + offset.y, v.coords.z + offset.z));
    }
    ASSERT_EQ(shifted->buildHull(), 0);
    leaf->setPolyhedron(shifted);
    leaf->computeMassProperties();
    const Solid solid = MakeSolid(*shifted, Se3::kIdentity);
    ExpectIntegrals(*leaf, Reference(solid), 1e-4);
    // Radius: the farthest vertex from the centroid.
    const Integrals r = Reference(solid);
    double farthest = 0;
    for (const Vec& v : solid.vertices) farthest = std::max(farthest, (v.eigen() - r.first / r.volume).norm());
    EXPECT_NEAR(leaf->radius, farthest, 1e-4 * (1 + farthest));
  }
}

TEST(PolyTreeMass, CompoundSumsChildrenThroughTheirPoses) {
  plat::srand(32);
  for (int round = 0; round < 10; ++round) {
    PolyTree compound("body");
    Integrals expected;
    for (int c = 0; c < 3; ++c) {
      auto child = Leaf("piece", RandomHull(10 + 5 * c, 1.0f));
      const Se3 pose(RandomRotation(), RandomVector(3.0f));
      child->setPose(pose);
      const Integrals r = Reference(MakeSolid(*child->polyhedron(), pose));
      expected.volume += r.volume;
      expected.first += r.first;
      expected.second += r.second;
      compound.addChild(std::move(child));
    }
    ASSERT_EQ(compound.compoundHull(), 0);
    compound.computeMassProperties();
    ExpectIntegrals(compound, expected, 1e-4);
    // The hull holds every child's vertices, carried into the compound's frame.
    for (size_t c = 0; c < compound.numChildren(); ++c) {
      const PolyTree& child = *compound.child(c);
      for (const Vertex& v : child.polyhedron()->vertices()) {
        const VclipVector3 p = child.pose().Transform(v.coords);
        for (const Face& f : compound.polyhedron()->faces()) EXPECT_LE(f.plane.Dist(p), 1e-4f);
      }
    }
  }
}

TEST(PolyTreeHull, TwoCubesSideBySideMakeOneBox) {
  PolyTree pair("pair");
  auto left = Leaf("left", MakeBox(VclipVector3(0, 0, 0), VclipVector3(1, 1, 1)));
  auto right = Leaf("right", MakeBox(VclipVector3(0, 0, 0), VclipVector3(1, 1, 1)));
  right->setPose(Se3(VclipQuaternion::kIdentity, VclipVector3(1, 0, 0)));
  pair.addChild(std::move(left));
  pair.addChild(std::move(right));
  ASSERT_EQ(pair.compoundHull(), 0);
  const Polyhedron& hull = *pair.polyhedron();
  EXPECT_EQ(hull.vertices().size(), 8u);  // the shared middle corners are not hull corners
  EXPECT_EQ(hull.faces().size(), 6u);
  pair.computeMassProperties();
  EXPECT_NEAR(pair.radius, std::sqrt(1.5f), 1e-5f);
  EXPECT_EQ(pair.numLeaves(), 2);
  EXPECT_EQ(pair.child(2), nullptr);
}

TEST(PolyTreeHull, CopiesShareThePolyhedraAndOwnTheirChildren) {
  auto pair = std::make_unique<PolyTree>("pair");
  pair->addChild(Leaf("a", MakeBox(VclipVector3(0, 0, 0), VclipVector3(1, 1, 1))));
  // Half a turn about z, given at twice unit length: the pose keeps it unit.
  pair->setPose(Se3(VclipQuaternion(0.0f, 0.0f, 0.0f, 2.0f), VclipVector3(1, 2, 3)));
  PolyTree copy(*pair);
  EXPECT_EQ(copy.child(0)->polyhedron(), pair->child(0)->polyhedron());
  EXPECT_NE(copy.child(0), pair->child(0));
  pair.reset();
  EXPECT_EQ(copy.child(0)->polyhedron()->faces().size(), 6u);
  // The inverse pose undoes the pose.
  const VclipVector3 p(0.3f, -2.0f, 5.0f);
  const VclipVector3 there = copy.pose().Transform(p);
  EXPECT_NEAR(there.x, 0.7f, 1e-5f);
  EXPECT_NEAR(there.y, 4.0f, 1e-5f);
  EXPECT_NEAR(there.z, 8.0f, 1e-5f);
  const VclipVector3 back = copy.inversePose().Transform(there);
  EXPECT_NEAR(back.x, p.x, 1e-5f);
  EXPECT_NEAR(back.y, p.y, 1e-5f);
  EXPECT_NEAR(back.z, p.z, 1e-5f);
}

TEST(PolyTreeHull, FlatChildrenFailTheHullAndKeepTheOldPolyhedron) {
  PolyTree flat("flat");
  auto square = std::make_shared<Polyhedron>();
  for (int i = 0; i < 4; ++i) square->addVertex("s", VclipVector3(i & 1 ? 1.0f : 0.0f, i & 2 ? 1.0f : 0.0f, 0));
  flat.addChild(Leaf("square", square));
  physics_test::CerrCapture err;
  EXPECT_EQ(flat.compoundHull(), 1);
  EXPECT_EQ(flat.polyhedron(), nullptr);
  flat.computeMassProperties();  // no volume: no centroid to divide by
  EXPECT_EQ(flat.volume, 0.0f);
  EXPECT_TRUE(std::isfinite(flat.radius));
}

}  // namespace
