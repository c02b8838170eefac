// CMouseCursor: timing, placement and drawing of the software pointer.
#include "ui/widgets/MouseCursor.h"

#include "core/world/GameWorld.h"
#include "core/input/InputMan.h"
#include "core/world/WorldAccess.h"
#include "platform/graphics/Gdi.h"
#include "render/image/Image.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"
#include "ui/sprites/DrawSurface.h"
#include "ui/sprites/Sprite.h"
#include "ui/sprites/SpriteFile.h"

CMouseCursor::CMouseCursor() : CMouseCursor(kFile) {}

CMouseCursor::CMouseCursor(const char* path) : m_spriteFile(std::make_unique<CSpriteFile>()) {
  if (m_spriteFile->Load(path)) m_sprite = m_spriteFile->GetSprite("mousecursor");
}

CMouseCursor::~CMouseCursor() = default;

RECT CMouseCursor::EvenRect(const RECT& rect) {
  RECT even = rect;
  if ((static_cast<int64_t>(even.right) - even.left) & 1) ++even.right;
  if ((static_cast<int64_t>(even.bottom) - even.top) & 1) ++even.bottom;
  return even;
}

void CMouseCursor::SetFrame(int frame) {
  if (m_sprite) m_sprite->SetFrame(frame);
}

void CMouseCursor::Update() {
  if (timeGetTime() - m_lastDraw <= kRedrawMs) return;
  CGameWorld* world = GetGameWorld();
  if (world) Draw(world->GetRenderView(), false);
}

void CMouseCursor::Draw(CRenderView* view, bool toBackBuffer) {
  if (!view || !m_sprite || !m_visible) return;
  CRasterizerInterface* rasterizer = view->GetRasterizer();
  if (!rasterizer) return;
  HDC dc = nullptr;
  // The buffer calls answer 0 on success.
  if ((toBackBuffer ? rasterizer->GetBackBufferDC(&dc) : rasterizer->GetFrontBufferDC(&dc)) != 0) dc = nullptr;
  if (!dc) return;

  CGameWorld* world = GetGameWorld();
  CInputMan* input = world ? world->GetInputManager() : nullptr;
  if (input) {
    const POINT at = input->GetMousePos();
    m_sprite->x = static_cast<float>(at.x);
    m_sprite->y = static_cast<float>(at.y);
  }
  // Between frames the front buffer still holds the old pointer: put its background back first.
  // A new frame was drawn over the back buffer, so what was saved there is stale.
  if (!toBackBuffer && m_drawn) m_background.Restore(dc);
  m_rect = EvenRect(m_sprite->GetBounds());
  m_drawn = m_background.Save(dc, m_rect) ? 1 : 0;
  if (m_drawn) DrawPointer(dc);

  if (toBackBuffer) {
    rasterizer->ReleaseBackBufferDC(dc);
  } else {
    rasterizer->ReleaseFrontBufferDC(dc);
  }
  m_lastDraw = timeGetTime();
}

void CMouseCursor::DrawPointer(HDC dc) {
  const int w = m_rect.right - m_rect.left, h = m_rect.bottom - m_rect.top;
  if (m_compose.IsNull() || m_compose->width != w || m_compose->height != h) m_compose = CreateDibImage(w, h, 15);
  if (m_compose.IsNull()) return;
  HDC compose = nullptr;
  m_compose->GetDC(&compose);
  // What lies under the pointer (the background just saved), then the sprite over it.
  BitBlt(compose, 0, 0, w, h, dc, m_rect.left, m_rect.top, SRCCOPY);
  DrawSurface surface{m_compose->pixels, static_cast<uint32_t>(w), static_cast<uint32_t>(h), m_compose->pitch, 15};
  m_sprite->DrawFrame(surface, m_sprite->GetFrame(), 0, 0);
  BitBlt(dc, m_rect.left, m_rect.top, w, h, compose, 0, 0, SRCCOPY);
  m_compose->ReleaseDC();
}
