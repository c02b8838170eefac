// CVehicleDef: the vehicle definition resource - a rigid-body model plus the constants of its wheels, built from a vehicle mesh.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "physics/rigid/RigidConst.h"
#include "physics/rigid/WheelParams.h"

constexpr uint32_t kAttachVehicleKind = 52;         // data: the kind text
constexpr uint32_t kAttachVehicleDescription = 59;  // data: the description text

class CVehicleDef : public RigidConst {
 public:
  CVehicleDef();
  ~CVehicleDef() override;

  // The texts of the vehicle attach points, one collision sphere per wheel part, the body model
  // from the mesh (owned afterwards), one wheel per child mesh whose name holds "wheel", and
  // the definition of the first child that is a vehicle of its own.
  bool BuildFromVehicleMesh(std::unique_ptr<ShadedMesh> mesh);

  uint32_t GetWheelCount() const { return m_wheelCount; }
  const WheelParams* GetWheels() const { return m_wheels.empty() ? nullptr : m_wheels.data(); }
  // The vehicle riding on this one (a turret, a trailer), built on its child mesh; null if none.
  const CVehicleDef* GetNested() const { return m_nested.get(); }

  // The text fields up to their first NUL or their end: the attach data need not be terminated.
  std::string GetName() const;
  std::string GetKind() const;
  std::string GetDescription() const;

  // Makes the resource table turn meshes with a vehicle attach point into vehicle definitions.
  static void RegisterResourceLoader();

  char name[168] = {};
  char kind[32] = {};
  char description[132] = {};

 private:
  // Builds on mesh, which owned holds, or, when owned is empty, a parent definition keeps.
  void BuildVehicle(ShadedMesh& mesh, std::unique_ptr<ShadedMesh> owned);
  void ReadTexts(const ShadedMesh& mesh);
  void AddWheelSpheres(ShadedMesh& mesh) const;
  void BuildWheels(const ShadedMesh& mesh);
  void BuildNested(ShadedMesh& mesh);

  uint32_t m_wheelCount = 0;
  std::vector<WheelParams> m_wheels;
  // Built on a child of this definition's mesh, which it borrows: a member of the derived
  // class, it is destroyed before the base lets the mesh go.
  std::unique_ptr<CVehicleDef> m_nested;
};
