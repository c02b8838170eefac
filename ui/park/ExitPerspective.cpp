// CExitPerspective: leaving the mode through the controller.
#include "ui/park/ExitPerspective.h"

#include "park/controller/GameLogic.h"
#include "park/world/VerezIvor.h"
#include "ui/park/GameHooks.h"

CExitPerspective::CExitPerspective() {
  // Low in the frame's left corner at every size, clear of the park's display and the skater's.
  m_panel->SetBottomAligned(8, 14);
  // No key of its own: the letters are the driving keys' (Z and X turn a skater in the air), and
  // Escape already leaves.
  m_panel->AddButton("EXIT VIEW", kExit, 0);
}

void CExitPerspective::OnCommand(int command) {
  CVerezIvor* park = GetPark();
  if (command == kExit && park != nullptr && GetGameHooks().leavePerspective != nullptr)
    GetGameHooks().leavePerspective(*park);
  MarkForRemoval();
}

void CExitPerspective::Refresh() {
  const CVerezIvor* park = GetPark();
  const CGameLogic* logic = park != nullptr ? park->GetController() : nullptr;
  if (logic != nullptr && !logic->IsControllingSkater() && !logic->IsPerspectiveView()) MarkForRemoval();
}
