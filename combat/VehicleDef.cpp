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

void* BuildVehicle(ShadedMesh* mesh) {
  CVehicleDef* def = new CVehicleDef();
  def->BuildFromVehicleMesh(mesh);
  return def;
}

void FreeVehicle(void* object) { delete static_cast<CVehicleDef*>(object); }

}  // namespace

CVehicleDef::CVehicleDef() = default;

CVehicleDef::~CVehicleDef() {
  delete[] m_wheels;
  delete m_nested;
}

bool CVehicleDef::BuildFromVehicleMesh(ShadedMesh* mesh) {
  if (!BuildFromMesh(mesh)) return false;
  std::vector<WheelParams> wheels;
  for (const ShadedMesh* child : mesh->children) {
    if (!child || !IsWheelPart(child)) continue;
    WheelParams params;
    if (params.BindMeshNodes(mesh, child)) wheels.push_back(params);
  }
  delete[] m_wheels;
  m_wheels = nullptr;
  m_wheelCount = static_cast<uint32_t>(wheels.size());
  if (m_wheelCount > 0) {
    m_wheels = new WheelParams[m_wheelCount];
    std::copy(wheels.begin(), wheels.end(), m_wheels);
  }
  return true;
}

void CVehicleDef::RegisterResourceLoader() { RigidConst::SetVehicleBuilder(BuildVehicle, FreeVehicle); }
