#include "park/world/SimClock.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {
constexpr double kHoursPerRealSecondFactor = 0.0002777777777777778;  // 1 / 3600
constexpr double kMaxWeek = 4294967295.0;
}  // namespace

void CSimClock::Reset() {
  m_week = 1;
  m_day = 1;
  m_hour = kOpeningHour;
}

void CSimClock::Update(float realSeconds) {
  if (!std::isfinite(realSeconds) || realSeconds < 0.0f) return;
  m_hour += static_cast<double>(realSeconds * m_rate) * kHoursPerRealSecondFactor;
  Normalise();
}

void CSimClock::SetTime(uint32_t week, uint32_t day, double hour) {
  m_week = week == 0 ? 1 : week;
  m_day = day == 0 ? 1 : day;
  m_hour = (std::isfinite(hour) && hour >= kOpeningHour) ? hour : kOpeningHour;
  Normalise();
}

void CSimClock::Normalise() {
  const double dayLength = GetHoursPerDay();
  double daysPassed = 0.0;
  if (m_hour > kClosingHour) {
    // Each whole day past closing moves the hour back by a day; the result lies in (10, 20], an
    // hour of exactly closing time staying where it is.
    const double rest = std::fmod(m_hour - kOpeningHour, dayLength);
    const double settled = rest == 0.0 ? kClosingHour : kOpeningHour + rest;
    daysPassed = std::round((m_hour - settled) / dayLength);
    m_hour = settled;
  }
  // Day and week in double so that a huge carry cannot wrap the counters.
  const double dayIndex = static_cast<double>(m_day - 1) + daysPassed;
  const double weeksPassed = std::floor(dayIndex / kDaysPerWeek);
  m_day = static_cast<uint32_t>(std::fmod(dayIndex, kDaysPerWeek)) + 1;  // fmod is exact
  const double week = static_cast<double>(m_week) + weeksPassed;
  m_week = week >= kMaxWeek ? UINT32_MAX : static_cast<uint32_t>(week);
}

void CSimClock::FormatTimeOfDay(char* out, int size, bool quarterHours) const {
  if (out == nullptr || size <= 0) return;
  const int h = static_cast<int>(m_hour);
  // A hair of tolerance: an hour that stands for a whole minute (13.1 is 1:06) may be stored a
  // fraction below it.
  int minutes = static_cast<int>((m_hour - h) * 60.0 + 1e-6);
  if (minutes > 59) minutes = 59;
  if (quarterHours) minutes -= minutes % 15;
  const int shownHour = m_hour < 13.0 ? h : h - 12;
  const char* half = m_hour < 12.0 ? "a.m." : "p.m.";
  char text[32];
  std::snprintf(text, sizeof(text), "%d:%d%d %s", shownHour, minutes / 10, minutes % 10, half);
  std::strncpy(out, text, static_cast<size_t>(size) - 1);
  out[size - 1] = '\0';
}
