// CNewGameScreen: the choices of a new game and its start.
#include "ui/screens/NewGameScreen.h"

#include <unordered_set>

#include "core/input/InputEvent.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Win32.h"
#include "ui/screens/EscapeMenuScreen.h"
#include "ui/screens/LevelLoader.h"
#include "ui/screens/NewGame.h"
#include "ui/screens/SavedGameFolder.h"

namespace {
const char* ChallengeName(int32_t money) {
  return money == kStartingMoneyHard ? "HARD" : money == kStartingMoneyEasy ? "EASY" : "MEDIUM";
}
}  // namespace

CNewGameScreen::CNewGameScreen(std::string dataRoot)
    : CTextEntryLayer(kDefaultParkName, SavedGameFolder::kMaxNameLength + 8),
      m_dataRoot(std::move(dataRoot)),
      m_levels(CLevelLoader(m_dataRoot).FindLevels()),
      m_money(kStartingMoneyMedium) {
  SetClearScreen(true);
  m_modal = true;
  m_panel->SetCentred();
  m_panel->SetTitle("NEW GAME");
  m_panel->KeepButtonsInPlace(5);
  m_panel->AddButton("HARD, 5000", kHard, 0);
  m_panel->AddButton("MEDIUM, 10000", kMedium, 0);
  m_panel->AddButton("EASY, 50000", kEasy, 0);
  m_panel->AddButton("NEXT LEVEL", kNextLevel, 0);
  m_panel->AddButton("START", kStart, VK_RETURN);
  m_panel->AddButton("BACK", kBack, 0);
  m_panel->SetButtonEnabled(kNextLevel, m_levels.size() > 1);
  ShowChoices();
}

void CNewGameScreen::ShowChoices(const std::string& problem) {
  const std::string level = m_levels.empty()
                                ? std::string("NONE IN THE DATA")
                                : CLevelLoader::GetLevelName(GetLevel()) + ", " + std::to_string(m_levelChoice + 1) +
                                      " OF " + std::to_string(m_levels.size());
  m_panel->SetLines({"TYPE THE PARK NAME", "PARK  " + m_field.GetText(),
                     std::string("CHALLENGE  ") + ChallengeName(m_money) + ", " + std::to_string(m_money) + " TO START",
                     "LEVEL  " + level, problem});
}

void CNewGameScreen::OnTextChanged() { ShowChoices(); }

void CNewGameScreen::HandleInputEvent(const InputEvent& event) {
  if (event.code == CEscapeMenuScreen::kCancelAction && !IsMarkedForRemoval()) {
    MarkForRemoval();
    return;
  }
  CTextEntryLayer::HandleInputEvent(event);
}

void CNewGameScreen::Start() {
  const std::string problem = m_field.Check(SavedGameFolder::kMaxNameLength, m_panel->GetFont());
  if (!problem.empty() || m_levels.empty()) {
    ShowChoices(m_levels.empty() ? "THERE IS NO LEVEL TO PLAY" : problem);
    return;
  }
  CVerezIvor* park = GetPark();
  std::unordered_set<const CGameActionLayer*> before;
  for (size_t i = 0; park != nullptr && i < park->GetLayerCount(); ++i) before.insert(park->GetLayer(i));
  if (!StartNewGame(park, static_cast<uint8_t>(GetLevel()), m_money, m_field.GetText().c_str(), m_dataRoot)) {
    ShowChoices("THE GAME COULD NOT START");
    return;
  }
  for (size_t i = 0; i < park->GetLayerCount(); ++i)
    if (before.count(park->GetLayer(i)) != 0) park->GetLayer(i)->MarkForRemoval();
}

void CNewGameScreen::OnCommand(int command) {
  switch (command) {
    case kHard: m_money = kStartingMoneyHard; break;
    case kMedium: m_money = kStartingMoneyMedium; break;
    case kEasy: m_money = kStartingMoneyEasy; break;
    case kNextLevel:
      if (!m_levels.empty()) m_levelChoice = (m_levelChoice + 1) % m_levels.size();
      break;
    case kStart: Start(); return;
    case kBack: MarkForRemoval(); return;
    default: break;
  }
  ShowChoices();
}
