// Demo meshes authored as physical bodies: a crate that falls and tumbles, and a buggy on four wheels.
#include <cstring>
#include <string>

#include "physics/rigid/RigidConst.h"
#include "physics/rigid/WheelParams.h"
#include "scene/mesh/ShadedMesh.h"
#include "tools/DemoContent.h"

namespace DemoContent {

namespace {

COrientation At(float x, float y, float z) { return COrientation(TMatrix(), Vector3(x, y, z)); }

void AddBall(ShadedMesh* mesh, float x, float y, float z, float mass, float radius) {
  const float data[2] = {mass, radius};
  mesh->AddAttachPoint(At(x, y, z), kAttachRigidPointMass, sizeof data, data, false);
}

void AddSphere(ShadedMesh* mesh, float x, float y, float z, float radius) {
  mesh->AddAttachPoint(At(x, y, z), kAttachRigidSphere, sizeof radius, &radius, false);
}

// The convex piece of a box: its eight corners.
void AddBoxPiece(ShadedMesh* mesh, float hx, float hy, float hz, float z) {
  uint8_t data[16 + 8 * 12] = {};
  const uint32_t n = 8;
  std::memcpy(data, &n, sizeof n);
  for (int i = 0; i < 8; ++i) {
    const float p[3] = {i & 1 ? hx : -hx, i & 2 ? hy : -hy, i & 4 ? hz : -hz};
    std::memcpy(data + 16 + 12 * i, p, sizeof p);
  }
  mesh->AddAttachPoint(At(0, 0, z), kAttachRigidConvex, sizeof data, data, false);
}

void AddConstants(ShadedMesh* mesh, float anchor) {
  RigidPhysicsParams params;
  params.anchorStrength = anchor;
  mesh->AddAttachPoint(COrientation(), kAttachRigidParams, sizeof params, &params, false);
}

}  // namespace

std::unique_ptr<ShadedMesh> BuildCrate() {
  std::unique_ptr<ShadedMesh> mesh = BuildBox(0.5f, 0.5f, 0.5f);
  if (!mesh) return nullptr;
  mesh->SetName("crate");
  AddConstants(mesh.get(), 0.0f);
  for (int i = 0; i < 8; ++i)
    AddBall(mesh.get(), i & 1 ? 0.3f : -0.3f, i & 2 ? 0.3f : -0.3f, i & 4 ? 0.8f : 0.2f, 5.0f, 0.2f);
  AddSphere(mesh.get(), 0.0f, 0.0f, 0.5f, 0.5f);
  // The ground meets a body's spheres, not its pieces: a small sphere in each corner keeps a
  // tipped crate's corners (where a box first meets flat ground) out of the ground.
  for (int i = 0; i < 8; ++i)
    AddSphere(mesh.get(), i & 1 ? 0.485f : -0.485f, i & 2 ? 0.485f : -0.485f, i & 4 ? 0.985f : 0.015f, 0.01f);
  AddBoxPiece(mesh.get(), 0.5f, 0.5f, 0.5f, 0.5f);
  return mesh;
}

std::unique_ptr<ShadedMesh> BuildBuggy() {
  std::unique_ptr<ShadedMesh> body = BuildBox(1.2f, 0.7f, 0.3f);
  if (!body) return nullptr;
  body->SetName("buggy");
  AddConstants(body.get(), 0.0f);
  const uint32_t vehicleKey = 1;
  body->AddAttachPoint(COrientation(), kAttachVehicleDef, sizeof vehicleKey, &vehicleKey, false);
  for (int i = 0; i < 4; ++i) AddBall(body.get(), i & 1 ? 0.8f : -0.8f, i & 2 ? 0.5f : -0.5f, 0.3f, 100.0f, 0.3f);
  AddSphere(body.get(), 0.6f, 0.0f, 0.3f, 0.6f);
  AddSphere(body.get(), -0.6f, 0.0f, 0.3f, 0.6f);
  WheelParams wheel;  // the defaults, stored as the wheel's constants
  int number = 1;
  for (float x : {0.9f, -0.9f}) {
    for (float y : {0.8f, -0.8f}) {
      std::unique_ptr<ShadedMesh> tyre = BuildBox(0.35f, 0.15f, 0.35f);
      if (!tyre) return nullptr;
      tyre->SetName(("wheel=" + std::to_string(number++)).c_str());
      // The top of the suspension travel, 0.3 above the wheel's rest centre.
      tyre->AddAttachPoint(At(0.0f, 0.0f, 0.3f), kAttachWheelParams, WheelParams::kStoredBytes, &wheel, false);
      tyre->ComputeBounds();
      const int hang = body->AddAttachPoint(At(x, y, 0.0f), kAttachNamedPoint, 6, "wheel", false);
      body->AddChildMesh(std::move(tyre), static_cast<uint32_t>(hang));
    }
  }
  body->ResolveTextures();
  return body;
}

}  // namespace DemoContent
