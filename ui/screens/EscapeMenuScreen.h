// CEscapeMenuScreen: the in-game escape menu - resume, save, load, settings and quit to the main menu. While
// one exists the park stands still (the controller asks IsOpen).
#pragma once

#include <string>

#include "ui/widgets/MenuLayer.h"

class CEscapeMenuScreen : public CMenuLayer {
 public:
  enum Command { kResume, kSave, kLoad, kSettings, kQuitToMenu };
  static constexpr uint32_t kCancelAction = 71;  // the Escape key's game action

  // saveRoot holds "saved_games" and dataRoot "data/" (each the working directory when empty).
  explicit CEscapeMenuScreen(std::string saveRoot = std::string(), std::string dataRoot = std::string());
  ~CEscapeMenuScreen() override;
  static bool IsOpen() { return s_open > 0; }

  // The cancel action resumes, as the Resume button does.
  void HandleInputEvent(const InputEvent& event) override;
  const char* GetInfoString() const override { return "EscapeMenuScreen"; }

 protected:
  void OnCommand(int command) override;

 private:
  static int s_open;
  std::string m_saveRoot;
  std::string m_dataRoot;
};
