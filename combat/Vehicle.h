// CVehicle: a driven vehicle - a rigid body carried by sprung wheels that grip the ground and take the engine's torque.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "combat/Body.h"
#include "combat/VehicleControls.h"
#include "combat/VehicleState.h"
#include "physics/rigid/ForceAccumulator.h"
#include "physics/rigid/Wheel.h"

class CVehicleDef;

class CVehicle : public CBody {
 public:
  static constexpr uint8_t kTypeCode = 4;
  // Engine torque at each wheel at full throttle (or full brake, which works against the motion).
  static constexpr float kEngineTorque = 300.0f;
  // Steering angle of the front wheels at full lock, radians.
  static constexpr float kMaxSteer = 0.5f;

  CVehicle();
  ~CVehicle() override;

  const char* GetInfoString() const override { return "<Vehicle>"; }

  // The body from the definition's model, and one wheel per wheel entry at the top of its mount.
  void Setup(const CVehicleDef* def, const COrientation& placement);
  // Puts the vehicle at frame, at rest on unloaded springs, unless it would touch something
  // there; false (and nothing changes) when the place is taken.
  bool Place(const COrientation& frame);
  // A vehicle made through the world checks the place it was made at; one that cannot be there goes.
  void Init(bool created) override;

  void SaveState(VehicleState& out) const;
  // Puts the body and every wheel back exactly as saved.
  void RestoreState(const VehicleState& saved);

  // Forces of one stage: gravity, drag, the body's own contact friction, then per wheel the
  // suspension at its mount point and the tyre's grip, then the engine's torque.
  void AccumulateVehicleForces(float dt);
  // The driver's controls, then the integration of the body under those forces (a fourth-order
  // step while it moves), then the sweeps of the body and each wheel. A step that leaves the body
  // without a finite pose is refused: the vehicle goes back to where the step began, at rest.
  void StepPhysics(float dt) override;
  // The local player's keys drive it; otherwise the controls stay as set.
  void Update(float dt) override;

  void SetControls(const VehicleControls& controls) { m_controls = controls; }
  const VehicleControls& GetControls() const { return m_controls; }
  // Torque the engine gives every wheel at each stage.
  float GetDriveTorque() const;

  size_t GetWheelCount() const { return m_wheels.size(); }
  CWheel& GetWheel(size_t i) { return *m_wheels[i]; }
  const CWheel& GetWheel(size_t i) const { return *m_wheels[i]; }

 protected:
  uint8_t GetTypeCode() const override { return kTypeCode; }
  bool SetupFromResource(void* resource, uint16_t type, const COrientation& placement) override;

 private:
  // The vehicle's forces as the integrator's accumulator sees them, for the step under way.
  class ForceRoutine : public CForceAccumulator {
   public:
    explicit ForceRoutine(CVehicle& vehicle) : m_vehicle(vehicle) {}
    void AccumulateForces() override { m_vehicle.AccumulateVehicleForces(m_dt); }
    float m_dt = 0.0f;

   private:
    CVehicle& m_vehicle;
  };

  void ApplyControls();
  void ApplyEngine(float dt);
  void Integrate(float dt);
  void SweepWheels(float dt);
  bool HasFinitePose() const;

  std::vector<std::unique_ptr<CWheel>> m_wheels;
  VehicleControls m_controls;
  bool m_handBrake = false;  // as the wheels were last set
  ForceRoutine m_forces{*this};
  std::vector<CForceAccumulator*> m_accumulators;
  VehicleState m_stepStart;
};
