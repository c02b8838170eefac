// Multimedia timers, one thread each. Periodic calls keep to the grid of the
// start time: a late call does not shift the later ones, and calls missed
// while a slow procedure ran are skipped rather than made up in a burst.
#include "platform/window/MultimediaTimer.h"

#include "platform/system/Win32.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  UINT id = 0;
  UINT delay = 0;
  bool periodic = false;
  LPTIMECALLBACK procedure = nullptr;
  DWORD_PTR user = 0;
  std::mutex mutex;
  std::condition_variable wake;
  bool stop = false;
  std::thread thread;
};

struct Timers {
  std::mutex mutex;
  std::map<UINT, std::shared_ptr<Timer>> live;
  UINT nextId = 1;
};

// Never freed: a timer may be killed by a static destructor at exit.
Timers& TheTimers() {
  static Timers* timers = new Timers();
  return *timers;
}

// Waits until the deadline; false when the timer was stopped meanwhile.
bool WaitUntil(Timer& timer, Clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(timer.mutex);
  return !timer.wake.wait_until(lock, deadline, [&timer] { return timer.stop; });
}

// A one-shot timer that has fired takes itself out of the table, unless a
// kill got there first (the killer then joins the thread).
void Retire(const std::shared_ptr<Timer>& timer) {
  Timers& timers = TheTimers();
  std::lock_guard<std::mutex> lock(timers.mutex);
  auto found = timers.live.find(timer->id);
  if (found == timers.live.end() || found->second != timer) return;
  timer->thread.detach();
  timers.live.erase(found);
}

void Run(std::shared_ptr<Timer> timer) {
  const auto period = std::chrono::milliseconds(timer->delay);
  auto due = Clock::now() + period;
  for (;;) {
    if (!WaitUntil(*timer, due)) return;
    timer->procedure(timer->id, 0, timer->user, 0, 0);
    if (!timer->periodic) break;
    due += period;
    const auto now = Clock::now();
    if (due < now) due += period * ((now - due) / period + 1);
  }
  Retire(timer);
}

}  // namespace

namespace plat {

size_t ActiveTimerCount() {
  Timers& timers = TheTimers();
  std::lock_guard<std::mutex> lock(timers.mutex);
  return timers.live.size();
}

}  // namespace plat

MMRESULT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK procedure, DWORD_PTR user, UINT flags) {
  if (delay == 0 || procedure == nullptr) {
    OutputDebugStringA("MultimediaTimer: a timer needs a delay and a procedure\n");
    return 0;
  }
  auto timer = std::make_shared<Timer>();
  timer->delay = delay;
  timer->periodic = (flags & TIME_PERIODIC) != 0;
  timer->procedure = procedure;
  timer->user = user;
  Timers& timers = TheTimers();
  std::lock_guard<std::mutex> lock(timers.mutex);
  timer->id = timers.nextId++;
  if (timers.nextId == 0) timers.nextId = 1;  // 0 means failure
  // Started under the table lock, so a one-shot timer cannot retire before it is listed.
  timer->thread = std::thread(Run, timer);
  timers.live[timer->id] = timer;
  return timer->id;
}

MMRESULT timeKillEvent(MMRESULT timerId) {
  std::shared_ptr<Timer> timer;
  {
    Timers& timers = TheTimers();
    std::lock_guard<std::mutex> lock(timers.mutex);
    auto found = timers.live.find(timerId);
    if (found == timers.live.end()) return MMSYSERR_INVALPARAM;
    timer = found->second;
    timers.live.erase(found);
  }
  {
    std::lock_guard<std::mutex> lock(timer->mutex);
    timer->stop = true;
  }
  timer->wake.notify_all();
  // Killed from its own procedure: the thread ends after the call returns.
  if (timer->thread.get_id() == std::this_thread::get_id()) {
    timer->thread.detach();
  } else {
    timer->thread.join();
  }
  return TIMERR_NOERROR;
}
