#include "park/controller/GameLogic.h"

#include <algorithm>
#include <cmath>

#include "core/input/InputMan.h"
#include "core/world/WorldAccess.h"
#include "core/data/DebugPrintf.h"
#include "core/data/ResourceTable.h"
#include "park/controller/ParkPopupFactory.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/PieceFootprint.h"
#include "park/pieces/PiecePlacement.h"
#include "park/pieces/PieceSale.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/saved/SavedGame.h"
#include "park/skater/Skater.h"
#include "park/skater/ThoughtTexts.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "scene/camera/GenericCam.h"
#include "scene/mesh/MeshInstance.h"
#include "sound/SoundManager.h"

namespace {
constexpr int kFacilityType = 13;  // definition types from here on are facilities
constexpr const char* kMusicTracks[3] = {"data/sounds/music/tessary1_three_twelve.wav",
                                         "data/sounds/music/tessary1_kids.wav", "data/sounds/music/tessary1_lucky.wav"};
}  // namespace

CGameLogic::CGameLogic() { SetActive(true); }

CGameLogic::~CGameLogic() {
  if (m_perspective != 0) ShowPointer(true);  // the pointer outlives the view from a piece
  CVerezIvor* park = GetPark();
  if (park != nullptr && park->GetController() == this) park->SetController(nullptr);
}

CVerezIvor* CGameLogic::GetPark() const { return dynamic_cast<CVerezIvor*>(GetGameWorld()); }

CSkatableSection* CGameLogic::GetSection(uint32_t id) const {
  CVerezIvor* park = GetPark();
  if (park == nullptr || id == kNone) return nullptr;
  return dynamic_cast<CSkatableSection*>(park->GetObjectByID(id));
}

CSkater* CGameLogic::GetSkater(uint32_t id) const {
  CVerezIvor* park = GetPark();
  if (park == nullptr || id == kNone) return nullptr;
  return dynamic_cast<CSkater*>(park->GetObjectByID(id));
}

// --- Init and tick ---

void CGameLogic::Init(bool) {
  m_firstTick = 1;
  m_heldId = m_selectedSkaterId = m_selectedPieceId = kNone;
  m_skaterControl = m_perspective = 0;
  m_popup = nullptr;
  m_highlight.clear();
  m_viewDirection = Vector3(-1.0f, -1.0f, -2.0f);
  m_viewDirection.Normalize();
  m_countdownA = -1.0f;
  m_countdownB = 0.0f;
  m_largestBonus = m_exhibitionMoney = m_exhibitionTotal = 0.0f;
  m_heldHasOrigin = false;
  // Presses from before the game must not count as debug keys.
  for (int key = 'A'; key <= 'Z'; ++key) GetAsyncKeyState(key);
  CVerezIvor* park = GetPark();
  if (park == nullptr) return;
  park->SetPlacementRefresh(0);
  thoughts::LoadThoughtBubbleTextures(park->GetResourceTable());
  if (CGrid* grid = CGrid::InitFromTerrain(*park)) {
    CSkatableSection::AddTerrainSection(*park);
    const GridCell size = grid->GetSize();
    m_focus = grid->GetOrigin() +
              Vector3(size.column * grid->GetSquareWidth() * 0.5f, size.row * grid->GetSquareDepth() * 0.5f, 0.0f);
  }
  EnsureCameras();
  if (NonNegativeDouble* counter = park->GetCounter()) {
    counter->Add(20000.0, true);
    counter->Add(-200.0, false);
    counter->Add(0.0, false);
  }
}

void CGameLogic::Tick(float dt) {
  CVerezIvor* park = GetPark();
  if (park == nullptr) return;
  ServeMusic();
  m_mouseOverUI = park->mouseOverUI;
  CParkPopupFactory* screens = GetParkPopupFactory();
  if (screens != nullptr && screens->IsEscapeMenuOpen()) return;
  CheckSelectedSkater();
  park->TickParkState(dt);
  if (IsWindowInactive() && (park->GetNetworkMode() & 1) != 0) return;
  MoveHeldPieceToCursor();
  m_countdownA -= dt;
  FollowSelectedSkater(dt);
  ScrollAtScreenEdges();
  ReadHeldKeys(dt);
  m_countdownB = std::max(0.0f, m_countdownB - dt);
  park->TickSimulation(dt);
  UpdateCamera(dt);
  RankSkatersByCameraDistance();
  if (IsGameOver() && screens != nullptr) park->AddLayerOnTop(screens->CreateMainScreen());
  HandleDebugKeys();
  if (m_skaterControl != 0 && GetSkater(m_selectedSkaterId) == nullptr) SetSkaterControl(false);
  m_firstTick = 0;
}

