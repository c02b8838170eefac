#include "park/pieces/PiecePlacement.h"

#include <algorithm>

#include "core/math/Box.h"
#include "park/grid/Grid.h"
#include "park/pieces/SkatableSection.h"
#include "park/world/ParkScores.h"
#include "park/world/VerezIvor.h"

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

// The squares within three of a piece's footprint, where skaters do not settle down to rest.
struct Margin {
  int c0 = 0, r0 = 0, c1 = -1, r1 = -1;  // inclusive; empty when c1 < c0
  bool Overlaps(const Margin& o) const { return c0 <= o.c1 && o.c0 <= c1 && r0 <= o.r1 && o.r0 <= r1; }
};
constexpr int kNearPieceMargin = 3;

Margin MarginOf(const CGrid& grid, const CSkatableSection& section) {
  Margin m;
  bool any = false;
  for (int index : section.GetFootprintSquares()) {
    const CGridSquare* square = grid.GetSquareByIndex(index);
    if (square == nullptr) continue;
    const int c = square->GetColumn(), r = square->GetRow();
    m.c0 = any ? std::min(m.c0, c) : c, m.c1 = any ? std::max(m.c1, c) : c;
    m.r0 = any ? std::min(m.r0, r) : r, m.r1 = any ? std::max(m.r1, r) : r;
    any = true;
  }
  if (!any) return Margin();
  const GridCell size = grid.GetSize();
  m.c0 = std::max(0, m.c0 - kNearPieceMargin), m.r0 = std::max(0, m.r0 - kNearPieceMargin);
  m.c1 = std::min(size.column - 1, m.c1 + kNearPieceMargin), m.r1 = std::min(size.row - 1, m.r1 + kNearPieceMargin);
  return m;
}

void MarkNearPiece(CGrid& grid, const Margin& m, uint8_t value) {
  for (int r = m.r0; r <= m.r1; ++r)
    for (int c = m.c0; c <= m.c1; ++c) grid.GetSquare(c, r)->nearPiece = value;
}

// Clears the lifted piece's margin, then marks again the margins of the pieces still standing
// that share any of it - every one of them, however large, so that no standing piece loses its
// marks.
void ReleaseNearPiece(CVerezIvor& park, const Margin& lifted) {
  CGrid* grid = park.GetGrid();
  if (grid == nullptr || lifted.c1 < lifted.c0) return;
  MarkNearPiece(*grid, lifted, 0);
  for (uint32_t id : GetPlacedSectionList()) {
    const auto* other = dynamic_cast<const CSkatableSection*>(park.GetObjectByID(id));
    if (other == nullptr || other->IsTerrain()) continue;
    const Margin m = MarginOf(*grid, *other);
    if (m.c1 >= m.c0 && m.Overlaps(lifted)) MarkNearPiece(*grid, m, 1);
  }
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
  if (CGrid* grid = park.GetGrid()) {
    const Margin m = MarginOf(*grid, *section);
    if (m.c1 >= m.c0) MarkNearPiece(*grid, m, 1);
  }
  return true;
}

void RecomputeNearPieceMarks(CVerezIvor& park) {
  CGrid* grid = park.GetGrid();
  if (grid == nullptr) return;
  for (int i = 0; i < grid->GetSquareCount(); ++i) grid->GetSquareByIndex(i)->nearPiece = 0;
  for (uint32_t id : GetPlacedSectionList()) {
    const auto* section = dynamic_cast<const CSkatableSection*>(park.GetObjectByID(id));
    if (section == nullptr || section->IsTerrain()) continue;
    const Margin m = MarginOf(*grid, *section);
    if (m.c1 >= m.c0) MarkNearPiece(*grid, m, 1);
  }
}

bool LiftPieceFromPark(CVerezIvor& park, uint32_t sectionId) {
  CSkatableSection* section = FindSection(park, sectionId);
  if (section == nullptr || section->IsHeld()) return false;
  if (SponsorshipSlot* slot = SlotOf(park, *section))
    if (slot->sponsorObjectID == static_cast<int32_t>(sectionId)) slot->sponsorObjectID = -1;
  // The box the piece filled, taken while its collision still counts in it.
  const Box box = section->GetBounds();
  const Margin margin = park.GetGrid() != nullptr ? MarginOf(*park.GetGrid(), *section) : Margin();
  section->PickUp();
  RefreshComponents(park);
  ReplanSkatersAroundObject(park, box, false);
  UpdateParkScores(park);
  ReleaseNearPiece(park, margin);
  return true;
}
