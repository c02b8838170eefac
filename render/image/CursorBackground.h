// CCursorBackground: the pixels under the software pointer, saved before it is drawn and put back
// before it moves, so the pointer can be redrawn between frames without a new frame.
#pragma once

#include "platform/graphics/Gdi.h"
#include "render/image/Image.h"

class CCursorBackground {
 public:
  CCursorBackground() = default;
  CCursorBackground(const CCursorBackground&) = delete;
  CCursorBackground& operator=(const CCursorBackground&) = delete;

  // Copies rect of the DC into a 15-bit image (a new one when the size changed). False when
  // the rect is empty or the copy fails; nothing is held then.
  bool Save(HDC dc, const RECT& rect);
  // Puts the saved pixels back where they came from and forgets them. False when nothing is held.
  bool Restore(HDC dc);
  bool IsHeld() const { return m_held; }
  const RECT& GetRect() const { return m_rect; }

 private:
  CImageRef m_pixels;
  RECT m_rect = {0, 0, 0, 0};
  bool m_held = false;
};
