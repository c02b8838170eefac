// VehicleControls: what the driver asks of a vehicle - throttle, brake, steering and the hand brake - and the key-table
// rows they come from.
#pragma once

#include <cstdint>

class CInputMan;

struct VehicleControls {
  // Rows of the key table that vehicle control reads (unbound by default).
  static constexpr uint32_t kActionThrottle = 19;
  static constexpr uint32_t kActionBrake = 20;
  static constexpr uint32_t kActionSteerLeft = 21;
  static constexpr uint32_t kActionSteerRight = 22;
  static constexpr uint32_t kActionHandBrake = 23;

  float throttle = 0.0f;  // 0..1
  float brake = 0.0f;     // 0..1; held with the vehicle stopped it reverses
  float steer = 0.0f;     // -1 full right .. 1 full left
  bool handBrake = false;

  // The driver's keys (or joystick) as the input manager reads them.
  static VehicleControls Read(const CInputMan& input);
  bool IsIdle() const { return throttle == 0.0f && brake == 0.0f; }
};
