// CNewGameScreen: the new-game screen of the main menu - the challenge (the starting money), the
// park's name, typed, and the level, then the start.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/widgets/TextEntryLayer.h"

class CNewGameScreen : public CTextEntryLayer {
 public:
  enum Command { kHard, kMedium, kEasy, kNextLevel, kStart, kBack };
  static constexpr const char* kDefaultParkName = "My Park";

  // dataRoot holds "data/" (the working directory when empty); its levels are offered.
  explicit CNewGameScreen(std::string dataRoot = std::string());
  bool IsModal() const override { return true; }
  const char* GetInfoString() const override { return "NewGameScreen"; }
  // The cancel action (the Escape key) goes back, as the Back button does.
  void HandleInputEvent(const InputEvent& event) override;

  int32_t GetStartingMoney() const { return m_money; }
  int GetLevel() const { return m_levels.empty() ? -1 : m_levels[m_levelChoice]; }

 protected:
  void OnCommand(int command) override;
  void OnTextChanged() override;

 private:
  void ShowChoices(const std::string& problem = std::string());
  // Starts the game; on success every layer that was there before (this screen and the main menu
  // under it) goes.
  void Start();

  std::string m_dataRoot;
  std::vector<int> m_levels;  // the level indices found in the data
  size_t m_levelChoice = 0;
  int32_t m_money;
};
