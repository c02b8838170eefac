// The per-user single-instance lock of a window class and the restore
// requests another instance sends through a Unix-domain socket beside it
// (platform-internal; see plat::RestoreRequestsReceived).
#pragma once

#include "platform/system/Win32.h"

#include <string>

namespace plat {
namespace detail {

// Takes the class's lock for the window unless this process already holds it;
// false when another process holds it or the lock folder is unusable (logged).
bool ClaimInstance(HWND window, const std::string& className);
// The window is going away: the lock passes to successor (another window of
// the class, may be null); without one the lock is released and the socket removed.
void ReleaseInstance(HWND window, HWND successor);
// True when another process holds the class's lock.
bool InstanceHeldElsewhere(const std::string& className);
// Asks the lock holder of the class to restore its window; true when sent.
bool SendRestoreRequest(const std::string& className);
// Accepts and reads pending restore requests without blocking.
void PollInstanceRequests();

}  // namespace detail
}  // namespace plat
