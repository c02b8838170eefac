#include "combat/VehicleDef.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "core/math/DebugPrintf.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

bool IsWheelPart(const ShadedMesh* mesh) {
  std::string n = mesh->GetName();
  std::transform(n.begin(), n.end(), n.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return n.find("wheel") != std::string::npos;
}

void* BuildVehicle(std::unique_ptr<ShadedMesh>& mesh) {
  auto def = std::make_unique<CVehicleDef>();
  def->BuildFromVehicleMesh(std::move(mesh));
  // The resource table owns the definition and releases it through FreeVehicle.
  return def.release();
}

void FreeVehicle(void* object) { delete static_cast<CVehicleDef*>(object); }

const bool g_vehicleLoaderRegistered = (CVehicleDef::RegisterResourceLoader(), true);

}  // namespace

CVehicleDef::CVehicleDef() = default;

CVehicleDef::~CVehicleDef() = default;

bool CVehicleDef::BuildFromVehicleMesh(std::unique_ptr<ShadedMesh> owned) {
  if (!BuildFromMesh(std::move(owned))) return false;
  const ShadedMesh* mesh = GetMesh();
  std::vector<WheelParams> wheels;
  for (const std::unique_ptr<ShadedMesh>& child : mesh->children) {
    if (!child || !IsWheelPart(child.get())) continue;
    WheelParams params;
    if (params.BindMeshNodes(mesh, child.get())) wheels.push_back(params);
  }
  m_wheels = std::move(wheels);
  m_wheelCount = static_cast<uint32_t>(m_wheels.size());
  return true;
}

void CVehicleDef::RegisterResourceLoader() { RigidConst::SetVehicleBuilder(BuildVehicle, FreeVehicle); }
