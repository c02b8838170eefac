// CUIManager: the widget container of an interface layer; it takes the layer's mouse and key
// input, ticks its widgets and draws them onto the layer's drawing surface.
#pragma once

#include <memory>
#include <vector>

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
  // Draws the widgets shown with this one (a bare container has nothing else to draw).
  virtual void Draw(DrawSurface& surface);

  // A widget shown with this one, such as a display beside a panel: drawn after it and under
  // the pointer wherever it is drawn, so that clicks on it never reach what lies below. It takes
  // no input: it holds nothing to press.
  void AddWidget(std::unique_ptr<CUIManager> widget);
  // Whether this widget, or one shown with it, is drawn at the point (window pixels).
  bool Contains(int x, int y) const { return ContainsOwn(x, y) || WidgetsContain(x, y); }
  // The same for the widgets shown with this one only.
  bool WidgetsContain(int x, int y) const;
  void DrawWidgets(DrawSurface& surface);

  // What the manager last saw, for layers that react to it before widgets exist.
  int GetMouseX() const { return m_mouseX; }
  int GetMouseY() const { return m_mouseY; }
  int GetButtonState() const { return m_buttonState; }
  int GetLastKey() const { return m_lastKey; }

 protected:
  // Whether the point lies on what this widget itself draws.
  virtual bool ContainsOwn(int x, int y) const { return false; }

 private:
  std::vector<std::unique_ptr<CUIManager>> m_widgets;
  int m_mouseX = 0;
  int m_mouseY = 0;
  int m_buttonState = 0;
  int m_lastKey = 0;
};
