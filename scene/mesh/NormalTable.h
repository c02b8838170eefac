// NormalTable: the fixed set of 5120 unit directions that meshes index their normals into.
#pragma once

#include <cstdint>

#include "core/math/Vector3.h"

class NormalTable {
 public:
  static constexpr uint32_t kCount = 5120;

  static uint32_t Count() { return kCount; }
  // An index past the table (only possible with damaged data) decodes to the zero vector.
  static Vector3 Decode(uint16_t index);
  // Index of the nearest entry by squared distance; the first of equally near entries wins.
  static uint16_t Encode(const Vector3& direction);
  // Entry at plat::rand() % 5120.
  static Vector3 Random();
};
