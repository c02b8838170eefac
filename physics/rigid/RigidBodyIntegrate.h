// IntegrateRigidBodiesRK4: one fourth-order Runge-Kutta step of the velocities of a group of coupled bodies.
#pragma once

#include <cstddef>

class CForceAccumulator;
struct RigidBodyState;

// Advances velocity and angular momentum of every body over dt; the forces are evaluated by
// running every accumulator at the start, the two midpoints and the end of the step. The
// bodies are left at their starting pose (the sweep moves them) with their forces cleared.
void IntegrateRigidBodiesRK4(RigidBodyState* const* bodies, size_t bodyCount, CForceAccumulator* const* accumulators,
                             size_t accumulatorCount, float dt);
