// Vehicle definitions: the texts of the vehicle attach points (short, long and missing data), a
// collision sphere per wheel part, and the vehicle riding on a child part.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "combat/VehicleDef.h"
#include "physics/collision/SphereTreeNode.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContent.h"

namespace {

COrientation At(float x, float y, float z) { return COrientation(TMatrix(), Vector3(x, y, z)); }

void AddText(ShadedMesh* mesh, uint32_t type, const std::string& bytes) {
  mesh->AddAttachPoint(COrientation(), type, static_cast<uint32_t>(bytes.size()), bytes.data(), false);
}

// A body whose first attach point names it, of one ball of mass 10 at (0, 0, 0.5), so the model
// moves everything down by 0.5, with one authored collision sphere of radius 1 at (0, 0, 0.5).
std::unique_ptr<ShadedMesh> MakeBody(const std::string& nameText) {
  std::unique_ptr<ShadedMesh> body = DemoContent::BuildBox(1.0f, 0.5f, 0.5f);
  AddText(body.get(), kAttachVehicleDef, nameText);
  RigidPhysicsParams params;
  body->AddAttachPoint(COrientation(), kAttachRigidParams, sizeof params, &params, false);
  const float ball[2] = {10.0f, 0.2f};
  body->AddAttachPoint(At(0, 0, 0.5f), kAttachRigidPointMass, sizeof ball, ball, false);
  const float radius = 1.0f;
  body->AddAttachPoint(At(0, 0, 0.5f), kAttachRigidSphere, sizeof radius, &radius, false);
  return body;
}

// Hangs part on a new attach point of parent at the given place; parent owns it afterwards.
void Hang(ShadedMesh* parent, std::unique_ptr<ShadedMesh> part, const char* partName, const COrientation& at) {
  part->SetName(partName);
  const int point = parent->AddAttachPoint(at, kAttachNamedPoint, 5, "part", false);
  ASSERT_TRUE(parent->AddChildMesh(std::move(part), static_cast<uint32_t>(point)));
}

void ExpectSphere(const SphereTreeNode& s, const Vector3& centre, float radius) {
  EXPECT_NEAR(centre.x, s.centre.x, 1e-6f);
  EXPECT_NEAR(centre.y, s.centre.y, 1e-6f);
  EXPECT_NEAR(centre.z, s.centre.z, 1e-6f);
  EXPECT_NEAR(radius, s.radius, 1e-6f);
}

}  // namespace

TEST(VehicleDefParts, TextsAreCopiedUpToTheirFieldsAndMissingOnesStay) {
  std::unique_ptr<ShadedMesh> bodyOwner = MakeBody(std::string("Dune Runner\0junk", 16));
  ShadedMesh* body = bodyOwner.get();
  AddText(body, kAttachVehicleKind, "buggy");  // no terminator: the rest of the field stays zero
  const std::string longDescription(200, 'd');
  AddText(body, kAttachVehicleDescription, longDescription);
  CVehicleDef def;
  ASSERT_TRUE(def.BuildFromVehicleMesh(std::move(bodyOwner)));
  EXPECT_EQ(0, std::memcmp(def.name, "Dune Runner\0junk", 16));
  EXPECT_EQ("Dune Runner", def.GetName());
  EXPECT_EQ("buggy", def.GetKind());
  // Longer data fills the field and no more; the field is then not terminated.
  EXPECT_EQ(std::string(132, 'd'), def.GetDescription());
}

