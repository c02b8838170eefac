// CSectionPopup: the section's figures and its sale.
#include "ui/park/SectionPopup.h"

#include <string>

#include "park/pieces/SkatableSection.h"
#include "park/world/VerezIvor.h"
#include "ui/park/GameHooks.h"
#include "ui/park/MoneyText.h"

CSectionPopup::CSectionPopup(uint32_t objectId) : m_objectId(objectId) {
  m_panel->SetPosition(8, 8);
  m_panel->AddButton("SELL", kSell, 'S');
  m_panel->AddButton("CLOSE", kClose, 'C');
  Refresh();
}

CSkatableSection* CSectionPopup::GetPiece() const {
  CVerezIvor* park = GetPark();
  auto* piece = park != nullptr ? dynamic_cast<CSkatableSection*>(park->GetObjectByID(m_objectId)) : nullptr;
  return piece != nullptr && !piece->IsMarkedForRemoval() ? piece : nullptr;
}

void CSectionPopup::Refresh() {
  const CSkatableSection* piece = GetPiece();
  if (piece == nullptr) {
    MarkForRemoval();
    return;
  }
  m_panel->SetTitle(piece->GetName());
  m_panel->SetLines({"RESALE VALUE " + MoneyText(piece->GetResaleValue())});
}

void CSectionPopup::OnCommand(int command) {
  CVerezIvor* park = GetPark();
  if (command == kSell && park != nullptr) SellPieceForPlayer(*park, m_objectId);
  if (command == kClose && park != nullptr && GetGameHooks().releaseSelection != nullptr)
    GetGameHooks().releaseSelection(*park, m_objectId);
  MarkForRemoval();
}
