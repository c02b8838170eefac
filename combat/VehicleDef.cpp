#include "combat/VehicleDef.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/data/DebugPrintf.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

bool IsWheelPart(const ShadedMesh* mesh) {
  std::string n = mesh->GetName();
  std::transform(n.begin(), n.end(), n.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return n.find("wheel") != std::string::npos;
}

// Copies at most the field's size; a shorter block leaves the rest of the field as it was.
void CopyText(const ShadedMesh& mesh, uint32_t type, char* field, size_t size) {
  const int index = mesh.FindAttachPoint(type);
  if (index < 0) return;
  const AttachPoint& ap = mesh.attachPoints[static_cast<size_t>(index)];
  const size_t length = std::min<size_t>(ap.GetLength(), size);
  if (ap.GetData() && length > 0) std::memcpy(field, ap.GetData(), length);
}

std::string TextOf(const char* field, size_t size) {
  const char* end = static_cast<const char*>(std::memchr(field, '\0', size));
  return std::string(field, end ? static_cast<size_t>(end - field) : size);
}

ResourceOwner BuildVehicleAsset(std::unique_ptr<ShadedMesh>& mesh) {
  auto def = std::make_unique<CVehicleDef>();
  def->BuildFromVehicleMesh(std::move(mesh));
  return MakeResourceOwner(std::move(def));
}

}  // namespace

CVehicleDef::CVehicleDef() = default;

CVehicleDef::~CVehicleDef() = default;

std::string CVehicleDef::GetName() const { return TextOf(name, sizeof name); }
std::string CVehicleDef::GetKind() const { return TextOf(kind, sizeof kind); }
std::string CVehicleDef::GetDescription() const { return TextOf(description, sizeof description); }

bool CVehicleDef::BuildFromVehicleMesh(std::unique_ptr<ShadedMesh> owned) {
  if (!owned) return BuildFromMesh(nullptr);  // logs and refuses
  ShadedMesh& mesh = *owned;
  BuildVehicle(mesh, std::move(owned));
  return true;
}

void CVehicleDef::BuildVehicle(ShadedMesh& mesh, std::unique_ptr<ShadedMesh> owned) {
  // The nested definition borrows a part of the old mesh, which the new build lets go.
  m_nested.reset();
  ReadTexts(mesh);
  AddWheelSpheres(mesh);
  if (owned)
    BuildFromMesh(std::move(owned));
  else
    BuildOnBorrowedMesh(mesh);
  BuildWheels(mesh);
  BuildNested(mesh);
}

void CVehicleDef::BuildWheels(const ShadedMesh& mesh) {
  std::vector<WheelParams> wheels;
  for (const std::unique_ptr<ShadedMesh>& child : mesh.children) {
    if (!child || !IsWheelPart(child.get())) continue;
    WheelParams params;
    if (params.BindMeshNodes(&mesh, child.get())) wheels.push_back(params);
  }
  m_wheels = std::move(wheels);
  m_wheelCount = static_cast<uint32_t>(m_wheels.size());
}

void CVehicleDef::ReadTexts(const ShadedMesh& mesh) {
  CopyText(mesh, kAttachVehicleDef, name, sizeof name);
  CopyText(mesh, kAttachVehicleKind, kind, sizeof kind);
  CopyText(mesh, kAttachVehicleDescription, description, sizeof description);
}

// A wheel that the suspension lets bottom out must still not sink into the ground: each wheel
// part gets a collision sphere round its suspension point, as wide as the tyre is tall.
void CVehicleDef::AddWheelSpheres(ShadedMesh& mesh) const {
  const size_t parts = mesh.children.size();
  for (size_t i = 0; i < parts; ++i) {
    const ShadedMesh* wheel = mesh.children[i].get();
    if (!wheel || !IsWheelPart(wheel)) continue;
    const size_t hang = i < mesh.childAttach.size() ? mesh.childAttach[i] : mesh.attachPoints.size();
    if (hang >= mesh.attachPoints.size()) {
      DebugPrintf("CVehicleDef: wheel part %u hangs on no attach point; no sphere\n", static_cast<unsigned>(i));
      continue;
    }
    const COrientation node = mesh.attachPoints[hang].transform;
    const int point = wheel->FindAttachPoint(kAttachWheelParams);
    const Vector3 centre =
        point >= 0 ? node.LocalToWorldPoint(wheel->attachPoints[static_cast<size_t>(point)].transform.position)
                   : node.position;
    const float radius = 0.5f * (wheel->bounds.max.z - wheel->bounds.min.z) + 0.01f;
    if (!std::isfinite(radius) || radius < 0.0f || !std::isfinite(centre.x) || !std::isfinite(centre.y) ||
        !std::isfinite(centre.z)) {
      DebugPrintf("CVehicleDef: wheel part %u has no usable size; no sphere\n", static_cast<unsigned>(i));
      continue;
    }
    mesh.AddAttachPoint(COrientation(TMatrix(), centre), kAttachRigidSphere, sizeof radius, &radius, false);
  }
}

void CVehicleDef::BuildNested(ShadedMesh& mesh) {
  for (const std::unique_ptr<ShadedMesh>& child : mesh.children) {
    if (!child || child->FindAttachPoint(kAttachVehicleDef) < 0) continue;
    m_nested = std::make_unique<CVehicleDef>();
    m_nested->BuildVehicle(*child, nullptr);
    // The nested vehicle is placed and drawn on its own; the parent's instance leaves it out.
    child->flags = (child->flags & ~ShadedMesh::kKindMask) | ShadedMesh::kKindInternal;
    return;
  }
}

void CVehicleDef::RegisterResourceLoader() { RigidConst::SetVehicleBuilder(BuildVehicleAsset); }
