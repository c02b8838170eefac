// Static obstacles: the moved sphere tree, its bounds, and queries checked against a scan of the tree's leaves.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

#include "core/math/Orientation.h"
#include "core/math/TMatrix.h"
#include "physics/BeamInfo.h"
#include "physics/RayInfo.h"
#include "physics/SphereTree.h"
#include "physics/StaticObstacle.h"
#include "scene/MeshInstance.h"
#include "scene/ShadedMesh.h"
#include "tests/physics/PhysicsTestUtil.h"
#include "tools/DemoContent.h"

namespace {

using physics_test::RandomPoint;
using physics_test::Uniform;

struct Sphere {
  Vector3 centre;
  float radius;
};

void CollectLeaves(const SphereTreeNode& node, std::vector<Sphere>& out) {
  if (node.childCount == 0) out.push_back({node.centre, node.radius});
  for (uint32_t i = 0; i < node.childCount; ++i) CollectLeaves(node.children[i], out);
}

// Earliest fraction at which a point moving from s to e is within r of c (0 when it starts
// inside), in double precision; -1 when it never is.
double EntryTime(const Vector3& s, const Vector3& e, const Vector3& c, double r) {
  const double d[3] = {double(e.x) - s.x, double(e.y) - s.y, double(e.z) - s.z};
  const double f[3] = {double(s.x) - c.x, double(s.y) - c.y, double(s.z) - c.z};
  const double a = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
  const double b = 2.0 * (d[0] * f[0] + d[1] * f[1] + d[2] * f[2]);
  const double k = f[0] * f[0] + f[1] * f[1] + f[2] * f[2] - r * r;
  if (k <= 0.0) return 0.0;
  const double disc = b * b - 4.0 * a * k;
  if (a == 0.0 || disc < 0.0) return -1.0;
  const double t = (-b - std::sqrt(disc)) / (2.0 * a);
  return t >= 0.0 && t <= 1.0 ? t : -1.0;
}

COrientation TurnedAndMoved() {
  COrientation place;
  Vector3 axis(1.0f, 2.0f, 0.5f);
  axis = axis * (1.0f / std::sqrt(axis.Dot(axis)));
  MakeAxisRotation(place.axes, axis, 1.1f);
  place.position = Vector3(3.0f, -2.0f, 1.0f);
  return place;
}

}  // namespace

TEST(StaticObstacleTest, TreeIsMovedAndBoundsHoldEveryLeaf) {
  SphereTreeNode source;
  SphereTree::BuildCube(2.0f, 2, 0.0f, 0.0f, 0.0f, &source);
  const COrientation place = TurnedAndMoved();
  CStaticObstacle obstacle;
  ASSERT_TRUE(obstacle.Setup(&source, place, nullptr, nullptr));
  ASSERT_NE(obstacle.GetTree(), nullptr);
  std::vector<Sphere> model, world;
  CollectLeaves(source, model);
  CollectLeaves(*obstacle.GetTree(), world);
  ASSERT_EQ(model.size(), world.size());
  const Box& box = obstacle.GetBounds();
  for (size_t i = 0; i < model.size(); ++i) {
    const Vector3 expected = place.LocalToWorldPoint(model[i].centre);
    EXPECT_NEAR((world[i].centre - expected).Dot(world[i].centre - expected), 0.0f, 1e-8f);
    for (int k = 0; k < 3; ++k) {
      EXPECT_LE(box.min[k], world[i].centre[k] - world[i].radius + 1e-5f);
      EXPECT_GE(box.max[k], world[i].centre[k] + world[i].radius - 1e-5f);
    }
  }
  const CollisionInfo* info = obstacle.GetCollisionInfo(nullptr);
  EXPECT_EQ(info->kind, 1u);
  EXPECT_EQ(info->object, &obstacle);
  EXPECT_EQ(obstacle.GetBoundFlags() & 0x20000u, 0x20000u);
  EXPECT_EQ(obstacle.GetBoundFlags() & 0x44u, 0x44u);
  // Without a source nothing changes.
  EXPECT_FALSE(obstacle.Setup(nullptr, place, nullptr, nullptr));
  EXPECT_NE(obstacle.GetTree(), nullptr);
}

