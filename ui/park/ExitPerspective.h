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
  // Leaves with the mode, however the mode ended (Escape, the control key, a skater gone).
  void Refresh() override;
};
