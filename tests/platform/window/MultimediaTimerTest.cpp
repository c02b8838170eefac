// Multimedia timers: periodic and one-shot calls with their ID and user word, kills that wait for a
// running call, kills from inside the procedure, refused arguments.
#include "platform/window/MultimediaTimer.h"
#include "platform/system/Win32.h"
#include "tests/platform/window/WindowTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

struct Calls {
  std::atomic<int> count{0};
  std::atomic<UINT> lastId{0};
  std::atomic<bool> inside{false};
  int killAt = 0;  // kills its own timer on this call (0: never)
};

void Procedure(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  Calls* calls = reinterpret_cast<Calls*>(user);
  calls->inside = true;
  calls->lastId = id;
  const int n = ++calls->count;
  std::this_thread::sleep_for(std::chrono::milliseconds(1));  // a kill arriving now must wait for us
  calls->inside = false;
  if (n == calls->killAt) timeKillEvent(id);
}

// Waits until the condition holds; the limit is a safety net against a hang, not a measurement.
template <typename F>
bool WaitFor(F condition) {
  const auto start = std::chrono::steady_clock::now();
  while (!condition() && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

TEST(MultimediaTimer, CallsStopForGoodOnceKilledOrFired) {
  const size_t before = plat::ActiveTimerCount();
  Calls periodic;
  const MMRESULT id = timeSetEvent(2, 1, Procedure, reinterpret_cast<DWORD_PTR>(&periodic), TIME_PERIODIC);
  Calls once;
  const MMRESULT oneShot = timeSetEvent(1, 0, Procedure, reinterpret_cast<DWORD_PTR>(&once), TIME_ONESHOT);
  Calls selfKilled;
  selfKilled.killAt = 3;
  ASSERT_NE(timeSetEvent(1, 0, Procedure, reinterpret_cast<DWORD_PTR>(&selfKilled), TIME_PERIODIC), 0u);
  ASSERT_TRUE(id != 0 && oneShot != 0 && id != oneShot);

  ASSERT_TRUE(WaitFor([&] { return periodic.count >= 5; }));
  EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
  EXPECT_FALSE(periodic.inside) << "the kill waited for the running call";
  EXPECT_EQ(periodic.lastId, id);
  EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM);
  // The fired one-shot and the self-killed timer retire by themselves.
  ASSERT_TRUE(WaitFor([&] { return plat::ActiveTimerCount() == before; }));
  const int after = periodic.count;
  Calls slow;  // a ten-minute period: the kill below has to wake it
  const MMRESULT slowId = timeSetEvent(600000, 0, Procedure, reinterpret_cast<DWORD_PTR>(&slow), TIME_PERIODIC);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(periodic.count, after);
  EXPECT_EQ(timeKillEvent(slowId), TIMERR_NOERROR);
  EXPECT_EQ(once.count, 1);
  EXPECT_EQ(selfKilled.count, 3);
  EXPECT_EQ(timeKillEvent(oneShot), MMSYSERR_INVALPARAM);

  DebugCapture quiet;
  EXPECT_EQ(timeSetEvent(0, 0, Procedure, reinterpret_cast<DWORD_PTR>(&once), TIME_PERIODIC), 0u);
  EXPECT_EQ(timeSetEvent(5, 0, nullptr, 0, TIME_PERIODIC), 0u);
  EXPECT_EQ(LoggedLines(quiet), 2);
}

}  // namespace