void CGameLogic::ServeMusic() {
  CVerezIvor* park = GetPark();
  auto* sound = dynamic_cast<CSoundManager*>(park->GetSoundManager());
  // Without a device or with the music silenced nothing could play: no track is drawn, so the
  // game's generator is not spent every tick.
  if (sound == nullptr || !sound->IsStarted() || sound->GetMusicAttenuation() <= CSoundManager::kSilent) return;
  if (sound->IsMusicPlaying() || park->GetResourceTable() == nullptr) return;
  const int track = plat::rand() % 3;
  sound->PlayMusic(park->GetResourceTable()->FindByName(kMusicTracks[track]), false, 0);
}

void CGameLogic::CheckSelectedSkater() {
  if (m_selectedSkaterId == kNone || GetSkater(m_selectedSkaterId) != nullptr) return;
  m_selectedSkaterId = kNone;
  ClosePopup();
}

bool CGameLogic::IsWindowInactive() const {
  const CVerezIvor* park = GetPark();
  // A park without a window (tests, tools) counts as active.
  return park->GetWindow() != nullptr && GetForegroundWindow() != park->GetWindow();
}

POINT CGameLogic::GetCursor() const {
  const CVerezIvor* park = GetPark();
  if (CInputMan* input = park->GetInputManager()) return input->GetMousePos();
  return POINT{park->cursorX, park->cursorY};
}

void CGameLogic::ReadHeldKeys(float dt) {
  CInputMan* input = GetPark()->GetInputManager();
  if (input == nullptr) return;
  const float pi = 3.14159265f;
  if (input->GetActionValue(kActionTurnLeft) > 0.0f) RotateView(dt * pi);
  if (input->GetActionValue(kActionTurnRight) > 0.0f) RotateView(-dt * pi);
  const uint32_t pans[4] = {kActionPanLeft, kActionPanRight, kActionPanUp, kActionPanDown};
  const float angles[4] = {180.0f, 0.0f, 90.0f, 270.0f};
  for (int i = 0; i < 4; ++i)
    if (input->GetActionValue(pans[i]) > 0.0f) PanCamera(angles[i]);
}

void CGameLogic::MoveHeldPieceToCursor() {
  CSkatableSection* piece = GetSection(m_heldId);
  CGrid* grid = GetPark()->GetGrid();
  GridCell cell{0, 0};
  if (piece == nullptr || grid == nullptr || !PickGridCell(cell)) return;
  const ObjectDefinition* def = piece->GetDefinition();
  const int block = def != nullptr && def->snapToGrid > 1 ? def->snapToGrid : 1;
  const Vector3 centre = grid->GetSquareCentre(cell.column, cell.row);
  COrientation frame = piece->GetWorldMatrix();
  if (!grid->SnapToBlock(centre.x, centre.y, block, frame.position)) return;
  // Settled on the grid before the piece moves: moved half off the grid first, a piece at the
  // park's edge would stick out of the world's box and be filed at the octree's root every tick.
  KeepFootprintOnGrid(*piece, frame);
  if (frame.position != piece->GetWorldMatrix().position) piece->MoveTo(frame);
  CanPlaceHeldObject();
}

// --- Pieces ---

bool CGameLogic::CanPlaceHeldObject() {
  m_highlight.clear();
  m_highlightColour = kBlockedColour;
  CSkatableSection* piece = GetSection(m_heldId);
  const CGrid* grid = GetPark() != nullptr ? GetPark()->GetGrid() : nullptr;
  if (piece == nullptr || grid == nullptr || !piece->IsHeld()) return false;
  bool ok = true;
  const CGridSquare* first = nullptr;
  for (const FootprintCell& cell : MapFootprintCells(piece->GetDefinition(), piece->GetWorldMatrix(), *grid)) {
    const CGridSquare* square = grid->GetSquare(cell.column, cell.row);
    if (square == nullptr) {
      ok = false;
      continue;
    }
    m_highlight.push_back(GridCell{cell.column, cell.row});
    if (first == nullptr) first = square;
    if (square->IsBlocked() || square->buildable == 0 || std::fabs(square->centre.z - first->centre.z) > kMaxHeightStep)
      ok = false;
  }
  if (ok) m_highlightColour = kPlaceableColour;
  return ok;
}

void CGameLogic::PlaceHeldObject(uint32_t id) {
  CVerezIvor* park = GetPark();
  CSkatableSection* piece = GetSection(id);
  // The park's placement sets the piece up and tells the grid, skaters, scores and marks.
  if (park == nullptr || piece == nullptr || !PlacePieceInPark(*park, id)) return;
  park->RelightBox(piece->GetBounds());
  park->SetPlacementRefresh(1);
  if (m_heldId == id) {
    m_heldId = kNone;
    m_heldHasOrigin = false;
    m_highlight.clear();
  }
}

