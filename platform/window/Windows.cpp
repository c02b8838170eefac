// Window classes, windows on SDL and the process-wide message queue: SDL
// events become window messages for the window procedures.
#include "platform/window/Hooks.h"
#include "platform/input/InputState.h"
#include "platform/system/Platform.h"
#include "platform/window/SdlSession.h"
#include "platform/window/SingleInstance.h"
#include "platform/window/WindowFit.h"
#include "platform/window/WindowRegistry.h"

#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Non-client frame of a window with a border, per side. The window manager
// draws the real decorations outside the SDL window, so this only keeps the
// outer-size arithmetic of AdjustWindowRect and CreateWindowA consistent: a
// window made from an adjusted rectangle gets exactly the requested client area.
constexpr int kFrame = 4;
constexpr int kMaxWindowSide = 16384;
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;

struct WindowClass {
  std::string name;
  WNDCLASSA record;
};

struct Registry {
  std::mutex mutex;  // guards windows and queue; PostMessageA may come from another thread
  std::map<std::string, WindowClass> classes;  // by lower-case name
  std::vector<PlatformWindow*> windows;
  std::map<std::string, PlatformWindow*> remotes;
  std::deque<MSG> queue;
  pid_t creatorPid = 0;  // the process that made the windows; a forked child has none
  UINT nextAtom = 0xC000;
};

// Never freed: windows may outlive static destruction at exit.
Registry& Reg() {
  static Registry* registry = new Registry();
  return *registry;
}

std::string Lower(const char* text) {
  std::string result = text ? text : "";
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

void Log(const std::string& text) { OutputDebugStringA(("Win32: " + text + "\n").c_str()); }

bool ForkedChild(const Registry& registry) { return registry.creatorPid != 0 && registry.creatorPid != getpid(); }

bool LiveLocked(Registry& registry, HWND window) {
  // Membership first: a destroyed window's handle must not be read. Remote
  // windows are never in the list.
  if (!window || ForkedChild(registry)) return false;
  return std::find(registry.windows.begin(), registry.windows.end(), window) != registry.windows.end();
}

bool Live(HWND window) {
  Registry& registry = Reg();
  std::lock_guard<std::mutex> lock(registry.mutex);
  return LiveLocked(registry, window);
}

HWND WindowBySdlId(uint32_t id) {
  Registry& registry = Reg();
  std::lock_guard<std::mutex> lock(registry.mutex);
  for (PlatformWindow* window : registry.windows) {
    if (window->sdlId == id) return window;
  }
  // Keyboard events without a focus window go to the first window.
  return registry.windows.empty() ? nullptr : registry.windows.front();
}

// Looks the handle up before touching it, so a stale handle is never read.
bool IsRemote(HWND window) {
  Registry& registry = Reg();
  std::lock_guard<std::mutex> lock(registry.mutex);
  for (const auto& entry : registry.remotes) {
    if (entry.second == window) return true;
  }
  return false;
}

int FrameOf(DWORD style) { return (style & WS_POPUP) ? 0 : kFrame; }

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!Live(window) || !window->procedure) return 0;
  return window->procedure(window, message, wParam, lParam);
}

// Activation changes are reported once per change, whether they come from
// ShowWindow (sent at once, as Windows does) or from the window system's focus
// events (queued). Under a headless driver no focus event ever arrives, so
// showing the window is what activates it.
void SetActive(HWND window, bool active, bool minimised, bool sendNow) {
  if (window->active == active && window->minimised == minimised) return;
  window->active = active;
  window->minimised = minimised;
  const WPARAM wParam = MAKEWPARAM(active ? WA_ACTIVE : WA_INACTIVE, minimised ? 1 : 0);
  if (sendNow) {
    Send(window, WM_ACTIVATE, wParam, 0);
  } else {
    plat::detail::QueueMessage(window, WM_ACTIVATE, wParam, 0);
  }
}

bool MessageMatches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
  if (msg.message == WM_QUIT) return true;  // the quit message passes every filter
  if (window && msg.hwnd != window) return false;
  if (filterMin == 0 && filterMax == 0) return true;
  return msg.message >= filterMin && msg.message <= filterMax;
}

