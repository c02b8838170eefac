// CSimClock: the park's calendar (week, day of the week, hour of the park day), driven by real time.
#pragma once

#include <cstdint>

class CSimClock {
 public:
  static constexpr double kOpeningHour = 10.0;
  static constexpr double kClosingHour = 20.0;
  static constexpr uint32_t kDaysPerWeek = 7;
  static constexpr float kDefaultRate = 400.0f;  // simulated seconds per real second

  CSimClock() = default;
  virtual ~CSimClock() = default;

  // A new game: week 1, day 1, opening time; the rate is kept.
  void Reset();
  // Advances by real seconds. Steps that are negative or not finite are ignored, so a bad tick
  // cannot send the calendar backwards or poison it.
  virtual void Update(float realSeconds);

  static double GetHoursPerDay() { return kClosingHour - kOpeningHour; }
  float ScaleToSim(float realSeconds) const { return realSeconds * m_rate; }
  float ScaleToReal(float simSeconds) const { return simSeconds / m_rate; }
  // What a piece that costs costPerDay per park day is charged for one real step.
  double GetCostForStep(float realSeconds, float costPerDay) const {
    return ScaleToSim(realSeconds) / (GetHoursPerDay() * 3600.0) * costPerDay;
  }

  // Restores a saved time. The values come from a file, so they are brought into the clock's
  // ranges: week from 1, day 1 to 7 (a larger day carries into weeks), hour in [10, 20] (an hour
  // past closing carries into days as Update would; a non-finite or early hour opens the day).
  void SetTime(uint32_t week, uint32_t day, double hour);

  // The time of day as "h:mm a.m." / "h:mm p.m.", minutes rounded down to a quarter when asked.
  // Always terminated when size > 0; 11 bytes hold every text.
  void FormatTimeOfDay(char* out, int size, bool quarterHours) const;

  uint32_t GetWeek() const { return m_week; }
  uint32_t GetDay() const { return m_day; }
  double GetHour() const { return m_hour; }
  float GetRate() const { return m_rate; }

 private:
  // Carries an hour past closing into days and days past the week into weeks, by arithmetic, so
  // that any stored value settles at once.
  void Normalise();

  uint32_t m_week = 1;
  uint32_t m_day = 1;
  double m_hour = kOpeningHour;
  float m_rate = kDefaultRate;
};
