// Vehicle camera points: the attach points of a followed vehicle's mesh that place the in-vehicle and
// chase cameras.
#pragma once

#include <cstdint>

#include "core/math/Orientation.h"

class ShadedMesh;

constexpr uint32_t kAttachCreatureView = 103;  // the creature provides the view
constexpr uint32_t kAttachChaseLook = 104;     // look point of the chase camera
constexpr uint32_t kAttachCameraFrame = 107;   // data word 0: 0 in-vehicle (word 1: max fov), 1 chase offset

// The first type-107 point whose first data word is `kind`; false when there is none. `word1` gets
// the point's second data word as a float (0 when the point has no second word).
bool FindVehicleCamPoint(const ShadedMesh* mesh, uint32_t kind, COrientation* frame, float* word1);
