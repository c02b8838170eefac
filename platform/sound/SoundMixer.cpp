// CSoundMixer: float accumulation of every sounding buffer, clipped once into 16 bits.
#include "platform/sound/SoundMixer.h"

#include <algorithm>
#include <cmath>

#include "platform/sound/SoftwareSoundBuffer.h"
#include "platform/system/Win32.h"

namespace {

// The most one catch-up mixes: a clock jumped far ahead drops the rest rather than mixing
// minutes of silence in one call.
constexpr uint32_t kMostCatchUpFrames = 10 * CSoundMixer::kOutputRate;
constexpr uint32_t kCatchUpChunk = 4096;

}  // namespace

void CSoundMixer::Add(CSoftwareSoundBuffer* buffer) { m_buffers.push_back(buffer); }

void CSoundMixer::Remove(CSoftwareSoundBuffer* buffer) {
  m_buffers.erase(std::remove(m_buffers.begin(), m_buffers.end(), buffer), m_buffers.end());
}

bool CSoundMixer::TakeHardwareVoice() {
  if (m_hardwareFree == 0) return false;
  --m_hardwareFree;
  return true;
}

void CSoundMixer::LoseAll() {
  for (CSoftwareSoundBuffer* buffer : m_buffers) buffer->LoseMemory();
}

void CSoundMixer::Render(int16_t* out, uint32_t frames) {
  std::lock_guard<std::mutex> lock(m_mutex);
  RenderLocked(out, frames);
}

void CSoundMixer::FollowClock() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_followsClock = true;
  m_clockMilliseconds = timeGetTime();
  m_owedFrameMillis = 0;
}

void CSoundMixer::CatchUpLocked() {
  if (!m_followsClock) return;
  const uint32_t now = timeGetTime();
  m_owedFrameMillis += static_cast<uint64_t>(now - m_clockMilliseconds) * kOutputRate;
  m_clockMilliseconds = now;
  uint64_t frames = m_owedFrameMillis / 1000;
  m_owedFrameMillis %= 1000;
  frames = std::min<uint64_t>(frames, kMostCatchUpFrames);
  std::vector<int16_t> discard(static_cast<size_t>(kCatchUpChunk) * kOutputChannels);
  while (frames > 0) {
    const uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(frames, kCatchUpChunk));
    RenderLocked(discard.data(), chunk);
    frames -= chunk;
  }
}

void CSoundMixer::RenderLocked(int16_t* out, uint32_t frames) {
  const size_t values = static_cast<size_t>(frames) * kOutputChannels;
  m_accumulator.assign(values, 0.0f);
  for (CSoftwareSoundBuffer* buffer : m_buffers) buffer->MixInto(m_accumulator.data(), frames);
  for (size_t i = 0; i < values; ++i) {
    const float v = std::min(32767.0f, std::max(-32768.0f, m_accumulator[i]));
    out[i] = static_cast<int16_t>(std::lrint(v));
  }
}
