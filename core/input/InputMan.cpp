#include "core/input/InputMan.h"

#include <algorithm>
#include <cstring>

#include "core/input/Settings.h"

namespace {

CInputMan* g_inputMan = nullptr;
// The instance whose hooks are installed: hook procedures get no pointer of their own.
CInputMan* g_hookedInputMan = nullptr;

constexpr UINT kPollMilliseconds = 20;
constexpr UINT kPollResolution = 5;
constexpr int kMaxJoystickButtons = 32;
constexpr float kAxisOn = 0.5f;

bool ShiftDown() { return (GetKeyState(VK_SHIFT) & 0x8000) != 0; }

// The character a text key types.
uint32_t CharacterOf(uint32_t key) {
  const bool shift = ShiftDown();
  if (key >= '0' && key <= '9') return shift ? static_cast<uint8_t>(")!@#$%^&*("[key - '0']) : key;
  if (key >= 'A' && key <= 'Z') {
    // Caps Lock counts while it is on (its toggle), not when it was merely pressed lately.
    const bool capsOn = (GetKeyState(VK_CAPITAL) & 1) != 0;
    return shift || capsOn ? key : key + 32;
  }
  // Punctuation keys carry codes above 127; the text gets the characters on their caps.
  switch (key) {
    case VK_OEM_COMMA: return shift ? '<' : ',';
    case VK_OEM_MINUS: return shift ? '_' : '-';
    case VK_OEM_PERIOD: return shift ? '>' : '.';
    case VK_OEM_2: return shift ? '?' : '/';
    case VK_OEM_7: return shift ? '"' : '\'';
    default: return key;  // Space, Enter and Backspace are their own characters
  }
}

// Movement amounts of the mouse codes 6 to 9 for a filtered movement.
float MoveAmount(uint32_t code, float dx, float dy) {
  switch (code) {
    case CInputMan::kMoveLeft: return dx < 0.0f ? -dx : 0.0f;
    case CInputMan::kMoveRight: return dx > 0.0f ? dx : 0.0f;
    case CInputMan::kMoveUp: return dy < 0.0f ? -dy : 0.0f;
    case CInputMan::kMoveDown: return dy > 0.0f ? dy : 0.0f;
    default: return 0.0f;
  }
}

// One frame's movement limit in pixels. A scale near or past 40/38 would leave no room (or a
// negative limit, which inverts the clamp and divides by zero): at least one pixel remains.
float MovementLimit(float scale) { return std::max(1.0f, 40.0f - scale * 38.0f); }

float Clamp(float v, float lo, float hi) { return std::min(hi, std::max(lo, v)); }

JOYINFOEX EmptyJoyInfo() {
  JOYINFOEX info;
  std::memset(&info, 0, sizeof(info));
  info.dwSize = sizeof(info);
  info.dwFlags = JOY_RETURNALL;
  return info;
}

}  // namespace

CInputMan* GetInputMan() { return g_inputMan; }

CInputMan::CInputMan() {
  std::memset(m_joyState, 0, sizeof(m_joyState));
  std::memset(m_joyCaps, 0, sizeof(m_joyCaps));
  m_pending.reserve(kPendingLimit);
  m_cursor = ReadCursor();
  g_inputMan = this;
}

CInputMan::~CInputMan() {
  Shutdown();
  if (g_inputMan == this) g_inputMan = nullptr;
}

