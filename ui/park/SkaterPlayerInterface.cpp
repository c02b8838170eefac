// CSkaterPlayerInterface: the controlled skater's lines, refreshed every tick.
#include "ui/park/SkaterPlayerInterface.h"

#include <string>

#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"

CSkaterPlayerInterface::CSkaterPlayerInterface() {
  // In the top-right corner whatever the skater is doing: a long status line grows the panel
  // leftwards instead of off the screen.
  m_panel->SetRightAligned(8, 8);
  Refresh();
}

void CSkaterPlayerInterface::Refresh() {
  CVerezIvor* park = GetPark();
  const auto* skater = park != nullptr ? dynamic_cast<CSkater*>(park->GetObjectByID(park->GetPlayerSkaterId())) : nullptr;
  if (skater == nullptr) {
    MarkForRemoval();
    return;
  }
  char status[128] = {};
  skater->GetStatusText(status, sizeof(status));
  m_panel->SetTitle(skater->GetName());
  m_panel->SetLines({status, "MONEY " + std::to_string(static_cast<long long>(park->GetMoney()))});
}
