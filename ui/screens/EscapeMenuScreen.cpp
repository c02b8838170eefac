// CEscapeMenuScreen: the escape menu's commands.
#include "ui/screens/EscapeMenuScreen.h"

#include <memory>

#include "park/world/VerezIvor.h"
#include "ui/screens/LoadGameScreen.h"
#include "ui/screens/NewGame.h"
#include "ui/screens/SaveGameScreen.h"
#include "ui/screens/SettingsScreen.h"

int CEscapeMenuScreen::s_open = 0;

CEscapeMenuScreen::CEscapeMenuScreen(std::string saveRoot, std::string dataRoot)
    : m_saveRoot(std::move(saveRoot)), m_dataRoot(std::move(dataRoot)) {
  ++s_open;
  m_modal = true;
  m_panel->SetCentred();
  m_panel->SetTitle("GAME PAUSED");
  m_panel->AddButton("RESUME", kResume, 'R');
  m_panel->AddButton("SAVE GAME", kSave, 'S');
  m_panel->AddButton("LOAD GAME", kLoad, 'L');
  m_panel->AddButton("SETTINGS", kSettings, 'T');
  m_panel->AddButton("QUIT TO MENU", kQuitToMenu, 'Q');
}

CEscapeMenuScreen::~CEscapeMenuScreen() { --s_open; }

void CEscapeMenuScreen::HandleInputEvent(const InputEvent& event) {
  if (event.code == kCancelAction && !IsMarkedForRemoval()) {
    MarkForRemoval();
    return;
  }
  CMenuLayer::HandleInputEvent(event);
}

void CEscapeMenuScreen::OnCommand(int command) {
  CVerezIvor* park = GetPark();
  switch (command) {
    case kResume:
      MarkForRemoval();
      break;
    case kSave:
      if (park != nullptr) park->AddLayerOnTop(std::make_unique<CSaveGameScreen>(m_saveRoot));
      break;
    case kLoad:
      if (park != nullptr) park->AddLayerOnTop(std::make_unique<CLoadGameScreen>(m_saveRoot, m_dataRoot));
      break;
    case kSettings:
      if (park != nullptr) park->AddLayerOnTop(std::make_unique<CSettingsScreen>(true));
      break;
    case kQuitToMenu:
      QuitToMainMenu(park);
      break;
    default:
      break;
  }
}
