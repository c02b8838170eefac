// CUIManager: input, tick and drawing of an interface layer's widgets.
#include "ui/widgets/UIManager.h"

void CUIManager::MouseInput(int x, int y, int buttonState) {
  m_mouseX = x;
  m_mouseY = y;
  m_buttonState = buttonState;
}

void CUIManager::MouseTakenAbove(int buttonState) { m_buttonState = buttonState; }

void CUIManager::KeyInput(int virtualKey, int character) { m_lastKey = virtualKey; }

// The widgets shown with a container take no input, so there is nothing to animate.
void CUIManager::Tick(float milliseconds) {}

void CUIManager::Draw(DrawSurface& surface) { DrawWidgets(surface); }

void CUIManager::AddWidget(std::unique_ptr<CUIManager> widget) {
  if (widget != nullptr && widget.get() != this) m_widgets.push_back(std::move(widget));
}

bool CUIManager::WidgetsContain(int x, int y) const {
  for (const std::unique_ptr<CUIManager>& widget : m_widgets)
    if (widget->Contains(x, y)) return true;
  return false;
}

void CUIManager::DrawWidgets(DrawSurface& surface) {
  for (const std::unique_ptr<CUIManager>& widget : m_widgets) widget->Draw(surface);
}
