// CNoticeScreen: a modal notice with a few lines and an OK button, for what went wrong while the
// program or a game started (a display size that could not be set, a level without a build grid,
// build items without meshes, a park file that could not be loaded) while it runs on without it.
#pragma once

#include <string>
#include <vector>

#include "ui/widgets/MenuLayer.h"

class CNoticeScreen : public CMenuLayer {
 public:
  enum Command { kOk };

  explicit CNoticeScreen(const std::vector<std::string>& lines);
  bool IsModal() const override { return true; }
  const char* GetInfoString() const override { return "NoticeScreen"; }

 protected:
  void OnCommand(int command) override;
};
