#include "park/world/VerezIvor.h"

#include "park/grid/ObjectSkatePathNode.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/world/GlobalArt.h"
#include "core/input/InputMan.h"
#include "core/world/ObjectFactory.h"
#include "core/input/Settings.h"
#include "core/world/WorldAccess.h"
#include "core/data/DebugPrintf.h"
#include "park/grid/Grid.h"
#include "park/skater/Skater.h"
#include "park/world/ParkFontSet.h"
#include "park/world/ParkScreens.h"
#include "platform/system/Platform.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"

namespace {
constexpr uint32_t kFreshID = 0xFFFFFFFFu;
constexpr float kAveragesInterval = 1.0f;  // real seconds between refreshes of the skater averages
bool g_debugKeysEnabled = false;

bool KeyHeld(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }
}  // namespace

bool AreDebugKeysEnabled() { return g_debugKeysEnabled; }
void SetDebugKeysEnabled(bool on) { g_debugKeysEnabled = on; }

CVerezIvor::CVerezIvor(HWND window, HINSTANCE instance) : CGameWorld(window, instance) {
  m_state.Reset();
  m_fontSet = std::make_unique<ParkFontSet>();
  m_fontSet->Load();
  CGlobalArt* art = GetGlobalArt();
  if (ParkScreens::StatusLabelFactory create = GetParkScreens().createStatusLabel)
    m_statusLabel = create(art != nullptr ? art->GetFontAlphabet(0) : nullptr);
}

CVerezIvor::~CVerezIvor() {
  CGameWorld::ClearWorld();
  m_grid.reset();
  m_detachedGrid.reset();
}

void CVerezIvor::HandleMessage(uint32_t senderID, const uint8_t* message) { CGameWorld::HandleMessage(senderID, message); }

void CVerezIvor::ClearWorld() {
  CGameWorld::ClearWorld();
  m_paths.clear();  // after the clear has unfiled them with the octree's cells
  CObjectSkatePathNode::ResetIds();
}

void CVerezIvor::AddPath(std::unique_ptr<C3DPath>&& path) {
  if (path == nullptr) return;
  GetOctree().InsertObject(path.get());
  m_paths.push_back(std::move(path));
}

std::unique_ptr<CGameObject> CVerezIvor::CreateObject(uint32_t typeCode) { return CreateGameObject(typeCode); }

// --- Money and scores ---

void CVerezIvor::AddMoney(float amount) {
  if (!m_state.AddMoney(amount)) DebugPrintf("VerezIvor: Ignoring an amount of money that is not a number\n");
}

double CVerezIvor::GetParkQuality() const { return (m_state.variety + m_state.connectivity) * 0.5; }

double CVerezIvor::GetParkRating() const {
  const double skaters = static_cast<double>(GetSkaterList().size());
  return GetParkQuality() * 500.0 + skaters * ((m_state.averageSkill + m_state.averageHappiness) * 0.5) * 10.0;
}

void CVerezIvor::UpdateSkaterAverages() {
  double skill = 0.0, happiness = 0.0;
  const std::vector<CSkater*>& skaters = GetSkaterList();
  for (const CSkater* skater : skaters) {
    skill += skater->GetSkill();
    happiness += skater->GetHappiness();
  }
  // One more than the count on purpose: the averages stay a little below the true means, and an
  // empty park gives 0 without a special case.
  const double n = static_cast<double>(skaters.size());
  m_state.averageSkill = static_cast<float>(skill / (n + 1.0));
  m_state.averageHappiness = static_cast<float>(happiness / (n + 1.0));
  m_state.statisticsScore = static_cast<float>((m_state.averageSkill + m_state.averageHappiness) * (n + 10.0) +
                                               (m_state.connectivity + m_state.variety) * 50.0);
}

// --- Status text ---

void CVerezIvor::SetStatusText(const char* text, const RECT* keepClear) {
  if (!m_statusLabel) return;
  m_statusKeepsClear = keepClear != nullptr && text != nullptr && text[0] != '\0';
  if (m_statusKeepsClear) m_statusKeepClear = *keepClear;
  if (text == nullptr || text[0] == '\0') {
    m_statusLabel->SetText("");
    return;
  }
  // Cut to the room the label has, never past it.
  char composed[kStatusCapacity];
  size_t length = std::strlen(text);
  if (length > kMaxStatusLength) length = kMaxStatusLength;
  composed[0] = CParkStatusLabel::kHighlightStart;
  std::memcpy(composed + 1, text, length);
  composed[length + 1] = CParkStatusLabel::kHighlightEnd;
  composed[length + 2] = '\0';
  m_statusLabel->SetText(composed);
}

