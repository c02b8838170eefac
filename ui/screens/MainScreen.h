// CMainScreen: the main menu - new game, instant action, load, settings and quit.
#pragma once

#include <string>

#include "ui/widgets/MenuLayer.h"

class CMainScreen : public CMenuLayer {
 public:
  enum Command { kNewGame, kInstantAction, kLoad, kSettings, kQuit };
  // dataRoot holds "data/" and saveRoot "saved_games" (each the working directory when empty).
  explicit CMainScreen(std::string dataRoot = std::string(), std::string saveRoot = std::string());
  bool IsModal() const override { return true; }
  const char* GetInfoString() const override { return "MainScreen"; }

 protected:
  void OnCommand(int command) override;

 private:
  // Leaves the stack once a game is running; stays, with a line saying so, when it failed.
  void Started(bool ok);
  // Marks every layer for removal: a world without layers ends the program at the next frame.
  void Quit();

  std::string m_dataRoot;
  std::string m_saveRoot;
};
