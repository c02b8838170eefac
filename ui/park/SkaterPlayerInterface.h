// CSkaterPlayerInterface: the heads-up layer of the skater the player controls - its name, the
// keys that drive it and the park's money. It leaves when the player no longer controls a skater.
#pragma once

#include "ui/widgets/MenuLayer.h"
#include <cstdint>
#include <string>
#include <vector>

class CSettings;

class CSkaterPlayerInterface : public CMenuLayer {
 public:
  CSkaterPlayerInterface();
  const char* GetInfoString() const override { return "SkaterPlayerInterface"; }

  // What the keyboard bindings of the driving actions do, one line per group, named from the key
  // table so that the lines follow the bindings; an action without a keyboard key is left out.
  static std::vector<std::string> DrivingKeyLines(const CSettings* settings);
  // The name of a virtual key as the panel's alphabet can show it.
  static std::string KeyName(uint32_t virtualKey);

 protected:
  void OnCommand(int command) override {}
  void Refresh() override;
};