bool CloseQueued(HWND window) {
  Registry& registry = Reg();
  std::lock_guard<std::mutex> lock(registry.mutex);
  for (const MSG& msg : registry.queue) {
    if (msg.hwnd == window && msg.message == WM_CLOSE) return true;
  }
  return false;
}

// Decodes UTF-8 text into code points; malformed bytes are skipped.
std::vector<uint32_t> CodePoints(const char* text) {
  std::vector<uint32_t> points;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    uint32_t point = *p;
    int extra = 0;
    if (point >= 0xF0 && point < 0xF8) {
      point &= 0x07;
      extra = 3;
    } else if (point >= 0xE0) {
      point &= 0x0F;
      extra = 2;
    } else if (point >= 0xC0) {
      point &= 0x1F;
      extra = 1;
    } else if (point >= 0x80) {
      ++p;
      continue;
    }
    ++p;
    bool valid = true;
    for (int i = 0; i < extra; ++i, ++p) {
      if ((*p & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      point = (point << 6) | (*p & 0x3F);
    }
    if (valid) points.push_back(point);
  }
  return points;
}

bool IsFullScreenDesktop(SDL_Window* sdl) {
  return (SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
}

void OnWindowEvent(const SDL_WindowEvent& event) {
  HWND window = WindowBySdlId(event.windowID);
  if (!window || window->sdlId != event.windowID) return;
  switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
      if (!CloseQueued(window)) plat::detail::QueueMessage(window, WM_CLOSE, 0, 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      SetActive(window, true, window->minimised, false);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      SetActive(window, false, window->minimised, false);
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      SetActive(window, false, true, false);
      break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED: {
      const bool focused = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_INPUT_FOCUS) != 0;
      SetActive(window, focused || window->active, false, false);
      break;
    }
    case SDL_WINDOWEVENT_SHOWN:
      // SDL makes the window anew when a renderer needs it to, and the new one starts at the
      // windowed size whatever SDL takes it to be.
      plat::detail::FitUnmanagedWindow(window->sdl, IsFullScreenDesktop(window->sdl));
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      window->clientWidth = event.data1;
      window->clientHeight = event.data2;
      plat::detail::FitUnmanagedWindow(window->sdl, IsFullScreenDesktop(window->sdl));
      break;
    default:
      break;
  }
}

void OnKeyEvent(const SDL_KeyboardEvent& event) {
  const int virtualKey = plat::detail::VirtualKeyFromSdl(event.keysym.scancode, event.keysym.sym);
  if (!virtualKey) return;
  const bool down = event.type == SDL_KEYDOWN;
  plat::detail::NoteKey(virtualKey, down);
  // Caps Lock's toggle follows the keyboard's own lock state, which may have been on before we started.
  plat::detail::NoteToggle(VK_CAPITAL, (event.keysym.mod & KMOD_CAPS) != 0);
  HWND window = WindowBySdlId(event.windowID);
  if (!window) return;
  // Repeat count 1, the scan code, the previous-state bit and the transition bit.
  uint32_t lParam = 1u | ((static_cast<uint32_t>(event.keysym.scancode) & 0xFF) << 16);
  if (!down || event.repeat) lParam |= 1u << 30;
  if (!down) lParam |= 1u << 31;
  const WPARAM key = static_cast<WPARAM>(plat::detail::MessageKeyCode(virtualKey));
  if (plat::detail::RunKeyboardHooks(key, static_cast<LPARAM>(lParam))) return;
  plat::detail::QueueMessage(window, down ? WM_KEYDOWN : WM_KEYUP, key, static_cast<LPARAM>(lParam));
}

void NoteClientCursor(HWND window, int x, int y) {
  int originX = 0;
  int originY = 0;
  plat::detail::ClientOrigin(window, &originX, &originY);
  plat::detail::NoteCursorScreen(originX + x, originY + y);
}

// Mouse hooks see the message with the cursor's screen position.
bool MouseHooksSwallow(HWND window, UINT message) {
  POINT screen;
  GetCursorPos(&screen);
  return plat::detail::RunMouseHooks(message, screen, window);
}

// Button and motion messages carry the client position; the hooks may swallow them first.
void DeliverMouseMessage(uint32_t sdlWindowId, UINT message, int x, int y) {
  HWND window = WindowBySdlId(sdlWindowId);
  if (!window) return;
  NoteClientCursor(window, x, y);
  if (MouseHooksSwallow(window, message)) return;
  plat::detail::QueueMessage(window, message, plat::detail::MouseKeyBits(), MAKELPARAM(x, y));
}

void OnMouseButton(const SDL_MouseButtonEvent& event) {
  if (event.which == SDL_TOUCH_MOUSEID) return;
  const bool down = event.type == SDL_MOUSEBUTTONDOWN;
  int virtualKey = 0;
  UINT message = 0;
  switch (event.button) {
    case SDL_BUTTON_LEFT: virtualKey = VK_LBUTTON; message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
    case SDL_BUTTON_RIGHT: virtualKey = VK_RBUTTON; message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
    case SDL_BUTTON_MIDDLE: virtualKey = VK_MBUTTON; message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
    default: return;
  }
  plat::detail::NoteKey(virtualKey, down);
  DeliverMouseMessage(event.windowID, message, event.x, event.y);
}

void OnMouseMotion(const SDL_MouseMotionEvent& event) {
  if (event.which == SDL_TOUCH_MOUSEID) return;
  DeliverMouseMessage(event.windowID, WM_MOUSEMOVE, event.x, event.y);
}

void OnMouseWheel(const SDL_MouseWheelEvent& event) {
  if (event.which == SDL_TOUCH_MOUSEID) return;
  HWND window = WindowBySdlId(event.windowID);
  if (!window) return;
  int steps = event.y;
  if (event.direction == SDL_MOUSEWHEEL_FLIPPED) steps = -steps;
  const int delta = std::max(-32768, std::min(32767, steps * WHEEL_DELTA));
  if (delta == 0) return;
  POINT cursor;
  GetCursorPos(&cursor);  // the wheel message carries screen coordinates
  if (plat::detail::RunMouseHooks(WM_MOUSEWHEEL, cursor, window)) return;
  plat::detail::QueueMessage(window, WM_MOUSEWHEEL, MAKEWPARAM(static_cast<int>(plat::detail::MouseKeyBits()), delta),
                             MAKELPARAM(cursor.x, cursor.y));
}

void OnQuitEvent() {
  // SDL reports the last window closing and SIGINT/SIGTERM this way; both
  // should close the windows the normal way.
  std::vector<PlatformWindow*> windows;
  {
    Registry& registry = Reg();
    std::lock_guard<std::mutex> lock(registry.mutex);
    windows = registry.windows;
  }
  for (PlatformWindow* window : windows) {
    if (!CloseQueued(window)) plat::detail::QueueMessage(window, WM_CLOSE, 0, 0);
  }
}

void TranslateSdlEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_WINDOWEVENT: OnWindowEvent(event.window); break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: OnKeyEvent(event.key); break;
    case SDL_TEXTINPUT: {
      HWND window = WindowBySdlId(event.text.windowID);
      if (!window) break;
      for (uint32_t point : CodePoints(event.text.text)) plat::detail::QueueMessage(window, WM_CHAR, point, 1);
      break;
    }
    case SDL_MOUSEMOTION: OnMouseMotion(event.motion); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: OnMouseButton(event.button); break;
    case SDL_MOUSEWHEEL: OnMouseWheel(event.wheel); break;
    case SDL_QUIT: OnQuitEvent(); break;
    default: break;
  }
}