bool CInputMan::Init(HINSTANCE instance, HWND window) {
  ReleasePlatform();
  m_instance = instance;
  m_window = window;
  m_cursor = ReadCursor();
  const DWORD thread = GetCurrentThreadId();
  m_keyboardHook = SetWindowsHookExA(WH_KEYBOARD, KeyboardHook, instance, thread);
  m_mouseHook = SetWindowsHookExA(WH_MOUSE, MouseHook, instance, thread);
  g_hookedInputMan = this;

  // No poll runs yet, so the records need no lock. The first reading is kept as the state, so
  // buttons held and sticks at rest at start-up make no events on the first poll.
  std::memset(m_joyCaps, 0, sizeof(m_joyCaps));
  for (int j = 0; j < 2; ++j) {
    JOYINFOEX info = EmptyJoyInfo();
    m_joyPresent[j] = joyGetPosEx(static_cast<UINT>(j), &info) == JOYERR_NOERROR ? 1 : 0;
    m_joyState[j] = m_joyPresent[j] ? info : EmptyJoyInfo();
    if (joyGetDevCapsA(static_cast<UINT>(j), &m_joyCaps[j], sizeof(JOYCAPSA)) != JOYERR_NOERROR) {
      std::memset(&m_joyCaps[j], 0, sizeof(JOYCAPSA));
    }
  }
  if (AnyJoystickPresent()) {
    m_timer = timeSetEvent(kPollMilliseconds, kPollResolution, JoystickTimer, reinterpret_cast<DWORD_PTR>(this),
                           TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
    if (m_timer == 0) OutputDebugStringA("CInputMan: the joystick timer could not start\n");
  }
  return m_keyboardHook != nullptr && m_mouseHook != nullptr;
}

void CInputMan::ReleasePlatform() {
  // The timer goes first: once timeKillEvent returns, no poll touches this object.
  if (m_timer != 0) timeKillEvent(m_timer);
  m_timer = 0;
  if (m_keyboardHook) UnhookWindowsHookEx(m_keyboardHook);
  if (m_mouseHook) UnhookWindowsHookEx(m_mouseHook);
  m_keyboardHook = nullptr;
  m_mouseHook = nullptr;
  if (g_hookedInputMan == this) g_hookedInputMan = nullptr;
}

void CInputMan::Shutdown() {
  ReleasePlatform();
  std::lock_guard<std::mutex> lock(m_pendingMutex);
  m_events.clear();
  m_pending.clear();
  m_bindings.clear();
}

void CInputMan::ClearBindings() {
  std::lock_guard<std::mutex> lock(m_pendingMutex);
  m_bindings.clear();
}

void CInputMan::AddBinding(uint32_t slot, uint32_t code, uint32_t action) {
  InputBinding binding;
  binding.slot = slot;
  binding.code = code;
  binding.action = action;
  std::lock_guard<std::mutex> lock(m_pendingMutex);
  m_bindings.push_back(binding);
}

void CInputMan::SetMouseScales(float horizontal, float vertical) {
  m_horizontalScale = horizontal;
  m_verticalScale = vertical;
}

// --- Hooks ---------------------------------------------------------------------------------

LRESULT CInputMan::KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
  CInputMan* self = g_hookedInputMan;
  if (self == nullptr) return 0;
  if (code == HC_ACTION) {
    const uint32_t flags = static_cast<uint32_t>(lParam);
    const bool up = (flags & 0x80000000u) != 0;
    const bool repeat = !up && (flags & 0x40000000u) != 0;  // auto-repeat of a held key
    if (!repeat) self->AddInput(kKeyboardSlot, static_cast<uint32_t>(wParam), up, -1.0f, -1.0f, 1.0f);
  }
  return CallNextHookEx(self->m_keyboardHook, code, wParam, lParam);
}

LRESULT CInputMan::MouseHook(int code, WPARAM wParam, LPARAM lParam) {
  CInputMan* self = g_hookedInputMan;
  if (self == nullptr) return 0;
  const MOUSEHOOKSTRUCT* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
  if (code == HC_ACTION && info != nullptr) self->OnMouseButton(static_cast<UINT>(wParam), info->pt);
  return CallNextHookEx(self->m_mouseHook, code, wParam, lParam);
}

void CInputMan::OnMouseButton(UINT message, POINT screen) {
  int button = -1;
  bool up = false;
  switch (message) {
    case WM_LBUTTONDOWN: button = 0; break;
    case WM_LBUTTONUP: button = 0; up = true; break;
    case WM_RBUTTONDOWN: button = 1; break;
    case WM_RBUTTONUP: button = 1; up = true; break;
    case WM_MBUTTONDOWN: button = 2; break;
    case WM_MBUTTONUP: button = 2; up = true; break;
    default: return;  // movement is read from the cursor each frame
  }
  m_buttonDown[button] = up ? 0 : 1;
  POINT client = screen;
  if (m_window != nullptr) ScreenToClient(m_window, &client);
  const float x = static_cast<float>(client.x);
  const float y = static_cast<float>(client.y);
  AddInput(kMouseSlot, kMouseLeft + static_cast<uint32_t>(button), up, x, y, 1.0f);
  if (button == 0) {
    InputEvent raw;
    raw.code = up ? InputEvent::kButtonRelease : InputEvent::kButtonPress;
    raw.x = x;
    raw.y = y;
    raw.value = 1.0f;
    m_events.push_back(raw);
  }
}

// --- Events --------------------------------------------------------------------------------

