// AnimationRecord: sub-record lookup and the playback-mode mapping of play time.
#include "scene/animation/AnimationRecord.h"

#include <algorithm>
#include <cmath>

namespace {

float Clamp(float v, float lo, float hi) { return std::max(lo, std::min(v, hi)); }

// t / L minus its integer part truncated toward zero.
float Fraction(float cycles) { return cycles - std::trunc(cycles); }

}  // namespace

const AnimationRecord* AnimationRecord::FindSubRecord(uint32_t type, uint32_t n) const {
  if (dataType == type && n == 0) return this;
  if (dataType != kHeader) return nullptr;
  uint32_t seen = 0;
  for (uint32_t i = 1; i <= countOrTrigger; ++i) {
    const AnimationRecord* sub = this + i;
    if (sub->dataType != type) continue;
    if (seen++ == n) return sub;
  }
  return nullptr;
}

float AnimationRecord::SampleTime(float t, uint32_t mode) const {
  const float len = length;
  // A zero length or rate would divide by zero below; such a record holds at its start.
  if (!(len > 0.0f)) return 0.0f;
  const float frame = frameRate > 0.0f ? 1.0f / frameRate : 0.0f;
  switch (mode) {
    case 0:
      return Clamp(t, 0.0f, std::max(0.0f, len - frame));
    case 1:
      return Fraction(t / len) * len;
    case 2: {
      const float cycles = t / len;
      const float whole = std::trunc(cycles);
      const float f = cycles - whole;
      return (std::fmod(std::fabs(whole), 2.0f) == 0.0f) ? f * len : (1.0f - f) * len;
    }
    case 3:
      return (1.0f - Fraction(t / len)) * len;
    case 4:
      return Clamp(len - t, std::min(frame, len), len);
    default:
      return Clamp(t, 0.0f, len);
  }
}
