// CGridSquare: one cell of the park's build grid. Only what arrivals read so far: the cell's
// lower corner at ground height and its entrance flag; the path-node side comes with the grid.
#pragma once

#include <cstdint>

#include "core/math/Vector3.h"

class CGridSquare {
 public:
  Vector3 position;
  uint8_t entrance = 0;
};
