// CSoundMixer: the state one software sound device shares with its buffers: the lock, the
// buffers that may sound, the hardware-voice count, and the mix into 16-bit stereo.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

class CSoftwareSoundBuffer;

class CSoundMixer {
 public:
  static constexpr uint32_t kOutputRate = 44100;
  static constexpr uint32_t kOutputChannels = 2;

  explicit CSoundMixer(uint32_t hardwareVoices) : m_hardwareFree(hardwareVoices) {}
  CSoundMixer(const CSoundMixer&) = delete;
  CSoundMixer& operator=(const CSoundMixer&) = delete;

  // The audio thread mixes while the game thread changes buffers; every buffer call and every
  // mix holds this lock, so no buffer is seen half changed.
  std::mutex& Mutex() { return m_mutex; }

  // Caller holds the lock.
  void Add(CSoftwareSoundBuffer* buffer);
  void Remove(CSoftwareSoundBuffer* buffer);
  bool TakeHardwareVoice();
  void ReturnHardwareVoice() { ++m_hardwareFree; }
  uint32_t HardwareVoicesFree() const { return m_hardwareFree; }
  // Marks the memory of every buffer lost, as when the output device is taken away.
  void LoseAll();

  // Mixes frames of interleaved stereo into out; takes the lock itself.
  void Render(int16_t* out, uint32_t frames);

 private:
  std::mutex m_mutex;
  std::vector<CSoftwareSoundBuffer*> m_buffers;
  std::vector<float> m_accumulator;
  uint32_t m_hardwareFree;
};