void PumpEvents() {
  if (ForkedChild(Reg())) return;
  if (plat::detail::SdlVideoActive()) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) TranslateSdlEvent(event);
  }
  plat::detail::PollInstanceRequests();
}

bool TakeMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove) {
  Registry& registry = Reg();
  std::lock_guard<std::mutex> lock(registry.mutex);
  for (auto it = registry.queue.begin(); it != registry.queue.end(); ++it) {
    if (!MessageMatches(*it, window, filterMin, filterMax)) continue;
    *msg = *it;
    if (remove) registry.queue.erase(it);
    return true;
  }
  return false;
}

HWND Successor(HWND window) {
  Registry& registry = Reg();
  std::lock_guard<std::mutex> lock(registry.mutex);
  for (PlatformWindow* other : registry.windows) {
    if (other != window && Lower(other->className.c_str()) == Lower(window->className.c_str())) return other;
  }
  return nullptr;
}

}  // namespace

namespace plat {
namespace detail {

bool IsLiveWindow(HWND window) { return Live(window); }

SDL_Window* SdlWindowOf(HWND window) { return Live(window) ? window->sdl : nullptr; }

void ClientOrigin(HWND window, int* x, int* y) {
  *x = 0;
  *y = 0;
  if (!Live(window) || !window->sdl || HeadlessVideoDriver()) return;
  SDL_GetWindowPosition(window->sdl, x, y);
}

void RestoreForRequest(HWND window) {
  if (!Live(window) || !window->sdl) return;
  SDL_ShowWindow(window->sdl);
  SDL_RestoreWindow(window->sdl);
  SDL_RaiseWindow(window->sdl);
  SetActive(window, true, false, false);
}

void QueueMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg;
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = timeGetTime();
  GetCursorPos(&msg.pt);
  Registry& registry = Reg();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.queue.push_back(msg);
}

}  // namespace detail

void InjectMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !Live(window)) return;
  // Keep the asynchronous state in step with the message, as real input would.
  const int x = static_cast<SHORT>(LOWORD(static_cast<uintptr_t>(lParam)));
  const int y = static_cast<SHORT>(HIWORD(static_cast<uintptr_t>(lParam)));
  switch (message) {
    case WM_KEYDOWN: detail::NoteKey(static_cast<int>(wParam), true); break;
    case WM_KEYUP: detail::NoteKey(static_cast<int>(wParam), false); break;
    case WM_LBUTTONDOWN: case WM_LBUTTONUP:
      detail::NoteKey(VK_LBUTTON, message == WM_LBUTTONDOWN);
      break;
    case WM_RBUTTONDOWN: case WM_RBUTTONUP:
      detail::NoteKey(VK_RBUTTON, message == WM_RBUTTONDOWN);
      break;
    case WM_MBUTTONDOWN: case WM_MBUTTONUP:
      detail::NoteKey(VK_MBUTTON, message == WM_MBUTTONDOWN);
      break;
    default: break;
  }
  const bool clientPosition = message >= WM_MOUSEMOVE && message <= WM_MBUTTONDBLCLK;
  if (clientPosition && window) NoteClientCursor(window, x, y);
  // The window hooks see injected input as they see real input.
  if (message == WM_KEYDOWN || message == WM_KEYUP) {
    if (detail::RunKeyboardHooks(wParam, lParam)) return;
  } else if (clientPosition || message == WM_MOUSEWHEEL) {
    if (MouseHooksSwallow(window, message)) return;
  }
  detail::QueueMessage(window, message, wParam, lParam);
}

}  // namespace plat

UINT RegisterClassA(const WNDCLASSA* windowClass) {
  if (!windowClass || !windowClass->lpszClassName || !*windowClass->lpszClassName) {
    Log("RegisterClassA: no class name");
    return 0;
  }
  WindowClass entry;
  entry.name = windowClass->lpszClassName;
  entry.record = *windowClass;
  entry.record.lpszClassName = nullptr;  // the caller's string need not outlive the call
  entry.record.lpszMenuName = nullptr;
  UINT atom = 0;
  {
    Registry& registry = Reg();
    std::lock_guard<std::mutex> lock(registry.mutex);
    const std::string key = Lower(windowClass->lpszClassName);
    if (!registry.classes.count(key)) {
      registry.classes[key] = entry;
      atom = registry.nextAtom++;
    }
  }
  // Logged outside the lock: a debug sink may post messages.
  if (!atom) Log("RegisterClassA: class '" + entry.name + "' is already registered");
  return atom;
}

BOOL GetClassInfoA(HINSTANCE, const char* className, WNDCLASSA* out) {
  if (!className || !out) return FALSE;
  Registry& registry = Reg();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto found = registry.classes.find(Lower(className));
  if (found == registry.classes.end()) return FALSE;
  *out = found->second.record;
  return TRUE;
}

int LoadCursorA(HINSTANCE instance, int cursorId) {
  // Only the arrow is offered; the program draws its own cursor over it in the game.
  return instance == nullptr && cursorId == IDC_ARROW ? cursorId : 0;
}

