// CGameLogic: the draw, the overlays inside the scene's frame, the debug keys and clearing the park.
#include "park/controller/GameLogic.h"

#include <cstdio>

#include "core/data/DebugPrintf.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/world/ParkScores.h"
#include "park/world/ParkScreens.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "render/software/SoftwareRasterizer.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"
#include "scene/camera/GenericCam.h"

namespace {
constexpr int kDebugOwnerLines = 5;
constexpr int kDebugStatistics = 8;
constexpr uint32_t kOwnerLineColour = 0xFFFF00FFu;
constexpr uint16_t kTextColour = 0x7FFF;  // white in 5-5-5

// One look at every key the debug keys read, taken before any of them is tested: asking for a
// key's state clears its pressed bit, so a key asked twice in a tick would lose its press.
class DebugKeyState {
 public:
  DebugKeyState() {
    for (int key : {VK_CONTROL, VK_SHIFT, VK_MENU}) Take(key);
    for (int key = 'A'; key <= 'Z'; ++key) Take(key);
    for (int key = VK_F1; key <= VK_F1 + 7; ++key) Take(key);
  }
  bool Held(int key) const { return (m_state[key] & 0x8000) != 0; }
  bool Pressed(int key) const { return (m_state[key] & 1) != 0; }

 private:
  void Take(int key) { m_state[key] = static_cast<uint16_t>(GetAsyncKeyState(key)); }
  uint16_t m_state[256] = {};
};

// The keys F5, F6, F3, F4, F7, F1, F2, F8 toggle the park's debug flags 0, 2, 3, 4, 5, 6, 7, 8.
struct FlagKey {
  int key;
  int flag;
};
constexpr FlagKey kFlagKeys[] = {{VK_F1 + 4, 0}, {VK_F1 + 5, 2}, {VK_F1 + 2, 3}, {VK_F1 + 3, 4},
                                 {VK_F1 + 6, 5}, {VK_F1, 6},     {VK_F1 + 1, 7}, {VK_F1 + 7, 8}};
}  // namespace

// --- Drawing ---

void CGameLogic::Draw(CRenderView* view, PixelBufferDesc** locked) {
  CVerezIvor* park = GetPark();
  if (!IsActive() || park == nullptr || view == nullptr) return;
  ClearFrame(*view, locked);
  park->RenderScene(view, locked);
  DrawOverlayFrame(*view);
  if (park->GetDebugFlag(kDebugStatistics)) DrawStatistics(*view, locked);
  CGenericCam* camera = GetCamera();
  if (camera != nullptr && !camera->GetView().IsOrthographic()) {
    camera->SetFovRange(kPerspectiveFov, kPerspectiveFov);
    camera->GetView().SetFieldOfView(kPerspectiveFov);
  }
}

// The scene leaves untouched whatever lies beside the terrain, so the frame starts from black there
// rather than from the last frame's pixels (a closed menu would stay on the screen).
void CGameLogic::ClearFrame(CRenderView& view, PixelBufferDesc** locked) {
  CRasterizerInterface* rasterizer = view.GetRasterizer();
  if (rasterizer == nullptr) return;
  if (locked != nullptr && *locked != nullptr) {
    rasterizer->UnlockBackBuffer();
    *locked = nullptr;
  }
  rasterizer->Clear(true, true, kBackdropColour);
}

// After the scene, over its depth, in a frame of their own: drawn before it, the ground would
// cover them. The placement squares ignore depth and write none, so that they show through the
// piece in the hand and over a piece they stand on, tinting what lies under them.
void CGameLogic::DrawOverlayFrame(CRenderView& view) {
  CGenericCam* camera = GetCamera();
  if (camera == nullptr) return;
  if (!view.BeginFrame(&camera->GetView(), CRenderView::FrameViewport::kBackBuffer, CRenderView::FrameBackEnd::kDefault,
                       CRenderView::FrameOutput::kDraw))
    return;
  view.EnableAlphaSorting(false);
  if (CRasterizerInterface* rasterizer = view.GetRasterizer()) rasterizer->SetZWrite(false);
  view.SetZBufferMode(ZBufferMode::kZBuffer);
  DrawSceneOverlays(view);
  view.EndFrame();
}

