// The keyboard and mouse state behind GetAsyncKeyState and GetCursorPos, and
// the translation of SDL keys to virtual-key codes (platform-internal).
#pragma once

#include "platform/system/Win32.h"

namespace plat {
namespace detail {

// Records a key or mouse button (VK_LBUTTON, ...) going down or up. A side key
// (VK_LSHIFT, VK_RCONTROL, VK_LMENU, ...) also updates its generic key
// (VK_SHIFT, VK_CONTROL, VK_MENU), which is down while either side is.
void NoteKey(int virtualKey, bool down);
// Sets a key's toggle (GetKeyState bit 0), e.g. Caps Lock from the keyboard's own lock state.
void NoteToggle(int virtualKey, bool on);

// The virtual-key code of an SDL key (scancode and keycode of the event), or 0
// for keys the engine has no code for. Letters follow the keyboard layout, as
// on Windows; every other key follows its position.
int VirtualKeyFromSdl(int scancode, int keycode);
// The generic code a window message carries for a side key (VK_LSHIFT -> VK_SHIFT).
int MessageKeyCode(int virtualKey);

// MK_* bits of the mouse buttons held now.
WPARAM MouseKeyBits();

void NoteCursorScreen(int x, int y);

// Applies the ShowCursor counter to SDL (for windows made after a ShowCursor call).
void ApplyCursorVisibility();

}  // namespace detail
}  // namespace plat
