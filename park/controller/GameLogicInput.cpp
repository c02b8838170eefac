// CGameLogic: the player's actions - cancel, pick up and place, select, sell, zoom, tilt, drive.
#include "park/controller/GameLogic.h"

#include "park/controller/ParkPopupFactory.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"

namespace {
bool g_interfaceHidden = false;
bool CtrlHeld() { return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0; }
}  // namespace

bool CGameLogic::IsInterfaceHidden() { return g_interfaceHidden; }

void CGameLogic::HandleInputEvent(const InputEvent& event) {
  CVerezIvor* park = GetPark();
  CParkPopupFactory* screens = GetParkPopupFactory();
  if (park == nullptr || (screens != nullptr && screens->IsEscapeMenuOpen())) return;
  if (event.code == kActionCancel) {
    Cancel();
    return;
  }
  if (event.code == InputEvent::kKey && static_cast<uint32_t>(event.x) == kFlightKey) {
    StartCameraFlight();
    return;
  }
  // Layers above this one have run this tick, so the flag tells about this very event.
  if (park->mouseOverUI != 0) return;
  switch (event.code) {
    case kActionPrimary: PrimaryAction(); break;
    case kActionSecondary: SecondaryAction(); break;
    case kActionSell: SellObject(m_heldId); break;
    case kActionZoomIn: ZoomIn(); break;
    case kActionZoomOut: ZoomOut(); break;
    case kActionTiltUp: TiltView(-kTiltStep); break;
    case kActionTiltDown: TiltView(kTiltStep); break;
    case kActionControl: SetSkaterControl(m_skaterControl == 0); break;
    case kActionHideInterface: ToggleInterface(); break;
    default: break;
  }
  if (m_skaterControl != 0)
    if (CSkater* skater = GetSkater(m_selectedSkaterId)) skater->HandleInputEvent(event);
}

// Each press undoes the innermost thing: the held piece (sold back), the selected skater, the
// view from a piece, then the escape menu when nothing is selected, else the open pop-up.
void CGameLogic::Cancel() {
  CParkPopupFactory* screens = GetParkPopupFactory();
  if (m_heldId != kNone) {
    SellObject(m_heldId);
  } else if (m_selectedSkaterId != kNone) {
    SetSkaterControl(false);
  } else if (m_perspective != 0) {
    SetPerspectiveView(false, nullptr);
  } else if (m_selectedPieceId == kNone) {
    if (screens != nullptr) GetPark()->AddLayerOnTop(screens->CreateEscapeMenu());
  } else {
    ClosePopup();
  }
}

void CGameLogic::PrimaryAction() {
  if (m_heldId == kNone) {
    if (m_selectedSkaterId == kNone) PickUpObject(PickPieceUnderCursor());
    return;
  }
  // With no ground under the pointer the piece still stands where the ground last was, maybe
  // under the palette: the click is refused and the piece stays in the hand.
  GridCell ground{0, 0};
  if (!PickGridCell(ground) || !CanPlaceHeldObject()) return;
  const uint32_t placed = m_heldId;
  PlaceHeldObject(placed);
  // Ctrl keeps the player placing paid copies.
  if (CtrlHeld()) CloneObject(placed);
}

void CGameLogic::SecondaryAction() {
  if (CSkatableSection* held = GetSection(m_heldId)) {
    held->Rotate(90.0f);
    KeepHeldPieceOnGrid();
    CanPlaceHeldObject();
    return;
  }
  if (m_selectedSkaterId == kNone && m_selectedPieceId == kNone && GetPopup() == nullptr) {
    SelectUnderCursor();
    return;
  }
  ClosePopup();
}

// A skater by its bounds, then a piece by its drawn faces, then a skater by looser bounds; of the
// first two the nearer along the ray takes the click, so that a skater hidden behind a piece never
// takes it from the piece, and one standing in front of a piece still does.
void CGameLogic::SelectUnderCursor() {
  CParkPopupFactory* screens = GetParkPopupFactory();
  float skaterTime = 0.0f, pieceTime = 0.0f;
  uint32_t skater = PickSkaterUnderCursor(false, &skaterTime);
  const uint32_t pieceId = PickPieceUnderCursor(&pieceTime);
  if (pieceTime < skaterTime) {
    const CSkatableSection* piece = GetSection(pieceId);
    if (piece != nullptr && piece->HasPopup() && screens != nullptr) {
      const bool facility = dynamic_cast<const CSkatableFacility*>(piece) != nullptr;
      OpenPopup(facility ? screens->CreateFacilityPopup(pieceId) : screens->CreateSectionPopup(pieceId));
      if (GetPopup() != nullptr) m_selectedPieceId = pieceId;
      return;
    }
    // A piece without a pop-up still hides what stands behind it.
    skater = PickSkaterUnderCursor(true, &skaterTime);
    if (!(skaterTime < pieceTime)) skater = kNone;
  } else if (skater == kNone) {
    skater = PickSkaterUnderCursor(true);
  }
  if (skater == kNone) return;
  m_selectedSkaterId = skater;
  if (screens != nullptr) OpenPopup(screens->CreateSkaterPopup(skater));
}

void CGameLogic::ToggleInterface() {
  CVerezIvor* park = GetPark();
  if (g_interfaceHidden) {
    park->ActivateAllLayers();
  } else {
    park->DeactivateAllLayers();
    SetActive(true);
  }
  g_interfaceHidden = !g_interfaceHidden;
}
