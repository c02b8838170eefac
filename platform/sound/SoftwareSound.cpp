// CSoftwareSound: buffer creation under the mixer's lock, and the SDL audio output it feeds.
#include "platform/sound/SoftwareSound.h"

#include <SDL.h>

#include <string>

#include "platform/system/Platform.h"
#include "platform/sound/SoftwareSoundBuffer.h"
#include "platform/sound/SoundMixer.h"

namespace {

using Guard = std::lock_guard<std::mutex>;

void FillOutput(void* mixer, Uint8* stream, int length) {
  static_cast<CSoundMixer*>(mixer)->Render(reinterpret_cast<int16_t*>(stream),
                                           static_cast<uint32_t>(length) / (2 * CSoundMixer::kOutputChannels));
}

}  // namespace

CSoftwareSound* CSoftwareSound::CreateOffline(uint32_t hardwareVoices) { return new CSoftwareSound(hardwareVoices); }

CSoftwareSound* CSoftwareSound::CreateWithOutput() {
  CSoftwareSound* sound = new CSoftwareSound(0);  // every voice is mixed here, none in hardware
  if (plat::IsManualClock()) {
    // Under the hand-driven clock sounds play as far as that clock runs, not as far as an audio
    // thread gets in real time: a run then does the same on a busy machine as on an idle one.
    sound->m_mixer->FollowClock();
    return sound;
  }
  if (!sound->OpenOutput()) {
    sound->Release();
    return nullptr;
  }
  return sound;
}

CSoftwareSound::CSoftwareSound(uint32_t hardwareVoices) : m_mixer(std::make_shared<CSoundMixer>(hardwareVoices)) {}

CSoftwareSound::~CSoftwareSound() {
  if (m_outputDevice != 0) {
    SDL_CloseAudioDevice(m_outputDevice);  // waits for a mix in progress
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
}

bool CSoftwareSound::OpenOutput() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    OutputDebugStringA((std::string("Platform: SDL audio could not start: ") + SDL_GetError() + "\n").c_str());
    return false;
  }
  SDL_AudioSpec want{};
  want.freq = CSoundMixer::kOutputRate;
  want.format = AUDIO_S16SYS;
  want.channels = CSoundMixer::kOutputChannels;
  want.samples = 1024;  // 23 ms: short enough for effects, long enough not to starve
  want.callback = FillOutput;
  want.userdata = m_mixer.get();
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts our format to the device's if it differs.
  m_outputDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (m_outputDevice == 0) {
    OutputDebugStringA((std::string("Platform: no audio output: ") + SDL_GetError() + "\n").c_str());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  SDL_PauseAudioDevice(m_outputDevice, 0);
  return true;
}

ULONG CSoftwareSound::AddRef() { return ++m_count; }

ULONG CSoftwareSound::Release() {
  const ULONG left = --m_count;
  if (left == 0) delete this;
  return left;
}

HRESULT CSoftwareSound::CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, void* outer) {
  if (outer) return DSERR_NOAGGREGATION;
  if (!desc || !buffer) return DSERR_INVALIDPARAM;
  if (m_level == 0) return DSERR_PRIOLEVELNEEDED;
  Guard lock(m_mixer->Mutex());
  return CSoftwareSoundBuffer::Create(m_mixer, *desc, buffer);
}

HRESULT CSoftwareSound::DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) {
  // Only buffers of this mixer can share memory with each other.
  const CSoftwareSoundBuffer* ours = dynamic_cast<const CSoftwareSoundBuffer*>(original);
  if (!ours || !duplicate) return DSERR_INVALIDPARAM;
  Guard lock(m_mixer->Mutex());
  return CSoftwareSoundBuffer::Duplicate(*ours, duplicate);
}

HRESULT CSoftwareSound::SetCooperativeLevel(HWND window, DWORD level) {
  if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
  m_level = level;
  return DS_OK;
}

void CSoftwareSound::Render(int16_t* out, uint32_t frames) { m_mixer->Render(out, frames); }

void CSoftwareSound::LoseBuffers() {
  Guard lock(m_mixer->Mutex());
  m_mixer->LoseAll();
}

uint32_t CSoftwareSound::HardwareVoicesFree() const {
  Guard lock(m_mixer->Mutex());
  return m_mixer->HardwareVoicesFree();
}

HRESULT DirectSoundCreate(const GUID* device, IDirectSound** sound, void* outer) {
  if (!sound) return DSERR_INVALIDPARAM;
  *sound = nullptr;
  if (outer) return DSERR_NOAGGREGATION;
  if (device) return DSERR_NODRIVER;  // only the default output is offered
  *sound = CSoftwareSound::CreateWithOutput();
  return *sound ? DS_OK : DSERR_NODRIVER;
}
