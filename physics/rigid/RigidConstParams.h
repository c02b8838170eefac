// RigidPhysicsParams: the physical constants of a kind of rigid body (92-byte block, also the type-50 attach data).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/math/Vector3.h"
#include "physics/collision/SurfaceType.h"

struct RigidPhysicsParams {
  Vector3 gravity;
  Vector3 linearDrag;
  Vector3 rotationalDrag;
  float minLinearVelocity;
  Vector3 minAngularVelocity;
  float anchorStrength;
  float massTotalOverride;
  SurfaceType surface;

  RigidPhysicsParams();
  // Keys present in the definition text replace their fields; the rest keep theirs.
  void Read(const char* text);
  // Copies a stored block: at most sizeof(*this) bytes, so a longer block cannot overrun the
  // record; a shorter one leaves the later fields as they were.
  void CopyFrom(const uint8_t* data, size_t length);
};

static_assert(sizeof(RigidPhysicsParams) == 92, "RigidPhysicsParams is a 92-byte block");