void CGameLogic::DrawSceneOverlays(CRenderView& view) {
  CVerezIvor* park = GetPark();
  if (park == nullptr) return;
  park->DrawDebugOverlays(view);
  if (park->GetDebugFlag(kDebugOwnerLines)) DrawOwnerLines(view);
  if (!IsOrthographicView()) return;
  view.SetZBufferMode(ZBufferMode::kOff);
  DrawHighlights(view);
  view.SetZBufferMode(ZBufferMode::kZBuffer);
}

void CGameLogic::DrawHighlights(CSceneDrawInterface& view) {
  const CGrid* grid = GetPark()->GetGrid();
  if (grid == nullptr) return;
  if (m_heldId != kNone) {
    for (const GridCell& cell : m_highlight) grid->DrawSquare(view, cell.column, cell.row, m_highlightColour);
    return;
  }
  GridCell cell{0, 0};
  if (m_selectedSkaterId == kNone && PickGridCell(cell))
    grid->DrawSquare(view, cell.column, cell.row, kCursorSquareColour);
}

// A line from each covered square's centre up to its owner piece.
void CGameLogic::DrawOwnerLines(CSceneDrawInterface& view) const {
  const CGrid* grid = GetPark()->GetGrid();
  if (grid == nullptr) return;
  for (int i = 0; i < grid->GetSquareCount(); ++i) {
    const CGridSquare* square = grid->GetSquareByIndex(i);
    for (uint32_t id : square->GetObjectIds()) {
      const CSkatableSection* piece = id != grid->GetTerrainId() ? GetSection(id) : nullptr;
      if (piece != nullptr) view.DrawLine3D(square->centre, piece->GetBounds().GetCenter(), kOwnerLineColour);
    }
  }
}

void CGameLogic::DrawStatistics(CRenderView& view, PixelBufferDesc** locked) const {
  const CVerezIvor* park = GetPark();
  CRasterizerInterface* rasterizer = view.GetRasterizer();
  if (rasterizer == nullptr || locked == nullptr) return;
  if (*locked == nullptr) *locked = rasterizer->LockBackBuffer();
  PixelBufferDesc* buffer = *locked;
  if (buffer == nullptr || buffer->bytesPerPixel != 2) return;
  const ParkState& s = park->GetParkState();
  char time[16];
  park->GetClock().FormatTimeOfDay(time, sizeof(time), false);
  char lines[3][128];
  std::snprintf(lines[0], sizeof(lines[0]), "Variety: %f Connectivity: %f Capcity: %f", s.variety, s.connectivity,
                s.capacity);
  std::snprintf(lines[1], sizeof(lines[1]), "Simulation Game Time -- Day %d at %s",
                static_cast<int>(park->GetClock().GetDay()), time);
  std::snprintf(lines[2], sizeof(lines[2]), "Money: %d Num skaters: %d Avg skill: %f", s.money,
                static_cast<int>(GetSkaterList().size()), s.averageSkill);
  for (int i = 0; i < 3; ++i)
    plat::DrawTextLine(buffer->pixels, static_cast<int>(buffer->width), static_cast<int>(buffer->height),
                       static_cast<int>(buffer->pitch), 4, 4 + 10 * i, lines[i], kTextColour);
}

// --- Debug keys ---

