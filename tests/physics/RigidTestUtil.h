// RigidTestUtil: rigid-body models built from small meshes with authored attach points, for the rigid-body tests.
#pragma once

#include <cstring>
#include <memory>
#include <vector>

#include "core/math/Orientation.h"
#include "physics/rigid/RigidConst.h"
#include "scene/mesh/ShadedMesh.h"
#include "tools/DemoContent.h"

namespace rigid_test {

inline COrientation At(const Vector3& p) { return COrientation(TMatrix(), p); }

inline void AddPointMass(ShadedMesh* mesh, const Vector3& p, float mass, float radius) {
  const float data[2] = {mass, radius};
  mesh->AddAttachPoint(At(p), kAttachRigidPointMass, sizeof data, data, false);
}

inline void AddSphere(ShadedMesh* mesh, const Vector3& p, float radius) {
  mesh->AddAttachPoint(At(p), kAttachRigidSphere, sizeof radius, &radius, false);
}

inline void AddParams(ShadedMesh* mesh, const RigidPhysicsParams& params, uint32_t length = sizeof(RigidPhysicsParams)) {
  std::vector<uint8_t> bytes(length, 0);
  if (length > 0) std::memcpy(bytes.data(), &params, std::min<size_t>(length, sizeof params));
  mesh->AddAttachPoint(COrientation(), kAttachRigidParams, length, bytes.data(), false);
}

// A convex piece payload: count, 12 unread bytes, then the points.
inline std::vector<uint8_t> PiecePayload(const std::vector<Vector3>& points) {
  std::vector<uint8_t> bytes(16 + 12 * points.size(), 0);
  const uint32_t n = static_cast<uint32_t>(points.size());
  std::memcpy(bytes.data(), &n, 4);
  for (size_t i = 0; i < points.size(); ++i) std::memcpy(bytes.data() + 16 + 12 * i, &points[i], 12);
  return bytes;
}

inline void AddPiece(ShadedMesh* mesh, const std::vector<Vector3>& points, const Vector3& at = Vector3()) {
  const std::vector<uint8_t> bytes = PiecePayload(points);
  mesh->AddAttachPoint(At(at), kAttachRigidConvex, static_cast<uint32_t>(bytes.size()), bytes.data(), false);
}

inline std::vector<Vector3> BoxCorners(float h) {
  std::vector<Vector3> c;
  for (int i = 0; i < 8; ++i) c.emplace_back(i & 1 ? h : -h, i & 2 ? h : -h, i & 4 ? h : -h);
  return c;
}

// A body model: a 1 m box mesh, the given balls and one collision sphere of radius 0.5.
inline std::unique_ptr<RigidConst> MakeModel(const std::vector<RigidPointMass>& masses,
                                             const RigidPhysicsParams& params = RigidPhysicsParams()) {
  std::unique_ptr<ShadedMesh> mesh = DemoContent::BuildBox(0.5f, 0.5f, 0.5f);
  AddParams(mesh.get(), params);
  for (const RigidPointMass& m : masses) AddPointMass(mesh.get(), m.position, m.mass, m.radius);
  AddSphere(mesh.get(), Vector3(0.0f, 0.0f, 0.0f), 0.5f);
  auto model = std::make_unique<RigidConst>();
  model->BuildFromMesh(std::move(mesh));
  return model;
}

}  // namespace rigid_test
