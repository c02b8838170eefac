#include "ui/widgets/UIActionLayer.h"

#include <cmath>
#include <cstdint>

#include "core/world/GameWorld.h"
#include "core/input/InputMan.h"
#include "core/world/WorldAccess.h"
#include "render/image/ColourDepth.h"
#include "render/view/PixelBufferDesc.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"
#include "ui/sprites/DrawSurface.h"
#include "ui/sprites/SpriteFile.h"
#include "ui/widgets/UIManager.h"

// Event positions are floats from the input manager; anything outside the int range is clamped
// rather than converted with undefined results.
int CUIActionLayer::ToPixel(float v) {
  if (std::isnan(v)) return 0;
  if (v <= -2147483648.0f) return INT32_MIN;
  if (v >= 2147483648.0f) return INT32_MAX;
  return static_cast<int>(v);
}

CUIActionLayer::CUIActionLayer() : m_uiManager(std::make_unique<CUIManager>()), m_layout(std::make_unique<CSpriteFile>()) {}

CUIActionLayer::~CUIActionLayer() = default;

void CUIActionLayer::HandleMouse(int x, int y, int buttonState) {
  if (m_uiManager == nullptr) return;
  const CGameWorld* world = GetGameWorld();
  // A layer above has the mouse this tick, or a modal one took the input: the widgets only learn
  // the button state, so that a press made up there is not taken for one here once it has gone.
  if ((world != nullptr && world->mouseOverUI != 0) || m_inputBlocked != 0) {
    m_uiManager->MouseTakenAbove(buttonState);
    return;
  }
  m_uiManager->MouseInput(x, y, buttonState);
}

void CUIActionLayer::Update(float dt) {
  if (IsMarkedForRemoval()) return;
  const CGameWorld* world = GetGameWorld();
  CInputMan* input = world != nullptr && world->GetInputManager() != nullptr ? world->GetInputManager() : GetInputMan();
  if (input != nullptr) {
    // Every tick, so hovering is tracked even without button events.
    const POINT pos = input->GetMousePos();
    HandleMouse(pos.x, pos.y, input->IsButtonDown(0) ? 1 : 0);
  }
  if (m_uiManager != nullptr) m_uiManager->Tick(dt * 1000.0f);
}

void CUIActionLayer::HandleInputEvent(const InputEvent& event) {
  switch (event.code) {
    case InputEvent::kButtonPress:
      HandleMouse(ToPixel(event.x), ToPixel(event.y), 1);
      break;
    case InputEvent::kButtonRelease:
      HandleMouse(ToPixel(event.x), ToPixel(event.y), 0);
      break;
    case InputEvent::kKey:
      if (m_uiManager != nullptr) m_uiManager->KeyInput(ToPixel(event.x), ToPixel(event.y));
      break;
    default:
      break;
  }
}

void CUIActionLayer::ClearFrame(CRenderView* view, PixelBufferDesc** locked) {
  CRasterizerInterface* r = view != nullptr ? view->GetRasterizer() : nullptr;
  if (r == nullptr || locked == nullptr || m_clearScreen == 0) return;
  if (*locked != nullptr) {
    r->UnlockBackBuffer();
    *locked = nullptr;
  }
  r->Clear(true, true, 0);
}

bool CUIActionLayer::LockSurface(CRenderView* view, PixelBufferDesc** locked, DrawSurface& out) {
  CRasterizerInterface* r = view != nullptr ? view->GetRasterizer() : nullptr;
  if (r == nullptr || locked == nullptr) return false;
  // Interface layers share one lock of the back buffer per frame.
  if (*locked == nullptr) *locked = r->LockBackBuffer();
  if (*locked == nullptr) return false;
  out = MakeDrawSurface(**locked);
  return true;
}

void CUIActionLayer::Draw(CRenderView* view, PixelBufferDesc** locked) {
  CRasterizerInterface* r = view != nullptr ? view->GetRasterizer() : nullptr;
  if (r == nullptr || locked == nullptr) return;
  ClearFrame(view, locked);
  DrawSurface surface;
  if (m_uiManager == nullptr || !LockSurface(view, locked, surface)) return;
  if (surface.bitsPerPixel == 15 || surface.bitsPerPixel == 16) SetColourDepth(surface.bitsPerPixel);
  if (m_layout != nullptr) m_layout->Reload();  // re-reads only when the colour depth changed
  DrawSurface target = surface;
  m_uiManager->Draw(target);
}
