// CSkateSettings: the program's own settings, with the park game's 74-row key table.
#pragma once

#include "core/Settings.h"

class CSkateSettings : public CSettings {
 public:
  CSkateSettings();
  uint32_t GetActionCount() const override { return 74; }
  void SetDefaultBindings() override;
};
