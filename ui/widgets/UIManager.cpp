// CUIManager: input, tick and drawing of an interface layer's widgets.
#include "ui/widgets/UIManager.h"

void CUIManager::MouseInput(int x, int y, int buttonState) {
  m_mouseX = x;
  m_mouseY = y;
  m_buttonState = buttonState;
}

void CUIManager::MouseTakenAbove(int buttonState) { m_buttonState = buttonState; }

void CUIManager::KeyInput(int virtualKey, int character) { m_lastKey = virtualKey; }

// The container holds no widgets yet, so there is nothing to animate or draw.
void CUIManager::Tick(float milliseconds) {}

void CUIManager::Draw(DrawSurface& surface) {}
