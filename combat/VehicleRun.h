// CVehicleRun: a headless run of a vehicle and a creature, and a crate in the vehicle's path, on a level's ground - all
// made through the world's factory, the vehicle driven to a plan, their state told each second and the crate's impacts
// and rest as they happen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "combat/VehicleControls.h"
#include "core/math/Orientation.h"

class CBody;
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
  // Makes a plain body (a crate) through the world's create messages; false when it was refused.
  bool AddCrate(const char* model, const COrientation& at);
  // Updates the world's objects tick by tick until the clock reaches `seconds`, holding each phase's
  // controls; after each whole second the state goes to `lines` (when given), and so does each of the
  // crate's events when it happens: its first landing, each time the vehicle strikes it (after a tick
  // apart), and each time it has kept still for kCrateRestSeconds after moving.
  void Run(float seconds, const std::vector<Phase>& plan, std::vector<std::string>* lines);
  static constexpr float kCrateRestSeconds = 0.5f;
  // A crate that stays this near (m, and per axis) to where it last moved off keeps still.
  static constexpr float kStillMetres = 0.02f;

  float GetClock() const { return m_ticks * kTickSeconds; }
  // Null once the object has gone from the world.
  CVehicle* GetVehicle() const;
  CCreature* GetCreature() const;
  CBody* GetCrate() const;
  // One line: the clock, the vehicle's body and controls, each wheel, then the creature and the crate.
  std::string DescribeState() const;

 private:
  CGameWorld& m_world;
  uint32_t m_vehicleId = 0;
  uint32_t m_creatureId = 0;
  uint32_t m_crateId = 0;
  uint64_t m_ticks = 0;

  // What the crate did up to the last tick, to tell its events by.
  struct CrateWatch {
    uint32_t impacts = 0;
    uint32_t vehicleImpacts = 0;
    double vehicleImpulse = 0.0;
    bool struckLastTick = false;
    COrientation frame;  // where it last moved off
    uint64_t stillTicks = 0;
    bool restTold = true;  // nothing to tell before it first moves
  };
  // After a tick: the crate's events since the tick before; `speedBefore` is the vehicle's speed then.
  void WatchCrate(float speedBefore, std::vector<std::string>* lines);
  CrateWatch m_crate;
};
