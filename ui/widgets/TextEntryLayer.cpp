// CTextEntryLayer: typed keys into the line, the rest to the panel.
#include "ui/widgets/TextEntryLayer.h"

#include "core/input/InputEvent.h"
#include "core/input/InputMan.h"
#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"

namespace {
CInputMan* Input() {
  const CGameWorld* world = GetGameWorld();
  return world != nullptr && world->GetInputManager() != nullptr ? world->GetInputManager() : GetInputMan();
}
}  // namespace

CTextEntryLayer::CTextEntryLayer(std::string text, size_t limit) : m_field(std::move(text), limit) {
  // In a game the letters are also the controller's keys: while a name is typed they only type.
  if (CInputMan* input = Input()) {
    m_wasTextEntry = input->IsTextEntry();
    input->SetTextEntry(true);
  }
}

CTextEntryLayer::~CTextEntryLayer() {
  if (CInputMan* input = Input()) input->SetTextEntry(m_wasTextEntry);
}

void CTextEntryLayer::HandleInputEvent(const InputEvent& event) {
  if (event.code == InputEvent::kKey && !IsMarkedForRemoval() && TakesText() &&
      m_field.Type(static_cast<int>(event.x), static_cast<int>(event.y))) {
    OnTextChanged();
    return;
  }
  CMenuLayer::HandleInputEvent(event);
}