TEST(StaticObstacleTest, QueriesFindTheNearestLeafOfTheWorldTree) {
  plat::srand(21);
  SphereTreeNode source;
  SphereTree::BuildCube(2.0f, 2, 0.0f, 0.0f, 0.0f, &source);
  const COrientation place = TurnedAndMoved();
  CStaticObstacle obstacle;
  ASSERT_TRUE(obstacle.Setup(&source, place, nullptr, nullptr));
  std::vector<Sphere> leaves;
  CollectLeaves(*obstacle.GetTree(), leaves);
  int hits = 0;
  for (int round = 0; round < 400; ++round) {
    const bool swept = round % 2 == 1;
    const float r = swept ? Uniform(0.05f, 0.5f) : 0.0f;
    const Vector3 from = place.position + RandomPoint(4.0f);
    const Vector3 to = place.position + RandomPoint(4.0f);
    // Swept spheres that already touch at the start are left to the query's own tests.
    double want = -1.0;
    bool startsTouching = false;
    for (const Sphere& leaf : leaves) {
      const double t = EntryTime(from, to, leaf.centre, leaf.radius + r);
      if (t == 0.0) startsTouching = true;
      if (t >= 0.0 && (want < 0.0 || t < want)) want = t;
    }
    if (swept && startsTouching) continue;
    // A sweep shorter than its radius only sees contacts at its end; keep sweeps long.
    if ((to - from).Dot(to - from) < 4.0f * r * r) continue;
    bool hit;
    float time;
    if (swept) {
      BeamInfo beam(from, to, r);
      hit = obstacle.Intersect(&beam);
      time = beam.result.time;
    } else {
      RayInfo ray(from, to);
      hit = obstacle.Intersect(&ray);
      time = ray.result.time;
    }
    ASSERT_EQ(hit, want >= 0.0) << "round " << round;
    if (!hit) continue;
    ++hits;
    EXPECT_NEAR(time, want, 1e-3) << "round " << round;
  }
  EXPECT_GT(hits, 60);
}

TEST(StaticObstacleTest, MeshRaysUseTheInstanceAndTheInstanceStaysLent) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildBox(1.0f, 1.0f, 0.5f));
  ASSERT_NE(mesh, nullptr);
  auto instance = std::make_unique<CMeshInstance>();
  instance->SetMesh(mesh.get(), false, false, false, 0, 10, nullptr, true, nullptr);
  SphereTreeNode source;
  SphereTree::BuildCube(4.0f, 1, 0.0f, 0.0f, 0.5f, &source);
  {
    CStaticObstacle obstacle;
    ASSERT_TRUE(obstacle.Setup(&source, COrientation(), instance.get(), nullptr));
    Box shown;
    instance->GetWorldBounds(shown);
    EXPECT_TRUE(obstacle.GetBounds().ContainsBox(shown));
    EXPECT_FALSE(obstacle.OwnsMeshInstance());
    // From above: the tree's spheres reach higher than the box's top face.
    RayInfo sphereRay(Vector3(0.1f, 0.2f, 6.0f), Vector3(0.1f, 0.2f, -6.0f));
    ASSERT_TRUE(obstacle.Intersect(&sphereRay));
    RayInfo meshRay(sphereRay.start, sphereRay.end);
    meshRay.mode |= QueryMode::kBodyMesh;
    ASSERT_TRUE(obstacle.Intersect(&meshRay));
    RayInfo direct(sphereRay.start, sphereRay.end);
    ASSERT_TRUE(instance->IntersectRay(direct, nullptr, nullptr));
    EXPECT_FLOAT_EQ(meshRay.result.time, direct.result.time);
    EXPECT_LT(sphereRay.result.time, meshRay.result.time);
    // Swept spheres always use the tree, whatever their mode.
    BeamInfo beam(sphereRay.start, sphereRay.end, 0.1f);
    beam.mode |= QueryMode::kBodyMesh;
    ASSERT_TRUE(obstacle.Intersect(&beam));
    EXPECT_LT(beam.result.time, meshRay.result.time);
  }
  // The obstacle is gone; the instance it borrowed is still whole.
  Box after;
  instance->GetWorldBounds(after);
  EXPECT_NEAR(after.max.z, 1.0f, 1e-5f);
}
