// CSkaterPlayerInterface: the heads-up layer of the skater the player controls - its name, what it
// is doing and the park's money. It leaves when the player no longer controls a skater.
#pragma once

#include "ui/widgets/MenuLayer.h"

class CSkaterPlayerInterface : public CMenuLayer {
 public:
  CSkaterPlayerInterface();
  const char* GetInfoString() const override { return "SkaterPlayerInterface"; }

 protected:
  void OnCommand(int command) override {}
  void Refresh() override;
};
