// CLight: base of the scene's lights; a bounded object filed in the world octree (filled in by the lighting work).
#pragma once

#include "core/math/BoundedObject.h"

class CLight : public CBoundedObject {
 public:
  CLight() { AddBoundFlags(kLight); }
  ~CLight() override = default;
};
