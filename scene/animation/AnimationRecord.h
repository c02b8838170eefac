// AnimationRecord: one 100-byte sequence record of an animation table, used in place.
#pragma once

#include <cstdint>

struct AnimationRecord {
  enum DataType : uint32_t { kVertex = 0, kXForm = 1, kTexture = 2, kTrigger = 3, kHeader = 4 };

  char name[64];
  uint32_t id;          // motion type id, 0 = none
  uint32_t dataType;    // DataType
  uint32_t playback;    // playback mode 0..4
  int32_t startFrame;
  uint32_t frameCount;
  float frameRate;      // frames per second
  float length;         // seconds
  float inverseLength;  // 1 / length, 0 when the length is not positive
  uint32_t countOrTrigger;  // header: subsequences that follow; trigger: its id

  // With n = 0 on a record of that type, the record itself; on a header, the n-th
  // subsequence of that type among the `count` records that follow it; else null.
  // The records after a header must be present (the table is checked when it is loaded).
  const AnimationRecord* FindSubRecord(uint32_t type, uint32_t n) const;

  // Maps play time (seconds) to a time inside the record by its own or the given mode.
  float SampleTime(float t) const { return SampleTime(t, playback); }
  float SampleTime(float t, uint32_t mode) const;
};

static_assert(sizeof(AnimationRecord) == 100, "animation records are 100 bytes in the table");
