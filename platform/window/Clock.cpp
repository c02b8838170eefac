// Time functions: timeGetTime, Sleep and the performance counter over the
// monotonic clock, or over a hand-driven clock that tests switch to.
#include "platform/system/Platform.h"
#include "platform/system/Win32.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using SteadyClock = std::chrono::steady_clock;

// The counter ticks in nanoseconds in both modes, so code that divides by the
// frequency sees the same units whichever clock runs.
constexpr int64_t kCounterFrequency = 1000000000;

SteadyClock::time_point ProcessStart() {
  static const SteadyClock::time_point start = SteadyClock::now();
  return start;
}
// Touch the start at static initialisation so "since process start" does not
// mean "since the first call".
const SteadyClock::time_point gStartAnchor = ProcessStart();

std::atomic<bool> gManual{false};
std::atomic<DWORD> gManualMilliseconds{0};
std::atomic<DWORD> gSleptMilliseconds{0};
std::atomic<int> gSleepCalls{0};

int64_t RealNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now() - ProcessStart()).count();
}

}  // namespace

DWORD timeGetTime() {
  if (gManual.load()) return gManualMilliseconds.load();
  // Wraps after about 49.7 days, as the 32-bit millisecond clock it stands for.
  return static_cast<DWORD>(RealNanoseconds() / 1000000);
}

void Sleep(DWORD milliseconds) {
  gSleptMilliseconds.fetch_add(milliseconds);
  gSleepCalls.fetch_add(1);
  if (gManual.load()) {
    gManualMilliseconds.fetch_add(milliseconds);
    return;
  }
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

BOOL QueryPerformanceCounter(int64_t* count) {
  if (!count) return FALSE;
  if (gManual.load()) {
    *count = static_cast<int64_t>(gManualMilliseconds.load()) * (kCounterFrequency / 1000);
  } else {
    *count = RealNanoseconds();
  }
  return TRUE;
}

BOOL QueryPerformanceFrequency(int64_t* frequency) {
  if (!frequency) return FALSE;
  *frequency = kCounterFrequency;
  return TRUE;
}

namespace plat {

void UseManualClock(DWORD startMilliseconds) {
  gManualMilliseconds.store(startMilliseconds);
  gManual.store(true);
}

void UseRealClock() { gManual.store(false); }

bool IsManualClock() { return gManual.load(); }

void AdvanceClock(DWORD milliseconds) { gManualMilliseconds.fetch_add(milliseconds); }

DWORD SleptMilliseconds() { return gSleptMilliseconds.load(); }

int SleepCalls() { return gSleepCalls.load(); }

void ResetSleepLog() {
  gSleptMilliseconds.store(0);
  gSleepCalls.store(0);
}

}  // namespace plat
