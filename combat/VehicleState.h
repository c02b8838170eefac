// VehicleState: a vehicle's motion as it is saved and put back - the body's state record and each wheel's suspension.
#pragma once

#include <vector>

#include "physics/rigid/RigidBodyState.h"

struct VehicleState {
  struct Wheel {
    float extension = 0.0f;
    float rate = 0.0f;
    float spin = 0.0f;
  };
  RigidStateRecord body;
  std::vector<Wheel> wheels;
};
