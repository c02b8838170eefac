#include "park/world/ParkClearing.h"

#include <vector>

#include "park/grid/Grid.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"

void ClearParkContents(CVerezIvor& park) {
  CGrid* grid = park.GetGrid();
  const uint32_t terrain = grid != nullptr ? grid->GetTerrainId() : CSkatePathNode::kNone;
  // Skaters first: each lets go of its reservation while the nodes it names still exist.
  std::vector<uint32_t> doomed;
  for (CSkater* skater : GetSkaterList()) doomed.push_back(skater->GetID());
  for (uint32_t id : doomed) park.RemoveObject(id);
  doomed.clear();
  for (uint32_t id : GetPlacedSectionList())
    if (id != terrain) doomed.push_back(id);
  for (uint32_t id : doomed) park.RemoveObject(id);
  // A section the world no longer files cannot stay listed.
  for (uint32_t id : std::vector<uint32_t>(GetPlacedSectionList()))
    if (GetPlacedSection(id) == nullptr) RemoveFromPlacedSectionList(id);
  park.SetPlayerSkaterId(CSkater::kNone);
  for (SponsorshipSlot& slot : park.GetParkState().sponsorships)
    if (slot.sponsorObjectID != -1 && park.GetObjectByID(static_cast<uint32_t>(slot.sponsorObjectID)) == nullptr)
      slot.sponsorObjectID = -1;
  if (grid == nullptr) return;
  const bool hasTerrain = GetPlacedSection(terrain) != nullptr;
  for (int i = 0; i < grid->GetSquareCount(); ++i) {
    CGridSquare* square = grid->GetSquareByIndex(i);
    square->SetObjectIds(hasTerrain ? std::vector<uint32_t>{terrain} : std::vector<uint32_t>());
    square->SetReservingSkaterId(CSkatePathNode::kNone);
    square->nearPiece = 0;
  }
  if (CSkatableSection* ground = GetPlacedSection(terrain))
    for (const auto& node : ground->GetPathNodes()) node->SetReservingSkaterId(CSkatePathNode::kNone);
  grid->UpdateComponents();
}
