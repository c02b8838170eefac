// CMenuLayer: the panel's art, input and the dispatch of its commands.
#include "ui/MenuLayer.h"

#include <memory>

#include "core/GameWorld.h"
#include "core/WorldAccess.h"
#include "park/world/ParkFontSet.h"
#include "park/world/VerezIvor.h"
#include "ui/SpriteFile.h"

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

CVerezIvor* CMenuLayer::GetPark() { return dynamic_cast<CVerezIvor*>(GetGameWorld()); }

void CMenuLayer::Dispatch() {
  const int command = m_panel->TakeCommand();
  if (command != CButtonPanel::kNoCommand && !IsMarkedForRemoval()) OnCommand(command);
}

void CMenuLayer::HandleInputEvent(const InputEvent& event) {
  if (IsMarkedForRemoval()) return;
  CUIActionLayer::HandleInputEvent(event);
  Dispatch();
}

void CMenuLayer::Update(float dt) {
  if (IsMarkedForRemoval()) return;
  Refresh();
  CUIActionLayer::Update(dt);
  Dispatch();
  CGameWorld* world = GetGameWorld();
  if (world == nullptr || IsMarkedForRemoval() || !m_holdsPointer ||
      !m_panel->Contains(m_panel->GetMouseX(), m_panel->GetMouseY()))
    return;
  world->mouseOverUI = 1;
  const int hover = m_panel->GetHover();
  CVerezIvor* park = GetPark();
  if (park == nullptr || hover < 0) return;
  const std::string status = StatusFor(m_panel->GetButtons()[static_cast<size_t>(hover)].command);
  if (!status.empty()) park->SetStatusText(status.c_str());
}
