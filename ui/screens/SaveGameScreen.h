// CSaveGameScreen: the save screen of the escape menu - the player types a name (the park's to
// begin with) or picks a saved game to overwrite, and the running game is saved as that name's
// file in the saved-games folder. Overwriting asks first; a refused name or a failed save says why.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ui/screens/SavedGameFolder.h"
#include "ui/screens/SavedGamePages.h"
#include "ui/widgets/TextEntryLayer.h"

class CSaveGameScreen : public CTextEntryLayer {
 public:
  enum Command { kSave, kPreviousPage, kNextPage, kBack, kOverwrite, kKeep, kFirstGame };
  static constexpr size_t kGamesPerPage = SavedGamePages::kGamesPerPage;

  // saveRoot holds "saved_games" (the working directory when empty).
  explicit CSaveGameScreen(std::string saveRoot = std::string());
  bool IsModal() const override { return true; }
  const char* GetInfoString() const override { return "SaveGameScreen"; }
  // The cancel action (the Escape key) keeps an earlier game while overwriting is asked, and goes
  // back otherwise.
  void HandleInputEvent(const InputEvent& event) override;

  const std::vector<std::string>& GetGames() const { return m_pages.GetGames(); }
  bool IsAsking() const { return m_asking; }

 protected:
  void OnCommand(int command) override;
  void OnTextChanged() override { ShowPage(std::string()); }
  bool TakesText() const override { return !m_asking; }

 private:
  void ShowPage(const std::string& message);
  void AskToOverwrite();
  void Save();

  SavedGameFolder m_folder;
  SavedGamePages m_pages;
  bool m_asking = false;
};
