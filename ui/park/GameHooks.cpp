// GameHooks: the registry, and the purchase and sale the interface performs itself.
#include "ui/park/GameHooks.h"

#include "core/data/DebugPrintf.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/PieceSale.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/world/VerezIvor.h"

GameHooks& GetGameHooks() {
  static GameHooks hooks;
  return hooks;
}

namespace {
// Facilities start at this catalog type.
constexpr int kFirstFacilityType = 13;

COrientation StartFrame(const CVerezIvor& park) {
  COrientation frame;
  if (const CGrid* grid = park.GetGrid())
    frame.SetPosition(grid->GetSquareCentre(grid->GetSize().column / 2, grid->GetSize().row / 2));
  return frame;
}
}  // namespace

uint32_t BuyPieceForPlayer(CVerezIvor& park, const ObjectDefinition& definition, int sponsorSlot) {
  if (GetGameHooks().buyPiece != nullptr) return GetGameHooks().buyPiece(park, definition, sponsorSlot);
  if (park.GetMoney() < definition.cost) return 0;
  std::unique_ptr<CSkatableSection> piece = definition.type >= kFirstFacilityType && definition.type != CSkatableSection::kSponsorType
                                                ? std::make_unique<CSkatableFacility>()
                                                : std::make_unique<CSkatableSection>();
  if (!piece->InitFromMesh(StartFrame(park), definition.mesh, false)) {
    DebugPrintf("BuyPieceForPlayer: no mesh for '%s'\n", definition.name);
    return 0;
  }
  piece->SetDefinition(&definition, true);
  piece->SetSponsorshipIndex(sponsorSlot >= 0 && sponsorSlot < ParkState::kSponsorshipSlots ? sponsorSlot : -1);
  const uint32_t id = park.RegisterNewObject(std::move(piece));
  if (id == 0) return 0;
  park.AddMoney(static_cast<float>(-definition.cost));
  park.GetParkState().spentOnBuilding += definition.cost;
  return id;
}

uint32_t GetHeldPiece(const CVerezIvor& park) {
  return GetGameHooks().heldPiece != nullptr ? GetGameHooks().heldPiece(park) : 0;
}

bool SellPieceForPlayer(CVerezIvor& park, uint32_t id) {
  auto* piece = dynamic_cast<CSkatableSection*>(park.GetObjectByID(id));
  if (piece == nullptr || piece->IsTerrain()) return false;
  if (GetGameHooks().sellPiece == nullptr) return SellPiece(park, id);
  GetGameHooks().sellPiece(park, id);
  return true;
}
