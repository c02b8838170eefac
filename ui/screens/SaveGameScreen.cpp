// CSaveGameScreen: naming, the overwrite question and the save.
#include "ui/screens/SaveGameScreen.h"

#include "core/input/InputEvent.h"
#include "core/world/WorldAccess.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Win32.h"
#include "ui/screens/EscapeMenuScreen.h"

namespace {
std::string ParkName() {
  const CVerezIvor* park = dynamic_cast<const CVerezIvor*>(GetGameWorld());
  return park != nullptr ? std::string(park->GetParkState().parkName) : std::string();
}
}  // namespace

CSaveGameScreen::CSaveGameScreen(std::string saveRoot)
    : CTextEntryLayer(ParkName(), SavedGameFolder::kMaxNameLength + 8),
      m_folder(std::move(saveRoot)),
      m_pages(m_folder.List(), {kPreviousPage, kNextPage, kFirstGame}) {
  SetClearScreen(true);
  m_modal = true;
  m_panel->SetCentred();
  m_panel->SetTitle("SAVE GAME");
  ShowPage(std::string());
}

void CSaveGameScreen::ShowPage(const std::string& message) {
  m_asking = false;
  std::vector<std::string> lines = {"TYPE A NAME OR CHOOSE A GAME TO OVERWRITE", "NAME  " + m_field.GetText()};
  if (!message.empty()) lines.push_back(message);
  m_panel->SetLines(lines);
  m_panel->ClearButtons();
  m_panel->AddButton("SAVE", kSave, VK_RETURN);
  m_pages.AddButtons(*m_panel);
  m_panel->AddButton("BACK", kBack, 0);
}

void CSaveGameScreen::AskToOverwrite() {
  m_asking = true;
  m_panel->SetLines({"A SAVED GAME HAS THIS NAME", "NAME  " + m_field.GetText(), "OVERWRITE IT"});
  m_panel->ClearButtons();
  m_panel->AddButton("OVERWRITE", kOverwrite, VK_RETURN);
  m_panel->AddButton("KEEP IT", kKeep, 0);
}

void CSaveGameScreen::Save() {
  const std::string name = m_field.GetText();
  if (!m_folder.Save(GetPark(), name, m_panel->GetFont())) {
    ShowPage("THE GAME COULD NOT BE SAVED");
    return;
  }
  m_pages.SetGames(m_folder.List());
  ShowPage("GAME SAVED");
}

void CSaveGameScreen::HandleInputEvent(const InputEvent& event) {
  if (event.code == CEscapeMenuScreen::kCancelAction && !IsMarkedForRemoval()) {
    if (m_asking) {
      ShowPage(std::string());
    } else {
      MarkForRemoval();
    }
    return;
  }
  CTextEntryLayer::HandleInputEvent(event);
}

void CSaveGameScreen::OnCommand(int command) {
  switch (command) {
    case kSave: {
      const std::string problem = SavedGameFolder::CheckName(m_field.GetText(), m_panel->GetFont());
      if (!problem.empty()) {
        ShowPage(problem);
      } else if (m_folder.Holds(m_field.GetText())) {
        AskToOverwrite();
      } else {
        Save();
      }
      break;
    }
    case kOverwrite: Save(); break;
    case kKeep: ShowPage(std::string()); break;
    case kBack: MarkForRemoval(); break;
    default:
      if (m_pages.Turn(command)) {
        ShowPage(std::string());
      } else if (const std::string* game = m_pages.GameOf(command)) {
        m_field.SetText(*game);
        AskToOverwrite();
      }
      break;
  }
}
