// CameraSegment: one move-and-hold step of a camera script, laid out as in the level data (40 bytes).
#pragma once

#include <cstdint>

struct CameraSegment {
  // Advance modes (how input may skip the segment).
  static constexpr uint32_t kSkipWhileHolding = 1;
  static constexpr uint32_t kSkipAnyTime = 2;
  static constexpr uint32_t kSkipAndEnd = 3;  // also ends playback when input finds it current

  uint32_t positionSplineID = 0;
  uint32_t lookSplineID = 0;
  uint32_t advanceMode = 0;
  uint8_t byArcLength = 0;  // non-zero: timing by fraction of arc length, else by spline parameter
  uint8_t padding[3] = {0, 0, 0};
  float moveTime = 0.0f;
  float holdTime = 0.0f;
  float zoomDistance = 0.0f;  // the field of view is 2 atan(35 / zoom distance)
  float bankFactor = 0.0f;    // 0: no banking into turns
  uint32_t runtime[2] = {0, 0};  // the level data's slots for run-time spline pointers; ignored
};
static_assert(sizeof(CameraSegment) == 40, "camera segment is the 40-byte level record");
