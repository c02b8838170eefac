// Bookkeeping of the multimedia timers (timeSetEvent and timeKillEvent are
// declared in Win32.h).
#pragma once

#include <cstddef>

namespace plat {

// Timers set and not yet killed (a one-shot timer counts until it has fired).
size_t ActiveTimerCount();

}  // namespace plat
