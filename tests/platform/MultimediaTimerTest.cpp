// Multimedia timers: periodic and one-shot calls with their ID and user word, kills that wait for a
// running call, kills from inside the procedure, refused arguments.
#include "platform/MultimediaTimer.h"
#include "platform/Win32.h"
#include "tests/platform/PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

struct Calls {
  std::atomic<int> count{0};
  std::atomic<UINT> lastId{0};
  std::atomic<bool> inside{false};
  std::atomic<bool> overlapped{false};
  int killAt = 0;  // kill itself from its call number killAt (0: never)
};

void Procedure(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  Calls* calls = reinterpret_cast<Calls*>(user);
  if (calls->inside.exchange(true)) calls->overlapped = true;
  calls->lastId = id;
  const int n = ++calls->count;
  std::this_thread::sleep_for(std::chrono::milliseconds(1));  // a kill arriving now must wait for us
  calls->inside = false;
  if (calls->killAt != 0 && n == calls->killAt) timeKillEvent(id);
}

// Waits, with a generous safety limit, until the condition holds.
template <typename F>
bool WaitFor(F condition) {
  const auto start = std::chrono::steady_clock::now();
  while (!condition()) {
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST(MultimediaTimer, PeriodicCallsStopWhenKillReturns) {
  const size_t before = plat::ActiveTimerCount();
  Calls calls;
  const MMRESULT id = timeSetEvent(2, 1, Procedure, reinterpret_cast<DWORD_PTR>(&calls), TIME_PERIODIC);
  ASSERT_NE(id, 0u);
  EXPECT_EQ(plat::ActiveTimerCount(), before + 1);
  ASSERT_TRUE(WaitFor([&] { return calls.count >= 5; }));
  EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
  EXPECT_FALSE(calls.inside) << "the kill waited for the running call";
  const int after = calls.count;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(calls.count, after);
  EXPECT_FALSE(calls.overlapped);
  EXPECT_EQ(calls.lastId, id);
  EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM);
  EXPECT_EQ(plat::ActiveTimerCount(), before);
}

TEST(MultimediaTimer, OneShotAndSelfKilledTimersRetire) {
  const size_t before = plat::ActiveTimerCount();
  Calls once;
  const MMRESULT oneShot = timeSetEvent(1, 0, Procedure, reinterpret_cast<DWORD_PTR>(&once), TIME_ONESHOT);
  Calls selfKilled;
  selfKilled.killAt = 3;
  const MMRESULT periodic = timeSetEvent(1, 0, Procedure, reinterpret_cast<DWORD_PTR>(&selfKilled), TIME_PERIODIC);
  ASSERT_NE(oneShot, 0u);
  ASSERT_NE(periodic, 0u);
  EXPECT_NE(oneShot, periodic);
  ASSERT_TRUE(WaitFor([&] { return plat::ActiveTimerCount() == before; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(once.count, 1);
  EXPECT_EQ(selfKilled.count, 3);
  EXPECT_EQ(timeKillEvent(oneShot), MMSYSERR_INVALPARAM) << "a fired one-shot timer is gone";
}

TEST(MultimediaTimer, RefusesTimersWithoutDelayOrProcedure) {
  DebugCapture quiet;
  Calls calls;
  EXPECT_EQ(timeSetEvent(0, 0, Procedure, reinterpret_cast<DWORD_PTR>(&calls), TIME_PERIODIC), 0u);
  EXPECT_EQ(timeSetEvent(5, 0, nullptr, 0, TIME_PERIODIC), 0u);
  EXPECT_EQ(timeKillEvent(0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(quiet.Texts().size(), 2u);
}

}  // namespace