bool CInputMan::IsTextKey(uint32_t key) {
  if (key == VK_SPACE || key == VK_RETURN || key == VK_BACK) return true;
  if ((key >= 188 && key <= 191) || key == 222) return true;  // comma, minus, full stop, slash, quote
  return (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z');
}

void CInputMan::AddInput(uint32_t slot, uint32_t code, bool up, float x, float y, float value) {
  // Only keyboard codes are virtual keys: mouse code 8 (up movement) is no Backspace.
  const bool textKey = slot == kKeyboardSlot && IsTextKey(code);
  if (textKey && !up) {
    InputEvent key;
    key.code = InputEvent::kKey;
    key.x = static_cast<float>(code);
    key.y = static_cast<float>(CharacterOf(code));
    key.value = value;
    m_events.push_back(key);
  }
  if (m_textEntry) {
    AppendBoundActions(slot, code, up, x, y, value, true);
  } else if (!IsFrontEndMode()) {
    AppendBoundActions(slot, code, up, x, y, value, false);
  }
}

void CInputMan::AppendBoundActions(uint32_t slot, uint32_t code, bool up, float x, float y, float value,
                                   bool skipTextKeys) {
  if (skipTextKeys && slot == kKeyboardSlot && IsTextKey(code)) return;
  // The bindings change only on this (the main) thread, so reading them here needs no lock.
  for (const InputBinding& binding : m_bindings) {
    if (binding.slot != slot || binding.code != code) continue;
    InputEvent event;
    event.code = up ? 0u - binding.action : binding.action;
    event.x = x;
    event.y = y;
    event.value = value;
    m_events.push_back(event);
  }
}

void CInputMan::AddPendingInput(uint32_t slot, uint32_t code, bool up, float value) {
  std::lock_guard<std::mutex> lock(m_pendingMutex);
  AddPendingLocked(slot, code, up, value);
}

void CInputMan::AddPendingLocked(uint32_t slot, uint32_t code, bool up, float value) {
  if (IsFrontEndMode()) return;
  for (const InputBinding& binding : m_bindings) {
    if (binding.slot != slot || binding.code != code) continue;
    // Never past the reserved capacity: the timer thread must not allocate.
    if (m_pending.size() >= m_pendingLimit) return;
    InputEvent event;
    event.code = up ? 0u - binding.action : binding.action;
    event.value = value;
    m_pending.push_back(event);
  }
}

size_t CInputMan::GetPendingCount() const {
  std::lock_guard<std::mutex> lock(m_pendingMutex);
  return m_pending.size();
}

void CInputMan::TakeEvents(std::vector<InputEvent>& out) {
  out.insert(out.end(), m_events.begin(), m_events.end());
  m_events.clear();
}

void CInputMan::QueueEvent(const InputEvent& event) {
  if (m_events.size() >= kPendingLimit) return;
  m_events.push_back(event);
}

void CInputMan::SetButtonDown(int button, bool down) {
  if (button >= 0 && button < 3) m_buttonDown[button] = down ? 1 : 0;
}

// --- Joysticks -----------------------------------------------------------------------------

void CInputMan::JoystickTimer(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  reinterpret_cast<CInputMan*>(user)->PollJoysticks();
}

void CInputMan::PollJoysticks() {
  if (joyGetNumDevs() == 0) return;
  for (int j = 0; j < 2; ++j) {
    // Read, compare and store as one step: a second poller (a test beside the timer) must not
    // compare a stale reading against a newer stored state and report a change backwards.
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    JOYINFOEX now = EmptyJoyInfo();
    // A failed read makes no events and keeps the last good state.
    if (joyGetPosEx(static_cast<UINT>(j), &now) != JOYERR_NOERROR) continue;
    PollJoystickLocked(j, now);
  }
}

void CInputMan::PollJoystickLocked(int index, const JOYINFOEX& now) {
  const uint32_t slot = index == 0 ? kJoystick0Slot : kJoystick1Slot;
  const JOYCAPSA& caps = m_joyCaps[index];
  const JOYINFOEX old = m_joyState[index];
  const int buttons = std::min<int>(static_cast<int>(caps.wNumButtons), kMaxJoystickButtons);
  for (int i = 0; i < buttons; ++i) {
    const bool wasDown = (old.dwButtons >> i & 1u) != 0;
    const bool isDown = (now.dwButtons >> i & 1u) != 0;
    if (wasDown != isDown) AddPendingLocked(slot, static_cast<uint32_t>(i + 1), wasDown, 1.0f);
  }
  for (uint32_t code = kFirstAxisCode; code <= kLastAxisCode; ++code) {
    const float before = AxisValue(caps, old, code);
    const float after = AxisValue(caps, now, code);
    const bool wasOn = before >= kAxisOn;
    const bool isOn = after >= kAxisOn;
    if (wasOn == isOn) continue;
    if (isOn) AddPendingLocked(slot, code, false, after);
    if (wasOn) AddPendingLocked(slot, code, true, before);
  }
  m_joyState[index] = now;
}

float CInputMan::AxisValue(const JOYCAPSA& caps, const JOYINFOEX& state, uint32_t code) {
  if (code < kFirstAxisCode || code > kLastAxisCode) return 0.0f;
  const uint32_t axis = (code - kFirstAxisCode) / 2;
  const bool towardsMax = ((code - kFirstAxisCode) & 1u) != 0;
  static const UINT kNeeds[6] = {0, 0, JOYCAPS_HASZ, JOYCAPS_HASR, JOYCAPS_HASU, JOYCAPS_HASV};
  if (kNeeds[axis] != 0 && (caps.wCaps & kNeeds[axis]) == 0) return 0.0f;
  const UINT mins[6] = {caps.wXmin, caps.wYmin, caps.wZmin, caps.wRmin, caps.wUmin, caps.wVmin};
  const UINT maxs[6] = {caps.wXmax, caps.wYmax, caps.wZmax, caps.wRmax, caps.wUmax, caps.wVmax};
  const DWORD positions[6] = {state.dwXpos, state.dwYpos, state.dwZpos, state.dwRpos, state.dwUpos, state.dwVpos};
  const double lo = mins[axis];
  const double hi = maxs[axis];
  // A joystick that reports no range (or an inverted one) has no usable axis: dividing by the
  // empty range would make infinities.
  if (hi <= lo) return 0.0f;
  const double p = positions[axis];
  double value = 0.0;
  if (towardsMax) {
    const double t = lo + 0.504 * (hi - lo);
    if (p >= t) value = (p - t) / (hi - t);
  } else {
    const double t = lo + 0.496 * (hi - lo);
    if (p < t) value = (p - t) / (lo - t);
  }
  if (value > 0.99) value = 1.0;
  return static_cast<float>(value);
}

// --- Action values -------------------------------------------------------------------------

float CInputMan::GetActionValue(uint32_t action) const {
  const CSettings* settings = GetSettings();
  if (settings == nullptr) return 0.0f;
  float best = 0.0f;
  for (uint32_t slot = kKeyboardSlot; slot <= kJoystick1Slot; ++slot) {
    const uint32_t code = settings->GetBinding(slot, action);
    if (code != 0) best = std::max(best, DeviceValue(slot, code));
  }
  return best;
}

float CInputMan::DeviceValue(uint32_t slot, uint32_t code) const {
  if (slot == kKeyboardSlot) return (GetAsyncKeyState(static_cast<int>(code)) & 0x8000) != 0 ? 1.0f : 0.0f;
  if (slot == kMouseSlot) {
    if (code >= kMouseLeft && code <= kMouseMiddle) return m_buttonDown[code - kMouseLeft] ? 1.0f : 0.0f;
    return MoveAmount(code, m_filteredDx, m_filteredDy);
  }
  const int index = slot == kJoystick0Slot ? 0 : 1;
  if (!m_joyPresent[index]) return 0.0f;
  std::lock_guard<std::mutex> lock(m_pendingMutex);
  const JOYINFOEX& state = m_joyState[index];
  if (code >= kFirstAxisCode) return AxisValue(m_joyCaps[index], state, code);
  if (code < 1 || code > static_cast<uint32_t>(kMaxJoystickButtons)) return 0.0f;
  return (state.dwButtons >> (code - 1) & 1u) != 0 ? 1.0f : 0.0f;
}

// --- Frame start ---------------------------------------------------------------------------

void CInputMan::BeginFrame() {
  FilterMouse();
  m_rawDx = 0;
  m_rawDy = 0;
  const POINT held = m_cursor;
  RefreshCursor();
  if (m_cursorLock && !IsFrontEndMode()) WarpTo(held);
  m_cursorLock = 0;
  std::lock_guard<std::mutex> lock(m_pendingMutex);
  m_events.insert(m_events.end(), m_pending.begin(), m_pending.end());
  m_pending.clear();  // keeps the capacity, so the timer thread never allocates
}

void CInputMan::FilterMouse() {
  const float limitX = MovementLimit(m_horizontalScale);
  const float limitY = MovementLimit(m_verticalScale);
  const float dx = Clamp(static_cast<float>(m_rawDx), -limitX, limitX) / limitX;
  const float dy = Clamp(static_cast<float>(m_rawDy), -limitY, limitY) / limitY;
  for (uint32_t code = kMoveLeft; code <= kMoveDown; ++code) {
    const float before = MoveAmount(code, m_filteredDx, m_filteredDy);
    const float after = MoveAmount(code, dx, dy);
    if (before == after) continue;
    if (before > 0.0f) AddInput(kMouseSlot, code, true, 0.0f, 0.0f, before);
    if (after > 0.0f) AddInput(kMouseSlot, code, false, 0.0f, 0.0f, after);
  }
  m_filteredDx = dx;
  m_filteredDy = dy;
}

// --- Cursor --------------------------------------------------------------------------------

POINT CInputMan::ReadCursor() const {
  POINT p = {0, 0};
  if (!GetCursorPos(&p)) return m_cursor;
  if (m_window != nullptr) ScreenToClient(m_window, &p);
  return p;
}

void CInputMan::RefreshCursor() {
  const POINT p = ReadCursor();
  m_rawDx += p.x - m_cursor.x;
  m_rawDy += p.y - m_cursor.y;
  m_cursor = p;
}

void CInputMan::WarpTo(POINT client) {
  POINT screen = client;
  if (m_window != nullptr) ClientToScreen(m_window, &screen);
  ::SetCursorPos(screen.x, screen.y);
  // A warp is not movement: the position is taken without adding to the raw movement.
  m_cursor = ReadCursor();
}

bool CInputMan::IsForeground() const { return m_window != nullptr && GetForegroundWindow() == m_window; }

void CInputMan::ClientSize(int* width, int* height) const {
  RECT rect = {0, 0, 0, 0};
  if (m_window == nullptr || !GetClientRect(m_window, &rect)) rect = RECT{0, 0, 0, 0};
  *width = rect.right - rect.left;
  *height = rect.bottom - rect.top;
}

POINT CInputMan::GetMousePos() {
  RefreshCursor();
  return m_cursor;
}

POINT CInputMan::MouseInClient(int* width, int* height) {
  const POINT p = GetMousePos();
  ClientSize(width, height);
  return p;
}

Vector2 CInputMan::GetNormalizedMousePos() {
  int width = 0;
  int height = 0;
  const POINT p = MouseInClient(&width, &height);
  const float side = static_cast<float>(std::max(width, height));
  if (side == 0.0f) return Vector2(0.0f, 0.0f);
  return Vector2((2.0f * p.x - width) / side, (2.0f * p.y - height) / side);
}

Vector2 CInputMan::GetMouseFraction() {
  int width = 0;
  int height = 0;
  const POINT p = MouseInClient(&width, &height);
  if (width <= 0 || height <= 0) return Vector2(0.0f, 0.0f);
  return Vector2(static_cast<float>(p.x) / width, static_cast<float>(p.y) / height);
}

Vector2 CInputMan::GetEdgeScroll(float fx, float fy) {
  int width = 0;
  int height = 0;
  const POINT p = MouseInClient(&width, &height);
  const float side = static_cast<float>(std::max(width, height));
  if (side == 0.0f) return Vector2(0.0f, 0.0f);
  const float halfW = width / 2.0f * fx;
  const float halfH = height / 2.0f * fy;
  const float cx = width / 2.0f;
  const float cy = height / 2.0f;
  auto outside = [](float v, float lo, float hi) { return v < lo ? v - lo : (v > hi ? v - hi : 0.0f); };
  return Vector2(outside(static_cast<float>(p.x), cx - halfW, cx + halfW) / side,
                 outside(static_cast<float>(p.y), cy - halfH, cy + halfH) / side);
}

void CInputMan::SetCursorPos(int x, int y) {
  if (!IsForeground() || IsFrontEndMode()) return;
  WarpTo(POINT{x, y});
}

void CInputMan::CenterCursor() {
  int width = 0;
  int height = 0;
  ClientSize(&width, &height);
  SetCursorPos(width / 2, height / 2);
}

void CInputMan::ClampCursor(float fx, float fy) {
  if (!IsForeground()) return;
  int width = 0;
  int height = 0;
  const POINT p = MouseInClient(&width, &height);
  const float halfW = width / 2.0f * fx;
  const float halfH = height / 2.0f * fy;
  POINT clamped;
  clamped.x = static_cast<LONG>(Clamp(static_cast<float>(p.x), width / 2.0f - halfW, width / 2.0f + halfW));
  clamped.y = static_cast<LONG>(Clamp(static_cast<float>(p.y), height / 2.0f - halfH, height / 2.0f + halfH));
  WarpTo(clamped);
}

void CInputMan::ShowCursor(bool show) { ::ShowCursor(show ? TRUE : FALSE); }
