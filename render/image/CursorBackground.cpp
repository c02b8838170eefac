// CCursorBackground: two blits through the saved image's memory DC.
#include "render/image/CursorBackground.h"

bool CCursorBackground::Save(HDC dc, const RECT& rect) {
  m_held = false;
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (!dc || w <= 0 || h <= 0) return false;
  if (m_pixels.IsNull() || m_pixels->width != w || m_pixels->height != h) m_pixels = CreateDibImage(w, h, 15);
  if (m_pixels.IsNull()) return false;
  HDC saved = nullptr;
  m_pixels->GetDC(&saved);
  const BOOL ok = BitBlt(saved, 0, 0, w, h, dc, rect.left, rect.top, SRCCOPY);
  m_pixels->ReleaseDC();
  m_rect = rect;
  m_held = ok != FALSE;
  return m_held;
}

bool CCursorBackground::Restore(HDC dc) {
  if (!m_held || !dc) return false;
  HDC saved = nullptr;
  m_pixels->GetDC(&saved);
  const BOOL ok = BitBlt(dc, m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, saved, 0,
                         0, SRCCOPY);
  m_pixels->ReleaseDC();
  m_held = false;
  return ok != FALSE;
}

