// CSoundManager: starting sounds on sample buffers or their duplicates, the 400 ms service of
// every record, and the positional volume and pan rules.
#include "sound/SoundManager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/input/Settings.h"
#include "core/data/DebugPrintf.h"
#include "core/data/ResourceTable.h"
#include "platform/system/Platform.h"
#include "sound/SoundSample.h"

namespace {

CSoundManager* g_global = nullptr;

// Handles are generation << 16 | record index: the index stays below 2^16 and the generation
// below 2^15, so a handle is never negative and -1 stays free to mean none.
constexpr uint32_t kIndexBits = 16;
constexpr uint32_t kMaxRecords = 1u << kIndexBits;
constexpr uint32_t kGenerationMask = 0x7FFF;

constexpr DWORD kEffectBufferFlags = DSBCAPS_STATIC | DSBCAPS_LOCHARDWARE | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN |
                                     DSBCAPS_CTRLFREQUENCY;  // 0xE6
constexpr DWORD kMusicBufferFlags = DSBCAPS_STATIC | DSBCAPS_LOCHARDWARE | DSBCAPS_CTRLVOLUME;  // 0x86

int32_t AtLeastSilent(int32_t volume) { return std::max(volume, CSoundManager::kSilent); }

int32_t AttenuationOfLevel(float level) {
  if (level == 0.0f) return CSoundManager::kSilent;
  const float attenuation = (1.0f - level) * -3000.0f;
  return std::min(0, std::max(CSoundManager::kSilent, static_cast<int32_t>(attenuation)));
}

DWORD ControlsOf(IDirectSoundBuffer* buffer) {
  DSBCAPS caps{};
  caps.dwSize = sizeof(caps);
  return buffer->GetCaps(&caps) == DS_OK ? caps.dwFlags : 0;
}

}  // namespace

CSoundManager::CSoundManager() = default;

CSoundManager::~CSoundManager() {
  StopAll();
  if (g_global == this) g_global = nullptr;
}

CSoundManager* CSoundManager::GetGlobal() { return g_global; }

bool CSoundManager::Init(CResourceTable* resources, HWND window, const CSettings* settings) {
  IDirectSound* device = nullptr;
  const HRESULT result = DirectSoundCreate(nullptr, &device, nullptr);
  m_resources = resources;
  ApplyVolumeSettings(settings);
  if (FAILED(result) || device == nullptr) {
    DebugPrintf("CSoundManager: no sound device,%s", DSErrorToString(result).c_str());
    return false;
  }
  return Init(resources, window, settings, DirectSoundPtr(device));
}

bool CSoundManager::Init(CResourceTable* resources, HWND window, const CSettings* settings, DirectSoundPtr device) {
  m_resources = resources;
  ApplyVolumeSettings(settings);
  if (!device) return false;
  const HRESULT result = device->SetCooperativeLevel(window, DSSCL_NORMAL);
  if (FAILED(result)) DebugPrintf("CSoundManager: SetCooperativeLevel failed:%s", DSErrorToString(result).c_str());
  m_device = std::move(device);
  if (g_global == nullptr) g_global = this;
  return true;
}

void CSoundManager::ApplyVolumeSettings(const CSettings* settings) {
  if (settings == nullptr) return;
  m_effectAttenuation = AttenuationOfLevel(settings->levelA);
  m_musicAttenuation = AttenuationOfLevel(settings->levelB);
  // What sounds now is heard at the new level at once, not at the next service.
  for (Slot& slot : m_slots) {
    CSoundInstance& record = slot.record;
    if (record.buffer == nullptr) continue;
    if (!record.IsPositional()) {
      Modify(record);
    } else if (record.distanceAttenuation > kSilent) {
      // Only the category changes here: the distance keeps its smoothed value until the service.
      record.buffer->SetVolume(AtLeastSilent(CategoryAttenuation(record.music) + record.distanceAttenuation));
    }
  }
}

int CSoundManager::PlayById(int id, bool music, bool loop, int32_t volume) {
  if (!m_device || id == -1 || CategoryAttenuation(music) <= kSilent) return -1;
  CSoundInstance request;
  request.loop = loop;
  request.volume = volume;
  request.music = music;
  return Play(id, request);
}

