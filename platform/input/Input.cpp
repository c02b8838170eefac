// Keyboard and mouse state: the asynchronous key table (down bit, the
// pressed-since-last-query bit and the toggle per key), the cursor position,
// the cursor show counter and the SDL key translation.
#include "platform/input/InputState.h"

#include "platform/system/Platform.h"
#include "platform/window/SdlSession.h"
#include "platform/window/WindowRegistry.h"

#include <SDL.h>

#include <mutex>

namespace {

struct KeyTable {
  bool down[256] = {};
  bool pressed[256] = {};  // went down since the last GetAsyncKeyState of that key
  bool toggled[256] = {};  // flips on every press; for Caps Lock, whether it is on
};

// GetAsyncKeyState may be called from the joystick timer thread, so the table
// is guarded.
std::mutex gKeyMutex;
KeyTable gKeys;
POINT gCursor = {0, 0};
int gCursorCounter = 0;

bool ValidKey(int virtualKey) { return virtualKey > 0 && virtualKey < 256; }

void SetDownLocked(int virtualKey, bool down) {
  if (down && !gKeys.down[virtualKey]) {
    gKeys.pressed[virtualKey] = true;
    gKeys.toggled[virtualKey] = !gKeys.toggled[virtualKey];
  }
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

// Virtual-key codes without a name in Win32.h, for keys the engine never
// names but which still need a code of their own.
constexpr int kVkCancel = 0x03, kVkClear = 0x0C, kVkKana = 0x15, kVkHanja = 0x19, kVkSelect = 0x29,
              kVkExecute = 0x2B, kVkSnapshot = 0x2C, kVkHelp = 0x2F, kVkLWin = 0x5B, kVkRWin = 0x5C,
              kVkApps = 0x5D, kVkSleep = 0x5F, kVkSeparator = 0x6C, kVkF13 = 0x7C, kVkNumLock = 0x90,
              kVkScroll = 0x91, kVkBrowserBack = 0xA6, kVkBrowserForward = 0xA7, kVkBrowserRefresh = 0xA8,
              kVkBrowserStop = 0xA9, kVkBrowserSearch = 0xAA, kVkBrowserFavorites = 0xAB, kVkBrowserHome = 0xAC,
              kVkVolumeMute = 0xAD, kVkVolumeDown = 0xAE, kVkVolumeUp = 0xAF, kVkMediaNext = 0xB0,
              kVkMediaPrev = 0xB1, kVkMediaStop = 0xB2, kVkMediaPlayPause = 0xB3, kVkLaunchMail = 0xB4,
              kVkLaunchMedia = 0xB5, kVkLaunchApp1 = 0xB6, kVkLaunchApp2 = 0xB7, kVkOem102 = 0xE2, kVkOemNecEqual = 0x92,
              kVkCrsel = 0xF7, kVkExsel = 0xF8;

struct ScancodeKey {
  int scancode;
  int virtualKey;
};

// Every key of the usual keyboards by position, as the Windows keyboard
// driver numbers them (US layout for the punctuation keys). Numeric-pad keys
// report their digit codes: the engine's bindings name those.
constexpr ScancodeKey kSingleKeys[] = {
    {SDL_SCANCODE_0, '0'},
    {SDL_SCANCODE_KP_0, VK_NUMPAD0},
    {SDL_SCANCODE_RETURN, VK_RETURN},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN},
    {SDL_SCANCODE_RETURN2, VK_RETURN},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE},
    {SDL_SCANCODE_BACKSPACE, VK_BACK},
    {SDL_SCANCODE_TAB, VK_TAB},
    {SDL_SCANCODE_KP_TAB, VK_TAB},
    {SDL_SCANCODE_SPACE, VK_SPACE},
    {SDL_SCANCODE_KP_SPACE, VK_SPACE},
    {SDL_SCANCODE_PAUSE, VK_PAUSE},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT},
    {SDL_SCANCODE_END, VK_END},
    {SDL_SCANCODE_HOME, VK_HOME},
    {SDL_SCANCODE_LEFT, VK_LEFT},
    {SDL_SCANCODE_UP, VK_UP},
    {SDL_SCANCODE_RIGHT, VK_RIGHT},
    {SDL_SCANCODE_DOWN, VK_DOWN},
    {SDL_SCANCODE_INSERT, VK_INSERT},
    {SDL_SCANCODE_DELETE, VK_DELETE},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY},
    {SDL_SCANCODE_KP_PLUS, VK_ADD},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL},
    {SDL_SCANCODE_KP_DECIMAL, VK_DECIMAL},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE},
    {SDL_SCANCODE_KP_COMMA, kVkSeparator},
    {SDL_SCANCODE_KP_EQUALS, kVkOemNecEqual},
    {SDL_SCANCODE_KP_BACKSPACE, VK_BACK},
    {SDL_SCANCODE_KP_CLEAR, kVkClear},
    {SDL_SCANCODE_LSHIFT, VK_LSHIFT},
    {SDL_SCANCODE_RSHIFT, VK_RSHIFT},
    {SDL_SCANCODE_LCTRL, VK_LCONTROL},
    {SDL_SCANCODE_RCTRL, VK_RCONTROL},
    {SDL_SCANCODE_LALT, VK_LMENU},
    {SDL_SCANCODE_RALT, VK_RMENU},
    {SDL_SCANCODE_LGUI, kVkLWin},
    {SDL_SCANCODE_RGUI, kVkRWin},
    {SDL_SCANCODE_APPLICATION, kVkApps},
    {SDL_SCANCODE_MENU, kVkApps},
    {SDL_SCANCODE_GRAVE, VK_OEM_3},
    {SDL_SCANCODE_MINUS, VK_OEM_MINUS},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS},
    {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6},
    {SDL_SCANCODE_BACKSLASH, VK_OEM_5},
    {SDL_SCANCODE_NONUSHASH, VK_OEM_5},
    {SDL_SCANCODE_NONUSBACKSLASH, kVkOem102},
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1},
    {SDL_SCANCODE_APOSTROPHE, VK_OEM_7},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA},
    {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD},
    {SDL_SCANCODE_SLASH, VK_OEM_2},
    {SDL_SCANCODE_PRINTSCREEN, kVkSnapshot},
    {SDL_SCANCODE_SYSREQ, kVkSnapshot},
    {SDL_SCANCODE_SCROLLLOCK, kVkScroll},
    {SDL_SCANCODE_NUMLOCKCLEAR, kVkNumLock},
    {SDL_SCANCODE_CANCEL, kVkCancel},
    {SDL_SCANCODE_CLEAR, kVkClear},
    {SDL_SCANCODE_SELECT, kVkSelect},
    {SDL_SCANCODE_EXECUTE, kVkExecute},
    {SDL_SCANCODE_HELP, kVkHelp},
    {SDL_SCANCODE_SLEEP, kVkSleep},
    {SDL_SCANCODE_LANG1, kVkKana},
    {SDL_SCANCODE_LANG2, kVkHanja},
    {SDL_SCANCODE_SEPARATOR, kVkSeparator},
    {SDL_SCANCODE_CRSEL, kVkCrsel},
    {SDL_SCANCODE_EXSEL, kVkExsel},
    {SDL_SCANCODE_MUTE, kVkVolumeMute},
    {SDL_SCANCODE_AUDIOMUTE, kVkVolumeMute},
    {SDL_SCANCODE_VOLUMEDOWN, kVkVolumeDown},
    {SDL_SCANCODE_VOLUMEUP, kVkVolumeUp},
    {SDL_SCANCODE_AUDIONEXT, kVkMediaNext},
    {SDL_SCANCODE_AUDIOPREV, kVkMediaPrev},
    {SDL_SCANCODE_AUDIOSTOP, kVkMediaStop},
    {SDL_SCANCODE_AUDIOPLAY, kVkMediaPlayPause},
    {SDL_SCANCODE_MAIL, kVkLaunchMail},
    {SDL_SCANCODE_MEDIASELECT, kVkLaunchMedia},
    {SDL_SCANCODE_COMPUTER, kVkLaunchApp1},
    {SDL_SCANCODE_CALCULATOR, kVkLaunchApp2},
    {SDL_SCANCODE_AC_BACK, kVkBrowserBack},
    {SDL_SCANCODE_AC_FORWARD, kVkBrowserForward},
    {SDL_SCANCODE_AC_REFRESH, kVkBrowserRefresh},
    {SDL_SCANCODE_AC_STOP, kVkBrowserStop},
    {SDL_SCANCODE_AC_SEARCH, kVkBrowserSearch},
    {SDL_SCANCODE_AC_BOOKMARKS, kVkBrowserFavorites},
    {SDL_SCANCODE_AC_HOME, kVkBrowserHome},
};