void CGameLogic::PickUpObject(uint32_t id) {
  CVerezIvor* park = GetPark();
  CSkatableSection* piece = GetSection(id);
  // One piece in hand at a time: lifting another would lose track of the first.
  if (park == nullptr || piece == nullptr || m_heldId != kNone) return;
  // Taken while the piece still stands: the lift changes its box.
  const Box box = piece->GetBounds();
  const COrientation origin = piece->GetWorldMatrix();
  if (!LiftPieceFromPark(*park, id)) return;
  park->RelightBox(box);
  m_heldId = id;
  m_heldOrigin = origin;
  m_heldHasOrigin = true;
  park->SetPlacementRefresh(0);
}

uint32_t CGameLogic::BuyObject(const ObjectDefinition& definition, const COrientation& frame) {
  CVerezIvor* park = GetPark();
  if (park == nullptr || m_heldId != kNone || park->GetMoney() < definition.cost) return kNone;
  std::unique_ptr<CSkatableSection> owned;
  if (definition.type >= kFacilityType && definition.type != CSkatableSection::kSponsorType)
    owned = std::make_unique<CSkatableFacility>();
  else
    owned = std::make_unique<CSkatableSection>();
  CSkatableSection* piece = owned.get();
  // Held from the start: drawn at half alpha until placed.
  if (!piece->InitFromMesh(frame, definition.mesh, false)) return kNone;
  piece->SetOwnerID(CGameObject::kNoOwner);
  std::unique_ptr<CGameObject> object = std::move(owned);
  const uint32_t id = park->RegisterNewObject(std::move(object));
  if (id == 0) return kNone;
  piece->SetDefinition(&definition, true);
  park->AddMoney(static_cast<float>(-definition.cost));
  park->GetParkState().spentOnBuilding += definition.cost;
  m_heldId = id;
  m_heldHasOrigin = false;
  park->SetPlacementRefresh(0);
  return id;
}

void CGameLogic::CloneObject(uint32_t id) {
  CSkatableSection* source = GetSection(id);
  if (m_heldId != kNone || source == nullptr || source->IsTerrain() || source->GetDefinition() == nullptr) return;
  // Sponsor pieces come from their sponsor, one each.
  if (source->GetSponsorshipIndex() != -1 || source->GetDefinition()->type == CSkatableSection::kSponsorType) return;
  BuyObject(*source->GetDefinition(), source->GetWorldMatrix());
}

void CGameLogic::SellObject(uint32_t id) {
  CVerezIvor* park = GetPark();
  CSkatableSection* piece = GetSection(id);
  if (park == nullptr || piece == nullptr) return;
  const bool placed = !piece->IsHeld();
  const Box box = piece->GetBounds();
  // The park's sale lifts a placed piece out of the grid, rings and scores now, not when the
  // world deletes it, and books the resale value.
  if (!SellPiece(*park, id)) return;
  if (placed) park->RelightBox(box);
  if (m_heldId == id) {
    m_heldId = kNone;
    m_heldHasOrigin = false;
    m_highlight.clear();
  }
  if (m_selectedPieceId == id) {
    m_selectedPieceId = kNone;
    ClosePopup();
  }
}

// Before a save: a lifted piece goes back where it stood; a bought one that was never placed is
// refunded, so that no money is lost in a piece the file does not hold.
void CGameLogic::ReturnHeldPiece() {
  CSkatableSection* piece = GetSection(m_heldId);
  if (piece == nullptr) {
    m_heldId = kNone;
    return;
  }
  if (m_heldHasOrigin) {
    piece->MoveTo(m_heldOrigin);
    PlaceHeldObject(m_heldId);
    return;
  }
  SellObject(m_heldId);
  GetPark()->UpdateObjects(0.0f);  // the refunded piece must be gone before the file is written
}

// --- Pop-ups ---

void CGameLogic::OpenPopup(std::unique_ptr<CGameActionLayer> layer) {
  if (layer == nullptr) return;
  m_popup = layer.get();
  GetPark()->AddLayerOnTop(std::move(layer));
}

CGameActionLayer* CGameLogic::GetPopup() const {
  const CVerezIvor* park = GetPark();
  if (m_popup == nullptr || park == nullptr) return nullptr;
  // The pop-up may have closed itself and been deleted by the world.
  for (size_t i = 0; i < park->GetLayerCount(); ++i)
    if (park->GetLayer(i) == m_popup) return m_popup;
  return nullptr;
}

