// CStructureFire: what a burning structure asks of the fire object it starts (the fire's class
// lives above the park and registers under kTypeCode in the object factory).
#pragma once

#include <cstdint>

#include "core/math/Vector3.h"

class CStructureFire {
 public:
  static constexpr uint32_t kTypeCode = 9;

  virtual ~CStructureFire() = default;
  // Sets the fire burning on the host object for `duration` seconds.
  virtual void Start(uint32_t hostId, const Vector3& position, float duration, float size, float spread,
                     float strength, float secondStrength, uint32_t ownerId) = 0;
};
