// CEscapeMenuScreen: the escape menu's commands.
#include "ui/screens/EscapeMenuScreen.h"

#include <memory>

#include "park/world/VerezIvor.h"
#include "platform/files/FileSystem.h"
#include "ui/screens/NewGame.h"
#include "ui/screens/SettingsScreen.h"

int CEscapeMenuScreen::s_open = 0;

CEscapeMenuScreen::CEscapeMenuScreen(std::string savePath, std::string dataRoot)
    : m_savePath(savePath.empty() ? kSaveFile : std::move(savePath)), m_dataRoot(std::move(dataRoot)) {
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
      m_panel->SetLines({SaveRunningGame(park, m_savePath.c_str()) ? "GAME SAVED" : "THE GAME COULD NOT BE SAVED"});
      break;
    case kLoad:
      if (!plat::FileExists(m_savePath.c_str())) {
        m_panel->SetLines({"NO SAVED GAME"});
      } else {
        // Starting the loaded game replaces every layer but the new ones, this menu included.
        for (size_t i = 0; park != nullptr && i < park->GetLayerCount(); ++i) park->GetLayer(i)->MarkForRemoval();
        if (!StartLoadedGame(park, m_savePath.c_str(), m_dataRoot)) QuitToMainMenu(park);
      }
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
