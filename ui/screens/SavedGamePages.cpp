// SavedGamePages: the page shown, its buttons and the page turns.
#include "ui/screens/SavedGamePages.h"

#include <utility>

#include "ui/widgets/ButtonPanel.h"

SavedGamePages::SavedGamePages(std::vector<std::string> games, Commands commands)
    : m_games(std::move(games)), m_commands(commands) {}

void SavedGamePages::SetGames(std::vector<std::string> games) {
  m_games = std::move(games);
  while (m_first > 0 && m_first >= m_games.size()) m_first -= kGamesPerPage;
}

void SavedGamePages::AddButtons(CButtonPanel& panel) const {
  for (size_t i = m_first; i < m_games.size() && i < m_first + kGamesPerPage; ++i)
    panel.AddButton(panel.FitToButton(m_games[i]), m_commands.firstGame + static_cast<int>(i), 0);
  if (m_games.size() <= kGamesPerPage) return;
  // The last page's missing games leave gaps, so that every page has one height and the page
  // buttons, and those after them, stay under the pointer from page to page.
  for (size_t i = m_games.size(); i < m_first + kGamesPerPage; ++i) panel.AddGap();
  panel.AddButton("PREVIOUS PAGE", m_commands.previousPage, 0);
  panel.AddButton("NEXT PAGE", m_commands.nextPage, 0);
  panel.SetButtonEnabled(m_commands.previousPage, m_first > 0);
  panel.SetButtonEnabled(m_commands.nextPage, m_first + kGamesPerPage < m_games.size());
}

bool SavedGamePages::Turn(int command) {
  if (command == m_commands.previousPage) {
    m_first = m_first >= kGamesPerPage ? m_first - kGamesPerPage : 0;
    return true;
  }
  if (command == m_commands.nextPage) {
    if (m_first + kGamesPerPage < m_games.size()) m_first += kGamesPerPage;
    return true;
  }
  return false;
}

const std::string* SavedGamePages::GameOf(int command) const {
  if (command < m_commands.firstGame) return nullptr;
  const size_t index = static_cast<size_t>(command - m_commands.firstGame);
  return index < m_games.size() ? &m_games[index] : nullptr;
}
