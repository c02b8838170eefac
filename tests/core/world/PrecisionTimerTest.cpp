// Tests of CPrecisionTimer on the platform's hand-driven clock.
#include "core/world/PrecisionTimer.h"

#include "platform/system/Platform.h"

#include <gtest/gtest.h>

namespace {

// Runs a test on the manual clock and restores the real one afterwards.
class PrecisionTimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::UseManualClock(1000);
    CPrecisionTimer::ResetCalibration();
  }
  void TearDown() override {
    plat::UseRealClock();
    CPrecisionTimer::ResetCalibration();
  }
};

}  // namespace

TEST_F(PrecisionTimerTest, CounterArithmeticSubtractsTheOverhead) {
  // 35,795 ticks of a 3,579,545 Hz counter are 0.01 s to within a tick.
  EXPECT_NEAR(CPrecisionTimer::CounterSeconds(35795 + 40, 0, 40, 3579545), 0.01, 1.0 / 3579545);
  EXPECT_NEAR(CPrecisionTimer::CounterSeconds(1000000000005LL, 1000000000000LL, 5, 1000), 0.0, 1e-12);
  EXPECT_LT(CPrecisionTimer::CounterSeconds(100, 100, 3, 1000), 0.0);  // no work: slightly negative
  EXPECT_EQ(CPrecisionTimer::CounterSeconds(100, 0, 0, 0), 0.0);     // no frequency: no division by zero
}

TEST_F(PrecisionTimerTest, MeasuresAdvancedTime) {
  CPrecisionTimer timer;
  timer.Start();
  plat::AdvanceClock(2000);
  EXPECT_NEAR(timer.Elapsed(), 2.0, 1e-9);
  timer.Start();
  EXPECT_NEAR(timer.Elapsed(), 0.0, 1e-9);
}

TEST_F(PrecisionTimerTest, UnstartedTimerAndRecalibrationMidMeasurement) {
  const CPrecisionTimer never;
  EXPECT_EQ(never.Elapsed(), 0.0);

  CPrecisionTimer running;
  running.Start();
  plat::AdvanceClock(100);
  // The main loop resets the calibration for another measurement while this
  // one still runs; this reading must stay on its own clock.
  CPrecisionTimer::ResetCalibration();
  EXPECT_NEAR(running.Elapsed(), 0.1, 1e-9);
  CPrecisionTimer other;
  other.Start();
  plat::AdvanceClock(50);
  EXPECT_NEAR(running.Elapsed(), 0.15, 1e-9);
  EXPECT_NEAR(other.Elapsed(), 0.05, 1e-9);
}
