// CSoundManager: the one sound manager: plays sounds and music by resource id on the sound
// device, with random variants, overlapping duplicates, category volumes and positional sound.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/services/WorldSound.h"
#include "core/math/Orientation.h"
#include "platform/sound/DirectSound.h"
#include "platform/system/Win32.h"
#include "sound/SoundInstance.h"

class CResourceTable;
class CSettings;
class CSoundSample;

class CSoundManager : public CWorldSound {
 public:
  static constexpr int32_t kSilent = DSBVOLUME_MIN;
  static constexpr uint32_t kUpdateMilliseconds = 400;

  CSoundManager();
  ~CSoundManager() override;
  CSoundManager(const CSoundManager&) = delete;
  CSoundManager& operator=(const CSoundManager&) = delete;

  // Opens the default sound device; false (every play then gives -1) when there is none.
  bool Init(CResourceTable* resources, HWND window, const CSettings* settings);
  // The same on a device the caller made (tests render an offline one).
  bool Init(CResourceTable* resources, HWND window, const CSettings* settings, DirectSoundPtr device);
  // Effect and music attenuations from the settings' levels A and B (0 to 1), applied at once to
  // every sounding record.
  void ApplyVolumeSettings(const CSettings* settings);

  // Each returns a handle, or -1 when nothing plays. A handle names its sound only while that
  // sound lasts: once it has ended, the handle is refused even if its record is reused.
  int PlayById(int id, bool music, bool loop, int32_t volume);
  // An interface click on the global manager, if there is one.
  static int PlaySoundById(int id);
  // Ends the current track first, whether or not the new one can play.
  int PlayMusic(int id, bool loop, int32_t volume);
  bool IsMusicPlaying() const;
  int Play(int id, const CSoundInstance& request);

  // The record of a sounding handle, for changing its request fields before Modify; null for a
  // bad or stale handle. Valid until the next play.
  CSoundInstance* GetInstance(int handle);
  // Sends the record's volume, pan and frequency to its buffer (controls the buffer lacks are left).
  void Modify(CSoundInstance& record);
  void SetSoundFrequency(CSoundInstance& record);

  void Stop(int handle);
  void StopMusic();
  void StopAll();
  bool IsPlaying(int handle) const;

  // Every 400 ms of ticks: listener taken, lost buffers restored and refilled, ended sounds
  // freed, volumes and pans re-evaluated.
  void Update(uint32_t milliseconds, const COrientation* listener) override;
  void ServiceSoundCapture() override {}
  // Stops every sound and frees the samples' device buffers (every world clear and shutdown).
  void Release() override;

  static std::string DSErrorToString(HRESULT result);
  static CSoundManager* GetGlobal();

  int32_t GetEffectAttenuation() const { return m_effectAttenuation; }
  int32_t GetMusicAttenuation() const { return m_musicAttenuation; }
  int GetMusicHandle() const { return m_musicHandle; }
  size_t GetRecordCount() const { return m_slots.size(); }
  const COrientation& GetListener() const { return m_listener; }
  bool IsStarted() const { return m_device != nullptr; }
  uint32_t GetUpdateCount() const { return m_updates; }
  uint32_t GetReleaseCount() const { return m_releases; }

 private:
  // A record with what it owns: a duplicate buffer when it does not play the sample's own, and
  // the sample, to refill lost memory.
  struct Slot {
    CSoundInstance record;
    DirectSoundBufferPtr duplicate;
    CSoundSample* sample = nullptr;
    uint32_t generation = 0;
  };

  int32_t CategoryAttenuation(bool music) const { return music ? m_musicAttenuation : m_effectAttenuation; }
  bool OutOfRangeAtStart(const CSoundInstance& request) const;
  CSoundSample* PickVariant(int id) const;
  bool PrepareBuffer(CSoundSample& sample, bool music);
  DirectSoundBufferPtr CreateBuffer(const CSoundSample& sample, bool music);
  bool Upload(const CSoundSample& sample, IDirectSoundBuffer* buffer);
  void TakeBuffer(Slot& slot, CSoundSample& sample, int id);
  int Store(Slot slot);
  int SlotOf(int handle) const;
  int HandleOf(int slot) const;
  void StopSlot(int slot);
  void StopSlotsPlaying(const IDirectSoundBuffer* buffer);
  void ServiceSlot(int slot);
  void ModifyPositional(CSoundInstance& record, DWORD controls);

  std::vector<Slot> m_slots;
  int32_t m_effectAttenuation = -1500;
  int32_t m_musicAttenuation = -1500;
  CResourceTable* m_resources = nullptr;
  COrientation m_listener;
  float m_accumulator = 0.0f;
  int m_musicHandle = -1;
  DirectSoundPtr m_device;
  uint32_t m_generation = 0;  // of the newest play; handles carry it so stale ones are refused
  uint32_t m_updates = 0;
  uint32_t m_releases = 0;
};
