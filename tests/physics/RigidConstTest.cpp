// Rigid-body models built from meshes: mass properties, constants, spheres, convex pieces, hostile payloads, loading.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "core/data/ResourceTable.h"
#include "physics/polyhedron/PolyTree.h"
#include "physics/rigid/RigidConstMass.h"
#include "tests/physics/RigidTestUtil.h"
#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"

using namespace rigid_test;
using testing_support::DebugCapture;
using testing_support::TempFolder;

TEST(RigidConst, OneBallCentresTheMeshAndGivesSolidBallInertia) {
  std::unique_ptr<ShadedMesh> mesh = DemoContent::BuildBox(0.5f, 0.5f, 0.5f);
  AddParams(mesh.get(), RigidPhysicsParams());
  AddPointMass(mesh.get(), Vector3(1.0f, 0.0f, 0.0f), 2.0f, 1.0f);
  const Box before = mesh->GetTransformedBounds(nullptr);
  RigidConst model;
  ASSERT_TRUE(model.BuildFromMesh(std::move(mesh)));
  const Box after = model.GetMesh()->GetTransformedBounds(nullptr);
  EXPECT_NEAR(before.min.x - 1.0f, after.min.x, 1e-5f);
  EXPECT_NEAR(before.max.z, after.max.z, 1e-5f);
  const int ball = model.GetMesh()->FindAttachPoint(kAttachRigidPointMass);
  EXPECT_NEAR(0.0f, model.GetMesh()->attachPoints[ball].transform.position.Length(), 1e-6f);
  const RigidMassProperties& m = model.GetMass();
  EXPECT_FLOAT_EQ(2.0f, m.mass);
  EXPECT_FLOAT_EQ(0.5f, m.inverseMass);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(0.8f, m.inertia.m[i][i], 1e-5f);
    EXPECT_NEAR(1.25f, m.inverseInertia.m[i][i], 1e-4f);
  }
}

TEST(RigidConst, BoxLatticesGiveTheirCentroidAndTheInertiaOfTheirCellCentres) {
  // A 2 x 4 x 6 box of mass 3 as 16 cell centres a side: along a side of length L they spread
  // with variance L^2 (16^2 - 1) / (12 16^2), so the inertia about x is 3 (4^2 + 6^2) times that.
  const Box boxes[2] = {Box(Vector3(1, 2, 3), Vector3(3, 6, 9)), Box(Vector3(11, 2, 3), Vector3(13, 6, 9))};
  const float masses[2] = {3.0f, 3.0f};
  Vector3 centroid;
  TMatrix inertia;
  RigidMassDistribution::BoxesCentroidAndInertia(boxes, masses, 1, centroid, inertia);
  const float spread = 255.0f / 3072.0f;
  EXPECT_EQ(Vector3(2, 4, 6), centroid);
  const float diagonal[3] = {3 * 52 * spread, 3 * 40 * spread, 3 * 20 * spread};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(i == j ? diagonal[i] : 0.0f, inertia.m[i][j], 1e-4f) << i << j;
  // Two of them 10 apart: the centroid halfway, and each adds 3 * 5^2 about y and z.
  RigidMassDistribution::BoxesCentroidAndInertia(boxes, masses, 2, centroid, inertia);
  EXPECT_EQ(Vector3(7, 4, 6), centroid);
  EXPECT_NEAR(2 * (3 * 40 * spread + 75), inertia.m[1][1], 0.02f);  // a sum of 8192 terms in float
}

TEST(RigidConst, MassOverrideScalesAndAnEmptySumStaysImmovable) {
  RigidPhysicsParams params;
  params.massTotalOverride = 10.0f;
  auto scaled = MakeModel({{Vector3(0, 0, 0), 1.0f, 0.1f}, {Vector3(4, 0, 0), 3.0f, 0.1f}}, params);
  EXPECT_FLOAT_EQ(10.0f, scaled->GetMass().mass);
  // 2.5 and 7.5 at 3 and 1 from the centre (x = 3): 2.5 * 9 + 7.5 * 1 about y, plus the balls.
  EXPECT_NEAR(30.0f + 0.4f * 10.0f * 0.01f, scaled->GetMass().inertia.m[1][1], 1e-3f);

  for (float override : {0.0f, -1.0f}) {
    params.massTotalOverride = override;
    EXPECT_FLOAT_EQ(4.0f, MakeModel({{Vector3(0, 0, 0), 1.0f, 0.1f}, {Vector3(4, 0, 0), 3.0f, 0.1f}}, params)
                              ->GetMass().mass);
  }
  // An override with nothing to scale, and no masses at all: an immovable body, never inf/NaN.
  params.massTotalOverride = 10.0f;
  auto none = MakeModel({{Vector3(0, 0, 0), 0.0f, 1.0f}}, params);
  EXPECT_TRUE(none->GetMass().IsImmovable());
  EXPECT_TRUE(MakeModel({})->GetMass().IsImmovable());
}

