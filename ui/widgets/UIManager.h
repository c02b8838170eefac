// CUIManager: the widget container of an interface layer; it takes the layer's mouse and key
// input, ticks its widgets and draws them onto the layer's drawing surface.
#pragma once

#include "ui/sprites/DrawSurface.h"

class CUIManager {
 public:
  CUIManager() = default;
  virtual ~CUIManager() = default;

  CUIManager(const CUIManager&) = delete;
  CUIManager& operator=(const CUIManager&) = delete;

  // Mouse position in window pixels and the left-button state (1 down, 0 up).
  virtual void MouseInput(int x, int y, int buttonState);
  // The pointer belongs to a layer above this tick; buttonState is the left button as it is.
  virtual void MouseTakenAbove(int buttonState);
  virtual void KeyInput(int virtualKey, int character);
  virtual void Tick(float milliseconds);
  virtual void Draw(DrawSurface& surface);

  // What the manager last saw, for layers that react to it before widgets exist.
  int GetMouseX() const { return m_mouseX; }
  int GetMouseY() const { return m_mouseY; }
  int GetButtonState() const { return m_buttonState; }
  int GetLastKey() const { return m_lastKey; }

 private:
  int m_mouseX = 0;
  int m_mouseY = 0;
  int m_buttonState = 0;
  int m_lastKey = 0;
};
