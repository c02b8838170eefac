// SavedGamePages: the saved games a screen lists, shown as a page of buttons at a time with the
// buttons that turn the pages.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class CButtonPanel;

class SavedGamePages {
 public:
  static constexpr size_t kGamesPerPage = 6;
  // The screen's commands for the two page buttons and for the first game; game i of the list is
  // firstGame + i.
  struct Commands {
    int previousPage;
    int nextPage;
    int firstGame;
  };

  SavedGamePages(std::vector<std::string> games, Commands commands);

  // A new list (after a save) keeps the page shown where the list still reaches it.
  void SetGames(std::vector<std::string> games);
  const std::vector<std::string>& GetGames() const { return m_games; }
  size_t GetPage() const { return m_first / kGamesPerPage; }
  size_t GetPageCount() const { return (m_games.size() + kGamesPerPage - 1) / kGamesPerPage; }

  // The games of the page shown, then the page buttons when there is more than one page (a short
  // last page is filled up with gaps).
  void AddButtons(CButtonPanel& panel) const;
  // Turns the page for a page command; false for any other command.
  bool Turn(int command);
  // The game a command stands for, or null when it stands for none.
  const std::string* GameOf(int command) const;

 private:
  std::vector<std::string> m_games;
  Commands m_commands;
  size_t m_first = 0;  // the first game of the page shown
};
