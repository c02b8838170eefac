// Rays that ask for a body's mesh meet its drawn triangles, wherever the body stands; every
// other query meets its collision spheres, or the faces of its convex pieces when it has them.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "physics/collision/BeamInfo.h"
#include "physics/polyhedron/BeamArrayInfo.h"
#include "physics/polyhedron/PolyTree.h"
#include "physics/rigid/RigidCollisionBody.h"
#include "scene/mesh/MeshInstance.h"
#include "tests/physics/RigidTestUtil.h"

using namespace rigid_test;

namespace {

// A 4 m long plank (x from -2 to 2, y from -0.25 to 0.25, z from 0 to 1) whose only collision
// sphere is a ball of radius 0.3 at its origin.
std::unique_ptr<RigidConst> MakePlank() {
  std::unique_ptr<ShadedMesh> mesh = DemoContent::BuildBox(2.0f, 0.25f, 0.5f);
  AddParams(mesh.get(), RigidPhysicsParams());
  AddPointMass(mesh.get(), Vector3(0, 0, 0), 1.0f, 0.1f);
  AddSphere(mesh.get(), Vector3(0, 0, 0), 0.3f);
  auto model = std::make_unique<RigidConst>();
  model->BuildFromMesh(std::move(mesh));
  return model;
}

RayInfo MeshRay(const Vector3& from, const Vector3& to) {
  RayInfo ray(from, to);
  ray.mode |= QueryMode::kBodyMesh;
  return ray;
}

}  // namespace

TEST(RigidBodyMeshRay, MeshRaysHitTheTrianglesAndOtherQueriesTheSpheres) {
  const std::unique_ptr<RigidConst> model = MakePlank();
  CRigidCollisionBody body;
  body.SetModel(model.get(), At(Vector3(0, 0, 0)), Vector3(), Vector3());
  ASSERT_NE(nullptr, body.GetMeshInstance());

  // Down through the plank's end, far outside the ball: the top face at z = 1.
  RayInfo end = MeshRay(Vector3(1.5f, 0, 5), Vector3(1.5f, 0, -5));
  ASSERT_TRUE(body.Intersect(&end));
  EXPECT_NEAR(0.4f, end.result.time, 1e-6f);
  EXPECT_NEAR(1.5f, end.result.point.x, 1e-5f);
  EXPECT_NEAR(1.0f, end.result.point.z, 1e-5f);
  EXPECT_NEAR(1.0f, end.normal.z, 1e-5f);
  RayInfo plain(end.start, end.end);
  EXPECT_FALSE(body.Intersect(&plain));

  // Through the middle both shapes are hit, each at its own top: the plank at z = 1 (time
  // 0.4), the ball at z = 0.3 (time 0.47).
  RayInfo middle = MeshRay(Vector3(0, 0, 5), Vector3(0, 0, -5));
  RayInfo sphere(middle.start, middle.end);
  ASSERT_TRUE(body.Intersect(&middle));
  ASSERT_TRUE(body.Intersect(&sphere));
  EXPECT_NEAR(0.4f, middle.result.time, 1e-6f);
  EXPECT_NEAR(0.47f, sphere.result.time, 1e-6f);

  // The flag belongs to segments only: a thin swept sphere past the plank's end misses.
  BeamInfo beam(end.start, end.end, 0.01f);
  beam.mode |= QueryMode::kBodyMesh;
  EXPECT_FALSE(body.Intersect(&beam));
  // The body keeps the instance it made; its sweeps reuse one shared query that no holder frees.
  EXPECT_TRUE(body.OwnsMeshInstance());
  SweepQuery first = body.CreateSweepQuery(0.0f);
  ASSERT_TRUE(first.IsShared());
  GenericIntersection* shared = first.Get();
  first = SweepQuery();
  const SweepQuery second = body.CreateSweepQuery(0.0f);
  EXPECT_EQ(second.Get(), shared);
}

TEST(RigidBodyMeshRay, MeshRaysFollowTheBodyAndAgreeWithTheInstance) {
  const std::unique_ptr<RigidConst> model = MakePlank();
  CRigidCollisionBody body;
  body.SetModel(model.get(), At(Vector3(0, 0, 0)), Vector3(), Vector3());
  // Turned a quarter about z and moved: the plank now runs along y round (10, 20, 0).
  COrientation turned(TMatrix(), Vector3(10, 20, 0));
  turned.RotateZ(1.5707964f);
  body.SetOrientation(turned);

  RayInfo oldPlace = MeshRay(Vector3(1.5f, 0, 5), Vector3(1.5f, 0, -5));
  EXPECT_FALSE(body.Intersect(&oldPlace));
  for (float along : {-1.9f, -1.0f, 0.5f, 1.9f}) {
    RayInfo ray = MeshRay(Vector3(10, 20 + along, 5), Vector3(10, 20 + along, -5));
    ASSERT_TRUE(body.Intersect(&ray)) << along;
    EXPECT_NEAR(0.4f, ray.result.time, 1e-5f) << along;
    RayInfo direct(ray.start, ray.end);
    ASSERT_TRUE(body.GetMeshInstance()->IntersectRay(direct, nullptr, nullptr));
    EXPECT_EQ(direct.result.time, ray.result.time);
    EXPECT_EQ(direct.result.point, ray.result.point);
    EXPECT_EQ(direct.normal, ray.normal);
  }
  // Across the plank's old length there is nothing now.
  RayInfo across = MeshRay(Vector3(11.5f, 20, 5), Vector3(11.5f, 20, -5));
  EXPECT_FALSE(body.Intersect(&across));

  // A body given its place with its model stands there once, not twice over.
  CRigidCollisionBody placed;
  placed.SetModel(model.get(), turned, Vector3(), Vector3());
  RayInfo end = MeshRay(Vector3(10, 21.5f, 5), Vector3(10, 21.5f, -5));
  ASSERT_TRUE(placed.Intersect(&end));
  EXPECT_NEAR(0.4f, end.result.time, 1e-5f);
  RayInfo doubled = MeshRay(Vector3(20, 40, 5), Vector3(20, 40, -5));
  EXPECT_FALSE(placed.Intersect(&doubled));
}

