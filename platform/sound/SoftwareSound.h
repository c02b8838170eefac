// CSoftwareSound: the sound device as a software mixer, feeding SDL audio or rendered by hand.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/sound/DirectSound.h"

class CSoundMixer;

class CSoftwareSound final : public IDirectSound {
 public:
  // A device that plays nowhere: its output comes only from Render (tests, benchmarks). The
  // first hardwareVoices buffers asked for in hardware get it; further ones are refused.
  static CSoftwareSound* CreateOffline(uint32_t hardwareVoices = 0);
  // A device feeding the default SDL audio output; null (logged) when none can be opened.
  static CSoftwareSound* CreateWithOutput();

  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, void* outer) override;
  HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) override;
  HRESULT SetCooperativeLevel(HWND window, DWORD level) override;

  // Mixes the next frames of 16-bit stereo at 44,100 Hz into out (2 x frames values). A device
  // with an SDL output is rendered by the audio thread and must not be rendered here too.
  void Render(int16_t* out, uint32_t frames);
  // Every buffer's memory is lost: it plays silence and reports the loss until restored and
  // written again.
  void LoseBuffers();
  uint32_t HardwareVoicesFree() const;

 private:
  explicit CSoftwareSound(uint32_t hardwareVoices);
  ~CSoftwareSound() override;
  bool OpenOutput();

  // Buffers keep the mixer alive, so a buffer released after its device is still safe.
  std::shared_ptr<CSoundMixer> m_mixer;
  uint32_t m_outputDevice = 0;  // SDL's device id; 0 without an output
  ULONG m_count = 1;
  DWORD m_level = 0;  // 0 until SetCooperativeLevel
};
