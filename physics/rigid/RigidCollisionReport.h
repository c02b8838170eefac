// RigidCollisionReport: what a rigid-body impact tells the objects on both sides (kind 3 of the collision infos).
#pragma once

#include <cstdint>

#include "core/math/Vector3.h"
#include "physics/collision/CollisionInfo.h"

struct RigidBodyState;

// A collision info of kind 3, so handlers tell it apart by the kind like any other info.
struct RigidCollisionReport : CollisionInfo {
  static constexpr uint32_t kKind = 3;

  RigidCollisionReport() { kind = kKind; }

  float impulse = 0.0f;
  Vector3 velocity;        // before the impact; against a body, relative to it
  Vector3 normal;
  float normalSpeed = 0.0f;
  Vector3 tangentialVelocity;

  void Fill(float j, const Vector3& v, const Vector3& n);
  // Seen from the other side: velocity and normal turned round.
  void Reverse();
};

// The impulse along n at p that gives the body's point p restitution e against a still
// surface: -(1 + e)(n . u) / (|n|^2/m + n . ((I^-1w (r x n)) x r)). 0 for an immovable body.
float ImpulseMagnitude(const RigidBodyState& state, const Vector3& p, const Vector3& n, float e);
// The same for two bodies, n pointing from b towards a; e from their surfaces.
float TwoBodyImpulseMagnitude(const RigidBodyState& a, const RigidBodyState& b, const Vector3& p, const Vector3& n);
// Restitution of two surfaces, never outside [0, 1]: a bounce can give back at most the energy
// the impact takes.
float MixedRestitution(const SurfaceType* a, const SurfaceType* b);
