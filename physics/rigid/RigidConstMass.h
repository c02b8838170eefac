// RigidMassProperties: mass and inertia of a rigid-body model about its centre of mass, and the mass-distribution helpers.
#pragma once

#include <cstdint>
#include <vector>

#include "core/math/Box.h"
#include "core/math/TMatrix.h"
#include "core/math/Vector3.h"

// One authored point mass: a solid ball of the given mass and radius.
struct RigidPointMass {
  Vector3 position;
  float mass;
  float radius;
};

struct RigidMassProperties {
  float mass = 0.0f;
  // 0 for a body without mass: such a body is immovable (forces and impulses change nothing),
  // where a huge reciprocal would turn every force into inf/NaN.
  float inverseMass = 0.0f;
  TMatrix inertia;         // body frame, about the centre of mass
  TMatrix inverseInertia;  // zero for an immovable body

  bool IsImmovable() const { return inverseMass == 0.0f; }

  // Sets the block from the balls and returns their centre of mass. Each ball counts as six
  // points of a sixth of its mass at +-sqrt(0.6) r along the axes, which gives 2/5 m r^2.
  // No balls (or no total mass) give an immovable body with identity inertia.
  Vector3 SetFromPointMasses(const RigidPointMass* masses, uint32_t count);
};

// Mass-distribution helpers offered beside the point-mass path.
namespace RigidMassDistribution {
// Mass-weighted mean of the points; the origin when the masses add up to 0.
Vector3 Centroid(const Vector3* points, const float* masses, uint32_t count);
// Sum of -m [r]x [r]x with r = point - about.
TMatrix Inertia(const Vector3* points, const float* masses, uint32_t count, const Vector3& about);
// nx * ny * nz points filling the box at cell centres.
void Lattice(const Box& box, uint32_t nx, uint32_t ny, uint32_t nz, std::vector<Vector3>& out);
// Centroid and inertia (about that centroid) of boxes with masses, each a 16^3 lattice.
void BoxesCentroidAndInertia(const Box* boxes, const float* masses, uint32_t count, Vector3& centroid,
                             TMatrix& inertia);
}  // namespace RigidMassDistribution
