#include "park/pieces/PieceSale.h"

#include "core/data/DebugPrintf.h"
#include "park/pieces/PiecePlacement.h"
#include "park/pieces/SkatableSection.h"
#include "park/world/VerezIvor.h"

bool SellPiece(CVerezIvor& park, uint32_t sectionId) {
  auto* section = dynamic_cast<CSkatableSection*>(park.GetObjectByID(sectionId));
  // A piece already sold waits for the world's next pass; selling it again would pay twice.
  if (section == nullptr || section->IsMarkedForRemoval()) return false;
  if (section->IsTerrain()) {
    DebugPrintf("PieceSale: The level's terrain is not for sale\n");
    return false;
  }
  if (!section->IsHeld()) LiftPieceFromPark(park, sectionId);
  ParkState& state = park.GetParkState();
  // Valued after the lift: neither the lift nor the removal changes age or wear.
  const double value = section->GetResaleValue();
  state.AddMoney(value);
  state.earnedFromResale += value;
  const int32_t slot = section->GetSponsorshipIndex();
  if (slot >= 0 && slot < ParkState::kSponsorshipSlots &&
      state.sponsorships[slot].sponsorObjectID == static_cast<int32_t>(sectionId))
    state.sponsorships[slot].sponsorObjectID = -1;
  section->MarkForRemoval();
  return true;
}
