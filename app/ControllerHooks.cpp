// The game hooks: what the park's interface asks of the shell and of the in-game controller.
#include <memory>

#include "app/AppState.h"
#include "app/Application.h"
#include "core/math/Orientation.h"
#include "park/controller/GameLogic.h"
#include "park/controller/ParkPopupFactory.h"
#include "park/pieces/SkatableSection.h"
#include "park/world/VerezIvor.h"
#include "ui/park/GameHooks.h"
#include "ui/park/UIPopupFactory.h"

namespace {

// The single place the in-game controller is wired in (see ui/park/GameHooks.h): it makes the
// controller layer for the park and registers it as the park's controller.
std::unique_ptr<CGameActionLayer> CreateGameController(CVerezIvor& park) {
  auto logic = std::make_unique<CGameLogic>();
  park.SetController(logic.get());
  return logic;
}

// What the interface asks of the controller, answered by the park's current one.
uint32_t BuyThroughController(CVerezIvor& park, const ObjectDefinition& definition, int sponsorSlot) {
  CGameLogic* logic = park.GetController();
  if (logic == nullptr) return 0;
  COrientation frame;
  frame.SetPosition(logic->GetFocus());
  const uint32_t id = logic->BuyObject(definition, frame);
  if (id == CGameLogic::kNone) return 0;
  // Any slot outside the park's four is an ordinary piece, as the purchase without a controller
  // treats it: a stray slot would keep the piece from ever being cloned.
  const bool sponsor = sponsorSlot >= 0 && sponsorSlot < ParkState::kSponsorshipSlots;
  if (auto* piece = dynamic_cast<CSkatableSection*>(park.GetObjectByID(id))) piece->SetSponsorshipIndex(sponsor ? sponsorSlot : -1);
  return id;
}

uint32_t HeldByController(const CVerezIvor& park) {
  const CGameLogic* logic = park.GetController();
  return logic != nullptr && logic->GetHeldObjectId() != CGameLogic::kNone ? logic->GetHeldObjectId() : 0;
}

void SellThroughController(CVerezIvor& park, uint32_t id) {
  if (CGameLogic* logic = park.GetController()) logic->SellObject(id);
}

void ControlThroughController(CVerezIvor& park, uint32_t skaterId) {
  CGameLogic* logic = park.GetController();
  if (logic == nullptr) return;
  logic->SetSelectedSkater(skaterId);
  logic->SetSkaterControl(true);
}

void LeaveThroughController(CVerezIvor& park) {
  CGameLogic* logic = park.GetController();
  if (logic == nullptr) return;
  if (logic->IsControllingSkater())
    logic->SetSkaterControl(false);
  else
    logic->SetPerspectiveView(false, nullptr);
}

void ReleaseThroughController(CVerezIvor& park, uint32_t objectId) {
  if (CGameLogic* logic = park.GetController()) logic->ReleaseSelection(objectId);
}

bool SaveThroughController(CVerezIvor& park, const char* path) {
  return park.GetController() != nullptr && park.GetController()->SaveGame(path);
}

bool LoadThroughController(CVerezIvor& park, const uint8_t* data, size_t size, bool freshRecord) {
  const auto base = freshRecord ? CSavedGame::RecordBase::kFresh : CSavedGame::RecordBase::kPark;
  return park.GetController() != nullptr && park.GetController()->LoadGame(data, size, base);
}

}  // namespace

namespace app_shell {

void RegisterGameHooks() {
  GameHooks& hooks = GetGameHooks();
  hooks.createController = CreateGameController;
  hooks.switchToGameRenderer = SwitchToGameRasterizer;
  hooks.switchToMenuRenderer = SwitchToMenuRasterizer;
  hooks.renewMenuRenderer = RenewMenuRasterizer;
  hooks.buyPiece = BuyThroughController;
  hooks.sellPiece = SellThroughController;
  hooks.heldPiece = HeldByController;
  hooks.takeSkaterControl = ControlThroughController;
  hooks.leavePerspective = LeaveThroughController;
  hooks.releaseSelection = ReleaseThroughController;
  hooks.saveGame = SaveThroughController;
  hooks.loadGame = LoadThroughController;
  SetParkPopupFactory(std::make_unique<CUIPopupFactory>());
}

}  // namespace app_shell
