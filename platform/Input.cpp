// Keyboard and mouse state: the asynchronous key table (down bit and the
// pressed-since-last-query bit per key), the cursor position, the cursor
// show counter and the SDL key translation.
#include "platform/InputState.h"

#include "platform/Platform.h"
#include "platform/SdlSession.h"
#include "platform/WindowRegistry.h"

#include <SDL.h>

#include <mutex>

namespace {

struct KeyTable {
  bool down[256] = {};
  bool pressed[256] = {};  // went down since the last GetAsyncKeyState of that key
};

// GetAsyncKeyState may be called from the joystick timer thread, so the table
// is guarded.
std::mutex gKeyMutex;
KeyTable gKeys;
POINT gCursor = {0, 0};
int gCursorCounter = 0;

bool ValidKey(int virtualKey) { return virtualKey > 0 && virtualKey < 256; }

void SetDownLocked(int virtualKey, bool down) {
  if (down && !gKeys.down[virtualKey]) gKeys.pressed[virtualKey] = true;
  gKeys.down[virtualKey] = down;
}

int GenericOf(int virtualKey) {
  switch (virtualKey) {
    case VK_LSHIFT: case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL: case VK_RCONTROL: return VK_CONTROL;
    case VK_LMENU: case VK_RMENU: return VK_MENU;
    default: return 0;
  }
}

int PositionalKey(int scancode) {
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 'A' + (scancode - SDL_SCANCODE_A);
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
  if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12) return VK_F1 + (scancode - SDL_SCANCODE_F1);
  if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9) return VK_NUMPAD0 + 1 + (scancode - SDL_SCANCODE_KP_1);
  switch (scancode) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_KP_0: return VK_NUMPAD0;
    case SDL_SCANCODE_RETURN: case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_PAUSE: return VK_PAUSE;
    case SDL_SCANCODE_CAPSLOCK: return VK_CAPITAL;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_INSERT: return VK_INSERT;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_KP_MULTIPLY: return VK_MULTIPLY;
    case SDL_SCANCODE_KP_PLUS: return VK_ADD;
    case SDL_SCANCODE_KP_MINUS: return VK_SUBTRACT;
    case SDL_SCANCODE_KP_PERIOD: return VK_DECIMAL;
    case SDL_SCANCODE_KP_DIVIDE: return VK_DIVIDE;
    case SDL_SCANCODE_LSHIFT: return VK_LSHIFT;
    case SDL_SCANCODE_RSHIFT: return VK_RSHIFT;
    case SDL_SCANCODE_LCTRL: return VK_LCONTROL;
    case SDL_SCANCODE_RCTRL: return VK_RCONTROL;
    case SDL_SCANCODE_LALT: return VK_LMENU;
    case SDL_SCANCODE_RALT: return VK_RMENU;
    case SDL_SCANCODE_GRAVE: return VK_OEM_3;
    case SDL_SCANCODE_MINUS: return VK_OEM_MINUS;
    case SDL_SCANCODE_EQUALS: return VK_OEM_PLUS;
    case SDL_SCANCODE_LEFTBRACKET: return VK_OEM_4;
    case SDL_SCANCODE_RIGHTBRACKET: return VK_OEM_6;
    case SDL_SCANCODE_BACKSLASH: return VK_OEM_5;
    case SDL_SCANCODE_SEMICOLON: return VK_OEM_1;
    case SDL_SCANCODE_APOSTROPHE: return VK_OEM_7;
    case SDL_SCANCODE_COMMA: return VK_OEM_COMMA;
    case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
    case SDL_SCANCODE_SLASH: return VK_OEM_2;
    default: return 0;
  }
}

}  // namespace

namespace plat {
namespace detail {

void NoteKey(int virtualKey, bool down) {
  if (!ValidKey(virtualKey)) return;
  std::lock_guard<std::mutex> lock(gKeyMutex);
  SetDownLocked(virtualKey, down);
  const int generic = GenericOf(virtualKey);
  if (generic) {
    bool either = false;
    for (int side = 0; side < 256; ++side) {
      if (GenericOf(side) == generic && gKeys.down[side]) either = true;
    }
    SetDownLocked(generic, either);
  }
}

bool IsKeyDown(int virtualKey) {
  if (!ValidKey(virtualKey)) return false;
  std::lock_guard<std::mutex> lock(gKeyMutex);
  return gKeys.down[virtualKey];
}

int VirtualKeyFromSdl(int scancode, int keycode) {
  if (keycode >= 'a' && keycode <= 'z') return 'A' + (keycode - 'a');
  return PositionalKey(scancode);
}

int MessageKeyCode(int virtualKey) {
  const int generic = GenericOf(virtualKey);
  return generic ? generic : virtualKey;
}

WPARAM MouseKeyBits() {
  std::lock_guard<std::mutex> lock(gKeyMutex);
  WPARAM bits = 0;
  if (gKeys.down[VK_LBUTTON]) bits |= MK_LBUTTON;
  if (gKeys.down[VK_RBUTTON]) bits |= MK_RBUTTON;
  if (gKeys.down[VK_MBUTTON]) bits |= MK_MBUTTON;
  return bits;
}

void NoteCursorScreen(int x, int y) {
  std::lock_guard<std::mutex> lock(gKeyMutex);
  gCursor.x = x;
  gCursor.y = y;
}

void ApplyCursorVisibility() {
  if (SdlVideoActive()) SDL_ShowCursor(gCursorCounter >= 0 ? SDL_ENABLE : SDL_DISABLE);
}

}  // namespace detail

void SetKeyState(int virtualKey, bool down) { detail::NoteKey(virtualKey, down); }

void SetCursorScreenPos(int x, int y) { detail::NoteCursorScreen(x, y); }

}  // namespace plat

SHORT GetAsyncKeyState(int virtualKey) {
  if (!ValidKey(virtualKey)) return 0;
  std::lock_guard<std::mutex> lock(gKeyMutex);
  uint16_t state = gKeys.down[virtualKey] ? 0x8000 : 0;
  if (gKeys.pressed[virtualKey]) state |= 1;
  gKeys.pressed[virtualKey] = false;
  return static_cast<SHORT>(state);
}

BOOL GetCursorPos(POINT* point) {
  if (!point) return FALSE;
  std::lock_guard<std::mutex> lock(gKeyMutex);
  *point = gCursor;
  return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
  if (!point || !plat::detail::IsLiveWindow(window)) return FALSE;
  int originX = 0;
  int originY = 0;
  plat::detail::ClientOrigin(window, &originX, &originY);
  point->x -= originX;
  point->y -= originY;
  return TRUE;
}

int ShowCursor(BOOL show) {
  // Windows keeps a display counter: the cursor shows while it is >= 0, so
  // every hide needs its own show.
  gCursorCounter += show ? 1 : -1;
  plat::detail::ApplyCursorVisibility();
  return gCursorCounter;
}