int CSoundManager::PlaySoundById(int id) { return g_global ? g_global->PlayById(id, false, false, 0) : -1; }

int CSoundManager::PlayMusic(int id, bool loop, int32_t volume) {
  if (m_musicHandle != -1) Stop(m_musicHandle);
  m_musicHandle = PlayById(id, true, loop, volume);
  return m_musicHandle;
}

bool CSoundManager::IsMusicPlaying() const { return IsPlaying(m_musicHandle); }

bool CSoundManager::OutOfRangeAtStart(const CSoundInstance& request) const {
  if (request.loop || request.range <= 0) return false;  // a loop may come into range later
  const Vector3 offset = request.Where() - m_listener.GetPosition();
  const float range = static_cast<float>(request.range);
  return offset.Dot(offset) > range * range;
}

int CSoundManager::Play(int id, const CSoundInstance& request) {
  if (!m_device || id == -1 || CategoryAttenuation(request.music) <= kSilent || OutOfRangeAtStart(request)) return -1;
  CSoundSample* sample = PickVariant(id);
  if (sample == nullptr || !PrepareBuffer(*sample, request.music)) return -1;
  Slot slot;
  slot.record = request;
  slot.record.soundId = id;
  TakeBuffer(slot, *sample, id);

  IDirectSoundBuffer* buffer = slot.record.buffer;
  buffer->SetCurrentPosition(0);
  Modify(slot.record);
  const HRESULT result = buffer->Play(0, 0, slot.record.loop ? DSBPLAY_LOOPING : 0);
  if (FAILED(result)) DebugPrintf("Soundman Error in Play: %s", DSErrorToString(result).c_str());
  return Store(std::move(slot));
}

CSoundSample* CSoundManager::PickVariant(int id) const {
  if (m_resources == nullptr || m_resources->GetType(id) != kResourceSound) return nullptr;
  const int count = m_resources->GetVariantCount(id);
  void** variants = m_resources->GetVariants(id);
  if (count <= 0 || variants == nullptr) return nullptr;
  return static_cast<CSoundSample*>(variants[plat::rand() % count]);  // a family may hold a failed file as null
}

bool CSoundManager::PrepareBuffer(CSoundSample& sample, bool music) {
  if (sample.GetBuffer() == nullptr) sample.SetBuffer(CreateBuffer(sample, music));
  IDirectSoundBuffer* buffer = sample.GetBuffer();
  if (buffer == nullptr) return false;
  // Memory lost while nothing played it is refilled before it is heard again.
  DWORD status = 0;
  if (buffer->GetStatus(&status) == DS_OK && (status & DSBSTATUS_BUFFERLOST) != 0) {
    if (FAILED(buffer->Restore())) return false;
    Upload(sample, buffer);
  }
  return true;
}

DirectSoundBufferPtr CSoundManager::CreateBuffer(const CSoundSample& sample, bool music) {
  const WAVEFORMATEX format = sample.GetFormat();
  DSBUFFERDESC desc{kDsBufferDescSize, music ? kMusicBufferFlags : kEffectBufferFlags, sample.GetDataSize(), 0,
                    &format};
  IDirectSoundBuffer* buffer = nullptr;
  if (FAILED(m_device->CreateSoundBuffer(&desc, &buffer, nullptr))) {
    desc.dwFlags = (desc.dwFlags & ~DSBCAPS_LOCHARDWARE) | DSBCAPS_LOCSOFTWARE;
    if (FAILED(m_device->CreateSoundBuffer(&desc, &buffer, nullptr))) {
      OutputDebugStringA("Failed to create sound buffer\n");
      return nullptr;
    }
  }
  DirectSoundBufferPtr owned(buffer);
  Upload(sample, buffer);
  return owned;
}

