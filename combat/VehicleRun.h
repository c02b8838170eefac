// CVehicleRun: a headless run of a vehicle and a creature, and crates in the vehicle's path, on a level's ground - the
// vehicle and the creature made through the world's factory, the vehicle driven to a plan, their state told each second
// and the crates' impacts and rest as they happen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "combat/Body.h"
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
  // Makes a plain body (a crate) of a model the world's resource table holds and files it in the world;
  // false when it cannot be made. A plain body has no factory code: its owner makes it. The crates are
  // told as crate 1, crate 2, ... in the order they were added.
  bool AddCrate(const char* model, const COrientation& at);
  // Updates the world's objects tick by tick until the clock reaches `seconds`, holding each phase's
  // controls; after each whole second the state goes to `lines` (when given), and so does each of a
  // crate's events when it happens: its first landing (on the ground or on another crate), each time the
  // vehicle strikes it (after a tick apart), each time it meets another crate after kCrateApartSeconds
  // apart, and each time it has kept still for kCrateRestSeconds after moving.
  void Run(float seconds, const std::vector<Phase>& plan, std::vector<std::string>* lines);
  static constexpr float kCrateRestSeconds = 0.5f;
  // Crates resting on each other touch only now and then; only a meeting after this long apart is told.
  static constexpr float kCrateApartSeconds = 0.25f;
  // A crate that stays this near (m, and per axis) to where it last moved off keeps still.
  static constexpr float kStillMetres = 0.02f;

  float GetClock() const { return m_ticks * kTickSeconds; }
  // Null once the object has gone from the world.
  CVehicle* GetVehicle() const;
  CCreature* GetCreature() const;
  size_t GetCrateCount() const { return m_crates.size(); }
  // The crate added `index`-th, from 0.
  CBody* GetCrate(size_t index = 0) const;
  // One line: the clock, the vehicle's body and controls, each wheel, then the creature and each crate.
  std::string DescribeState() const;

 private:
  CGameWorld& m_world;
  uint32_t m_vehicleId = 0;
  uint32_t m_creatureId = 0;
  uint64_t m_ticks = 0;

  // What a crate did up to the last tick, to tell its events by.
  struct CrateWatch {
    uint32_t id = 0;
    uint32_t impacts = 0;
    uint32_t vehicleImpacts = 0;
    double vehicleImpulse = 0.0;
    bool struckLastTick = false;
    COrientation frame;  // where it last moved off
    uint64_t stillTicks = 0;
    bool restTold = true;  // nothing to tell before it first moves
    // By the other crates' places: the contacts with each up to the last tick, and the tick of the last.
    std::vector<CBody::Contacts> crates;
    std::vector<uint64_t> metAt;
  };
  // After a tick: crate i's events since the tick before; `speedBefore` is the vehicle's speed then.
  void WatchCrate(size_t i, float speedBefore, std::vector<std::string>* lines);
  // Crate i's meetings with the crates added before it, told once for each pair.
  void WatchCrateMeetings(size_t i, std::vector<std::string>* events);
  std::vector<CrateWatch> m_crates;
};
