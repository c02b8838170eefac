// NormalTable: lookup, nearest-entry encoding and random draw over the frozen table.
#include "scene/mesh/NormalTable.h"

#include "platform/system/Platform.h"

namespace {

// Frozen data: changing any entry would change the meaning of every stored mesh normal.
const float kEntries[NormalTable::kCount][3] = {
#include "scene/mesh/NormalTableData.inc"
};

}  // namespace

Vector3 NormalTable::Decode(uint16_t index) {
  if (index >= kCount) return Vector3();
  return Vector3(kEntries[index][0], kEntries[index][1], kEntries[index][2]);
}

uint16_t NormalTable::Encode(const Vector3& direction) {
  uint16_t best = 0;
  float bestDistance = 0.0f;
  for (uint32_t i = 0; i < kCount; ++i) {
    const float dx = kEntries[i][0] - direction.x;
    const float dy = kEntries[i][1] - direction.y;
    const float dz = kEntries[i][2] - direction.z;
    const float d = dx * dx + dy * dy + dz * dz;
    if (i == 0 || d < bestDistance) {
      bestDistance = d;
      best = static_cast<uint16_t>(i);
    }
  }
  return best;
}

Vector3 NormalTable::Random() { return Decode(static_cast<uint16_t>(plat::rand() % kCount)); }