bool CSoundManager::Upload(const CSoundSample& sample, IDirectSoundBuffer* buffer) {
  void* first = nullptr;
  void* second = nullptr;
  DWORD firstBytes = 0, secondBytes = 0;
  if (FAILED(buffer->Lock(0, sample.GetDataSize(), &first, &firstBytes, &second, &secondBytes, 0))) {
    OutputDebugStringA("Lock failed");
    return false;
  }
  const uint8_t* data = sample.GetData();
  const DWORD size = sample.GetDataSize();
  firstBytes = std::min(firstBytes, size);
  secondBytes = std::min(secondBytes, size - firstBytes);
  std::memcpy(first, data, firstBytes);
  if (second != nullptr) std::memcpy(second, data + firstBytes, secondBytes);
  if (FAILED(buffer->Unlock(first, firstBytes, second, secondBytes))) {
    OutputDebugStringA("Unlock failed");
    return false;
  }
  return true;
}

// A sample whose buffer already sounds is played through a duplicate over the same memory;
// when none can be made, the sample restarts on its own buffer instead of overlapping.
void CSoundManager::TakeBuffer(Slot& slot, CSoundSample& sample, int id) {
  IDirectSoundBuffer* own = sample.GetBuffer();
  slot.sample = &sample;
  DWORD status = 0;
  own->GetStatus(&status);
  if ((status & DSBSTATUS_PLAYING) != 0) {
    IDirectSoundBuffer* copy = nullptr;
    const HRESULT result = m_device->DuplicateSoundBuffer(own, &copy);
    if (!FAILED(result) && copy != nullptr) {
      slot.duplicate.reset(copy);
      slot.record.buffer = copy;
      slot.record.sharesSampleBuffer = false;
      return;
    }
    if (const char* path = m_resources->GetPath(id))
      DebugPrintf("Soundman Error in Duplicate Buffer: soundsource = %s, %s", path, DSErrorToString(result).c_str());
    OutputDebugStringA("Failed to dup sound buffer.\n");
    StopSlotsPlaying(own);
  }
  slot.record.buffer = own;
  slot.record.sharesSampleBuffer = true;
}

int CSoundManager::Store(Slot slot) {
  m_generation = (m_generation % kGenerationMask) + 1;  // 1 .. 0x7FFF, never 0
  slot.generation = m_generation;
  auto freeSlot = std::find_if(m_slots.begin(), m_slots.end(), [](const Slot& s) { return s.record.buffer == nullptr; });
  if (freeSlot == m_slots.end()) {
    if (m_slots.size() >= kMaxRecords) {
      OutputDebugStringA("CSoundManager: too many sounds at once\n");
      slot.record.buffer->Stop();
      return -1;
    }
    m_slots.push_back(std::move(slot));
    return HandleOf(static_cast<int>(m_slots.size() - 1));
  }
  *freeSlot = std::move(slot);
  return HandleOf(static_cast<int>(freeSlot - m_slots.begin()));
}

int CSoundManager::HandleOf(int slot) const {
  return static_cast<int>(m_slots[static_cast<size_t>(slot)].generation << kIndexBits | static_cast<uint32_t>(slot));
}

int CSoundManager::SlotOf(int handle) const {
  if (handle < 0) return -1;
  const uint32_t index = static_cast<uint32_t>(handle) & (kMaxRecords - 1);
  const uint32_t generation = static_cast<uint32_t>(handle) >> kIndexBits;
  if (index >= m_slots.size()) return -1;
  const Slot& slot = m_slots[index];
  if (slot.record.buffer == nullptr || slot.generation != generation) return -1;
  return static_cast<int>(index);
}

CSoundInstance* CSoundManager::GetInstance(int handle) {
  const int slot = SlotOf(handle);
  return slot < 0 ? nullptr : &m_slots[static_cast<size_t>(slot)].record;
}

void CSoundManager::Modify(CSoundInstance& record) {
  if (record.buffer == nullptr) return;
  const DWORD controls = ControlsOf(record.buffer);
  if (!record.IsPositional()) {
    const HRESULT result = record.buffer->SetVolume(AtLeastSilent(record.volume + CategoryAttenuation(record.music)));
    if (FAILED(result)) DebugPrintf("Error In Modify Sound: %s", DSErrorToString(result).c_str());
    return;
  }
  ModifyPositional(record, controls);
}

