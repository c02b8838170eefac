// LightRecord: the 120-byte light description a level mesh carries in its light attach points.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/math/Box.h"
#include "core/math/Orientation.h"
#include "core/math/Vector3.h"

struct LightRecord {
  static constexpr size_t kSize = 120;
  static constexpr uint32_t kAttachType = 10000;  // attach-point type of a light
  // Byte offsets of the fields the level loader rewrites in place.
  static constexpr size_t kFrameOffset = 20;
  static constexpr size_t kBoxOffset = 76;
  // No level is anywhere near this large; beyond it the light's arithmetic would overflow.
  static constexpr float kLargestValue = 1.0e15f;

  int32_t type = 0;
  uint32_t flags = 0;
  Vector3 color;
  COrientation frame;  // axis rows at 20, position at 56
  float range = 0.0f;  // point and spot; radius of a directional light
  Box region;          // ambient
  int32_t falloff = 0;
  float innerRadius = 0.0f;
  float outerAngle = 0.0f;  // spot, degrees; length of a directional light
  float innerAngle = 0.0f;  // spot, degrees; inner length of a directional light
  float priority = 0.0f;    // ambient

  // Reads the first kSize bytes; false (logged) when fewer are given or a number is not finite or beyond kLargestValue.
  bool Read(const uint8_t* data, size_t size);
  // Writes kSize bytes (the unread word at 68 as 0).
  void Write(uint8_t* out) const;
};
