#include "core/Settings.h"

#include "core/InputMan.h"

namespace {
CSettings* g_settings = nullptr;
}

CSettings* GetSettings() { return g_settings; }

void SetSettings(CSettings* settings) { g_settings = settings; }

CSettings::CSettings() { SetDefaults(); }

bool CSettings::LoadDefault() {
  // "settings.bin" is read with the settings work; until then every start uses the defaults.
  SetDefaults();
  return false;
}

bool CSettings::Save() const {
  // Written with the settings work; nothing is stored yet.
  return true;
}

void CSettings::SetDefaults() {
  meshDetail = 0.5f;
  option1 = 1.0f;
  option2 = 0.5f;
  option3 = 0.5f;
  option4 = 0.5f;
  textureDetail = 0.0f;
  detailFlags = 1;
  fullScreen = 1;
  displayWidth = 640;
  displayHeight = 480;
  displayBits = 16;
  adapter = -1;
  renderer = 0;
  levelA = 1.0f;
  levelB = 1.0f;
  mouseFlag = 1;
  negativeVerticalScale = 0;
  spare[0] = spare[1] = 0;
  mouseScale = 0.5f;
  rateLimit = 100000;
  SetDefaultBindings();
}

void CSettings::SetDefaultBindings() {
  // Virtual calls in the constructor reach this version; CSkateSettings sizes its own table.
  keyTable.assign(static_cast<size_t>(GetActionCount()) * kDevices, 0u);
}

void CSettings::ApplyBindings(CInputMan* input) const {
  // The input manager's action table comes with the input work; there is nothing to hand over yet.
}

uint32_t CSettings::GetBinding(uint32_t device, uint32_t action) const {
  if (device >= kDevices) return 0;
  const size_t cell = static_cast<size_t>(action) * kDevices + device;
  return cell < keyTable.size() ? keyTable[cell] : 0u;
}
