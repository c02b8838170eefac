// CWorldSound: the sound manager as the world ticks and clears it.
#pragma once

#include <cstdint>

class COrientation;

// The sound folder's manager implements this; the world holds one without owning it.
class CWorldSound {
 public:
  virtual ~CWorldSound() = default;
  // milliseconds: the tick length; listener: the current camera's frame (may be null).
  virtual void Update(uint32_t milliseconds, const COrientation* listener) = 0;
  virtual void ServiceSoundCapture() = 0;
  // Stops every sound and frees the sample buffers (every world clear and shutdown).
  virtual void Release() = 0;
};
