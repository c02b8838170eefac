// CPrecisionTimer: performance-counter stopwatch with overhead calibration.
#include "core/world/PrecisionTimer.h"

#include "platform/system/Win32.h"

namespace {

uint32_t g_mode = CPrecisionTimer::kNotCalibrated;
int32_t g_overhead = 0;

constexpr int32_t kInitialOverhead = 200;
constexpr int kCalibrationRounds = 20;

void EmptyFunction() {}
// Called through a volatile pointer so the measured call is not optimised away.
void (*volatile g_emptyCall)() = EmptyFunction;

// Milliseconds of a clock that counts from an arbitrary origin; only
// differences are used, and those survive the 32-bit wrap.
int64_t FallbackMilliseconds() { return static_cast<int64_t>(timeGetTime()); }

}  // namespace

void CPrecisionTimer::Calibrate() {
  g_mode = kFallbackClock;
  int64_t frequency = 0;
  if (!QueryPerformanceFrequency(&frequency) || frequency <= 0) return;
  g_mode = kPerformanceCounter;
  g_overhead = kInitialOverhead;
  for (int i = 0; i < kCalibrationRounds; ++i) {
    int64_t before = 0;
    int64_t after = 0;
    QueryPerformanceCounter(&before);
    g_emptyCall();
    QueryPerformanceCounter(&after);
    const int32_t difference = static_cast<int32_t>(static_cast<uint32_t>(after - before));
    if (difference >= 0 && difference < g_overhead) g_overhead = difference;
  }
}

void CPrecisionTimer::ResetCalibration() { g_mode = kNotCalibrated; }

uint32_t CPrecisionTimer::GetMode() { return g_mode; }

int32_t CPrecisionTimer::GetOverhead() { return g_overhead; }

void CPrecisionTimer::Start() {
  if (g_mode == kNotCalibrated) Calibrate();
  startMode_ = g_mode;
  if (startMode_ == kPerformanceCounter) {
    QueryPerformanceFrequency(&frequency_);
    QueryPerformanceCounter(&start_);
  } else {
    start_ = FallbackMilliseconds();
  }
}

double CPrecisionTimer::Elapsed() const {
  if (startMode_ == kPerformanceCounter) {
    int64_t now = 0;
    QueryPerformanceCounter(&now);
    return CounterSeconds(now, start_, g_overhead, frequency_);
  }
  if (startMode_ == kFallbackClock) {
    const uint32_t passed = static_cast<uint32_t>(FallbackMilliseconds() - start_);
    return passed * 0.001;
  }
  return 0.0;
}

double CPrecisionTimer::CounterSeconds(int64_t now, int64_t start, int32_t overhead, int64_t frequency) {
  if (frequency <= 0) return 0.0;
  return static_cast<double>(now - start - overhead) / static_cast<double>(frequency);
}
