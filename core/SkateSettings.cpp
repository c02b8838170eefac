#include "core/SkateSettings.h"

CSkateSettings::CSkateSettings() { SetDefaultBindings(); }

void CSkateSettings::SetDefaultBindings() {
  // The game's default rows come with the settings work; the table already has the game's 74 rows.
  keyTable.assign(static_cast<size_t>(GetActionCount()) * kDevices, 0u);
}
