// CVehicleDef: the vehicle definition resource - a rigid-body model plus the constants of its wheels, built from a vehicle mesh.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "physics/rigid/RigidConst.h"
#include "physics/rigid/WheelParams.h"

class CVehicleDef : public RigidConst {
 public:
  CVehicleDef();
  ~CVehicleDef() override;

  // The body model from the mesh (kept afterwards), then one wheel per child mesh whose name
  // holds "wheel".
  bool BuildFromVehicleMesh(std::unique_ptr<ShadedMesh> mesh);

  uint32_t GetWheelCount() const { return m_wheelCount; }
  const WheelParams* GetWheels() const { return m_wheels.empty() ? nullptr : m_wheels.data(); }

  // Makes the resource table turn meshes with a vehicle attach point into vehicle definitions.
  static void RegisterResourceLoader();

  char name[168] = {};
  char kind[32] = {};
  char description[132] = {};

 private:
  uint32_t m_wheelCount = 0;
  std::vector<WheelParams> m_wheels;
  std::unique_ptr<CVehicleDef> m_nested;
};
