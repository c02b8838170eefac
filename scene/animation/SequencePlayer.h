// SequencePlayer: play state of an animation sequence, with an optional cross-fade from the previous one.
#pragma once

#include <cstdint>

#include "core/math/Orientation.h"

class CNodeAnimController;
struct AnimationRecord;

struct SequencePlayer {
  CNodeAnimController* controller = nullptr;  // null: no transform animation
  const AnimationRecord* sequence = nullptr;  // null: nothing plays
  float time = 0.0f;
  const AnimationRecord* previousSequence = nullptr;  // set while a cross-fade runs
  float previousTime = 0.0f;
  float crossFadeClock = 0.0f;
  float crossFadeRate = 0.0f;  // 1 / blend time

  // Blend time <= 0 cuts to the sequence; otherwise the current one fades out over it.
  void Start(const AnimationRecord* newSequence, float startTime, float blendTime);
  void Advance(float elapsed);

  float GetLength() const;
  bool IsFinished() const { return time >= GetLength(); }
  // 1.0 while the play time lies inside the window of the sequence's trigger with this id.
  float IsTriggerActive(uint32_t triggerId) const;

  // Samples the controller for the current (and fading) sequence into `out`. False when
  // there is no controller, no sequence, or the sequence has no transform record.
  bool Evaluate(COrientation& out) const;
};
