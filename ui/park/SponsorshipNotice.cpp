#include "ui/park/SponsorshipNotice.h"

#include <cmath>
#include <cstdio>
#include <vector>

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
  // Each slot has its own sponsor where the catalog lists one; otherwise the first sponsor's.
  m_offer = GetSponsorEntry(slot);
  if (m_offer == nullptr) m_offer = GetSponsorEntry(0);
  if (m_offer == nullptr) DebugPrintf("SponsorshipNotice: no sponsor piece for slot %d\n", slot);
  Refresh();
}

bool CSponsorshipNotice::HandIsFull() const {
  const CVerezIvor* park = GetPark();
  return park != nullptr && GetHeldPiece(*park) != 0;
}

bool CSponsorshipNotice::IsModal() const { return m_modal && !HandIsFull(); }

void CSponsorshipNotice::Refresh() {
  if (m_offer == nullptr) {
    m_panel->SetLines({"THE SPONSOR HAS NO PIECE TO OFFER"});
    m_panel->SetButtonEnabled(kAccept, false);
    return;
  }
  // What is on offer, by the catalog's name: a sponsor piece is usually free.
  std::vector<std::string> lines;
  if (m_offer->cost <= 0.0)
    lines.push_back(std::string("A FREE ") + m_offer->name);
  else
    lines.push_back(std::string("A ") + m_offer->name + ", COST " + std::to_string(std::llround(m_offer->cost)));
  // A negative running cost is the sponsor's money.
  if (m_offer->operatingCost < 0.0f)
    lines.push_back("IT PAYS THE PARK " + std::to_string(std::lround(-m_offer->operatingCost)) + " A DAY");
  const bool full = HandIsFull();
  if (full)
    lines.push_back(kHandFullText);
  else
    lines.push_back(m_refused ? "IT COULD NOT BE MADE; TRY AGAIN LATER" : "ACCEPT IT, THEN CLICK THE PARK TO PLACE IT");
  m_panel->SetLines(lines);
  m_panel->SetButtonEnabled(kAccept, !full);
}

void CSponsorshipNotice::OnCommand(int command) {
  CVerezIvor* park = GetPark();
  if (command == kAccept && park != nullptr && m_offer != nullptr) {
    // The hand holds one piece: the offer waits until it is free.
    if (HandIsFull()) return;
    m_piece = BuyPieceForPlayer(*park, *m_offer, m_slot);
    if (m_piece == 0) {
      // Kept open, so that the offer is not lost with nothing to show for it.
      DebugPrintf("SponsorshipNotice: the %s for slot %d could not be made\n", m_offer->name, m_slot);
      m_refused = true;
      Refresh();
      return;
    }
  }
  MarkForRemoval();
}
