#include "combat/VehicleControls.h"

#include <algorithm>

#include "core/input/InputMan.h"

namespace {
float Unit(float v) { return std::min(1.0f, std::max(0.0f, v)); }
}  // namespace

VehicleControls VehicleControls::Read(const CInputMan& input) {
  VehicleControls c;
  c.throttle = Unit(input.GetActionValue(kActionThrottle));
  c.brake = Unit(input.GetActionValue(kActionBrake));
  c.steer = Unit(input.GetActionValue(kActionSteerLeft)) - Unit(input.GetActionValue(kActionSteerRight));
  c.handBrake = input.GetActionValue(kActionHandBrake) > 0.5f;
  return c;
}
