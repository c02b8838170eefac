// CSoftwareSoundBuffer: one sound buffer of the software mixer: play state, gains and a cursor
// over sample memory shared with its duplicates, resampled linearly into the mix.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/sound/DirectSound.h"

class CSoundMixer;

class CSoftwareSoundBuffer final : public IDirectSoundBuffer {
 public:
  // Checks the description against what the mixer can play; on success *out holds a new
  // buffer with a count of 1.
  static HRESULT Create(const std::shared_ptr<CSoundMixer>& mixer, const DSBUFFERDESC& desc,
                        IDirectSoundBuffer** out);
  // A new buffer over the original's memory, with its format, controls and settings.
  static HRESULT Duplicate(const CSoftwareSoundBuffer& original, IDirectSoundBuffer** out);

  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetCaps(DSBCAPS* caps) override;
  HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override;
  HRESULT GetFormat(WAVEFORMATEX* format) override;
  HRESULT GetVolume(LONG* volume) override;
  HRESULT GetPan(LONG* pan) override;
  HRESULT GetFrequency(DWORD* frequency) override;
  HRESULT GetStatus(DWORD* status) override;
  HRESULT Lock(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second, DWORD* secondBytes,
               DWORD flags) override;
  HRESULT Unlock(void* first, DWORD firstBytes, void* second, DWORD secondBytes) override;
  HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;
  HRESULT SetCurrentPosition(DWORD offset) override;
  HRESULT SetVolume(LONG volume) override;
  HRESULT SetPan(LONG pan) override;
  HRESULT SetFrequency(DWORD frequency) override;
  HRESULT Stop() override;
  HRESULT Restore() override;

  // Mixer side, under the mixer's lock: adds this buffer's output to frames of interleaved
  // stereo and moves the cursor on.
  void MixInto(float* out, uint32_t frames);
  void LoseMemory();

 private:
  // What duplicates share: the bytes as written, the same samples as floats ready to mix, and
  // whether the memory is lost.
  struct Memory {
    WAVEFORMATEX format{};
    std::vector<uint8_t> bytes;
    std::vector<float> samples;  // interleaved by channel, on the 16-bit scale
    uint32_t frames = 0;
    bool lost = false;
    void Decode(size_t firstByte, size_t endByte);
  };

  CSoftwareSoundBuffer(std::shared_ptr<CSoundMixer> mixer, std::shared_ptr<Memory> memory, DWORD flags);
  ~CSoftwareSoundBuffer() override;

  bool Has(DWORD control) const { return (m_flags & control) != 0; }
  void UpdateGains();
  uint64_t Step() const;
  // Moves the cursor by frames output frames without sounding (a silent voice keeps its time).
  void Advance(uint32_t frames);
  template <int Channels>
  uint32_t MixRun(float* out, uint32_t frames);
  bool PassEnd();

  std::shared_ptr<CSoundMixer> m_mixer;
  std::shared_ptr<Memory> m_memory;
  DWORD m_flags;
  ULONG m_count = 1;
  LONG m_volume = 0;
  LONG m_pan = 0;
  DWORD m_frequency = 0;  // 0: the format's rate
  float m_gainLeft = 1.0f;
  float m_gainRight = 1.0f;
  uint64_t m_position = 0;  // frames, 32.32 fixed point
  bool m_playing = false;
  bool m_looping = false;
  // A lock hands out a copy; Unlock writes it back under the mixer's lock, so the audio thread
  // never reads bytes half written.
  std::vector<uint8_t> m_lockCopy;
  size_t m_lockOffset = 0;
  size_t m_lockBytes = 0;
  bool m_locked = false;
};