const char* CVerezIvor::GetStatusLabelText() const { return m_statusLabel ? m_statusLabel->GetText() : ""; }

CUILabel* CVerezIvor::GetStatusLabel() const { return m_statusLabel ? m_statusLabel->GetLabel() : nullptr; }

void CVerezIvor::DrawOverlay(CRenderView* view, PixelBufferDesc** locked) {
  CRasterizerInterface* rasterizer = view != nullptr ? view->GetRasterizer() : nullptr;
  if (m_statusLabel && m_statusLabel->GetTextLength() > 0 && rasterizer != nullptr && locked != nullptr) {
    if (*locked == nullptr) *locked = rasterizer->LockBackBuffer();
    if (*locked != nullptr) {
      POINT cursor = {cursorX, cursorY};
      if (CInputMan* input = GetInputManager()) cursor = input->GetMousePos();
      const int width = m_statusLabel->GetWidth();
      int x = cursor.x - width / 2;
      int y = cursor.y - 12;
      // Beside the control it tells about, on whichever side has room: over it, the two texts
      // would hide each other.
      if (m_statusKeepsClear) {
        const int gap = 4;
        if (m_statusKeepClear.right + gap + width <= static_cast<int>((*locked)->width))
          x = m_statusKeepClear.right + gap;
        else if (m_statusKeepClear.left - gap - width >= 0)
          x = m_statusKeepClear.left - gap - width;
      }
      m_statusLabel->Draw(**locked, x < 0 ? 0 : x, y < 0 ? 0 : y);
      // The slot is cleared with the unlock so that nobody unlocks the buffer a second time.
      rasterizer->UnlockBackBuffer();
      *locked = nullptr;
    }
  }
  CGameWorld::DrawOverlay(view, locked);
}

// --- The tick ---

void CVerezIvor::TickParkState(float dt) {
  OfferSponsorship();
  m_clock.Update(dt);
  if (std::isfinite(dt) && dt > 0.0f) m_averagesTimer += dt;
  if (m_averagesTimer > kAveragesInterval) {
    m_averagesTimer = 0.0f;
    UpdateSkaterAverages();
  }
  NormaliseMoney();
}

bool CVerezIvor::IsSimulationHeld() const {
  return AreDebugKeysEnabled() && KeyHeld(VK_CONTROL) && KeyHeld(VK_SHIFT) && KeyHeld('P');
}

void CVerezIvor::TickSimulation(float dt) {
  if (IsSimulationHeld()) return;
  Simulate(dt);
  // Arrivals run on the real step: slow motion is for watching objects, not for the calendar.
  UpdateArrivals(dt);
}

void CVerezIvor::UpdateDebugChord() {
  bool held = true;
  for (int key : kDebugChord) held = held && KeyHeld(key);
  if (held) {
    m_chordLatched = true;
  } else if (m_chordLatched) {
    m_chordLatched = false;
    SetDebugKeysEnabled(!AreDebugKeysEnabled());
    DebugPrintf("VerezIvor: Debug keys %s\n", AreDebugKeysEnabled() ? "enabled" : "disabled");
  }
}

void CVerezIvor::Simulate(float dt) {
  UpdateDebugChord();
  // Slow motion for watching the simulation closely; independent of the debug keys.
  if (KeyHeld(kSlowMotionKey)) {
    dt *= 0.25f;
    if (KeyHeld('1')) dt *= 0.5f;
  }
  UpdateObjects(dt);
}

int CVerezIvor::OfferSponsorship() {
  const double rating = GetParkRating();
  for (int slot = 0; slot < ParkState::kSponsorshipSlots; ++slot) {
    if (rating > ParkState::SponsorshipThreshold(slot) && m_state.sponsorships[slot].offered == 0) {
      if (ParkScreens::NoticeFactory create = GetParkScreens().createSponsorshipNotice) AddLayerOnTop(create(slot));
      // The notice marks the slot through the registered world; marked here as well so that a
      // park that is not (or no longer) the registered world cannot open a notice every tick.
      m_state.sponsorships[slot].offered = 1;
      return slot;
    }
  }
  return -1;
}

double CVerezIvor::GetArrivalTarget() const {
  const double capacity = std::isfinite(m_state.capacity) ? std::trunc(m_state.capacity) : 0.0;
  const double target = std::trunc((m_state.variety + m_state.connectivity + 0.001) * 0.5 * capacity);
  return target > 0.0 ? target : 0.0;  // also catches a score that is not a number
}

