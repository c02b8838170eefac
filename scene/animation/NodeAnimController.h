// CNodeAnimController: source of a scene node's animated local transform and alpha.
#pragma once

#include "core/math/Orientation.h"

class CNodeAnimController {
 public:
  virtual ~CNodeAnimController() = default;

  virtual float GetLength() const = 0;
  // Seconds per frame: a frame number times this gives controller time.
  virtual float GetFrameTime() const = 0;
  virtual float GetEndTime() const = 0;
  virtual void GetTransform(float time, COrientation& out) const = 0;
  virtual float GetAlpha(float time) const = 0;
  // Drops keys that interpolation from their neighbours reproduces within the tolerances.
  virtual void ReduceKeys(float positionTolerance, float angleTolerance, float unused) = 0;
};
