// Vehicle definitions from vehicle meshes: the body model, one wheel per wheel part, and loading through the table.
#include <gtest/gtest.h>

#include <memory>

#include "combat/VehicleDef.h"
#include "core/data/ResourceTable.h"
#include "physics/polyhedron/PolyTree.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContent.h"

TEST(VehicleDef, BuggyGivesItsBodyAndFourWheels) {
  CVehicleDef def;
  ASSERT_TRUE(def.BuildFromVehicleMesh(DemoContent::BuildBuggy()));
  EXPECT_FLOAT_EQ(400.0f, def.GetMass().mass);
  ASSERT_EQ(4u, def.GetWheelCount());
  for (uint32_t i = 0; i < 4; ++i) {
    const WheelParams& w = def.GetWheels()[i];
    EXPECT_EQ(static_cast<int32_t>(i), w.wheelNode);
    EXPECT_NEAR(0.9f, std::fabs(w.mountPoint.x), 1e-5f);
    EXPECT_NEAR(0.8f, std::fabs(w.mountPoint.y), 1e-5f);
    EXPECT_NEAR(-0.3f, w.mountPoint.z, 1e-5f);  // the body was centred on its mass at z = 0.3
    EXPECT_NEAR(1.0f, w.suspensionAxis.z, 1e-5f);
    EXPECT_NEAR(0.3f, w.suspensionLength, 1e-5f);
    EXPECT_NEAR(0.35f, w.radius, 1e-5f);
    EXPECT_NEAR(0.5f * w.mass * 0.35f * 0.35f, w.spinInertia, 1e-5f);
    EXPECT_EQ(WheelParams().stiffness, w.stiffness);
  }
}

TEST(VehicleDef, ResourceTableTurnsVehicleAndBodyMeshesIntoTheirAssets) {
  testing_support::TempFolder folder;
  std::pair<const char*, std::unique_ptr<ShadedMesh>> meshes[] = {{"buggy.mesh", DemoContent::BuildBuggy()},
                                                                    {"crate.mesh", DemoContent::BuildCrate()}};
  for (auto& [name, mesh] : meshes) {
    ASSERT_NE(nullptr, mesh.get());
    ASSERT_TRUE(mesh->Save((folder.Path() + name).c_str(), nullptr));
  }
  CResourceTable table;
  const int buggy = table.Add((folder.Path() + "buggy.mesh").c_str());
  const int crate = table.Add((folder.Path() + "crate.mesh").c_str());
  auto* def = static_cast<CVehicleDef*>(table.GetResource(buggy));
  ASSERT_NE(nullptr, def);
  EXPECT_EQ(kResourceVehicle, table.GetType(buggy));
  EXPECT_EQ(4u, def->GetWheelCount());
  auto* model = static_cast<RigidConst*>(table.GetResource(crate));
  ASSERT_NE(nullptr, model);
  EXPECT_EQ(kResourceRigidBody, table.GetType(crate));
  EXPECT_FLOAT_EQ(40.0f, model->GetMass().mass);
  ASSERT_NE(nullptr, model->GetPieces());
  EXPECT_TRUE(model->GetPieces()->atomic());
  table.UnloadAll();
}

TEST(VehicleDef, ShortWheelConstantsAndAZeroLengthSuspensionStayFinite) {
  std::unique_ptr<ShadedMesh> body = DemoContent::BuildBox(1.0f, 0.5f, 0.3f);
  const uint32_t key = 1;
  body->AddAttachPoint(COrientation(), kAttachVehicleDef, sizeof key, &key, false);
  std::unique_ptr<ShadedMesh> tyre = DemoContent::BuildBox(0.3f, 0.1f, 0.3f);
  tyre->SetName("wheel=1");
  const float two[2] = {123.0f, 456.0f};  // damping and stiffness only
  tyre->AddAttachPoint(COrientation(), kAttachWheelParams, sizeof two, two, false);
  const int hang = body->AddAttachPoint(COrientation(TMatrix(), Vector3(1, 0, 0)), 50000, 2, "w", false);
  ASSERT_TRUE(body->AddChildMesh(std::move(tyre), static_cast<uint32_t>(hang)));
  CVehicleDef def;
  ASSERT_TRUE(def.BuildFromVehicleMesh(std::move(body)));
  ASSERT_EQ(1u, def.GetWheelCount());
  const WheelParams& w = def.GetWheels()[0];
  EXPECT_EQ(123.0f, w.damping);
  EXPECT_EQ(456.0f, w.stiffness);
  EXPECT_EQ(WheelParams().mass, w.mass);
  EXPECT_EQ(0.0f, w.suspensionLength);
  EXPECT_EQ(Vector3(0, 0, 1), w.suspensionAxis);
}
