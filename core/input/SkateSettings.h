// CSkateSettings: the program's own settings, with the park game's key path and 74-row key table.
#pragma once

#include "core/input/Settings.h"

class CSkateSettings : public CSettings {
 public:
  static constexpr uint32_t kActionCount = 74;
  static constexpr uint32_t kFileSize = kHeaderSize + kActionCount * kRowSize;  // 1,560 bytes

  CSkateSettings();
  uint32_t GetActionCount() const override { return kActionCount; }
  const char* GetKeyPath() const override { return "Software\\Brimwell\\Vantorhill"; }
  void SetDefaultBindings() override;
};
