// WindowFit: under X without a window manager, a full-screen request is answered by nobody; SDL
// then works with the desktop's size while the X window keeps its old one, so frames are drawn
// for one size and shown cut in another, and clicks land away from what they point at. The
// window is given the size SDL works with, which is what a window manager would have done.
#include "platform/window/WindowFit.h"

#include <SDL.h>

#ifdef KELVARUN_HAVE_X11
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

namespace plat {
namespace detail {

#ifdef KELVARUN_HAVE_X11
namespace {

// A window manager that follows the desktop conventions names its check window on the root.
bool HasWindowManager(Display* display) {
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
  if (check == None) return false;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                        &format, &count, &after, &data);
  const bool found = status == Success && type == XA_WINDOW && count == 1;
  if (data != nullptr) XFree(data);
  return found;
}

}  // namespace

void FitUnmanagedWindow(SDL_Window* sdl, bool fullScreen) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (sdl == nullptr || !SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11) return;
  Display* display = info.info.x11.display;
  const ::Window window = info.info.x11.window;
  if (display == nullptr || HasWindowManager(display)) return;
  int width = 0, height = 0;
  SDL_GetWindowSize(sdl, &width, &height);
  XWindowAttributes now;
  if (width <= 0 || height <= 0 || !XGetWindowAttributes(display, window, &now)) return;
  SDL_Rect desktop = {now.x, now.y, width, height};
  if (fullScreen) SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(sdl), &desktop);
  if (now.width == width && now.height == height && now.x == desktop.x && now.y == desktop.y) return;
  XMoveResizeWindow(display, window, desktop.x, desktop.y, static_cast<unsigned>(width),
                    static_cast<unsigned>(height));
  XFlush(display);
}
#else
void FitUnmanagedWindow(SDL_Window*, bool) {}
#endif

}  // namespace detail
}  // namespace plat
