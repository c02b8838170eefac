// WindowFit: makes an X window without a window manager take the size SDL works with (platform-internal).
#pragma once

struct SDL_Window;

namespace plat {
namespace detail {

// After a full-screen switch: under X with no window manager, moves and sizes the window to what
// SDL takes it to be (the desktop, when full screen). Anywhere else it does nothing.
void FitUnmanagedWindow(SDL_Window* sdl, bool fullScreen);

}  // namespace detail
}  // namespace plat
