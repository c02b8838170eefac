#include "ui/park/SponsorshipNotice.h"

#include <cstdio>

#include "core/data/DebugPrintf.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/world/VerezIvor.h"
#include "ui/park/GameHooks.h"

CSponsorshipNotice::CSponsorshipNotice(int slot) : m_slot(slot) {
  char text[64];
  std::snprintf(text, sizeof(text), "A SPONSOR OFFERS SUPPORT, OFFER %d", slot + 1);
  m_modal = true;
  m_panel->SetCentred();
  m_panel->SetTitle(text);
  m_panel->AddButton("ACCEPT", kAccept, 'A');
  m_panel->AddButton("DECLINE", kDecline, 'D');
  CVerezIvor* park = GetPark();
  if (park == nullptr || slot < 0 || slot >= ParkState::kSponsorshipSlots) {
    DebugPrintf("SponsorshipNotice: no slot %d to offer\n", slot);
    m_panel->SetButtonEnabled(kAccept, false);
    return;
  }
  park->GetParkState().sponsorships[slot].offered = 1;
}

void CSponsorshipNotice::OnCommand(int command) {
  CVerezIvor* park = GetPark();
  if (command == kAccept && park != nullptr) {
    // Each slot has its own sponsor where the catalog lists one; otherwise the first sponsor's.
    const ObjectDefinition* piece = GetSponsorEntry(m_slot);
    if (piece == nullptr) piece = GetSponsorEntry(0);
    if (piece != nullptr) m_piece = BuyPieceForPlayer(*park, *piece, m_slot);
    if (m_piece == 0) DebugPrintf("SponsorshipNotice: no sponsor piece for slot %d\n", m_slot);
  }
  MarkForRemoval();
}
