#include "park/PiecePlacement.h"

#include "core/math/Box.h"
#include "park/Grid.h"
#include "park/ParkScores.h"
#include "park/SkatableSection.h"
#include "park/VerezIvor.h"

namespace {

CSkatableSection* FindSection(CVerezIvor& park, uint32_t id) {
  auto* section = dynamic_cast<CSkatableSection*>(park.GetObjectByID(id));
  if (section == nullptr || section->IsMarkedForRemoval() || section->IsTerrain()) return nullptr;
  return section;
}

// The slot a sponsor piece came from; null for every other piece.
SponsorshipSlot* SlotOf(CVerezIvor& park, const CSkatableSection& section) {
  const int32_t index = section.GetSponsorshipIndex();
  if (index < 0 || index >= ParkState::kSponsorshipSlots) return nullptr;
  return &park.GetParkState().sponsorships[index];
}

void RefreshComponents(CVerezIvor& park) {
  if (CGrid* grid = park.GetGrid()) grid->UpdateComponents();
}

}  // namespace

bool PlacePieceInPark(CVerezIvor& park, uint32_t sectionId) {
  CSkatableSection* section = FindSection(park, sectionId);
  if (section == nullptr || !section->IsHeld()) return false;
  section->Place();
  if (SponsorshipSlot* slot = SlotOf(park, *section)) slot->sponsorObjectID = static_cast<int32_t>(sectionId);
  RefreshComponents(park);
  ReplanSkatersAroundObject(park, section->GetBounds(), true);
  UpdateParkScores(park);
  return true;
}

bool LiftPieceFromPark(CVerezIvor& park, uint32_t sectionId) {
  CSkatableSection* section = FindSection(park, sectionId);
  if (section == nullptr || section->IsHeld()) return false;
  if (SponsorshipSlot* slot = SlotOf(park, *section))
    if (slot->sponsorObjectID == static_cast<int32_t>(sectionId)) slot->sponsorObjectID = -1;
  // The box the piece filled, taken while its collision still counts in it.
  const Box box = section->GetBounds();
  section->PickUp();
  RefreshComponents(park);
  ReplanSkatersAroundObject(park, box, false);
  UpdateParkScores(park);
  return true;
}
