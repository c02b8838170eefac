// CInputMan: the input manager: keyboard and mouse hooks, game-action events through the key
// bindings, the joystick poll on the timer thread, mouse filtering and the cursor helpers.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "core/input/InputEvent.h"
#include "core/math/Vector2.h"
#include "platform/system/Win32.h"

// One cell of the key table: input code 'code' of device slot 'slot' drives game action 'action'.
struct InputBinding {
  uint32_t slot = 0;
  uint32_t code = 0;
  uint32_t action = 0;
  uint32_t reserved[3] = {0, 0, 0};  // the manager's own words; nothing reads them yet
};

class CInputMan {
 public:
  static constexpr uint32_t kPendingLimit = 100;

  // Device slots of the key table and their input codes.
  static constexpr uint32_t kKeyboardSlot = 1;  // codes: virtual keys
  static constexpr uint32_t kMouseSlot = 2;
  static constexpr uint32_t kJoystick0Slot = 3;
  static constexpr uint32_t kJoystick1Slot = 4;
  static constexpr uint32_t kMouseLeft = 1, kMouseRight = 2, kMouseMiddle = 3;
  static constexpr uint32_t kMoveLeft = 6, kMoveRight = 7, kMoveUp = 8, kMoveDown = 9;
  // Joystick codes: buttons 1 to 32, then axis directions 33 (X towards its minimum), 34 (X towards
  // its maximum), 35/36 Y, 37/38 Z, 39/40 R, 41/42 U, 43/44 V.
  static constexpr uint32_t kFirstAxisCode = 33;
  static constexpr uint32_t kLastAxisCode = 44;

  CInputMan();
  ~CInputMan();
  CInputMan(const CInputMan&) = delete;
  CInputMan& operator=(const CInputMan&) = delete;

  // Installs the keyboard and mouse hooks for the calling (main) thread, finds the joysticks and,
  // when one is present, starts the 20 ms poll on the timer thread.
  bool Init(HINSTANCE instance, HWND window);
  // Stops the poll, removes the hooks and drops every queued event and binding.
  void Shutdown();

  // While set, keys and mouse produce no game-action events and the cursor is never warped.
  void SetFrontEndMode(bool on) { m_frontEndMode.store(on); }
  bool IsFrontEndMode() const { return m_frontEndMode.load(); }
  // While set, keys that type text produce no game-action events.
  void SetTextEntry(bool on) { m_textEntry = on ? 1 : 0; }
  bool IsTextEntry() const { return m_textEntry != 0; }

  // The key table, as the settings hand it over.
  void ClearBindings();
  void AddBinding(uint32_t slot, uint32_t code, uint32_t action);
  size_t GetBindingCount() const { return m_bindings.size(); }
  // Mouse sensitivity: a scale s limits one frame's movement to 40 - 38 s pixels.
  void SetMouseScales(float horizontal, float vertical);
  float GetHorizontalScale() const { return m_horizontalScale; }
  float GetVerticalScale() const { return m_verticalScale; }

  // Once per world tick, on the main thread: filters the mouse, refreshes the cursor and moves
  // the joystick events into the queue.
  void BeginFrame();
  // Moves every queued event, in order, to the end of the caller's list.
  void TakeEvents(std::vector<InputEvent>& out);
  // Appends an event to the queue as if input had made it (scripted input and tests); events past
  // the pending limit are dropped, so a stalled consumer cannot grow it without bound.
  void QueueEvent(const InputEvent& event);
  size_t GetQueuedCount() const { return m_events.size(); }

  // What the hooks and the mouse filter report, on the main thread: a key, button or movement of a
  // device slot went down or up. Makes the key event for text and the bound action events.
  void AddInput(uint32_t slot, uint32_t code, bool up, float x, float y, float value);
  // What the joystick poll reports, from the timer thread: the bound action events wait in the
  // pending list (at most kPendingLimit) until the next BeginFrame.
  void AddPendingInput(uint32_t slot, uint32_t code, bool up, float value);
  size_t GetPendingCount() const;
  // One joystick poll: the timer's procedure, every 20 ms.
  void PollJoysticks();

  // The largest current value (0 to 1) of a game action over device slots 1 to 4, through the
  // active settings' key table.
  float GetActionValue(uint32_t action) const;
  // The value (0 to 1) of a joystick axis direction code in a joystick state.
  static float AxisValue(const JOYCAPSA& caps, const JOYINFOEX& state, uint32_t code);

