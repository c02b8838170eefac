// CVehicle: a driven vehicle - a rigid body carried by sprung wheels that grip the ground and take the engine's torque.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "combat/Body.h"
#include "physics/rigid/Wheel.h"

class CVehicleDef;

class CVehicle : public CBody {
 public:
  CVehicle();
  ~CVehicle() override;

  const char* GetInfoString() const override { return "<Vehicle>"; }

  // The body from the definition's model, and one wheel per wheel entry at the middle of its travel.
  void Setup(const CVehicleDef* def, const COrientation& placement);
  // Forces of one step: gravity, drag, the body's own contact friction, then per wheel the
  // suspension at its mount point, the tyre's grip and the engine's torque.
  void AccumulateVehicleForces(float dt);
  // Integrates the body under those forces, then sweeps the body and each wheel through the world.
  void StepPhysics(float dt) override;

  // Torque the engine gives every unlocked wheel at each step.
  void SetDriveTorque(float torque) { m_driveTorque = torque; }
  float GetDriveTorque() const { return m_driveTorque; }

  size_t GetWheelCount() const { return m_wheels.size(); }
  CWheel& GetWheel(size_t i) { return *m_wheels[i]; }
  const CWheel& GetWheel(size_t i) const { return *m_wheels[i]; }

 private:
  void SweepWheels(float dt);

  std::vector<std::unique_ptr<CWheel>> m_wheels;
  float m_driveTorque = 0.0f;
};
