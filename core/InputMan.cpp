#include "core/InputMan.h"

namespace {
CInputMan* g_inputMan = nullptr;
}

CInputMan* GetInputMan() { return g_inputMan; }

CInputMan::CInputMan() {
  m_events.reserve(kPendingLimit);
  g_inputMan = this;
}

CInputMan::~CInputMan() {
  Shutdown();
  if (g_inputMan == this) g_inputMan = nullptr;
}

bool CInputMan::Init(HINSTANCE instance, HWND window) {
  m_instance = instance;
  m_window = window;
  GetMousePos();
  return true;
}

void CInputMan::Shutdown() { m_events.clear(); }

void CInputMan::BeginFrame() {}

void CInputMan::TakeEvents(std::vector<InputEvent>& out) {
  out.insert(out.end(), m_events.begin(), m_events.end());
  m_events.clear();
}

void CInputMan::QueueEvent(const InputEvent& event) {
  // A stalled consumer must not let the queue grow without bound.
  if (m_events.size() >= kPendingLimit) return;
  m_events.push_back(event);
}

POINT CInputMan::GetMousePos() {
  POINT p = {0, 0};
  if (GetCursorPos(&p)) {
    if (m_window != nullptr) ScreenToClient(m_window, &p);
    m_cursor = p;
  }
  return m_cursor;
}

void CInputMan::SetButtonDown(int button, bool down) {
  if (button >= 0 && button < 3) m_buttonDown[button] = down ? 1 : 0;
}
