// CSoundManager: the one sound manager (device start-up, listener updates, release of the loaded sounds).
#pragma once

#include <cstdint>

#include "core/WorldSound.h"
#include "platform/Win32.h"

class CResourceTable;
class CSettings;
class COrientation;

class CSoundManager : public CWorldSound {
 public:
  CSoundManager() = default;
  ~CSoundManager() override = default;

  // Audio output comes with the sound work; for now this records the arguments and succeeds.
  bool Init(CResourceTable* resources, HWND window, CSettings* settings);
  // milliseconds: the tick length; listener: the current camera's frame (may be null).
  void Update(uint32_t milliseconds, const COrientation* listener) override;
  void ServiceSoundCapture() override {}
  // Stops every sound and frees the sample buffers (every world clear and shutdown).
  void Release() override;

  bool IsStarted() const { return m_started; }
  uint32_t GetUpdateCount() const { return m_updates; }
  uint32_t GetReleaseCount() const { return m_releases; }

 private:
  CResourceTable* m_resources = nullptr;
  HWND m_window = nullptr;
  bool m_started = false;
  uint32_t m_updates = 0;
  uint32_t m_releases = 0;
};
