// CMenuLayer: the panel's art, input and the dispatch of its commands.
#include "ui/widgets/MenuLayer.h"

#include <memory>

#include "core/input/InputMan.h"
#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "park/world/ParkFontSet.h"
#include "park/world/VerezIvor.h"
#include "ui/sprites/SpriteFile.h"

CMenuLayer::CMenuLayer() {
  auto panel = std::make_unique<CButtonPanel>();
  m_panel = panel.get();
  m_uiManager = std::move(panel);
  m_layout->Load(kInterfaceFile);
  const CVerezIvor* park = GetPark();
  CSprite* font = park != nullptr && park->GetFontSet() != nullptr ? park->GetFontSet()->alphabet14 : nullptr;
  m_panel->SetArt(font, m_layout->GetSprite("button"), m_layout->GetSprite("panel"));
}

CMenuLayer::~CMenuLayer() = default;

void CMenuLayer::Init(bool created) {
  CUIActionLayer::Init(created);
  const CGameWorld* world = GetGameWorld();
  const CInputMan* input = world != nullptr && world->GetInputManager() != nullptr ? world->GetInputManager()
                                                                                   : GetInputMan();
  if (input != nullptr && input->IsButtonDown(0)) m_panel->MouseTakenAbove(1);
}

CVerezIvor* CMenuLayer::GetPark() { return dynamic_cast<CVerezIvor*>(GetGameWorld()); }

void CMenuLayer::Dispatch() {
  const int command = m_panel->TakeCommand();
  if (command != CButtonPanel::kNoCommand && !IsMarkedForRemoval()) OnCommand(command);
}

bool CMenuLayer::IsCoveredFromAbove() const {
  const CGameWorld* world = GetGameWorld();
  if (world == nullptr) return false;
  const RECT mine = m_panel->GetPanelRect();
  bool above = false;
  for (size_t i = 0; i < world->GetLayerCount(); ++i) {
    const CGameActionLayer* layer = world->GetLayer(i);
    if (layer == this) {
      above = true;
      continue;
    }
    const auto* menu = dynamic_cast<const CMenuLayer*>(layer);
    if (!above || menu == nullptr || !menu->IsActive() || menu->IsMarkedForRemoval() || !menu->m_holdsPointer) continue;
    const RECT other = menu->m_panel->GetPanelRect();
    if (other.left < mine.right && mine.left < other.right && other.top < mine.bottom && mine.top < other.bottom)
      return true;
  }
  return false;
}

void CMenuLayer::Draw(CRenderView* view, PixelBufferDesc** locked) {
  if (!IsCoveredFromAbove()) {
    CUIActionLayer::Draw(view, locked);
    return;
  }
  // The frame is still ours to start: left as it was, it would keep the pointer of every earlier
  // frame around the panel above.
  ClearFrame(view, locked);
  // The widgets shown beside the panel hold nothing to press: they stay in view.
  DrawSurface surface;
  if (LockSurface(view, locked, surface)) m_panel->DrawWidgets(surface);
}

void CMenuLayer::HandleInputEvent(const InputEvent& event) {
  if (IsMarkedForRemoval()) return;
  // Judged before the press acts: a button that turns the page may shrink the panel away from the
  // pointer, and the click must still stop here. Under a panel above, only the widgets shown
  // beside this one are still ours.
  const bool covered = IsCoveredFromAbove();
  const bool click = event.code == InputEvent::kButtonPress || event.code == InputEvent::kButtonRelease;
  const int x = ToPixel(event.x), y = ToPixel(event.y);
  if (click && m_holdsPointer && (covered ? m_panel->WidgetsContain(x, y) : m_panel->Contains(x, y)))
    m_tookClick = true;
  if (covered) {
    m_panel->MouseTakenAbove(event.code == InputEvent::kButtonPress ? 1 : 0);
    return;
  }
  CUIActionLayer::HandleInputEvent(event);
  Dispatch();
}

void CMenuLayer::Update(float dt) {
  const bool tookClick = m_tookClick;  // by this tick's events only
  m_tookClick = false;
  if (IsCoveredFromAbove()) {
    // Its text still follows the park, ready for when the upper panel goes.
    if (!IsMarkedForRemoval()) Refresh();
    CGameWorld* world = GetGameWorld();
    CInputMan* input = world != nullptr ? world->GetInputManager() : nullptr;
    m_panel->MouseTakenAbove(input != nullptr && input->IsButtonDown(0) ? 1 : 0);
    // The widgets shown beside the panel are still drawn over the park, and keep the pointer.
    if (world == nullptr || !m_holdsPointer) return;
    const POINT pos = input != nullptr ? input->GetMousePos() : POINT{-1, -1};
    if (tookClick || (input != nullptr && m_panel->WidgetsContain(pos.x, pos.y))) world->mouseOverUI = 1;
    return;
  }
  if (!IsMarkedForRemoval()) {
    Refresh();
    CUIActionLayer::Update(dt);
    Dispatch();
  }
  CGameWorld* world = GetGameWorld();
  // Also when a press closed the panel or turned it to a shorter page this tick: the click was
  // taken here, and the layers below must not act on it. A panel with only lines to read lets the
  // pointer through.
  if (world == nullptr || !m_holdsPointer) return;
  if (!tookClick && !m_panel->Contains(m_panel->GetMouseX(), m_panel->GetMouseY())) return;
  world->mouseOverUI = 1;
  if (IsMarkedForRemoval()) return;
  const int hover = m_panel->GetHover();
  CVerezIvor* park = GetPark();
  if (park == nullptr || hover < 0) return;
  const std::string status = StatusFor(m_panel->GetButtons()[static_cast<size_t>(hover)].command);
  const RECT panel = m_panel->GetPanelRect();
  if (!status.empty()) park->SetStatusText(status.c_str(), &panel);
}
