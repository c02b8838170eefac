// CPrecisionTimer: stopwatch on the performance counter, with a process-wide
// calibration that subtracts the cost of reading the counter.
#pragma once

#include <cstdint>

class CPrecisionTimer {
 public:
  enum Mode : uint32_t { kNotCalibrated = 0, kPerformanceCounter = 1, kFallbackClock = 2 };

  CPrecisionTimer() = default;

  // Chooses the clock (the performance counter when the platform has one, else
  // a millisecond clock) and measures the smallest cost of two counter reads.
  static void Calibrate();
  // Makes the next Start calibrate again (the main loop does this before each
  // measured section).
  static void ResetCalibration();
  static uint32_t GetMode();
  static int32_t GetOverhead();

  // Calibrates when needed, then takes the start reading.
  void Start();
  // Seconds since Start, less the counter-read overhead (so it may be slightly
  // negative around no work); 0 for a timer that was never started.
  double Elapsed() const;

  // (now - start - overhead) / frequency: the counter arithmetic of Elapsed.
  static double CounterSeconds(int64_t now, int64_t start, int32_t overhead, int64_t frequency);

 private:
  int64_t frequency_ = 0;  // counter ticks per second
  int64_t start_ = 0;      // counter value, or fallback-clock milliseconds
  // The clock this timer started on: a calibration reset or a new calibration
  // between Start and Elapsed must not mix two clocks in one reading.
  uint32_t startMode_ = kNotCalibrated;
};
