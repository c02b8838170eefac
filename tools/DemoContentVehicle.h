// DemoContentVehicle: the demo creature, authored as an upright rigid body with a view point for the cameras.
#pragma once

#include <memory>

#include "scene/mesh/ShadedMesh.h"

namespace DemoContent {

// A creature 1.8 m tall standing on its origin: rigid-body constants, two point masses (80 kg in
// all), three stacked collision spheres and its view point (attach point 103) at eye height.
std::unique_ptr<ShadedMesh> BuildCreature();

}  // namespace DemoContent
