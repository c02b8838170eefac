// CSoundInstance: one playing sound, and the request a caller fills to start one.
#pragma once

#include <cstdint>

#include "core/math/Vector3.h"
#include "platform/sound/DirectSound.h"

class CSoundInstance {
 public:
  IDirectSoundBuffer* buffer = nullptr;  // the buffer playing; null marks a free record
  int32_t volume = 0;                    // own attenuation, hundredths of a decibel (0 full, -10000 silent)
  int32_t frequency = 0;                 // playback rate; applied to positional sounds between 100 and 100000 Hz
  bool loop = false;
  int32_t range = 0;                         // audible distance; below 1 the sound is not positional
  const Vector3* positionPointer = nullptr;  // followed at every update; null: the embedded position
  int32_t pan = 0;                           // last pan set, -10000 (left) to 10000 (right)
  int32_t distanceAttenuation = 0;           // smoothed, hundredths of a decibel
  bool music = false;
  bool sharesSampleBuffer = false;  // plays the sample's own buffer, which is stopped but never released
  Vector3 position;
  int32_t soundId = -1;

  bool IsPositional() const { return range >= 1; }
  const Vector3& Where() const { return positionPointer != nullptr ? *positionPointer : position; }
};
