// Camera sweeps: how far a camera-sized sphere gets from a point towards the eye before the world
// blocks it, so cameras do not look through walls.
#pragma once

#include <cstdint>

#include "core/math/Vector3.h"

class COctree;

// The fraction (0..1) of the way from `from` to `to` at which a sphere of `radius` first touches an
// object carrying every bit of mask; 1 when nothing is in the way or there is no tree.
float SweepCameraSphere(COctree* tree, const Vector3& from, const Vector3& to, float radius, uint32_t mask);
