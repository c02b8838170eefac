// CMouseCursor: the software mouse pointer drawn over each frame.
#pragma once

#include <cstdint>

class CRenderView;

class CMouseCursor {
 public:
  CMouseCursor() = default;
  // Once per world tick. Drawing the pointer comes with the sprite work; nothing is drawn yet.
  void Update() {}
  void Invalidate() { m_drawn = 0; }
  void Draw(CRenderView* view, bool toBackBuffer) {}

 private:
  uint8_t m_drawn = 0;
};