TEST(RigidConst, ConstantsBlockIsReadForItsLengthOnly) {
  RigidPhysicsParams authored;
  authored.gravity = Vector3(0.0f, 0.0f, -3.0f);
  authored.anchorStrength = 7.0f;
  // Shorter: the gravity alone; the rest keeps its defaults.
  std::unique_ptr<ShadedMesh> mesh = DemoContent::BuildBox(0.5f, 0.5f, 0.5f);
  AddParams(mesh.get(), authored, 12);
  RigidConst shortModel;
  shortModel.BuildFromMesh(std::move(mesh));
  EXPECT_EQ(-3.0f, shortModel.GetParams().gravity.z);
  EXPECT_EQ(0.0f, shortModel.GetParams().anchorStrength);
  EXPECT_EQ(-1.0f, shortModel.GetParams().massTotalOverride);
  // Longer than the block: the block, nothing written past it.
  mesh = DemoContent::BuildBox(0.5f, 0.5f, 0.5f);
  AddParams(mesh.get(), authored, 400);
  RigidConst longModel;
  longModel.BuildFromMesh(std::move(mesh));
  EXPECT_EQ(7.0f, longModel.GetParams().anchorStrength);
}

TEST(RigidConst, SpheresGiveRootModelBoxAndTurningBounds) {
  std::unique_ptr<ShadedMesh> mesh = DemoContent::BuildBox(0.5f, 2.0f, 0.5f);
  AddParams(mesh.get(), RigidPhysicsParams());
  AddPointMass(mesh.get(), Vector3(), 1.0f, 0.1f);
  AddSphere(mesh.get(), Vector3(1, 0, 0), 0.5f);
  AddSphere(mesh.get(), Vector3(-1, 0, 0), 0.5f);
  AddSphere(mesh.get(), Vector3(0, 0, 0), 0.0f);  // a point still counts
  RigidConst model;
  model.BuildFromMesh(std::move(mesh));
  const SphereTreeNode& root = model.GetSphereRoot();
  ASSERT_EQ(3u, root.childCount);
  for (uint32_t i = 0; i < 3; ++i) {
    const SphereTreeNode& c = root.children[i];
    EXPECT_LE((c.centre - root.centre).Length() + c.radius, root.radius + 1e-4f);  // root holds every child
  }
  // The box holds the spheres and the mesh, which stands on z = 0 and reaches further along y.
  EXPECT_EQ(Vector3(-1.5f, -2, -0.5f), model.GetModelBox().min);
  EXPECT_EQ(Vector3(1.5f, 2, 1), model.GetModelBox().max);
  // Any orientation of the model stays inside the turning bounds: the mesh's radius here.
  const float half = model.GetTurningBounds().max.x;
  EXPECT_FLOAT_EQ(std::sqrt(5.25f), half);
  EXPECT_FLOAT_EQ(-half, model.GetTurningBounds().min.z);
}

TEST(RigidConst, ConvexPiecesKeepSoundHullsAndSkipFlatOnes) {
  auto build = [](const std::vector<std::vector<Vector3>>& pieces) {
    std::unique_ptr<ShadedMesh> mesh = DemoContent::BuildBox(0.5f, 0.5f, 0.5f);
    AddParams(mesh.get(), RigidPhysicsParams());
    AddPointMass(mesh.get(), Vector3(), 1.0f, 0.5f);
    float x = 0.0f;
    for (const auto& p : pieces) AddPiece(mesh.get(), p, Vector3(x += 3.0f, 0, 0));
    auto model = std::make_unique<RigidConst>();
    model->BuildFromMesh(std::move(mesh));
    return model;
  };
  auto one = build({BoxCorners(0.5f)});
  ASSERT_NE(nullptr, one->GetPieces());
  EXPECT_TRUE(one->GetPieces()->atomic());
  EXPECT_EQ(6u, one->GetPieces()->polyhedron()->faces().size());  // coplanar triangles merged
  EXPECT_NEAR(1.0f, one->GetPieces()->volume, 1e-4f);

  auto two = build({BoxCorners(0.5f), BoxCorners(0.25f)});
  ASSERT_NE(nullptr, two->GetPieces());
  EXPECT_EQ(2u, two->GetPieces()->numChildren());
  EXPECT_EQ(3, two->GetPieces()->numNodes());
  // The compound holds its pieces' sums: the volume, and the first moment of cubes centred at x = 3 and 6.
  EXPECT_NEAR(1.125f, two->GetPieces()->volume, 1e-4f);
  EXPECT_NEAR(3.0f + 0.125f * 6.0f, two->GetPieces()->firstMoment.x, 1e-4f);

  EXPECT_EQ(nullptr, build({{Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0)}})->GetPieces());
  // A tetrahedron is as sound a piece as a box: it stays.
  auto tetra = build({{Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)}});
  ASSERT_NE(nullptr, tetra->GetPieces());
  EXPECT_NEAR(1.0f / 6.0f, tetra->GetPieces()->volume, 1e-5f);
}