void CGameLogic::ClosePopup() {
  if (CGameActionLayer* popup = GetPopup()) popup->MarkForRemoval();
  m_popup = nullptr;
  m_selectedPieceId = kNone;
}

// Only the player's own close of a pop-up gets here: a second right-click closes the pop-up and
// keeps following the skater.
void CGameLogic::ReleaseSelection(uint32_t id) {
  if (id == kNone) return;
  if (id == m_selectedSkaterId && m_skaterControl == 0)
    SetSkaterControl(false);
  else if (id == m_selectedPieceId)
    ClosePopup();
}

// --- Skaters ---

void CGameLogic::SetSkaterControl(bool on) {
  CVerezIvor* park = GetPark();
  if (park == nullptr) return;
  CSkater* skater = GetSkater(m_selectedSkaterId);
  CParkPopupFactory* screens = GetParkPopupFactory();
  if (on && skater != nullptr) {
    m_skaterControl = 1;
    skater->ResetForControl();
    skater->ReleaseReservedNode();
    park->SetPlayerSkaterId(skater->GetID());
    park->SetCurrentCamera(kChaseCamera);
    park->DeactivateAllLayers();
    skater->AddBoundFlags(CBoundedObject::kRenderable);
    SetActive(true);
    if (screens != nullptr) {
      park->AddLayerOnTop(screens->CreateExitPerspective());
      park->AddLayerOnTop(screens->CreateSkaterPlayerInterface());
    }
    return;
  }
  // Only a skater that was driven gives the view and the layers back; letting go of a merely
  // selected one must not pull the player out of the view from a piece.
  const bool wasControlling = m_skaterControl != 0;
  m_skaterControl = 0;
  if (wasControlling) {
    park->SetPlayerSkaterId(kNone);
    park->SetCurrentCamera(kParkCamera);
    park->ActivateAllLayers();
    // A skater taken over from the view from a piece gives back the park view, not that one.
    if (m_perspective != 0) ShowPointer(true);
    m_perspective = 0;
  }
  if (skater != nullptr && skater->GetMeshInstance() != nullptr) skater->GetMeshInstance()->SetAlpha(1.0f, true);
  ClosePopup();
  m_selectedSkaterId = kNone;
}

void CGameLogic::AwardTrickBonus(float amount) {
  if (GetPark() == nullptr) return;
  m_largestBonus = std::max(m_largestBonus, amount);
  m_exhibitionMoney += amount;
  m_exhibitionTotal += amount;
  GetPark()->AddMoney(amount);
}

// --- Saved games ---

ControllerSaveFields CGameLogic::GetSaveFields() const {
  ControllerSaveFields fields;
  fields.largestTrickBonus = m_largestBonus;
  fields.exhibitionMoney = m_exhibitionMoney;
  fields.exhibitionTotal = m_exhibitionTotal;
  fields.focus = m_focus;
  fields.viewDirection = m_viewDirection;
  return fields;
}

void CGameLogic::ApplySaveFields(const ControllerSaveFields& fields) {
  m_largestBonus = fields.largestTrickBonus;
  m_exhibitionMoney = fields.exhibitionMoney;
  m_exhibitionTotal = fields.exhibitionTotal;
  m_focus = fields.focus;
  m_viewDirection = fields.viewDirection;
}

bool CGameLogic::SaveGame(const char* path) {
  CVerezIvor* park = GetPark();
  if (park == nullptr || path == nullptr) return false;
  ReturnHeldPiece();
  return CSavedGame::SaveToFile(*park, GetSaveFields(), path);
}

bool CGameLogic::LoadGame(const char* path, CSavedGame::RecordBase base) {
  std::vector<uint8_t> bytes;
  const bool read = path != nullptr && CSavedGame::ReadFile(path, bytes);
  return LoadGame(read ? bytes.data() : nullptr, bytes.size(), base);
}

bool CGameLogic::LoadGame(const uint8_t* data, size_t size, CSavedGame::RecordBase base) {
  CVerezIvor* park = GetPark();
  if (park == nullptr) return false;
  // Settled first, so that no piece is left in hand whichever way the load goes.
  ReturnHeldPiece();
  ControllerSaveFields fields = GetSaveFields();
  if (data == nullptr) return false;
  if (!CSavedGame::Load(*park, fields, data, size, base)) return false;
  // Whatever the controller pointed at belonged to the park that was replaced.
  if (m_skaterControl != 0) SetSkaterControl(false);
  ClosePopup();
  m_heldId = m_selectedSkaterId = kNone;
  m_heldHasOrigin = false;
  m_highlight.clear();
  ApplySaveFields(fields);
  RecomputeNearPieceMarks(*park);
  return true;
}
