// CVehicleRun: a headless run of a vehicle and a creature on a level's ground - both made through the world's factory,
// the vehicle driven to a plan, their state told each second.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "combat/VehicleControls.h"
#include "core/math/Orientation.h"

class CCreature;
class CGameWorld;
class CVehicle;

class CVehicleRun {
 public:
  static constexpr float kTickSeconds = 0.01f;

  // One stretch of the drive: the controls held until the run's clock reaches `until`.
  struct Phase {
    float until;
    VehicleControls controls;
  };

  // The world must hold the level's terrain in its octree and a resource table that finds the models.
  explicit CVehicleRun(CGameWorld& world) : m_world(world) {}

  // Makes both bodies through the world's create messages; false when either was refused.
  bool Create(const char* vehicleModel, const COrientation& vehicleAt, const char* creatureModel,
              const COrientation& creatureAt);
  // Updates the world's objects tick by tick until the clock reaches `seconds`, holding each phase's
  // controls; after each whole second the state goes to `lines` (when given).
  void Run(float seconds, const std::vector<Phase>& plan, std::vector<std::string>* lines);

  float GetClock() const { return m_ticks * kTickSeconds; }
  // Null once the object has gone from the world.
  CVehicle* GetVehicle() const;
  CCreature* GetCreature() const;
  // One line: the clock, the vehicle's body and controls, each wheel, then the creature.
  std::string DescribeState() const;

 private:
  CGameWorld& m_world;
  uint32_t m_vehicleId = 0;
  uint32_t m_creatureId = 0;
  uint64_t m_ticks = 0;
};
