// The park clock against a step-by-step reference, its texts, the length of a park day, per-day
// charging, and restoring hostile saved times.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "park/world/SimClock.h"

namespace {

CSimClock At(uint32_t week, uint32_t day, double hour) {
  CSimClock clock;
  clock.SetTime(week, day, hour);
  return clock;
}

std::string Text(double hour, bool quarters) {
  char buffer[11];
  At(1, 1, hour).FormatTimeOfDay(buffer, sizeof(buffer), quarters);
  return buffer;
}

// The calendar carried one day and one week at a time: a plain reading of the rules.
struct Reference {
  uint64_t week = 1, day = 1;
  double hour = 10.0;
  void Advance(double hours) {
    for (hour += hours; hour > 20.0; ++day) hour -= 10.0;
    for (; day > 7; day -= 7) ++week;
  }
};

TEST(SimClock, TimeOfDayTexts) {
  EXPECT_EQ(Text(13.1, true), "1:00 p.m.");
  EXPECT_EQ(Text(10.0 + 14.0 / 60.0, true), "10:00 a.m.");
  EXPECT_EQ(Text(10.0 + 15.0 / 60.0, true), "10:15 a.m.");
  for (int minute = 0; minute <= 600; ++minute) {  // every minute reads back as itself
    const int h = 10 + minute / 60, m = minute % 60;
    char expected[16];
    std::snprintf(expected, sizeof(expected), "%d:%02d %s", h > 12 ? h - 12 : h, m, h < 12 ? "a.m." : "p.m.");
    ASSERT_EQ(Text(10.0 + minute / 60.0, false), expected);
  }
}

TEST(SimClock, StepsMatchTheReferenceAcrossDaysAndWeeks) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> tick(0.0f, 0.1f), leap(0.0f, 2000.0f);
  CSimClock run;
  Reference reference;
  for (int i = 0; i < 200000; ++i) {
    const float dt = (i % 97 == 0) ? leap(random) : tick(random);
    run.Update(dt);
    reference.Advance(static_cast<double>(dt * 400.0f) * 0.0002777777777777778);
    ASSERT_EQ(run.GetDay(), reference.day) << i;
    ASSERT_EQ(run.GetWeek(), reference.week) << i;
    ASSERT_NEAR(run.GetHour(), reference.hour, 1e-9) << i;
  }
  const double hour = run.GetHour();
  run.Update(std::nanf(""));
  EXPECT_EQ(run.GetHour(), hour);
}

TEST(SimClock, ParkDayLastsNinetyRealSecondsAndChargesItsCost) {
  CSimClock clock;
  double real = 0.0, charged = 0.0;
  int ticks = 0;
  for (; real + 0.033 <= 90.0; ++ticks, real += 0.033) {
    clock.Update(0.033f);
    charged += clock.GetCostForStep(0.033f, 250.0f);
  }
  EXPECT_EQ(ticks, 2727);
  const float rest = static_cast<float>(90.0 - real);
  clock.Update(rest);
  charged += clock.GetCostForStep(rest, 250.0f);
  EXPECT_NEAR(clock.GetHour(), 20.0, 1e-3);
  EXPECT_NEAR(charged, 250.0, 0.01);
  clock.Update(0.033f);
  EXPECT_EQ(clock.GetDay(), 2u);
  EXPECT_NEAR(clock.ScaleToReal(clock.ScaleToSim(4.5f)), 4.5f, 1e-6f);
}

TEST(SimClock, RestoredTimesAreBroughtIntoRange) {
  const CSimClock late = At(3, 6, 45.5), sunday = At(3, 16, 12.0), early = At(3, 0, -4.0);
  EXPECT_TRUE(late.GetWeek() == 4 && late.GetDay() == 2 && late.GetHour() == 15.5);  // 35.5, 25.5, 15.5
  EXPECT_TRUE(sunday.GetWeek() == 5 && sunday.GetDay() == 2 && sunday.GetHour() == 12.0);
  EXPECT_TRUE(early.GetWeek() == 3 && early.GetDay() == 1 && early.GetHour() == 10.0);
  for (double hour : {double(INFINITY), -double(INFINITY), double(NAN), 1e30, 1e308}) {  // no loop could settle these
    const CSimClock clock = At(UINT32_MAX, UINT32_MAX, hour);
    EXPECT_TRUE(clock.GetDay() >= 1 && clock.GetDay() <= 7) << hour;
    EXPECT_TRUE(clock.GetHour() >= 10.0 && clock.GetHour() <= 20.0) << hour;
    EXPECT_EQ(clock.GetWeek(), UINT32_MAX) << hour;  // the week counter stops at its top
  }
  EXPECT_EQ(At(0, 0, 10.0).GetWeek(), 1u);
}

}  // namespace
