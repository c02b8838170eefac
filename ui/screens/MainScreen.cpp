// CMainScreen: the menu's buttons and what each starts.
#include "ui/screens/MainScreen.h"

#include <memory>

#include "park/world/VerezIvor.h"
#include "ui/screens/LoadGameScreen.h"
#include "ui/screens/NewGame.h"
#include "ui/screens/NewGameScreen.h"
#include "ui/screens/SettingsScreen.h"

CMainScreen::CMainScreen(std::string dataRoot, std::string saveRoot)
    : m_dataRoot(std::move(dataRoot)), m_saveRoot(std::move(saveRoot)) {
  SetClearScreen(true);
  m_modal = true;
  m_panel->SetCentred();
  m_panel->SetTitle("KELVARUN");
  m_panel->AddButton("NEW GAME", kNewGame, 'N');
  m_panel->AddButton("INSTANT ACTION", kInstantAction, 'I');
  m_panel->AddButton("LOAD GAME", kLoad, 'L');
  m_panel->AddButton("SETTINGS", kSettings, 'S');
  m_panel->AddButton("QUIT", kQuit, 'Q');
}

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
      if (park != nullptr) park->AddLayerOnTop(std::make_unique<CNewGameScreen>(m_dataRoot));
      break;
    case kInstantAction:
      Started(StartInstantAction(park, m_dataRoot));
      break;
    case kLoad:
      if (park != nullptr) park->AddLayerOnTop(std::make_unique<CLoadGameScreen>(m_saveRoot, m_dataRoot));
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