// A 1 m cube piece round a small ball: segments, swept spheres and their arrays meet the cube's
// faces, wherever the body stands, and pass by what lies beside it; a body of two pieces is met
// on either, at the nearer.
TEST(RigidBodyPieces, OtherQueriesMeetThePiecesFaces) {
  std::unique_ptr<ShadedMesh> mesh = DemoContent::BuildBox(0.5f, 0.5f, 0.5f);
  AddParams(mesh.get(), RigidPhysicsParams());
  AddPointMass(mesh.get(), Vector3(0, 0, 0), 1.0f, 0.1f);
  AddSphere(mesh.get(), Vector3(0, 0, 0), 0.1f);
  const std::vector<uint8_t> piece = PiecePayload(BoxCorners(0.5f));
  mesh->AddAttachPoint(At(Vector3()), kAttachRigidConvex, static_cast<uint32_t>(piece.size()), piece.data(), false);
  RigidConst model;
  ASSERT_TRUE(model.BuildFromMesh(std::move(mesh)));
  ASSERT_NE(nullptr, model.GetPieces());
  CRigidCollisionBody body;
  COrientation frame(TMatrix(), Vector3(10, 20, 0));
  frame.RotateZ(0.5f);
  body.SetModel(&model, frame, Vector3(), Vector3());
  const Vector3 c = frame.position, x = frame.GetXAxis(), y = frame.GetYAxis(), up(0, 0, 1);

  // Down onto the top face, well away from the ball.
  RayInfo ray(c + x * 0.4f + y * 0.3f + up * 5.0f, c + x * 0.4f + y * 0.3f - up * 5.0f);
  ASSERT_TRUE(body.Intersect(&ray));
  EXPECT_NEAR(0.45f, ray.result.time, 1e-5f);
  EXPECT_NEAR(0.0f, (ray.normal - up).Length(), 1e-5f);
  // A sphere of 0.2 swept along the body's -x touches the +x face when its centre is 0.7 out.
  BeamInfo beam(c + x * 3.0f + up * 0.2f, c - x * 3.0f + up * 0.2f, 0.2f);
  ASSERT_TRUE(body.Intersect(&beam));
  EXPECT_NEAR(2.3f / 6.0f, beam.result.time, 1e-5f);
  EXPECT_NEAR(0.0f, (beam.normal - x).Length(), 1e-5f);
  EXPECT_NEAR(0.0f, (beam.result.point - (c + x * 0.5f + up * 0.2f)).Length(), 1e-4f);
  // The same sphere 0.75 to the side passes by.
  BeamInfo beside(c + x * 3.0f + y * 0.75f, c - x * 3.0f + y * 0.75f, 0.2f);
  EXPECT_FALSE(body.Intersect(&beside));
  // A body's swept spheres together: the earliest contact of any of them.
  BeamArrayInfo array;
  array.beams = {beside, beam};
  for (BeamInfo& b : array.beams) {
    Box box;
    b.GetBounds(box);
    array.boxes.push_back(box);
  }
  ASSERT_TRUE(body.Intersect(&array));
  EXPECT_NEAR(2.3f / 6.0f, array.result.time, 1e-5f);
  EXPECT_NEAR(0.0f, (array.normal - x).Length(), 1e-5f);

  // Two pieces, a 1 m cube round x = -1 and a 0.5 m one round x = 1: a ray meets the second
  // piece's top, and one along -x the second piece's near face, not the first piece behind it.
  std::unique_ptr<ShadedMesh> pair = DemoContent::BuildBox(1.5f, 0.5f, 0.5f);
  AddParams(pair.get(), RigidPhysicsParams());
  AddPointMass(pair.get(), Vector3(0, 0, 0), 1.0f, 0.1f);
  AddPiece(pair.get(), BoxCorners(0.5f), Vector3(-1, 0, 0));
  AddPiece(pair.get(), BoxCorners(0.25f), Vector3(1, 0, 0));
  RigidConst pairModel;
  ASSERT_TRUE(pairModel.BuildFromMesh(std::move(pair)));
  ASSERT_EQ(2u, pairModel.GetPieces()->numChildren());
  CRigidCollisionBody two;
  two.SetModel(&pairModel, frame, Vector3(), Vector3());
  RayInfo second(c + x * 1.1f + y * 0.05f + up * 5.0f, c + x * 1.1f + y * 0.05f - up * 5.0f);
  ASSERT_TRUE(two.Intersect(&second));
  EXPECT_NEAR(4.75f / 10.0f, second.result.time, 1e-5f);
  EXPECT_NEAR(0.0f, (second.normal - up).Length(), 1e-5f);
  RayInfo along(c + x * 5.0f + y * 0.1f + up * 0.1f, c - x * 5.0f + y * 0.1f + up * 0.1f);
  ASSERT_TRUE(two.Intersect(&along));
  EXPECT_NEAR(3.75f / 10.0f, along.result.time, 1e-5f);
  EXPECT_NEAR(0.0f, (along.normal - x).Length(), 1e-5f);
  // A query that meets nothing keeps the normal of its last hit: the lone cube lies off that ray.
  EXPECT_FALSE(body.Intersect(&second));
  EXPECT_NEAR(0.0f, (second.normal - up).Length(), 1e-5f);
}
