// CSprite: bounds and frame selection.
#include "ui/Sprite.h"

CSprite::CSprite(const std::string& name, int width, int height, int frameCount)
    : m_name(name), m_width(width < 0 ? 0 : width), m_height(height < 0 ? 0 : height),
      m_frameCount(frameCount < 1 ? 1 : frameCount) {}

RECT CSprite::GetBounds() const {
  RECT r;
  r.left = static_cast<LONG>(x);
  r.top = static_cast<LONG>(y);
  r.right = r.left + m_width;
  r.bottom = r.top + m_height;
  return r;
}

void CSprite::SetFrame(int frame) {
  if (frame < 0) frame = 0;
  if (frame >= m_frameCount) frame = m_frameCount - 1;
  m_frame = frame;
}
