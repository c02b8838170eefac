// Lazy start of SDL for the platform layer: the video and event subsystems are
// started on first use (the first window), and SDL is shut down at exit.
#pragma once

namespace plat {
namespace detail {

// Starts SDL video and events if they are not running; false (logged) when SDL
// cannot start, e.g. no display and no offscreen driver.
bool EnsureSdlVideo();

// True once EnsureSdlVideo has succeeded (event pumping and cursor calls are
// skipped before that, so headless code that never opens a window never starts SDL).
bool SdlVideoActive();

// True when the running (or requested) SDL video driver draws nowhere: the
// offscreen or dummy driver.
bool HeadlessVideoDriver();

}  // namespace detail
}  // namespace plat