TEST(RigidConst, TruncatedPayloadsAreRefusedCleanly) {
  const std::vector<uint8_t> piece = PiecePayload(BoxCorners(0.5f));
  const float ball[2] = {2.0f, 1.0f};
  for (uint32_t length = 0; length < piece.size(); ++length) {
    std::unique_ptr<ShadedMesh> mesh = DemoContent::BuildBox(0.5f, 0.5f, 0.5f);
    AddParams(mesh.get(), RigidPhysicsParams(), std::min<uint32_t>(length, 92));
    mesh->AddAttachPoint(At(Vector3()), kAttachRigidConvex, length, piece.data(), false);
    mesh->AddAttachPoint(At(Vector3(1, 0, 0)), kAttachRigidPointMass, std::min<uint32_t>(length, 8), ball, false);
    mesh->AddAttachPoint(At(Vector3()), kAttachRigidSphere, std::min<uint32_t>(length, 4), ball, false);
    DebugCapture log;
    RigidConst model;
    EXPECT_TRUE(testing_support::CostsNearLinear(length, [&] { model.BuildFromMesh(std::move(mesh)); }));
    EXPECT_EQ(nullptr, model.GetPieces()) << length;
    EXPECT_EQ(length >= 8 ? 2.0f : 0.0f, model.GetMass().mass) << length;
    EXPECT_EQ(length >= 4 ? 1u : 0u, model.GetSphereRoot().childCount) << length;
  }
  // A count larger than the bytes hold.
  std::vector<uint8_t> lying = piece;
  const uint32_t n = 1000000;
  std::memcpy(lying.data(), &n, 4);
  std::unique_ptr<ShadedMesh> mesh = DemoContent::BuildBox(0.5f, 0.5f, 0.5f);
  mesh->AddAttachPoint(At(Vector3()), kAttachRigidConvex, static_cast<uint32_t>(lying.size()), lying.data(), false);
  DebugCapture log;
  RigidConst model;
  model.BuildFromMesh(std::move(mesh));
  EXPECT_EQ(nullptr, model.GetPieces());
  EXPECT_NE(std::string::npos, log.Text().find("RigidConst:"));
}

TEST(RigidConst, ResourceTableLoadsMeshesWithConstantsAsModels) {
  TempFolder folder;
  std::unique_ptr<ShadedMesh> body = DemoContent::BuildBox(0.5f, 0.5f, 0.5f);
  AddParams(body.get(), RigidPhysicsParams());
  AddPointMass(body.get(), Vector3(0, 0, 0.25f), 3.0f, 0.5f);
  ASSERT_TRUE(body->Save((folder.Path() + "body.mesh").c_str(), nullptr));
  body.reset();
  std::unique_ptr<ShadedMesh> plain = DemoContent::BuildBox(0.5f, 0.5f, 0.5f);
  ASSERT_TRUE(plain->Save((folder.Path() + "plain.mesh").c_str(), nullptr));
  plain.reset();

  CResourceTable table;
  const int b = table.Add((folder.Path() + "body.mesh").c_str());
  const int p = table.Add((folder.Path() + "plain.mesh").c_str());
  auto* model = static_cast<RigidConst*>(table.GetResource(b));
  ASSERT_NE(nullptr, model);
  EXPECT_EQ(kResourceRigidBody, table.GetType(b));
  EXPECT_FLOAT_EQ(3.0f, model->GetMass().mass);
  ASSERT_NE(nullptr, table.GetResource(p));
  EXPECT_EQ(kResourceMesh, table.GetType(p));
  table.UnloadAll();
}

TEST(RigidConst, ConstantsFromDefinitionTextChangeOnlyTheKeysGiven) {
  RigidPhysicsParams p;
  p.Read("gravity = 0, 0, -3\nlineardrag = 0.5\nanchorstrength = 12\nSurfaceType = ICE");
  EXPECT_EQ(Vector3(0, 0, -3), p.gravity);
  EXPECT_EQ(Vector3(0.5f, 0.5f, 0.5f), p.linearDrag);  // one number for all three
  EXPECT_EQ(12.0f, p.anchorStrength);
  // The keys not given keep their defaults.
  EXPECT_EQ(-1.0f, p.massTotalOverride);
  EXPECT_EQ(Vector3(0.1f, 0.1f, 0.1f), p.rotationalDrag);
  EXPECT_EQ(Vector3(0.15f, 0.15f, 0.15f), p.minAngularVelocity);
  EXPECT_EQ(0.5f, p.minLinearVelocity);
  EXPECT_NE(SurfaceType::Get(0)->index, p.surface.index);
}