// Distance by the cheap estimate, pan from the side the sound is on, and an attenuation that
// moves a third of the way to its target at each update, so a passing sound does not jump.
void CSoundManager::ModifyPositional(CSoundInstance& record, DWORD controls) {
  IDirectSoundBuffer* buffer = record.buffer;
  const Vector3 local = m_listener.WorldToLocalPoint(record.Where());
  float distance = local.ApproxLength();
  if (distance == 0.0f) distance = 0.1f;
  const bool canPan = (controls & DSBCAPS_CTRLPAN) != 0;
  if (static_cast<float>(record.range) < distance || record.volume == kSilent) {
    buffer->SetVolume(kSilent);
    record.pan = 0;
    if (canPan) buffer->SetPan(0);
    record.distanceAttenuation = kSilent;
    return;
  }
  if (!record.music && canPan) {
    // The listener's Y axis points left and a positive pan is right: a sound on the left
    // (positive local y) pans negative.
    const float side = std::min(1.0f, std::max(-1.0f, -local.y / distance));
    record.pan = static_cast<int32_t>(side * DSBPAN_RIGHT);
    buffer->SetPan(record.pan);
  }
  const int32_t target = static_cast<int32_t>(distance * kSilent / static_cast<float>(record.range));
  record.distanceAttenuation -= (record.distanceAttenuation - target) / 3;
  const HRESULT result = buffer->SetVolume(AtLeastSilent(CategoryAttenuation(record.music) + record.distanceAttenuation));
  if (FAILED(result)) DebugPrintf("Error In Modify Sound: %s", DSErrorToString(result).c_str());
  if (record.frequency > 100 && record.frequency < 100000 && (controls & DSBCAPS_CTRLFREQUENCY) != 0)
    buffer->SetFrequency(static_cast<DWORD>(record.frequency));
}

void CSoundManager::SetSoundFrequency(CSoundInstance& record) {
  if (record.frequency < 1 || record.buffer == nullptr) return;
  if ((ControlsOf(record.buffer) & DSBCAPS_CTRLFREQUENCY) == 0) return;
  const HRESULT result = record.buffer->SetFrequency(static_cast<DWORD>(record.frequency));
  if (FAILED(result)) DebugPrintf("Error In Modify Sound: %s", DSErrorToString(result).c_str());
}

void CSoundManager::Stop(int handle) {
  const int slot = SlotOf(handle);
  if (slot >= 0) StopSlot(slot);
}

void CSoundManager::StopSlot(int index) {
  Slot& slot = m_slots[static_cast<size_t>(index)];
  CSoundInstance& record = slot.record;
  if (record.buffer == nullptr) return;
  const HRESULT result = record.buffer->Stop();
  if (FAILED(result)) DebugPrintf("SoundMan Error in Stop: %s", DSErrorToString(result).c_str());
  if (slot.duplicate) {
    const ULONG left = slot.duplicate.release()->Release();
    if (left != 0) DebugPrintf("SoundMan Error in Release: %u references left\n", static_cast<unsigned>(left));
  }
  record.buffer = nullptr;
  slot.sample = nullptr;
  if (m_musicHandle >= 0 && (static_cast<uint32_t>(m_musicHandle) & (kMaxRecords - 1)) == static_cast<uint32_t>(index))
    m_musicHandle = -1;
}

void CSoundManager::StopSlotsPlaying(const IDirectSoundBuffer* buffer) {
  for (size_t i = 0; i < m_slots.size(); ++i)
    if (m_slots[i].record.buffer == buffer) StopSlot(static_cast<int>(i));
}

void CSoundManager::StopMusic() {
  for (size_t i = 0; i < m_slots.size(); ++i)
    if (m_slots[i].record.buffer != nullptr && m_slots[i].record.music) StopSlot(static_cast<int>(i));
}

void CSoundManager::StopAll() {
  for (size_t i = 0; i < m_slots.size(); ++i) StopSlot(static_cast<int>(i));
  m_slots.clear();
  m_musicHandle = -1;
}

bool CSoundManager::IsPlaying(int handle) const {
  const int slot = SlotOf(handle);
  if (slot < 0) return false;
  DWORD status = 0;
  m_slots[static_cast<size_t>(slot)].record.buffer->GetStatus(&status);
  return (status & DSBSTATUS_PLAYING) != 0;
}

