// CForceAccumulator: something that adds its forces to one or two rigid bodies whenever the integrator asks.
#pragma once

class CForceAccumulator {
 public:
  virtual ~CForceAccumulator() = default;
  // Adds this accumulator's forces to its bodies (the stage's forces were cleared before).
  virtual void AccumulateForces() {}
};
