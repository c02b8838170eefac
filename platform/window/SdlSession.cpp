// Lazy start and exit-time shutdown of SDL's video and event subsystems.
#include "platform/window/SdlSession.h"

#include "platform/system/Win32.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace plat {
namespace detail {

namespace {
bool gQuitRegistered = false;

// No driver asked for and no display server to talk to.
bool NoDisplayServer() {
  return !std::getenv("SDL_VIDEODRIVER") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY");
}

bool IsHeadlessName(const char* name) {
  return name && (SDL_strcasecmp(name, "offscreen") == 0 || SDL_strcasecmp(name, "dummy") == 0);
}
}  // namespace

bool EnsureSdlVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == (SDL_INIT_VIDEO | SDL_INIT_EVENTS)) return true;
  // Without a display server (CI, a console) the program still runs: its
  // window lives in memory. A driver chosen in the environment always wins.
  if (NoDisplayServer()) SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
  // The hardware renderer's OpenGL context is the only one on this thread. An SDL renderer or a
  // GL-backed window surface would keep a context of SDL's own current here for the window's
  // life: the game's make-current is then refused, or it silently replaces SDL's and every
  // present after it fails. Frames arrive as CPU pixels anyway, so SDL presents them in software
  // on every driver, whatever the environment asks for.
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_OVERRIDE);
  SDL_SetHintWithPriority(SDL_HINT_RENDER_DRIVER, "software", SDL_HINT_OVERRIDE);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    const std::string line = std::string("Platform: SDL video could not start: ") + SDL_GetError() + "\n";
    OutputDebugStringA(line.c_str());
    return false;
  }
  if (!gQuitRegistered) {
    // Windows still open at exit are closed by SDL itself; the game's own
    // shutdown normally destroys its window first.
    std::atexit(SDL_Quit);
    gQuitRegistered = true;
  }
  return true;
}

bool SdlVideoActive() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

bool HeadlessVideoDriver() {
  if (SdlVideoActive()) return IsHeadlessName(SDL_GetCurrentVideoDriver());
  if (NoDisplayServer()) return true;
  return IsHeadlessName(std::getenv("SDL_VIDEODRIVER"));
}

}  // namespace detail
}  // namespace plat
