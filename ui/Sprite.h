// CSprite: one named picture of a sprite file, with its frames and its screen position.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Win32.h"

class CSprite {
 public:
  CSprite(const std::string& name, int width, int height, int frameCount);

  const std::string& GetName() const { return m_name; }
  // Screen rectangle of the current position (right and bottom exclusive).
  RECT GetBounds() const;
  // Selects a frame; values outside the sprite's frames are clamped to them.
  void SetFrame(int frame);
  int GetFrame() const { return m_frame; }
  int GetFrameCount() const { return m_frameCount; }

  float x = 0.0f;  // position, set before drawing
  float y = 0.0f;

 private:
  std::string m_name;
  int m_width;
  int m_height;
  int m_frameCount;
  int m_frame = 0;
};
