// CLoadGameScreen: the list, its pages and the load of the chosen game.
#include "ui/screens/LoadGameScreen.h"

#include <memory>

#include "core/input/InputEvent.h"
#include "park/world/VerezIvor.h"
#include "ui/screens/EscapeMenuScreen.h"
#include "ui/screens/NewGame.h"

CLoadGameScreen::CLoadGameScreen(std::string saveRoot, std::string dataRoot, std::string message)
    : m_folder(saveRoot), m_saveRoot(std::move(saveRoot)), m_dataRoot(std::move(dataRoot)),
      m_pages(m_folder.List(), {kPreviousPage, kNextPage, kFirstGame}) {
  SetClearScreen(true);
  m_modal = true;
  m_panel->SetCentred();
  m_panel->SetTitle("LOAD GAME");
  ShowPage(message);
}

void CLoadGameScreen::ShowPage(const std::string& message) {
  std::vector<std::string> lines;
  if (m_pages.GetGames().empty()) {
    lines.push_back("THERE IS NO SAVED GAME TO LOAD");
  } else {
    lines.push_back("CHOOSE A GAME, PAGE " + std::to_string(m_pages.GetPage() + 1) + " OF " +
                    std::to_string(m_pages.GetPageCount()));
  }
  if (!message.empty()) lines.push_back(message);
  m_panel->SetLines(lines);
  m_panel->ClearButtons();
  m_pages.AddButtons(*m_panel);
  m_panel->AddButton("BACK", kBack, 0);
}

int CLoadGameScreen::ButtonOf(const std::string& name) const {
  const auto& buttons = m_panel->GetButtons();
  for (size_t i = 0; i < buttons.size(); ++i) {
    const std::string* game = m_pages.GameOf(buttons[i].command);
    if (game != nullptr && *game == name) return static_cast<int>(i);
  }
  return -1;
}

void CLoadGameScreen::HandleInputEvent(const InputEvent& event) {
  if (event.code == CEscapeMenuScreen::kCancelAction && !IsMarkedForRemoval()) {
    MarkForRemoval();
    return;
  }
  CMenuLayer::HandleInputEvent(event);
}

void CLoadGameScreen::Load(const std::string& name) {
  CVerezIvor* park = GetPark();
  switch (LoadSavedGame(park, m_folder.PathOf(name).c_str(), m_dataRoot)) {
    case SavedGameLoad::kLoaded:
      // Loaded in place, the game goes on under the escape menu: both go. A fresh start has marked
      // every layer of the old stack already.
      MarkForRemoval();
      for (size_t i = 0; park != nullptr && i < park->GetLayerCount(); ++i)
        if (dynamic_cast<CEscapeMenuScreen*>(park->GetLayer(i)) != nullptr) park->GetLayer(i)->MarkForRemoval();
      break;
    case SavedGameLoad::kUnreadable: ShowPage("THIS FILE IS NO SAVED GAME"); break;
    case SavedGameLoad::kLevelMissing: ShowPage("THE LEVEL OF THAT GAME IS MISSING"); break;
    case SavedGameLoad::kNotLoaded:
      // Back at the main menu when the load had to start its level: the list comes with it.
      if (IsMarkedForRemoval() && park != nullptr) {
        park->AddLayerOnTop(std::make_unique<CLoadGameScreen>(m_saveRoot, m_dataRoot, "THAT GAME COULD NOT BE LOADED"));
      } else {
        ShowPage("THAT GAME COULD NOT BE LOADED");
      }
      break;
  }
}

void CLoadGameScreen::OnCommand(int command) {
  if (m_pages.Turn(command)) {
    ShowPage(std::string());
  } else if (command == kBack) {
    MarkForRemoval();
  } else if (const std::string* game = m_pages.GameOf(command)) {
    Load(*game);
  }
}
