// CExitPerspective: leaving the mode through the controller.
#include "ui/park/ExitPerspective.h"

#include "park/world/VerezIvor.h"
#include "ui/park/GameHooks.h"

CExitPerspective::CExitPerspective() {
  m_panel->SetPosition(8, 420);
  m_panel->AddButton("EXIT VIEW", kExit, 'X');
}

void CExitPerspective::OnCommand(int command) {
  CVerezIvor* park = GetPark();
  if (command == kExit && park != nullptr && GetGameHooks().leavePerspective != nullptr)
    GetGameHooks().leavePerspective(*park);
  MarkForRemoval();
}
