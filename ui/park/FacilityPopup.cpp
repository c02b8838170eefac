// CFacilityPopup: the use fee and the facility's figures.
#include "ui/park/FacilityPopup.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "park/pieces/SkatableFacility.h"
#include "ui/park/MoneyText.h"

CFacilityPopup::CFacilityPopup(uint32_t objectId) : CSectionPopup(objectId) {
  m_panel->AddButton("FEE UP", kFeeUp, 'U');
  m_panel->AddButton("FEE DOWN", kFeeDown, 'D');
  Refresh();
}

void CFacilityPopup::Refresh() {
  CSectionPopup::Refresh();
  const auto* facility = dynamic_cast<const CSkatableFacility*>(GetPiece());
  if (facility == nullptr) {
    MarkForRemoval();
    return;
  }
  m_panel->SetLines({FeeText(facility->GetUseFee()), "RESALE VALUE " + MoneyText(facility->GetResaleValue())});
}

void CFacilityPopup::OnCommand(int command) {
  auto* facility = dynamic_cast<CSkatableFacility*>(GetPiece());
  if (command == kFeeUp || command == kFeeDown) {
    if (facility == nullptr) return;
    const float fee = facility->GetUseFee() + (command == kFeeUp ? kFeeStep : -kFeeStep);
    facility->SetUseFee(fee < 0.0f ? 0.0f : fee);  // a facility never pays skaters to use it
    Refresh();
    return;
  }
  CSectionPopup::OnCommand(command);
}

std::string CFacilityPopup::FeeText(float fee) {
  char text[48];
  if (fee == std::trunc(fee))
    std::snprintf(text, sizeof(text), "FEE %.0f", fee);
  else
    std::snprintf(text, sizeof(text), "FEE %.2f", fee);
  return text;
}