HWND CreateWindowA(const char* className, const char* title, DWORD style, int x, int y, int width, int height,
                   HWND parent, void* menu, HINSTANCE instance, void* param) {
  Registry& registry = Reg();
  WindowClass windowClass{};
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto found = registry.classes.find(Lower(className));
    if (found != registry.classes.end()) windowClass = found->second;
  }
  if (windowClass.name.empty()) {
    Log(std::string("CreateWindowA: class '") + (className ? className : "") + "' is not registered");
    return nullptr;
  }
  if (!plat::detail::EnsureSdlVideo()) return nullptr;

  const int frame = FrameOf(style);
  const int clientWidth = width > 0 ? std::min(kMaxWindowSide, std::max(1, width - 2 * frame)) : kDefaultWidth;
  const int clientHeight = height > 0 ? std::min(kMaxWindowSide, std::max(1, height - 2 * frame)) : kDefaultHeight;
  // Hidden until ShowWindow, as a window without WS_VISIBLE.
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (style & WS_POPUP) flags |= SDL_WINDOW_BORDERLESS;
  SDL_Window* sdl = SDL_CreateWindow(title ? title : "", x, y, clientWidth, clientHeight, flags);
  if (!sdl) {
    Log(std::string("CreateWindowA: SDL could not create the window: ") + SDL_GetError());
    return nullptr;
  }

  PlatformWindow* window = new PlatformWindow();
  window->className = windowClass.name;
  window->title = title ? title : "";
  window->procedure = windowClass.record.lpfnWndProc;
  window->style = style;
  window->sdl = sdl;
  window->sdlId = SDL_GetWindowID(sdl);
  window->clientWidth = clientWidth;
  window->clientHeight = clientHeight;
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    if (registry.creatorPid == 0) registry.creatorPid = getpid();
    registry.windows.push_back(window);
  }
  plat::detail::ClaimInstance(window, window->className);
  plat::detail::ApplyCursorVisibility();
  if (Send(window, WM_CREATE, 0, 0) == -1) {  // the procedure refused the window
    DestroyWindow(window);
    return nullptr;
  }
  return window;
}

HWND FindWindowA(const char* className, const char* title) {
  Registry& registry = Reg();
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    if (!ForkedChild(registry)) {
      for (PlatformWindow* window : registry.windows) {
        if (className && Lower(className) != Lower(window->className.c_str())) continue;
        if (title && window->title != title) continue;
        return window;
      }
    }
  }
  // Another process's window can be found by class only; its title is not known here.
  if (!className || title) return nullptr;
  if (!plat::detail::InstanceHeldElsewhere(className)) return nullptr;
  std::lock_guard<std::mutex> lock(registry.mutex);
  PlatformWindow*& remote = registry.remotes[Lower(className)];
  if (!remote) {
    remote = new PlatformWindow();
    remote->remote = true;
    remote->className = className;
  }
  return remote;
}

BOOL ShowWindow(HWND window, int command) {
  if (IsRemote(window)) {
    if (command != SW_RESTORE) return FALSE;
    return plat::detail::SendRestoreRequest(window->className) ? TRUE : FALSE;
  }
  if (!Live(window)) return FALSE;
  const BOOL wasVisible = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) ? TRUE : FALSE;
  if (command == SW_HIDE) {
    SDL_HideWindow(window->sdl);
    SetActive(window, false, false, true);
    return wasVisible;
  }
  SDL_ShowWindow(window->sdl);
  if (command == SW_RESTORE || command == SW_SHOWNORMAL) SDL_RestoreWindow(window->sdl);
  SDL_RaiseWindow(window->sdl);
  SetActive(window, true, false, true);
  return wasVisible;
}

BOOL DestroyWindow(HWND window) {
  if (!Live(window) || window->destroying) return FALSE;
  window->destroying = true;
  Send(window, WM_DESTROY, 0, 0);

  plat::detail::ReleaseInstance(window, Successor(window));
  plat::detail::ReleasePresentation(window);
  if (window->sdl) SDL_DestroyWindow(window->sdl);
  {
    Registry& registry = Reg();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.windows.erase(std::remove(registry.windows.begin(), registry.windows.end(), window),
                           registry.windows.end());
    // A later window may reuse this address; its messages must not go to it.
    registry.queue.erase(std::remove_if(registry.queue.begin(), registry.queue.end(),
                                        [window](const MSG& msg) { return msg.hwnd == window; }),
                         registry.queue.end());
  }
  delete window;
  return TRUE;
}

