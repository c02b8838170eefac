// CSplashScreenLogic: title frame and the input that dismisses it.
#include "ui/screens/SplashScreenLogic.h"

#include <memory>

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "platform/system/Win32.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"
#include "ui/sprites/DrawSurface.h"
#include "ui/screens/MainScreen.h"
#include "ui/screens/NoticeScreen.h"
#include "ui/sprites/TinyFont.h"

void CSplashScreenLogic::Dismiss() {
  if (IsMarkedForRemoval()) return;
  MarkForRemoval();
  // The front end goes on at the main menu.
  CGameWorld* world = GetGameWorld();
  if (world == nullptr) return;
  world->AddLayerOnTop(std::make_unique<CMainScreen>());
  if (!m_notices.empty()) world->AddLayerOnTop(std::make_unique<CNoticeScreen>(m_notices));
}

void CSplashScreenLogic::HandleInputEvent(const InputEvent& event) {
  const bool escape = event.code == InputEvent::kKey && static_cast<int>(event.x) == VK_ESCAPE;
  if (escape || event.code == InputEvent::kButtonPress) Dismiss();
  CUIActionLayer::HandleInputEvent(event);
}

void CSplashScreenLogic::Update(float dt) {
  // Down now, or pressed and released since the last look.
  if (GetAsyncKeyState(VK_ESCAPE) & 0x8001) Dismiss();
  CUIActionLayer::Update(dt);
}

void CSplashScreenLogic::Draw(CRenderView* view, PixelBufferDesc** locked) {
  CRasterizerInterface* rasterizer = view ? view->GetRasterizer() : nullptr;
  if (rasterizer && locked) {
    // Share the frame's lock with the layers above rather than taking one of our own.
    if (!*locked) *locked = rasterizer->LockBackBuffer();
    if (*locked) {
      DrawSurface surface = MakeDrawSurface(**locked);
      TinyFont::Fill(surface, kBackground);
      const int x = (static_cast<int>(surface.width) - TinyFont::TextWidth(kTitle, kTitleScale)) / 2;
      const int y = (static_cast<int>(surface.height) - TinyFont::kGlyphHeight * kTitleScale) / 2;
      TinyFont::DrawText(surface, x, y, kTitle, kTitleScale, kTitleColour);
    }
  }
  CUIActionLayer::Draw(view, locked);
}
