// CSprite: one named picture of a sprite file, with its frames and its screen position.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system/Win32.h"
#include "render/image/Image.h"
#include "ui/sprites/DrawSurface.h"

class CSprite {
 public:
  // width and height are those of one frame.
  CSprite(const std::string& name, int width, int height, int frameCount);

  const std::string& GetName() const { return m_name; }
  // Screen rectangle of the current position (right and bottom exclusive).
  RECT GetBounds() const;
  // Selects a frame; values outside the sprite's frames are clamped to them.
  void SetFrame(int frame);
  int GetFrame() const { return m_frame; }
  int GetFrameCount() const { return m_frameCount; }
  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }

  // The picture holding the frames side by side. An image whose width is not frame count x
  // frame width, or whose height differs, is refused (false) and the sprite keeps what it had.
  bool SetImage(const CImageRef& image);
  bool HasImage() const { return !m_image.IsNull(); }
  const CImageRef& GetImage() const { return m_image; }
  // For an alphabet: the character of frame 0.
  void SetFirstCode(int code) { m_firstCode = code; }
  int GetFirstCode() const { return m_firstCode; }

  // Draws a frame with its top-left corner at (x, y), clipped to the surface. The picture is
  // first converted to a 15- or 16-bit surface's pixel format. False when nothing could be drawn.
  bool DrawFrame(DrawSurface& surface, int frame, int x, int y) const;
  // The current frame at the sprite's position.
  bool Draw(DrawSurface& surface) const;

  float x = 0.0f;  // position, set before drawing
  float y = 0.0f;

 private:
  std::string m_name;
  int m_width;
  int m_height;
  int m_frameCount;
  int m_frame = 0;
  int m_firstCode = 0;
  CImageRef m_image;
};