HWND GetForegroundWindow() {
  Registry& registry = Reg();
  std::lock_guard<std::mutex> lock(registry.mutex);
  if (ForkedChild(registry)) return nullptr;
  for (PlatformWindow* window : registry.windows) {
    if (window->active) return window;
  }
  return nullptr;
}

BOOL SetWindowTextA(HWND window, const char* text) {
  if (!Live(window)) return FALSE;
  window->title = text ? text : "";
  SDL_SetWindowTitle(window->sdl, window->title.c_str());
  return TRUE;
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
  if (!Live(window) || index != GWL_STYLE) return 0;
  const DWORD previous = window->style;
  window->style = static_cast<DWORD>(value);
  // The client area keeps its size; only the decorations come or go.
  SDL_SetWindowBordered(window->sdl, (window->style & WS_POPUP) ? SDL_FALSE : SDL_TRUE);
  return static_cast<LONG>(previous);
}

BOOL GetClientRect(HWND window, RECT* rect) {
  if (!rect || !Live(window)) return FALSE;
  rect->left = 0;
  rect->top = 0;
  rect->right = window->clientWidth;
  rect->bottom = window->clientHeight;
  return TRUE;
}

BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu) {
  if (!rect) return FALSE;
  const int frame = FrameOf(style);
  rect->left -= frame;
  rect->top -= frame;
  rect->right += frame;
  rect->bottom += frame;
  if (menu) rect->top -= GetSystemMetrics(SM_CYMENU);
  return TRUE;
}

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
      SDL_DisplayMode mode;
      if (plat::detail::SdlVideoActive() && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
        return index == SM_CXSCREEN ? mode.w : mode.h;
      }
      return index == SM_CXSCREEN ? kDefaultWidth : kDefaultHeight;
    }
    case SM_CXFRAME:
    case SM_CYFRAME:
      return kFrame;
    case SM_CYMENU:
      return 0;  // windows here have no menu bar
    default:
      return 0;
  }
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
  if (!msg) return FALSE;
  PumpEvents();
  return TakeMessage(msg, window, filterMin, filterMax, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
  // A window that does not exist would never receive anything: fail instead of waiting forever.
  if (!msg || (window && !Live(window))) return -1;
  for (;;) {
    if (PeekMessageA(msg, window, filterMin, filterMax, PM_REMOVE)) return msg->message == WM_QUIT ? FALSE : TRUE;
    // Waking every 10 ms also serves messages posted from other threads and
    // restore requests from other instances.
    if (plat::detail::SdlVideoActive() && !ForkedChild(Reg())) {
      SDL_WaitEventTimeout(nullptr, 10);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
}

BOOL TranslateMessage(const MSG* msg) {
  // Text keys arrive as SDL text input; the control characters that have no
  // text event are made here, ahead of everything else queued, as Windows does.
  if (!msg || msg->message != WM_KEYDOWN) return FALSE;
  const WPARAM key = msg->wParam;
  if (key != VK_BACK && key != VK_TAB && key != VK_RETURN && key != VK_ESCAPE) return FALSE;
  MSG character = *msg;
  character.message = WM_CHAR;
  Registry& registry = Reg();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.queue.push_front(character);
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg) return 0;
  return Send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) DestroyWindow(window);
  return 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !Live(window)) return FALSE;
  plat::detail::QueueMessage(window, message, wParam, lParam);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  plat::detail::QueueMessage(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  if (!paint || !Live(window)) return nullptr;
  paint->hdc = reinterpret_cast<HDC>(window);  // painting goes through PresentPixels; this is a token only
  GetClientRect(window, &paint->rcPaint);
  return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) { return TRUE; }

HACCEL LoadAcceleratorsA(HINSTANCE instance, const char* name) { return nullptr; }

BOOL WinHelpA(HWND window, const char* file, UINT command, uintptr_t data) { return TRUE; }
