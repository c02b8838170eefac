// CSoundMixer: float accumulation of every sounding buffer, clipped once into 16 bits.
#include "platform/SoundMixer.h"

#include <algorithm>
#include <cmath>

#include "platform/SoftwareSoundBuffer.h"

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
  const size_t values = static_cast<size_t>(frames) * kOutputChannels;
  m_accumulator.assign(values, 0.0f);
  for (CSoftwareSoundBuffer* buffer : m_buffers) buffer->MixInto(m_accumulator.data(), frames);
  for (size_t i = 0; i < values; ++i) {
    const float v = std::min(32767.0f, std::max(-32768.0f, m_accumulator[i]));
    out[i] = static_cast<int16_t>(std::lrint(v));
  }
}