TEST(VehicleDefParts, TextsComeFromTheMeshFilesAttachTypes51And52And59Only) {
  // The numbers as mesh files carry them, not through the engine's names for them.
  std::unique_ptr<ShadedMesh> bodyOwner = MakeBody("Hauler");
  ShadedMesh* body = bodyOwner.get();
  ASSERT_EQ(body->FindAttachPoint(kAttachVehicleDef), body->FindAttachPoint(51));
  AddText(body, 53, "not a kind");
  AddText(body, 52, "truck, a kind longer than its 32-byte field");  // cut to the field
  AddText(body, 60, "not a description");
  AddText(body, 59, "Slow but steady.");
  AddText(body, 58, "not a description either");
  CVehicleDef def;
  ASSERT_TRUE(def.BuildFromVehicleMesh(std::move(bodyOwner)));
  EXPECT_EQ("Hauler", def.GetName());
  EXPECT_EQ("truck, a kind longer than its 32", def.GetKind());
  EXPECT_EQ("Slow but steady.", def.GetDescription());
}

TEST(VehicleDefParts, ShortOrEmptyDataOverwritesOnlyWhatItHolds) {
  std::unique_ptr<ShadedMesh> bodyOwner = MakeBody("ab");  // two bytes of a 168-byte field
  ShadedMesh* body = bodyOwner.get();
  body->AddAttachPoint(COrientation(), kAttachVehicleDescription, 0, nullptr, false);
  CVehicleDef def;
  std::memset(def.name, 'z', sizeof def.name);
  std::strcpy(def.kind, "kept");
  std::strcpy(def.description, "also kept");
  ASSERT_TRUE(def.BuildFromVehicleMesh(std::move(bodyOwner)));
  EXPECT_EQ("ab" + std::string(166, 'z'), def.GetName());
  EXPECT_EQ("kept", def.GetKind());         // the mesh has no kind point
  EXPECT_EQ("also kept", def.GetDescription());  // its description point holds nothing
}

TEST(VehicleDefParts, EachWheelPartGetsASphereAtItsSuspensionPoint) {
  std::unique_ptr<ShadedMesh> bodyOwner = MakeBody("car");
  ShadedMesh* body = bodyOwner.get();
  // A tyre 0.7 tall whose suspension point is 0.3 above and 0.1 behind its hanging point.
  std::unique_ptr<ShadedMesh> frontOwner = DemoContent::BuildBox(0.35f, 0.15f, 0.35f);
  ShadedMesh* front = frontOwner.get();
  front->AddAttachPoint(At(-0.1f, 0, 0.3f), kAttachWheelParams, 0, nullptr, false);
  Hang(body, std::move(frontOwner), "wheel=1", At(0.9f, 0.8f, 0.2f));
  // A part that is no wheel, and a tyre 0.5 tall without a suspension point.
  Hang(body, DemoContent::BuildBox(0.2f, 0.2f, 0.2f), "seat", At(0, 0, 1));
  Hang(body, DemoContent::BuildBox(0.25f, 0.1f, 0.25f), "Rear_Wheel=2", At(-0.9f, 0, 0));
  CVehicleDef def;
  ASSERT_TRUE(def.BuildFromVehicleMesh(std::move(bodyOwner)));
  // The authored sphere first, then the wheels in part order, all moved down by 0.5 with the
  // centre of mass.
  const SphereTreeNode& root = def.GetSphereRoot();
  ASSERT_EQ(3u, root.childCount);
  ExpectSphere(root.children[0], Vector3(0, 0, 0), 1.0f);
  ExpectSphere(root.children[1], Vector3(0.8f, 0.8f, 0.0f), 0.36f);
  ExpectSphere(root.children[2], Vector3(-0.9f, 0, -0.5f), 0.26f);
  EXPECT_EQ(2u, def.GetWheelCount());
}