void CVerezIvor::UpdateArrivals(float dt) {
  if (!std::isfinite(dt) || dt < 0.0f) return;
  const double target = GetArrivalTarget();
  const double count = static_cast<double>(GetSkaterList().size());
  m_state.timeSinceLastArrival += m_clock.ScaleToSim(dt);
  if (!(target > count)) return;
  double base = m_state.admissionFee * 0.025;
  if (!(base >= 0.5)) base = 0.5;
  const double interval = base * 1800.0 / (1.0 - count / target);
  if (m_state.timeSinceLastArrival > interval && SpawnSkater() != 0) m_state.timeSinceLastArrival = 0.0;
}

uint32_t CVerezIvor::SpawnSkater() {
  // A level without entrances (or a park before its grid exists) has nowhere to let anyone in.
  if (m_grid == nullptr || m_grid->GetEntrances().empty()) return 0;
  const std::vector<CGridSquare*>& entrances = m_grid->GetEntrances();
  const CGridSquare* square = entrances[static_cast<size_t>(plat::rand()) % entrances.size()];
  if (square == nullptr) return 0;

  auto owned = std::make_unique<CSkater>();
  CSkater* skater = owned.get();
  const Vector3 start(square->GetPosition().x + 0.5f, square->GetPosition().y + 0.5f,
                      square->GetPosition().z + skater->GetHeightOffset() + 2.0f);
  COrientation frame;
  frame.SetPosition(start);
  frame.LookAt(Vector3(start.x + 1.0f, start.y + 1.0f, start.z), true);
  skater->LoadBody(frame);
  skater->PickAppearance(true);
  char name[CSkater::kNameSize];
  std::snprintf(name, sizeof(name), "Skater #%d", m_state.nextSkaterNumber);
  ++m_state.nextSkaterNumber;
  skater->SetName(name);

  // A refused skater goes with the pointer.
  std::unique_ptr<CGameObject> object = std::move(owned);
  const uint32_t id = RegisterNewObject(std::move(object), kFreshID);
  // Arrivals are counted here, where they happen; a loaded skater has arrived before.
  if (id != 0) ++m_state.skatersEntered;
  return id;
}

// --- Drawing and level set-up ---

void CVerezIvor::RenderScene(CRenderView* view, PixelBufferDesc** locked) {
  if (m_fontSet) m_fontSet->Reload();
  CRasterizerInterface* r = view != nullptr ? view->GetRasterizer() : nullptr;
  if (locked != nullptr && *locked != nullptr && r != nullptr && r->GetUserValue() == kRasterizerHardware) {
    r->UnlockBackBuffer();
    *locked = nullptr;
  }
  // The level's debug view rides on the view's own overlays, which come over the finished scene.
  if (view != nullptr) {
    const uint32_t levelView = CSceneDrawInterface::kDebugPaths | CSceneDrawInterface::kDebugTerrainPolygons;
    const uint32_t others = view->GetDebugFlags() & ~levelView;
    view->SetDebugFlags(GetDebugFlag(kDebugLevelView) ? others | levelView : others);
  }
  CGameWorld::RenderScene(view, locked);
}

uint32_t CVerezIvor::TextureDetailLevel(float setting) {
  const double level = std::trunc((1.0 - setting) * 2.0);
  if (!(level > 0.0)) return 0;  // full detail, also for a setting that is not a number
  return level > 2.0 ? 2u : static_cast<uint32_t>(level);
}

void CVerezIvor::PreloadLevelTextures() {
  CRenderView* view = GetRenderView();
  CRasterizerInterface* rasterizer = view != nullptr ? view->GetRasterizer() : nullptr;
  if (rasterizer == nullptr) return;
  OutputDebugStringA("Preloading Level Textures...\n");
  const CSettings* settings = GetSettings();
  const uint32_t detail = TextureDetailLevel(settings != nullptr ? settings->textureDetail : 1.0f);
  for (CTexture* texture : m_levelTextures)
    if (texture != nullptr) rasterizer->LoadTexture(texture, detail);
}

// --- Parts the park holds ---

void CVerezIvor::SetGrid(std::unique_ptr<CGrid> grid) { m_grid = std::move(grid); }

void CVerezIvor::ClearGrid() {
  if (m_grid == nullptr) return;
  m_detachedGrid = std::move(m_grid);
}

bool CVerezIvor::GetDebugFlag(int index) const {
  return index >= 0 && index < kDebugFlagCount && m_debugFlags[index] != 0;
}

void CVerezIvor::DrawDebugOverlays(CSceneDrawInterface& view) const {
  if (m_grid != nullptr && GetDebugFlag(kDebugSquareStates)) m_grid->DrawSquareStates(view);
}

void CVerezIvor::ToggleDebugFlag(int index) {
  if (index >= 0 && index < kDebugFlagCount) m_debugFlags[index] ^= 1;
}