  // Refreshes the client-area cursor position from the platform and returns it.
  POINT GetMousePos();
  // The cursor relative to the client centre, scaled by half the larger client side: -1 to 1 across it.
  Vector2 GetNormalizedMousePos();
  // The cursor position as a fraction of the client width and height.
  Vector2 GetMouseFraction();
  // How far the cursor lies outside the centred rectangle of fx and fy times the half client sides,
  // in pixels over the larger client side; 0 inside.
  Vector2 GetEdgeScroll(float fx, float fy);
  // The filtered movement of the last frame, each component in -1 to 1.
  Vector2 GetMouseDelta() const { return Vector2(m_filteredDx, m_filteredDy); }

  // Holds the cursor in place for this frame while movement still accumulates.
  void LockCursor() { m_cursorLock = 1; }
  // Warps the cursor to a client point when the window is in the foreground outside front-end mode.
  void SetCursorPos(int x, int y);
  void CenterCursor();
  // Keeps the cursor inside the rectangle of GetEdgeScroll when the window is in the foreground.
  void ClampCursor(float fx, float fy);
  void ShowCursor(bool show);

  static bool IsTextKey(uint32_t virtualKey);
  bool AnyJoystickPresent() const { return m_joyPresent[0] != 0 || m_joyPresent[1] != 0; }

  // button 0 left, 1 right, 2 middle.
  bool IsButtonDown(int button) const { return button >= 0 && button < 3 && m_buttonDown[button] != 0; }
  void SetButtonDown(int button, bool down);

  HWND GetWindow() const { return m_window; }

 private:
  static LRESULT KeyboardHook(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT MouseHook(int code, WPARAM wParam, LPARAM lParam);
  static void JoystickTimer(UINT timerId, UINT message, DWORD_PTR user, DWORD_PTR, DWORD_PTR);

  void OnMouseButton(UINT message, POINT screen);
  void AppendBoundActions(uint32_t slot, uint32_t code, bool up, float x, float y, float value, bool skipTextKeys);
  void AddPendingLocked(uint32_t slot, uint32_t code, bool up, float value);
  void PollJoystickLocked(int index, const JOYINFOEX& now);
  float DeviceValue(uint32_t slot, uint32_t code) const;
  void FilterMouse();
  void RefreshCursor();
  POINT ReadCursor() const;
  void WarpTo(POINT client);
  bool IsForeground() const;
  void ClientSize(int* width, int* height) const;
  // The cursor with the client size it is measured against, read in that order (0 x 0 without a window).
  POINT MouseInClient(int* width, int* height);
  void ReleasePlatform();

  HINSTANCE m_instance = nullptr;
  HWND m_window = nullptr;
  HHOOK m_keyboardHook = nullptr;
  HHOOK m_mouseHook = nullptr;
  MMRESULT m_timer = 0;
  uint32_t m_pendingLimit = kPendingLimit;
  POINT m_cursor = {0, 0};
  int32_t m_rawDx = 0;
  int32_t m_rawDy = 0;
  float m_filteredDx = 0.0f;
  float m_filteredDy = 0.0f;
  std::vector<InputBinding> m_bindings;  // written on the main thread under m_pendingMutex
  std::vector<InputEvent> m_events;
  uint8_t m_buttonDown[3] = {0, 0, 0};
  std::atomic<bool> m_frontEndMode{false};  // read by the timer thread
  uint8_t m_textEntry = 0;
  uint8_t m_cursorLock = 0;
  float m_verticalScale = 1.0f;
  float m_horizontalScale = 1.0f;
  JOYINFOEX m_joyState[2];  // guarded by m_pendingMutex
  JOYCAPSA m_joyCaps[2];    // written by Init before the poll starts
  uint8_t m_joyPresent[2] = {0, 0};
  std::vector<InputEvent> m_pending;  // guarded by m_pendingMutex; capacity kPendingLimit
  // The timer thread and the main thread share the pending list, the joystick states and the
  // bindings; the lock is held for a few copies only.
  mutable std::mutex m_pendingMutex;
};

// The one input manager (set by its constructor, cleared by its destructor).
CInputMan* GetInputMan();
