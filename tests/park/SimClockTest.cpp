// The park clock: texts, day and week carries against a step-by-step reference, the length of a
// park day in real ticks, per-day charging, and restoring hostile saved times.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "park/SimClock.h"

namespace {

std::string Text(const CSimClock& clock, bool quarters) {
  char buffer[11];
  clock.FormatTimeOfDay(buffer, sizeof(buffer), quarters);
  return buffer;
}

CSimClock At(uint32_t week, uint32_t day, double hour) {
  CSimClock clock;
  clock.SetTime(week, day, hour);
  return clock;
}

// The calendar carried one day and one week at a time, as a plain reading of the rules.
struct ReferenceCalendar {
  uint64_t week = 1, day = 1;
  double hour = 10.0;
  void Advance(float realSeconds, float rate) {
    hour += static_cast<double>(realSeconds * rate) * 0.0002777777777777778;
    while (hour > 20.0) {
      hour -= 10.0;
      ++day;
    }
    while (day > 7) {
      ++week;
      day -= 7;
    }
  }
};

TEST(SimClock, TimeOfDayTexts) {
  EXPECT_EQ(Text(At(1, 1, 14.75), false), "2:45 p.m.");
  EXPECT_EQ(Text(At(1, 1, 10.0), false), "10:00 a.m.");
  EXPECT_EQ(Text(At(1, 1, 13.1), false), "1:06 p.m.");
  EXPECT_EQ(Text(At(1, 1, 13.1), true), "1:00 p.m.");
  EXPECT_EQ(Text(At(1, 1, 12.5), false), "12:30 p.m.");  // noon keeps its 12
  EXPECT_EQ(Text(At(1, 1, 11.999), false), "11:59 a.m.");
  EXPECT_EQ(Text(At(1, 1, 20.0), false), "8:00 p.m.");
  EXPECT_EQ(Text(At(1, 1, 10.0 + 14.0 / 60.0), true), "10:00 a.m.");
  EXPECT_EQ(Text(At(1, 1, 10.0 + 15.0 / 60.0), true), "10:15 a.m.");
  // Every minute of the day reads back as itself.
  for (int minute = 0; minute <= 600; ++minute) {
    const CSimClock clock = At(1, 1, 10.0 + minute / 60.0);
    const int h = 10 + minute / 60, m = minute % 60;
    char expected[16];
    std::snprintf(expected, sizeof(expected), "%d:%02d %s", h > 12 ? h - 12 : h, m, h < 12 ? "a.m." : "p.m.");
    ASSERT_EQ(Text(clock, false), expected) << minute;
  }
  // A short buffer gets a terminated prefix; a zero size or null buffer is left alone.
  char small[5] = {'x', 'x', 'x', 'x', 'x'};
  At(1, 1, 10.0).FormatTimeOfDay(small, sizeof(small), false);
  EXPECT_STREQ(small, "10:0");
  char untouched[2] = {'q', '\0'};
  At(1, 1, 10.0).FormatTimeOfDay(untouched, 0, false);
  EXPECT_EQ(untouched[0], 'q');
  At(1, 1, 10.0).FormatTimeOfDay(nullptr, 11, false);
}

TEST(SimClock, StepsCarryDaysAndWeeks) {
  CSimClock clock = At(1, 1, 19.0);
  clock.Update(12.0f * 3600.0f / 400.0f);  // twelve simulated hours: 31 -> 21 -> 11
  EXPECT_EQ(clock.GetDay(), 3u);
  EXPECT_NEAR(clock.GetHour(), 11.0, 1e-9);
  EXPECT_EQ(clock.GetWeek(), 1u);

  CSimClock wrap = At(4, 7, 19.5);
  wrap.Update(3600.0f / 400.0f);
  EXPECT_EQ(wrap.GetWeek(), 5u);
  EXPECT_EQ(wrap.GetDay(), 1u);

  CSimClock closing = At(1, 2, 20.0);
  closing.Update(0.0f);
  EXPECT_EQ(closing.GetDay(), 2u);
  EXPECT_EQ(closing.GetHour(), 20.0);

  // Long random runs, from tiny ticks to steps of many days, against the reference.
  std::mt19937 random(7);
  std::uniform_real_distribution<float> tick(0.0f, 0.1f);
  std::uniform_real_distribution<float> leap(0.0f, 2000.0f);
  CSimClock run;
  ReferenceCalendar reference;
  for (int i = 0; i < 200000; ++i) {
    const float dt = (i % 97 == 0) ? leap(random) : tick(random);
    run.Update(dt);
    reference.Advance(dt, run.GetRate());
    ASSERT_EQ(run.GetDay(), reference.day) << i;
    ASSERT_EQ(run.GetWeek(), reference.week) << i;
    ASSERT_NEAR(run.GetHour(), reference.hour, 1e-9) << i;
    ASSERT_GE(run.GetDay(), 1u);
    ASSERT_LE(run.GetDay(), 7u);
    ASSERT_GT(run.GetHour(), 10.0 - 1e-12);
    ASSERT_LE(run.GetHour(), 20.0);
  }

  // Steps that are negative or not numbers leave the clock where it was.
  const CSimClock before = run;
  run.Update(-5.0f);
  run.Update(std::nanf(""));
  run.Update(INFINITY);
  EXPECT_EQ(run.GetHour(), before.GetHour());
  EXPECT_EQ(run.GetDay(), before.GetDay());
  EXPECT_EQ(run.GetWeek(), before.GetWeek());
}

TEST(SimClock, ParkDayLastsNinetyRealSecondsAndChargesItsCost) {
  CSimClock clock;
  const float dt = 0.033f;
  double real = 0.0;
  double charged = 0.0;
  const float costPerDay = 250.0f;
  int ticks = 0;
  // Whole 33 ms ticks up to 90 s, then the rest of the 90 s as one short tick.
  while (real + dt <= 90.0) {
    clock.Update(dt);
    charged += clock.GetCostForStep(dt, costPerDay);
    real += dt;
    ++ticks;
  }
  EXPECT_EQ(clock.GetDay(), 1u);  // still the first day just before 90 s
  const float rest = static_cast<float>(90.0 - real);
  clock.Update(rest);
  charged += clock.GetCostForStep(rest, costPerDay);
  EXPECT_EQ(ticks, 2727);
  EXPECT_NEAR(clock.GetHour(), 20.0, 1e-3);
  EXPECT_NEAR(charged, costPerDay, 0.01);
  clock.Update(dt);  // the next tick opens the second day
  EXPECT_EQ(clock.GetDay(), 2u);
  EXPECT_NEAR(clock.GetHour(), 10.0, 0.01);

  EXPECT_EQ(CSimClock::GetHoursPerDay(), 10.0);
  EXPECT_FLOAT_EQ(clock.ScaleToSim(4.5f), 1800.0f);
  std::mt19937 random(3);
  std::uniform_real_distribution<float> seconds(0.0f, 1000.0f);
  for (int i = 0; i < 1000; ++i) {
    const float s = seconds(random);
    ASSERT_NEAR(clock.ScaleToReal(clock.ScaleToSim(s)), s, s * 1e-6f);
  }
}

TEST(SimClock, RestoredTimesAreBroughtIntoRange) {
  // Ordinary saved values are kept as they are.
  const CSimClock plain = At(12, 5, 17.25);
  EXPECT_EQ(plain.GetWeek(), 12u);
  EXPECT_EQ(plain.GetDay(), 5u);
  EXPECT_EQ(plain.GetHour(), 17.25);

  // Out-of-range but finite values settle where the step rules would carry them.
  std::mt19937 random(11);
  std::uniform_real_distribution<double> hours(-50.0, 400.0);
  std::uniform_int_distribution<uint32_t> days(0, 60);
  for (int i = 0; i < 5000; ++i) {
    const uint32_t day = days(random);
    const double hour = hours(random);
    const CSimClock clock = At(3, day, hour);
    ReferenceCalendar reference;
    reference.week = 3;
    reference.day = day == 0 ? 1 : day;
    reference.hour = hour < 10.0 ? 10.0 : hour;
    reference.Advance(0.0f, 400.0f);
    ASSERT_EQ(clock.GetDay(), reference.day) << day << " " << hour;
    ASSERT_EQ(clock.GetWeek(), reference.week) << day << " " << hour;
    ASSERT_NEAR(clock.GetHour(), reference.hour, 1e-9) << day << " " << hour;
  }

  // Values a loop could never settle: each returns at once with the calendar in range.
  const double hostile[] = {INFINITY, -INFINITY, NAN, 1e30, 1e308, -1e30};
  for (double hour : hostile) {
    const CSimClock clock = At(UINT32_MAX, UINT32_MAX, hour);
    EXPECT_GE(clock.GetDay(), 1u) << hour;
    EXPECT_LE(clock.GetDay(), 7u) << hour;
    EXPECT_GE(clock.GetHour(), 10.0) << hour;
    EXPECT_LE(clock.GetHour(), 20.0) << hour;
    EXPECT_GE(clock.GetWeek(), 1u) << hour;
  }
  EXPECT_EQ(At(0, 0, 10.0).GetWeek(), 1u);
  EXPECT_EQ(At(0, 0, 10.0).GetDay(), 1u);
  EXPECT_EQ(At(UINT32_MAX, 1, 1e30).GetWeek(), UINT32_MAX);  // the week counter stops at its top

  CSimClock reset = At(9, 4, 15.0);
  reset.Reset();
  EXPECT_EQ(reset.GetWeek(), 1u);
  EXPECT_EQ(reset.GetDay(), 1u);
  EXPECT_EQ(reset.GetHour(), 10.0);
  EXPECT_EQ(reset.GetRate(), 400.0f);
}

}  // namespace
