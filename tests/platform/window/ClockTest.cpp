// The hand-driven clock, the Sleep log and the counter's units.
#include "platform/system/Platform.h"
#include "platform/system/Win32.h"

#include <gtest/gtest.h>

TEST(ClockTest, ManualTimeMovesOnlyByAdvanceAndSleepAndDrivesTheCounter) {
  plat::UseManualClock(1000);
  plat::ResetSleepLog();
  int64_t frequency = 0;
  int64_t before = 0;
  int64_t after = 0;
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  ASSERT_TRUE(QueryPerformanceCounter(&before));
  EXPECT_EQ(timeGetTime(), 1000u);
  plat::AdvanceClock(33);
  Sleep(13);
  Sleep(0);
  Sleep(20);
  EXPECT_EQ(plat::SleptMilliseconds(), 33u);
  EXPECT_EQ(plat::SleepCalls(), 3);
  plat::ResetSleepLog();
  EXPECT_EQ(plat::SleepCalls(), 0);
  EXPECT_EQ(timeGetTime(), 1066u);  // moved by the sleeps, and not by resetting their log
  ASSERT_TRUE(QueryPerformanceCounter(&after));
  EXPECT_EQ((after - before) * 1000 / frequency, 66);
  EXPECT_FALSE(QueryPerformanceCounter(nullptr));
  plat::UseRealClock();
}

TEST(ClockTest, RealClockIsMonotonicAndAgreesWithTheCounter) {
  plat::UseRealClock();
  EXPECT_FALSE(plat::IsManualClock());
  int64_t frequency = 0;
  QueryPerformanceFrequency(&frequency);
  DWORD previous = timeGetTime();
  int64_t previousCount = 0;
  QueryPerformanceCounter(&previousCount);
  const int64_t firstCount = previousCount;
  for (int i = 0; i < 10000; ++i) {
    const DWORD now = timeGetTime();
    int64_t count = 0;
    QueryPerformanceCounter(&count);
    ASSERT_GE(now, previous);
    ASSERT_GE(count, previousCount);
    // Both read the same clock: the counter in milliseconds is never behind the read before it.
    ASSERT_GE(count * 1000 / frequency, static_cast<int64_t>(now));
    previous = now;
    previousCount = count;
  }
  EXPECT_GT(previousCount, firstCount);  // a nanosecond counter moves within the loop
  const DWORD before = timeGetTime();
  Sleep(5);  // a real sleep, not a yield
  EXPECT_GE(timeGetTime() - before, 5u);
}