void CSoundManager::Update(uint32_t milliseconds, const COrientation* listener) {
  ++m_updates;
  m_accumulator += static_cast<float>(milliseconds);
  if (m_accumulator < static_cast<float>(kUpdateMilliseconds)) return;
  m_accumulator = 0.0f;
  if (listener != nullptr) m_listener = *listener;
  for (size_t i = 0; i < m_slots.size(); ++i) {
    ServiceSlot(static_cast<int>(i));
    Modify(m_slots[i].record);
  }
}

// A lost buffer gets its memory back and the sample written into it again (duplicates share
// that memory, so they are refilled too); a buffer that has stopped frees its record.
void CSoundManager::ServiceSlot(int index) {
  Slot& slot = m_slots[static_cast<size_t>(index)];
  IDirectSoundBuffer* buffer = slot.record.buffer;
  if (buffer == nullptr) return;
  DWORD status = 0;
  buffer->GetStatus(&status);
  if ((status & DSBSTATUS_BUFFERLOST) != 0) {
    OutputDebugStringA("Sound Buffer Lost!\n");
    if (FAILED(buffer->Restore())) {
      buffer->Stop();
      status &= ~DSBSTATUS_PLAYING;
    } else if (slot.sample != nullptr) {
      Upload(*slot.sample, buffer);
    }
  }
  if ((status & DSBSTATUS_PLAYING) == 0) StopSlot(index);
}

void CSoundManager::Release() {
  ++m_releases;
  StopAll();
  if (m_resources == nullptr) return;
  for (int id = 0; id < m_resources->GetCount(); ++id) {
    if (m_resources->GetType(id) != kResourceSound || !m_resources->IsLoaded(id)) continue;
    void** variants = m_resources->GetVariants(id);
    const int count = m_resources->GetVariantCount(id);
    for (int i = 0; variants != nullptr && i < count; ++i)
      if (variants[i] != nullptr) static_cast<CSoundSample*>(variants[i])->SetBuffer(nullptr);
  }
}

std::string CSoundManager::DSErrorToString(HRESULT result) {
  struct Text {
    HRESULT result;
    const char* text;
  };
  static const Text kTexts[] = {
      {DS_OK, " The request completed successfully. \n"},
      {DSERR_UNSUPPORTED, " The function called is not supported at this time. \n"},
      {DSERR_NOINTERFACE, " The requested COM interface is not available. \n"},
      {DSERR_GENERIC, " An undetermined error occurred inside the DirectSound subsystem. \n"},
      {DSERR_NOAGGREGATION, " The object does not support aggregation. \n"},
      {DSERR_OUTOFMEMORY,
       " The DirectSound subsystem could not allocate sufficient memory to complete the caller's request. \n"},
      {DSERR_INVALIDPARAM, " An invalid parameter was passed to the returning function. \n"},
      {DSERR_ALLOCATED,
       " The request failed because resources, such as a priority level, were already in use by another caller. \n"},
      {DSERR_CONTROLUNAVAIL, " The buffer control (volume, pan, and so on) requested by the caller is not available. \n"},
      {DSERR_INVALIDCALL, " This function is not valid for the current state of this object. \n"},
      {DSERR_PRIOLEVELNEEDED, " The caller does not have the priority level required for the function to succeed. \n"},
      {DSERR_BADFORMAT, " The specified wave format is not supported. \n"},
      {DSERR_NODRIVER, " No sound driver is available for use. \n"},
      {DSERR_ALREADYINITIALIZED, " The object is already initialized. \n"},
      {DSERR_BUFFERLOST, " The buffer memory has been lost and must be restored. \n"},
      {DSERR_OTHERAPPHASPRIO,
       " Another application has a higher priority level, preventing this call from succeeding \n"},
      {DSERR_UNINITIALIZED,
       " The IDirectSound::Initialize method has not been called or has not been called successfully before other "
       "methods were called. \n"},
  };
  for (const Text& entry : kTexts)
    if (entry.result == result) return entry.text;
  // An unknown code is still a result worth seeing: never reported as "no error".
  char text[64];
  std::snprintf(text, sizeof(text), " Unknown result 0x%08X. \n", static_cast<unsigned>(result));
  return text;
}