TEST(VehicleDefParts, WheelPartsWithoutAPlaceOrASizeGetNoSphere) {
  std::unique_ptr<ShadedMesh> bodyOwner = MakeBody("car");
  ShadedMesh* body = bodyOwner.get();
  std::unique_ptr<ShadedMesh> lostOwner = DemoContent::BuildBox(0.3f, 0.1f, 0.3f);
  Hang(body, std::move(lostOwner), "wheel=1", At(1, 0, 0));
  std::unique_ptr<ShadedMesh> brokenOwner = DemoContent::BuildBox(0.3f, 0.1f, 0.3f);
  ShadedMesh* broken = brokenOwner.get();
  Hang(body, std::move(brokenOwner), "wheel=2", At(-1, 0, 0));
  body->childAttach[0] = static_cast<uint32_t>(body->attachPoints.size());  // one past the last attach point
  broken->bounds.max.z = std::nanf("");
  testing_support::DebugCapture log;
  CVehicleDef def;
  ASSERT_TRUE(def.BuildFromVehicleMesh(std::move(bodyOwner)));
  EXPECT_EQ(1u, def.GetSphereRoot().childCount);
  EXPECT_EQ(1u, def.GetWheelCount());  // only the broken one binds: it has a place
  EXPECT_NE(std::string::npos, log.Text().find("wheel part 0 hangs on no attach point")) << log.Text();
  EXPECT_NE(std::string::npos, log.Text().find("wheel part 1 has no usable size")) << log.Text();
}

TEST(VehicleDefParts, TheFirstVehiclePartBecomesANestedDefinition) {
  std::unique_ptr<ShadedMesh> bodyOwner = MakeBody("tank");
  ShadedMesh* body = bodyOwner.get();
  std::unique_ptr<ShadedMesh> turretOwner = MakeBody("turret");
  ShadedMesh* turret = turretOwner.get();
  std::unique_ptr<ShadedMesh> gunOwner = MakeBody("gun");
  ShadedMesh* gun = gunOwner.get();
  Hang(turret, std::move(gunOwner), "gun", At(1, 0, 0));
  Hang(body, DemoContent::BuildBox(0.2f, 0.2f, 0.2f), "aerial", At(0, 0, 2));
  Hang(body, std::move(turretOwner), "turret", At(0, 0, 1));
  std::unique_ptr<ShadedMesh> spareOwner = MakeBody("spare");
  ShadedMesh* spare = spareOwner.get();
  Hang(body, std::move(spareOwner), "spare", At(-1, 0, 1));
  {
    CVehicleDef def;
    ASSERT_TRUE(def.BuildFromVehicleMesh(std::move(bodyOwner)));
    const CVehicleDef* nested = def.GetNested();
    ASSERT_NE(nullptr, nested);
    EXPECT_EQ("turret", nested->GetName());
    EXPECT_EQ(turret, nested->GetMesh());
    EXPECT_FLOAT_EQ(10.0f, nested->GetMass().mass);
    ASSERT_NE(nullptr, nested->GetNested());
    EXPECT_EQ("gun", nested->GetNested()->GetName());
    EXPECT_EQ(nullptr, nested->GetNested()->GetNested());
    // The vehicle parts are left out of their parent's instance; the others are not.
    EXPECT_EQ(ShadedMesh::kKindInternal, turret->GetKind());
    EXPECT_EQ(ShadedMesh::kKindInternal, gun->GetKind());
    EXPECT_EQ(ShadedMesh::kKindOrdinary, spare->GetKind());
    EXPECT_EQ(ShadedMesh::kKindOrdinary, body->children[0]->GetKind());
  }
  // The definitions are gone with every mesh deleted once (the sanitizer build checks).
}

TEST(VehicleDefParts, RebuildingReplacesTheNestedDefinition) {
  std::unique_ptr<ShadedMesh> bodyOwner = MakeBody("tank");
  ShadedMesh* body = bodyOwner.get();
  Hang(body, MakeBody("turret"), "turret", At(0, 0, 1));
  CVehicleDef def;
  ASSERT_TRUE(def.BuildFromVehicleMesh(std::move(bodyOwner)));
  std::unique_ptr<ShadedMesh> plainOwner = MakeBody("plain");
  ASSERT_TRUE(def.BuildFromVehicleMesh(std::move(plainOwner)));
  EXPECT_EQ(nullptr, def.GetNested());
  EXPECT_EQ("plain", def.GetName());
}
