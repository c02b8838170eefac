// CSprite: bounds, frame selection and drawing a frame with the image library's blitters.
#include "ui/sprites/Sprite.h"

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

bool CSprite::SetImage(const CImageRef& image) {
  if (image.IsNull()) return false;
  const CImage* picture = image.Get();
  if (picture->width != m_width * m_frameCount || picture->height != m_height) return false;
  m_image = image;
  return true;
}

bool CSprite::DrawFrame(DrawSurface& surface, int frame, int x0, int y0) const {
  if (m_image.IsNull() || surface.pixels == nullptr || frame < 0 || frame >= m_frameCount || m_width == 0 ||
      m_height == 0)
    return false;
  CImage* picture = m_image.Get();
  const int depth = static_cast<int>(surface.bitsPerPixel);
  // The own formats draw their stored colours into 16-bit surfaces as they are.
  if ((depth == 15 || depth == 16) && picture->depth != depth) picture->SetBitDepth(depth);
  const RawSurface target{static_cast<uint8_t*>(surface.pixels), static_cast<int>(surface.width),
                          static_cast<int>(surface.height), surface.pitch, depth};
  const ImageRect src{frame * m_width, 0, frame * m_width + m_width - 1, m_height - 1};
  const ImageRect dst{x0, y0, x0 + m_width - 1, y0 + m_height - 1};
  return picture->BltImageRect(target, src, dst) != 0;
}

bool CSprite::Draw(DrawSurface& surface) const {
  return DrawFrame(surface, m_frame, static_cast<int>(x), static_cast<int>(y));
}
