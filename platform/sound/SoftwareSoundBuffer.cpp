// CSoftwareSoundBuffer: checked buffer calls, and the resampling mix loop.
#include "platform/sound/SoftwareSoundBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/sound/SoundMixer.h"

namespace {

using Guard = std::lock_guard<std::mutex>;

constexpr float kFractionScale = 1.0f / 4294967296.0f;

// Hundredths of a decibel to an amplitude factor; the bottom of the range is silence.
float GainOf(LONG millibels) {
  if (millibels <= DSBVOLUME_MIN) return 0.0f;
  return static_cast<float>(std::pow(10.0, millibels / 2000.0));
}

bool Playable(const WAVEFORMATEX& f) {
  return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
         (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 &&
         f.nSamplesPerSec >= DSBFREQUENCY_MIN && f.nSamplesPerSec <= DSBFREQUENCY_MAX;
}

}  // namespace

void CSoftwareSoundBuffer::Memory::Decode(size_t firstByte, size_t endByte) {
  const size_t align = format.nBlockAlign;
  const size_t from = firstByte / align, to = std::min<size_t>(frames, (endByte + align - 1) / align);
  const size_t channels = format.nChannels;
  for (size_t frame = from; frame < to; ++frame) {
    const uint8_t* p = bytes.data() + frame * align;
    for (size_t c = 0; c < channels; ++c) {
      float v;
      if (format.wBitsPerSample == 8)
        v = (static_cast<int>(p[c]) - 128) * 256.0f;  // 8-bit PCM is unsigned around 128
      else
        v = static_cast<int16_t>(static_cast<uint16_t>(p[2 * c] | p[2 * c + 1] << 8));
      samples[frame * channels + c] = v;
    }
  }
}

HRESULT CSoftwareSoundBuffer::Create(const std::shared_ptr<CSoundMixer>& mixer, const DSBUFFERDESC& desc,
                                     IDirectSoundBuffer** out) {
  if (!out || desc.dwSize != kDsBufferDescSize || !desc.lpwfxFormat) return DSERR_INVALIDPARAM;
  *out = nullptr;
  const DWORD where = desc.dwFlags & (DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE);
  if (where == (DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE)) return DSERR_INVALIDPARAM;
  if (desc.dwBufferBytes < DSBSIZE_MIN || desc.dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
  if (!Playable(*desc.lpwfxFormat)) return DSERR_BADFORMAT;
  DWORD flags = desc.dwFlags;
  if (where == DSBCAPS_LOCHARDWARE) {
    if (!mixer->TakeHardwareVoice()) return DSERR_ALLOCATED;
  } else {
    flags |= DSBCAPS_LOCSOFTWARE;  // where the buffer ended up, as GetCaps reports it
  }
  auto memory = std::make_shared<Memory>();
  memory->format = *desc.lpwfxFormat;
  memory->format.cbSize = 0;
  memory->frames = desc.dwBufferBytes / memory->format.nBlockAlign;
  memory->bytes.assign(desc.dwBufferBytes, memory->format.wBitsPerSample == 8 ? 0x80 : 0);
  memory->samples.assign(static_cast<size_t>(memory->frames) * memory->format.nChannels, 0.0f);
  *out = new CSoftwareSoundBuffer(mixer, std::move(memory), flags);
  return DS_OK;
}

HRESULT CSoftwareSoundBuffer::Duplicate(const CSoftwareSoundBuffer& original, IDirectSoundBuffer** out) {
  if (!out) return DSERR_INVALIDPARAM;
  *out = nullptr;
  if (original.Has(DSBCAPS_LOCHARDWARE) && !original.m_mixer->TakeHardwareVoice()) return DSERR_ALLOCATED;
  auto* copy = new CSoftwareSoundBuffer(original.m_mixer, original.m_memory, original.m_flags);
  copy->m_volume = original.m_volume;
  copy->m_pan = original.m_pan;
  copy->m_frequency = original.m_frequency;
  copy->UpdateGains();
  *out = copy;
  return DS_OK;
}

CSoftwareSoundBuffer::CSoftwareSoundBuffer(std::shared_ptr<CSoundMixer> mixer, std::shared_ptr<Memory> memory,
                                           DWORD flags)
    : m_mixer(std::move(mixer)), m_memory(std::move(memory)), m_flags(flags) {
  m_mixer->Add(this);
}

CSoftwareSoundBuffer::~CSoftwareSoundBuffer() {
  m_mixer->Remove(this);
  if (Has(DSBCAPS_LOCHARDWARE)) m_mixer->ReturnHardwareVoice();
}

ULONG CSoftwareSoundBuffer::AddRef() {
  Guard lock(m_mixer->Mutex());
  m_mixer->CatchUpLocked();
  return ++m_count;
}

ULONG CSoftwareSoundBuffer::Release() {
  std::shared_ptr<CSoundMixer> mixer = m_mixer;  // outlives the buffer while its lock is held
  Guard lock(mixer->Mutex());
  const ULONG left = --m_count;
  if (left == 0) delete this;
  return left;
}

HRESULT CSoftwareSoundBuffer::GetCaps(DSBCAPS* caps) {
  if (!caps) return DSERR_INVALIDPARAM;
  Guard lock(m_mixer->Mutex());
  m_mixer->CatchUpLocked();
  *caps = DSBCAPS{sizeof(DSBCAPS), m_flags, static_cast<DWORD>(m_memory->bytes.size()), 0, 0};
  return DS_OK;
}

HRESULT CSoftwareSoundBuffer::GetCurrentPosition(DWORD* play, DWORD* write) {
  Guard lock(m_mixer->Mutex());
  m_mixer->CatchUpLocked();
  const DWORD at = static_cast<DWORD>((m_position >> 32) * m_memory->format.nBlockAlign);
  if (play) *play = at;
  if (write) *write = at;  // the mixer reads at the cursor: nothing ahead of it is committed
  return DS_OK;
}

HRESULT CSoftwareSoundBuffer::GetFormat(WAVEFORMATEX* format) {
  if (!format) return DSERR_INVALIDPARAM;
  *format = m_memory->format;
  return DS_OK;
}

HRESULT CSoftwareSoundBuffer::GetVolume(LONG* volume) {
  if (!volume) return DSERR_INVALIDPARAM;
  if (!Has(DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
  Guard lock(m_mixer->Mutex());
  m_mixer->CatchUpLocked();
  *volume = m_volume;
  return DS_OK;
}

HRESULT CSoftwareSoundBuffer::GetPan(LONG* pan) {
  if (!pan) return DSERR_INVALIDPARAM;
  if (!Has(DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
  Guard lock(m_mixer->Mutex());
  m_mixer->CatchUpLocked();
  *pan = m_pan;
  return DS_OK;
}

HRESULT CSoftwareSoundBuffer::GetFrequency(DWORD* frequency) {
  if (!frequency) return DSERR_INVALIDPARAM;
  if (!Has(DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
  Guard lock(m_mixer->Mutex());
  m_mixer->CatchUpLocked();
  *frequency = m_frequency != 0 ? m_frequency : m_memory->format.nSamplesPerSec;
  return DS_OK;
}

HRESULT CSoftwareSoundBuffer::GetStatus(DWORD* status) {
  if (!status) return DSERR_INVALIDPARAM;
  Guard lock(m_mixer->Mutex());
  m_mixer->CatchUpLocked();
  *status = (m_playing ? DSBSTATUS_PLAYING : 0u) | (m_playing && m_looping ? DSBSTATUS_LOOPING : 0u) |
            (m_memory->lost ? DSBSTATUS_BUFFERLOST : 0u);
  return DS_OK;
}

HRESULT CSoftwareSoundBuffer::Lock(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second,
                                   DWORD* secondBytes, DWORD flags) {
  if (!first || !firstBytes) return DSERR_INVALIDPARAM;
  Guard lock(m_mixer->Mutex());
  m_mixer->CatchUpLocked();
  const size_t size = m_memory->bytes.size();
  if (flags & DSBLOCK_FROMWRITECURSOR) offset = static_cast<DWORD>((m_position >> 32) * m_memory->format.nBlockAlign);
  if (flags & DSBLOCK_ENTIREBUFFER) bytes = static_cast<DWORD>(size);
  if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
  if (m_locked) return DSERR_INVALIDCALL;
  if (m_memory->lost) return DSERR_BUFFERLOST;
  const size_t firstLength = std::min<size_t>(bytes, size - offset);
  const size_t secondLength = bytes - firstLength;
  if (secondLength != 0 && (!second || !secondBytes)) return DSERR_INVALIDPARAM;
  m_lockCopy.resize(bytes);
  std::memcpy(m_lockCopy.data(), m_memory->bytes.data() + offset, firstLength);
  std::memcpy(m_lockCopy.data() + firstLength, m_memory->bytes.data(), secondLength);
  m_lockOffset = offset;
  m_lockBytes = bytes;
  m_locked = true;
  *first = m_lockCopy.data();
  *firstBytes = static_cast<DWORD>(firstLength);
  if (second) *second = secondLength != 0 ? m_lockCopy.data() + firstLength : nullptr;
  if (secondBytes) *secondBytes = static_cast<DWORD>(secondLength);
  return DS_OK;
}

HRESULT CSoftwareSoundBuffer::Unlock(void* first, DWORD firstBytes, void* second, DWORD secondBytes) {
  Guard lock(m_mixer->Mutex());
  m_mixer->CatchUpLocked();
  if (!m_locked || first != m_lockCopy.data()) return DSERR_INVALIDPARAM;
  const size_t size = m_memory->bytes.size();
  const size_t firstLength = std::min<size_t>(m_lockBytes, size - m_lockOffset);
  if (firstBytes > firstLength) return DSERR_INVALIDPARAM;
  if (secondBytes != 0 && (second != m_lockCopy.data() + firstLength || secondBytes > m_lockBytes - firstLength))
    return DSERR_INVALIDPARAM;
  m_locked = false;
  if (m_memory->lost) return DS_OK;  // the memory went while locked: what was written is gone too
  std::memcpy(m_memory->bytes.data() + m_lockOffset, m_lockCopy.data(), firstBytes);
  m_memory->Decode(m_lockOffset, m_lockOffset + firstBytes);
  std::memcpy(m_memory->bytes.data(), m_lockCopy.data() + firstLength, secondBytes);
  m_memory->Decode(0, secondBytes);
  return DS_OK;
}

HRESULT CSoftwareSoundBuffer::Play(DWORD reserved, DWORD priority, DWORD flags) {
  if (reserved != 0) return DSERR_INVALIDPARAM;
  Guard lock(m_mixer->Mutex());
  m_mixer->CatchUpLocked();
  if (m_memory->lost) return DSERR_BUFFERLOST;
  m_playing = true;
  m_looping = (flags & DSBPLAY_LOOPING) != 0;
  return DS_OK;
}

HRESULT CSoftwareSoundBuffer::SetCurrentPosition(DWORD offset) {
  Guard lock(m_mixer->Mutex());
  m_mixer->CatchUpLocked();
  if (offset >= m_memory->bytes.size()) return DSERR_INVALIDPARAM;
  m_position = static_cast<uint64_t>(offset / m_memory->format.nBlockAlign) << 32;
  return DS_OK;
}

HRESULT CSoftwareSoundBuffer::SetVolume(LONG volume) {
  if (!Has(DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
  if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
  Guard lock(m_mixer->Mutex());
  m_mixer->CatchUpLocked();
  m_volume = volume;
  UpdateGains();
  return DS_OK;
}

HRESULT CSoftwareSoundBuffer::SetPan(LONG pan) {
  if (!Has(DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
  if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
  Guard lock(m_mixer->Mutex());
  m_mixer->CatchUpLocked();
  m_pan = pan;
  UpdateGains();
  return DS_OK;
}

HRESULT CSoftwareSoundBuffer::SetFrequency(DWORD frequency) {
  if (!Has(DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
  if (frequency != DSBFREQUENCY_ORIGINAL && (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX))
    return DSERR_INVALIDPARAM;
  Guard lock(m_mixer->Mutex());
  m_mixer->CatchUpLocked();
  m_frequency = frequency;
  return DS_OK;
}

HRESULT CSoftwareSoundBuffer::Stop() {
  Guard lock(m_mixer->Mutex());
  m_mixer->CatchUpLocked();
  m_playing = false;  // the cursor stays where it is, as a paused buffer resumes there
  return DS_OK;
}

HRESULT CSoftwareSoundBuffer::Restore() {
  Guard lock(m_mixer->Mutex());
  m_mixer->CatchUpLocked();
  m_memory->lost = false;
  return DS_OK;
}

void CSoftwareSoundBuffer::LoseMemory() {
  // Duplicates share the memory, so it is lost for all of them at once; the bytes go with it.
  Memory& memory = *m_memory;
  memory.lost = true;
  std::fill(memory.bytes.begin(), memory.bytes.end(), memory.format.wBitsPerSample == 8 ? 0x80 : 0);
  std::fill(memory.samples.begin(), memory.samples.end(), 0.0f);
}

void CSoftwareSoundBuffer::UpdateGains() {
  // The far channel is lowered by the pan's size in hundredths of a decibel; the near one keeps
  // the volume.
  const float gain = GainOf(m_volume);
  m_gainLeft = m_pan > 0 ? gain * GainOf(-m_pan) : gain;
  m_gainRight = m_pan < 0 ? gain * GainOf(m_pan) : gain;
}

uint64_t CSoftwareSoundBuffer::Step() const {
  const uint64_t rate = m_frequency != 0 ? m_frequency : m_memory->format.nSamplesPerSec;
  return (rate << 32) / CSoundMixer::kOutputRate;
}

bool CSoftwareSoundBuffer::PassEnd() {
  const uint64_t end = static_cast<uint64_t>(m_memory->frames) << 32;
  if (m_position < end) return true;
  if (m_looping) {
    m_position %= end;
    return true;
  }
  m_playing = false;
  m_position = 0;
  return false;
}

void CSoftwareSoundBuffer::Advance(uint32_t frames) {
  m_position += Step() * frames;
  PassEnd();
}

// Mixes until the cursor reaches the last frame or the request is met; returns the frames done.
// Inside the run both neighbours of the cursor are in the buffer, so the loop needs no checks.
template <int Channels>
uint32_t CSoftwareSoundBuffer::MixRun(float* out, uint32_t frames) {
  const uint64_t step = Step();
  const uint64_t last = static_cast<uint64_t>(m_memory->frames - 1) << 32;
  if (m_position >= last) return 0;
  const uint64_t fit = (last - m_position + step - 1) / step;
  const uint32_t run = static_cast<uint32_t>(std::min<uint64_t>(frames, fit));
  const float* s = m_memory->samples.data();
  const float left = m_gainLeft, right = m_gainRight;
  uint64_t position = m_position;
  for (uint32_t k = 0; k < run; ++k, position += step) {
    const size_t i = static_cast<size_t>(position >> 32) * Channels;
    const float t = static_cast<float>(static_cast<uint32_t>(position)) * kFractionScale;
    const float a = s[i] + (s[i + Channels] - s[i]) * t;
    const float b = Channels == 2 ? s[i + 1] + (s[i + 3] - s[i + 1]) * t : a;
    out[2 * k] += a * left;
    out[2 * k + 1] += b * right;
  }
  m_position = position;
  return run;
}

void CSoftwareSoundBuffer::MixInto(float* out, uint32_t frames) {
  const Memory& memory = *m_memory;
  if (!m_playing || memory.frames == 0) return;
  if (memory.lost || (m_gainLeft == 0.0f && m_gainRight == 0.0f)) {
    Advance(frames);
    return;
  }
  const uint32_t channels = memory.format.nChannels;
  uint32_t done = 0;
  while (done < frames) {
    done += channels == 2 ? MixRun<2>(out + 2 * done, frames - done) : MixRun<1>(out + 2 * done, frames - done);
    if (!PassEnd() || done == frames) break;
    if (m_position < (static_cast<uint64_t>(memory.frames - 1) << 32)) continue;  // wrapped to the start
    // One frame between the last sample and the next: the start again when looping, else silence.
    const size_t i = static_cast<size_t>(m_position >> 32);
    const float t = static_cast<float>(static_cast<uint32_t>(m_position)) * kFractionScale;
    for (uint32_t c = 0; c < 2; ++c) {
      const size_t ch = channels == 2 ? c : 0;
      const float a = memory.samples[i * channels + ch];
      const float b = m_looping ? memory.samples[ch] : 0.0f;
      out[2 * done + c] += (a + (b - a) * t) * (c == 0 ? m_gainLeft : m_gainRight);
    }
    ++done;
    m_position += Step();
    if (!PassEnd()) break;
  }
}
