// CMouseCursor: the software mouse pointer drawn over each frame and, between frames, on the front buffer.
#pragma once

#include <cstdint>
#include <memory>

#include "core/services/WorldPointer.h"
#include "platform/system/Win32.h"
#include "render/image/CursorBackground.h"

class CRenderView;
class CSprite;
class CSpriteFile;

class CMouseCursor : public CWorldPointer {
 public:
  static constexpr const char* kFile = "data/ui/global/mousecursor.bin";
  // Between frames the pointer is redrawn at most this often.
  static constexpr uint32_t kRedrawMs = 30;

  // Loads the pointer's sprite file and takes its sprite "mousecursor"; without the file the
  // pointer is null and nothing is drawn.
  CMouseCursor();
  explicit CMouseCursor(const char* path);
  ~CMouseCursor() override;
  CMouseCursor(const CMouseCursor&) = delete;
  CMouseCursor& operator=(const CMouseCursor&) = delete;

  // Once per world tick: redraws on the front buffer when kRedrawMs have passed since the last draw.
  void Update() override;
  // The saved background is stale (a new frame was rendered over it).
  void Invalidate() override { m_drawn = 0; }
  // Draws the pointer at the mouse position onto the back or the front buffer of the view's renderer.
  void Draw(CRenderView* view, bool toBackBuffer) override;
  // Selects the pointer shape (the sprite's frame).
  void SetFrame(int frame) override;
  void SetVisible(bool visible) override { m_visible = visible; }
  bool IsVisible() const override { return m_visible; }

  CSprite* GetSprite() const { return m_sprite; }
  const RECT& GetRect() const { return m_rect; }
  bool IsDrawn() const { return m_drawn != 0; }
  uint32_t GetLastDraw() const { return m_lastDraw; }

  // The rectangle widened by one pixel on the right and/or bottom where needed, so that width
  // and height are even (the save-under images are made in 15-bit pixels, two to a word).
  static RECT EvenRect(const RECT& rect);

 private:
  // The pointer over the saved background, put on the DC through the compose image in one copy.
  void DrawPointer(HDC dc);

  std::unique_ptr<CSpriteFile> m_spriteFile;
  CCursorBackground m_background;  // the pixels under the pointer
  CImageRef m_compose;             // the background with the pointer drawn over it
  CSprite* m_sprite = nullptr;
  uint8_t m_drawn = 0;
  RECT m_rect = {0, 0, 0, 0};
  uint32_t m_lastDraw = 0;
  bool m_visible = true;
};