int PositionalKey(int scancode) {
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 'A' + (scancode - SDL_SCANCODE_A);
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
  if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12) return VK_F1 + (scancode - SDL_SCANCODE_F1);
  if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24) return kVkF13 + (scancode - SDL_SCANCODE_F13);
  if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9) return VK_NUMPAD0 + 1 + (scancode - SDL_SCANCODE_KP_1);
  for (const ScancodeKey& key : kSingleKeys) {
    if (key.scancode == scancode) return key.virtualKey;
  }
  return 0;
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

void NoteToggle(int virtualKey, bool on) {
  if (!ValidKey(virtualKey)) return;
  std::lock_guard<std::mutex> lock(gKeyMutex);
  gKeys.toggled[virtualKey] = on;
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

SHORT GetKeyState(int virtualKey) {
  if (!ValidKey(virtualKey)) return 0;
  std::lock_guard<std::mutex> lock(gKeyMutex);
  uint16_t state = gKeys.down[virtualKey] ? 0x8000 : 0;
  if (gKeys.toggled[virtualKey]) state |= 1;
  return static_cast<SHORT>(state);
}

BOOL SetCursorPos(int x, int y) {
  // Under a headless driver there is no pointer to move; the recorded
  // position is what GetCursorPos reports either way.
  if (plat::detail::SdlVideoActive() && !plat::detail::HeadlessVideoDriver()) SDL_WarpMouseGlobal(x, y);
  plat::detail::NoteCursorScreen(x, y);
  return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
  if (!point || !plat::detail::IsLiveWindow(window)) return FALSE;
  int originX = 0;
  int originY = 0;
  plat::detail::ClientOrigin(window, &originX, &originY);
  point->x += originX;
  point->y += originY;
  return TRUE;
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