void CGameLogic::HandleDebugKeys() {
  // Looked at while the keys are off too, so that switching them on does not replay old presses.
  const DebugKeyState keys;
  if (!AreDebugKeysEnabled()) return;
  CVerezIvor* park = GetPark();
  const bool ctrl = keys.Held(VK_CONTROL), shift = keys.Held(VK_SHIFT), alt = keys.Held(VK_MENU);
  auto key = [&keys](char c) { return keys.Pressed(c); };
  if (ctrl && key('C')) ClearPark();
  if (ctrl && keys.Held('L')) RebuildSoftwareTextures();
  if (ctrl && shift && key('L'))
    DebugPrintf(LoadGame(kQuickSaveFile) ? "Game loaded from file.\n" : "ERROR: Game could not be loaded from file.\n");
  if (ctrl && shift && key('S'))
    DebugPrintf(SaveGame(kQuickSaveFile) ? "Game saved to file.\n" : "ERROR: Game could not be saved to file.\n");
  for (const FlagKey& f : kFlagKeys)
    if (keys.Pressed(f.key)) park->ToggleDebugFlag(f.flag);
  if (ctrl && key('M')) park->AddMoney(10000.0f);
  if (keys.Held('S') && key('P') && !alt) {
    for (int slot = 0; slot < ParkState::kSponsorshipSlots; ++slot) {
      if (park->GetParkState().sponsorships[slot].offered != 0) continue;
      if (ParkScreens::NoticeFactory create = GetParkScreens().createSponsorshipNotice)
        park->AddLayerOnTop(create(slot));
      park->GetParkState().sponsorships[slot].offered = 1;
      break;
    }
  }
  if (!alt) return;
  CSkater* skater = nullptr;
  auto spawn = [this, park, &skater]() {
    skater = GetSkater(park->SpawnSkater());
    return skater != nullptr;
  };
  if (key('S')) spawn();
  if (key('I') && spawn()) skater->needs.injury = 0.95f;
  if (key('P') && spawn()) skater->needs.bladder = 0.95f;
  if (key('H') && spawn()) skater->needs.hunger = 0.95f;
  if (key('T') && spawn()) skater->needs.tiredness = 0.47f;
  if (key('K') && spawn())
    for (float& skill : skater->ability.trickSkill) skill = 1.0f;
}

// The software renderer's converted textures of the level, and their cache files beside it.
void CGameLogic::RebuildSoftwareTextures() {
  CVerezIvor* park = GetPark();
  CRenderView* view = park->GetRenderView();
  auto* software = view != nullptr ? dynamic_cast<CSoftwareRasterizer*>(view->GetRasterizer()) : nullptr;
  if (software == nullptr) return;
  if (!software->CacheSoftwareTextures(park->GetLevelTextures(), park->GetLevelDirectory().c_str()))
    DebugPrintf("GameLogic: the software texture cache could not be written\n");
}

// --- Clearing ---

void CGameLogic::ClearPark() {
  CVerezIvor* park = GetPark();
  if (park == nullptr) return;
  if (m_skaterControl != 0) SetSkaterControl(false);
  ClosePopup();
  m_heldId = m_selectedSkaterId = kNone;
  m_heldHasOrigin = false;
  m_highlight.clear();
  ClearParkObjects(*park);
}

void CGameLogic::ClearParkObjects(CVerezIvor& park) {
  CGrid* grid = park.GetGrid();
  const uint32_t terrain = grid != nullptr ? grid->GetTerrainId() : kNone;
  if (grid != nullptr)
    for (int i = 0; i < grid->GetSquareCount(); ++i) {
      CGridSquare* square = grid->GetSquareByIndex(i);
      // The level's terrain stays: it is the ground, not a piece of the park.
      std::vector<uint32_t> kept;
      for (uint32_t id : square->GetObjectIds())
        if (id == terrain) kept.push_back(id);
      square->SetObjectIds(std::move(kept));
      square->nearPiece = 0;
    }
  // Held pieces too, which are in no square and no placed list.
  for (uint32_t id = 1; id < park.GetNextObjectID(); ++id) {
    CGameObject* object = park.GetObjectByID(id);
    auto* section = dynamic_cast<CSkatableSection*>(object);
    if ((section != nullptr && !section->IsTerrain()) || dynamic_cast<CSkater*>(object) != nullptr)
      object->MarkForRemoval();
  }
  park.SetPlayerSkaterId(kNone);
  park.UpdateObjects(0.0f);
  if (grid != nullptr) grid->UpdateComponents();
  UpdateParkScores(park);
}
