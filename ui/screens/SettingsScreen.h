// CSettingsScreen: the settings screen, opened from the main menu and the escape menu - the effect
// and music levels (heard at once), the renderer, full screen and the full-screen display size
// (one the renderer can show: another falls back to 640 x 480, and the screen says so); leaving
// it saves "settings.bin".
#pragma once

#include <string>
#include <vector>

#include "render/display/DisplayDrivers.h"
#include "ui/widgets/MenuLayer.h"

class CSettings;

class CSettingsScreen : public CMenuLayer {
 public:
  enum Command { kEffects, kMusic, kRenderer, kFullScreen, kDisplaySize, kDone };
  static constexpr uint32_t kCancelAction = 71;  // the Escape key's game action
  // The steps the two levels take, in order; a press moves to the next and the last wraps round.
  static constexpr float kLevelSteps[] = {0.0f, 0.1f, 0.4f, 0.7f, 0.9f, 1.0f};

  // inGame: opened over a running game, whose renderer stays until the next game starts.
  explicit CSettingsScreen(bool inGame = false);
  bool IsModal() const override { return true; }
  const char* GetInfoString() const override { return "SettingsScreen"; }
  // The cancel action leaves, as DONE does.
  void HandleInputEvent(const InputEvent& event) override;

  // The step after this level (0.0 after the last, or after a level above it).
  static float NextLevel(float level);
  // The size after this one among the sizes (the first larger one when it is not among them).
  static DisplaySize NextSize(const std::vector<DisplaySize>& sizes, DisplaySize size);

 protected:
  void OnCommand(int command) override;

 private:
  // The buttons with the settings' values, and the lines saying when they take effect.
  void Show();
  std::vector<std::string> Notes() const;
  void ApplyVolumes() const;
  // Brings the size to one the chosen renderer can show, keeping the line that says so.
  void FallBackSize();
  void Leave();

  bool m_inGame;
  bool m_saveFailed = false;
  std::string m_fallBack;  // what the last fall-back of the size said; empty when none
};
