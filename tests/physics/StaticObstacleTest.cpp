// Static obstacles: the moved sphere tree and queries checked against a scan of the tree's leaves.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/math/TMatrix.h"
#include "physics/collision/BeamInfo.h"
#include "physics/collision/SphereTree.h"
#include "physics/collision/StaticObstacle.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/physics/PhysicsTestUtil.h"
#include "tools/DemoContent.h"

namespace {

void CollectLeaves(const SphereTreeNode& node, std::vector<const SphereTreeNode*>& out) {
  if (node.childCount == 0) out.push_back(&node);
  for (uint32_t i = 0; i < node.childCount; ++i) CollectLeaves(node.children[i], out);
}

// First fraction at which a point moving from s to e is within r of c (0 when it starts
// inside, -1 when never), in double precision.
double EntryTime(const Vector3& s, const Vector3& e, const Vector3& c, double r) {
  const Vector3 d = e - s, f = s - c;
  const double a = d.Dot(d), b = 2.0 * d.Dot(f), k = double(f.Dot(f)) - r * r;
  if (k <= 0.0) return 0.0;
  const double disc = b * b - 4.0 * a * k;
  const double t = disc < 0.0 ? -1.0 : (-b - std::sqrt(disc)) / (2.0 * a);
  return t >= 0.0 && t <= 1.0 ? t : -1.0;
}

}  // namespace

TEST(StaticObstacleTest, MovedTreeAnswersLikeAScanOfItsLeaves) {
  plat::srand(21);
  SphereTreeNode source;
  SphereTree::BuildCube(2.0f, 2, 0.0f, 0.0f, 0.0f, source);
  COrientation place;
  MakeAxisRotation(place.axes, Vector3(1.0f, 2.0f, 0.5f) * (1.0f / std::sqrt(5.25f)), 1.1f);
  place.position = Vector3(3.0f, -2.0f, 1.0f);
  CStaticObstacle obstacle;
  EXPECT_FALSE(obstacle.Setup(nullptr, place, nullptr, nullptr));
  ASSERT_TRUE(obstacle.Setup(&source, place, nullptr, nullptr));
  EXPECT_EQ(obstacle.GetCollisionInfo(nullptr)->object, &obstacle);
  std::vector<const SphereTreeNode*> model, leaves;
  CollectLeaves(source, model);
  CollectLeaves(*obstacle.GetTree(), leaves);
  ASSERT_EQ(model.size(), leaves.size());
  for (size_t i = 0; i < leaves.size(); ++i) {
    const Vector3 moved = place.LocalToWorldPoint(model[i]->centre) - leaves[i]->centre;
    EXPECT_LT(moved.Dot(moved), 1e-8f);
    const Box cube(leaves[i]->centre - Vector3(1, 1, 1) * leaves[i]->radius,
                   leaves[i]->centre + Vector3(1, 1, 1) * leaves[i]->radius);
    EXPECT_TRUE(obstacle.GetBounds().ContainsBox(cube));
  }
  int hits = 0;
  for (int round = 0; round < 400; ++round) {
    const float r = round % 2 ? physics_test::Uniform(0.05f, 0.5f) : 0.0f;
    const Vector3 from = place.position + physics_test::RandomPoint(4.0f);
    const Vector3 to = place.position + physics_test::RandomPoint(4.0f);
    double want = -1.0;
    bool touching = false;
    for (const SphereTreeNode* leaf : leaves) {
      const double t = EntryTime(from, to, leaf->centre, leaf->radius + r);
      touching |= t == 0.0;
      if (t >= 0.0 && (want < 0.0 || t < want)) want = t;
    }
    // Sweeps that start touching, or are shorter than their radius, follow their own rules.
    if ((r > 0.0f && touching) || (to - from).Dot(to - from) < 4.0f * r * r) continue;
    BeamInfo beam(from, to, r);
    RayInfo ray(from, to);
    GenericIntersection& query = r > 0.0f ? static_cast<GenericIntersection&>(beam) : ray;
    ASSERT_EQ(obstacle.Intersect(&query), want >= 0.0) << "round " << round;
    if (want >= 0.0) EXPECT_NEAR(query.result.time, want, 1e-3) << "round " << round;
    hits += want >= 0.0;
  }
  EXPECT_GT(hits, 60);
}

TEST(StaticObstacleTest, MeshRaysUseTheInstanceWhichStaysLent) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildBox(1.0f, 1.0f, 0.5f));
  auto instance = std::make_unique<CMeshInstance>();
  instance->SetMesh(mesh.get(), false, false, false, 0, 10, nullptr, true, nullptr);
  SphereTreeNode source;
  SphereTree::BuildCube(4.0f, 1, 0.0f, 0.0f, 0.5f, source);
  {
    CStaticObstacle obstacle;
    ASSERT_TRUE(obstacle.Setup(&source, COrientation(), instance.get(), nullptr));
    RayInfo sphereRay(Vector3(0.1f, 0.2f, 6.0f), Vector3(0.1f, 0.2f, -6.0f));
    RayInfo meshRay(sphereRay.start, sphereRay.end), direct(sphereRay.start, sphereRay.end);
    meshRay.mode |= QueryMode::kBodyMesh;
    ASSERT_TRUE(obstacle.Intersect(&sphereRay) && obstacle.Intersect(&meshRay));
    ASSERT_TRUE(instance->IntersectRay(direct, nullptr, nullptr));
    EXPECT_FLOAT_EQ(meshRay.result.time, direct.result.time);
    EXPECT_LT(sphereRay.result.time, meshRay.result.time);  // the spheres reach above the box
  }
  // The obstacle is gone; the instance it borrowed is still whole.
  Box after;
  instance->GetWorldBounds(after);
  EXPECT_NEAR(after.max.z, 1.0f, 1e-5f);
}
