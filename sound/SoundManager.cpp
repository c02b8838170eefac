#include "sound/SoundManager.h"

bool CSoundManager::Init(CResourceTable* resources, HWND window, CSettings* settings) {
  m_resources = resources;
  m_window = window;
  m_started = true;
  return true;
}

void CSoundManager::Update(uint32_t milliseconds, const COrientation* listener) { ++m_updates; }

void CSoundManager::Release() { ++m_releases; }
