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
  // Looked up among the entries around the direction; the same index EncodeByScan gives.
  static uint16_t Encode(const Vector3& direction);
  // The same by comparing every entry: the definition Encode keeps to, and its fallback where the
  // entries around a direction cannot be shown to hold the winner (far from the unit sphere).
  static uint16_t EncodeByScan(const Vector3& direction);
  // Entry at plat::rand() % 5120.
  static Vector3 Random();
};
