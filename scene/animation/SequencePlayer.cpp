// SequencePlayer: starting, advancing and sampling an animation sequence.
#include "scene/animation/SequencePlayer.h"

#include <cmath>

#include "scene/animation/AnimationRecord.h"
#include "scene/animation/NodeAnimController.h"

namespace {

// Controller time of play time t through the sequence's transform record.
bool SampleRecord(const CNodeAnimController& controller, const AnimationRecord* sequence, float t, COrientation& out) {
  const AnimationRecord* record = sequence ? sequence->FindSubRecord(AnimationRecord::kXForm, 0) : nullptr;
  if (!record) return false;
  const float frames = static_cast<float>(record->startFrame) + record->SampleTime(t) * record->frameRate;
  controller.GetTransform(controller.GetFrameTime() * frames, out);
  return true;
}

}  // namespace

void SequencePlayer::Start(const AnimationRecord* newSequence, float startTime, float blendTime) {
  // A blend so short that its rate is not finite is a cut: an infinite rate
  // would weight the blend by 0 x inf until the first advance.
  if (blendTime > 0.0f && std::isfinite(1.0f / blendTime)) {
    previousSequence = sequence;
    previousTime = time;
    crossFadeClock = 0.0f;
    crossFadeRate = 1.0f / blendTime;
  } else {
    previousSequence = nullptr;
    previousTime = 0.0f;
    crossFadeClock = 0.0f;
    crossFadeRate = 0.0f;
  }
  sequence = newSequence;
  time = startTime;
}

void SequencePlayer::Advance(float elapsed) {
  time += elapsed;
  if (!previousSequence) return;
  previousTime += elapsed;
  crossFadeClock += elapsed;
  if (crossFadeClock * crossFadeRate > 1.0f) {
    previousSequence = nullptr;
    previousTime = 0.0f;
    crossFadeClock = 0.0f;
    crossFadeRate = 0.0f;
  }
}

float SequencePlayer::GetLength() const { return sequence ? sequence->length : 0.0f; }

float SequencePlayer::IsTriggerActive(uint32_t triggerId) const {
  if (!sequence) return 0.0f;
  const AnimationRecord* trigger = nullptr;
  for (uint32_t n = 0;; ++n) {
    const AnimationRecord* r = sequence->FindSubRecord(AnimationRecord::kTrigger, n);
    if (!r) return 0.0f;
    if (r->countOrTrigger == triggerId) {
      trigger = r;
      break;
    }
  }
  // The owner is the nearest earlier record that is not a trigger. The walk never goes
  // before the current sequence: nothing in front of it is known to be part of the table.
  const AnimationRecord* owner = trigger;
  while (owner > sequence && owner->dataType == AnimationRecord::kTrigger) --owner;
  if (owner->dataType == AnimationRecord::kTrigger) return 0.0f;
  const float frames = std::trunc(owner->SampleTime(time, trigger->playback) * owner->frameRate);
  // A frame number outside any int range cannot be inside a window (and must not be converted).
  if (!(std::fabs(frames) < 1e15f)) return 0.0f;
  const int64_t frame = static_cast<int64_t>(frames) + owner->startFrame;
  const int64_t first = trigger->startFrame;
  return (first <= frame && frame < first + static_cast<int64_t>(trigger->frameCount)) ? 1.0f : 0.0f;
}

bool SequencePlayer::Evaluate(COrientation& out) const {
  if (!controller || !SampleRecord(*controller, sequence, time, out)) return false;
  COrientation previous;
  if (previousSequence && SampleRecord(*controller, previousSequence, previousTime, previous)) {
    out.Interpolate(previous, out, crossFadeClock * crossFadeRate);
  }
  return true;
}
