// CInputMan: the input manager: queued input events for the layers, cursor position and button state.
#pragma once

#include <cstdint>
#include <vector>

#include "core/InputEvent.h"
#include "platform/Win32.h"

class CInputMan {
 public:
  static constexpr uint32_t kPendingLimit = 100;

  CInputMan();
  ~CInputMan();
  CInputMan(const CInputMan&) = delete;
  CInputMan& operator=(const CInputMan&) = delete;

  // Binds the manager to the main window. The window hooks and joystick timer come with the
  // platform input work; until then events arrive through QueueEvent.
  bool Init(HINSTANCE instance, HWND window);
  void Shutdown();

  // While set, keys and mouse produce no game-action events and the cursor is never warped.
  void SetFrontEndMode(bool on) { m_frontEndMode = on ? 1 : 0; }
  bool IsFrontEndMode() const { return m_frontEndMode != 0; }

  // Once per world tick, before the events are taken.
  void BeginFrame();
  // Moves every queued event, in order, to the end of the caller's list.
  void TakeEvents(std::vector<InputEvent>& out);
  // Appends an event to the queue (what the window hooks do); events past the limit are dropped.
  void QueueEvent(const InputEvent& event);
  size_t GetQueuedCount() const { return m_events.size(); }

  // Refreshes the client-area cursor position from the platform and returns it.
  POINT GetMousePos();
  // button 0 left, 1 right, 2 middle.
  bool IsButtonDown(int button) const { return button >= 0 && button < 3 && m_buttonDown[button] != 0; }
  void SetButtonDown(int button, bool down);

  HWND GetWindow() const { return m_window; }

 private:
  HINSTANCE m_instance = nullptr;
  HWND m_window = nullptr;
  POINT m_cursor = {0, 0};
  std::vector<InputEvent> m_events;
  uint8_t m_buttonDown[3] = {0, 0, 0};
  uint8_t m_frontEndMode = 0;
};

// The one input manager (set by its constructor, cleared by its destructor).
CInputMan* GetInputMan();
