// CExitPerspective: the layer shown while the player views the park from a piece or controls a
// skater; its one button leaves that mode.
#pragma once

#include "ui/widgets/MenuLayer.h"

class CExitPerspective : public CMenuLayer {
 public:
  enum Command { kExit };

  CExitPerspective();
  const char* GetInfoString() const override { return "ExitPerspective"; }

 protected:
  void OnCommand(int command) override;
};
