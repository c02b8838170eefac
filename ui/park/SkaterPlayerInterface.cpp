// CSkaterPlayerInterface: the controlled skater's lines, refreshed every tick.
#include "ui/park/SkaterPlayerInterface.h"

#include <string>

#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"

CSkaterPlayerInterface::CSkaterPlayerInterface() {
  m_panel->SetPosition(400, 8);
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
