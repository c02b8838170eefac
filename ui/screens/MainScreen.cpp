// CMainScreen: the menu's buttons and what each starts.
#include "ui/screens/MainScreen.h"

#include <memory>

#include "park/world/VerezIvor.h"
#include "platform/files/FileSystem.h"
#include "ui/screens/NewGame.h"
#include "ui/screens/SettingsScreen.h"

CMainScreen::CMainScreen(std::string dataRoot, std::string savePath)
    : m_dataRoot(std::move(dataRoot)), m_savePath(savePath.empty() ? kSaveFile : std::move(savePath)) {
  SetClearScreen(true);
  m_modal = true;
  m_panel->SetCentred();
  m_panel->SetTitle("KELVARUN");
  m_panel->AddButton("NEW GAME", kNewGame, 'N');
  m_panel->AddButton("INSTANT ACTION", kInstantAction, 'I');
  m_panel->AddButton("LOAD GAME", kLoad, 'L');
  m_panel->AddButton("SETTINGS", kSettings, 'S');
  m_panel->AddButton("QUIT", kQuit, 'Q');
  Refresh();
}

void CMainScreen::Refresh() { m_panel->SetButtonEnabled(kLoad, plat::FileExists(m_savePath.c_str())); }

void CMainScreen::Started(bool ok) {
  if (ok) {
    MarkForRemoval();
  } else {
    m_panel->SetLines({"THE GAME COULD NOT START"});
  }
}

void CMainScreen::Quit() {
  CGameWorld* world = GetPark();
  if (world == nullptr) {
    MarkForRemoval();
    return;
  }
  for (size_t i = 0; i < world->GetLayerCount(); ++i) world->GetLayer(i)->MarkForRemoval();
}

void CMainScreen::OnCommand(int command) {
  CVerezIvor* park = GetPark();
  switch (command) {
    case kNewGame:
      Started(StartNewGame(park, 0, kStartingMoneyMedium, kDefaultParkName, m_dataRoot));
      break;
    case kInstantAction:
      Started(StartInstantAction(park, m_dataRoot));
      break;
    case kLoad:
      Started(StartLoadedGame(park, m_savePath.c_str(), m_dataRoot));
      break;
    case kSettings:
      if (park != nullptr) park->AddLayerOnTop(std::make_unique<CSettingsScreen>());
      break;
    case kQuit:
      Quit();
      break;
    default:
      break;
  }
}
