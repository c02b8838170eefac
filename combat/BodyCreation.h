// BodyCreation: the creation data of a combat body in its create message - the model's resource name and the placement
// frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/math/Orientation.h"

class CGameWorld;

struct BodyCreation {
  static constexpr size_t kNameBytes = 64;  // NUL-terminated within the field
  static constexpr size_t kFrameBytes = 12 * 4;
  static constexpr size_t kDataBytes = kNameBytes + kFrameBytes;

  std::string model;  // resource name, as the resource table finds it
  COrientation frame;

  // The class's own part of a create message (after the common create header). False (logged)
  // when the data is short, the name unterminated or empty, or the frame not finite.
  bool Read(const uint8_t* data, size_t size);
  // Writes kDataBytes; a name too long for the field is cut.
  void Write(uint8_t* out) const;
};

// Creates a combat body of the factory's type code through the world's create-message path, as a
// message from elsewhere would. Returns the new object's ID, 0 when the world or the body refused.
uint32_t CreateBodyThroughWorld(CGameWorld& world, uint8_t typeCode, const char* model, const COrientation& frame,
                                uint32_t owner);
