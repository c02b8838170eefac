// The window-hook chains behind SetWindowsHookExA: the event pump runs them
// for each keyboard and mouse message it makes (platform-internal).
#pragma once

#include "platform/system/Win32.h"

namespace plat {
namespace detail {

// Runs the keyboard hooks of the calling thread for a key message (wParam the
// virtual-key code, lParam the key message's flags). True when a hook
// swallowed the message, so it must not be queued.
bool RunKeyboardHooks(WPARAM virtualKey, LPARAM flags);

// Runs the mouse hooks of the calling thread for a mouse message at a screen
// position. True when a hook swallowed the message.
bool RunMouseHooks(UINT message, POINT screen, HWND window);

}  // namespace detail
}  // namespace plat
