// CLoadGameScreen: the load screen of the main menu and the escape menu - the saved games by name,
// a page at a time, and the one chosen loaded.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ui/screens/SavedGameFolder.h"
#include "ui/screens/SavedGamePages.h"
#include "ui/widgets/MenuLayer.h"

class CLoadGameScreen : public CMenuLayer {
 public:
  enum Command { kPreviousPage, kNextPage, kBack, kFirstGame };
  static constexpr size_t kGamesPerPage = SavedGamePages::kGamesPerPage;

  // saveRoot holds "saved_games" and dataRoot "data/" (each the working directory when empty);
  // message is shown above the list (what became of an earlier choice).
  explicit CLoadGameScreen(std::string saveRoot = std::string(), std::string dataRoot = std::string(),
                           std::string message = std::string());
  bool IsModal() const override { return true; }
  const char* GetInfoString() const override { return "LoadGameScreen"; }
  // The cancel action (the Escape key in a game) goes back, as the Back button does.
  void HandleInputEvent(const InputEvent& event) override;

  const std::vector<std::string>& GetGames() const { return m_pages.GetGames(); }
  // The button of a listed game, or -1 when it is not on the page shown.
  int ButtonOf(const std::string& name) const;

 protected:
  void OnCommand(int command) override;

 private:
  void ShowPage(const std::string& message);
  void Load(const std::string& name);

  SavedGameFolder m_folder;
  std::string m_saveRoot;
  std::string m_dataRoot;
  SavedGamePages m_pages;
};
