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

  // From now on the mix keeps pace with the program's clock instead of an audio thread: a device
  // made while tests drive the clock by hand plays exactly as far as that clock has run, so what
  // is still sounding (and what the game does about it) does not depend on the machine's speed.
  void FollowClock();
  // Caller holds the lock. Mixes (into nothing) the time that has passed since the last catch-up.
  void CatchUpLocked();

 private:
  void RenderLocked(int16_t* out, uint32_t frames);

  std::mutex m_mutex;
  std::vector<CSoftwareSoundBuffer*> m_buffers;
  std::vector<float> m_accumulator;
  uint32_t m_hardwareFree;
  bool m_followsClock = false;
  uint32_t m_clockMilliseconds = 0;  // the clock when the mix last caught up
  uint64_t m_owedFrameMillis = 0;    // frames x 1000 owed by the time since, below one frame
};
