// AudioMeasure: measurements on rendered 16-bit stereo (RMS per channel in decibels, rising zero
// crossings, the largest step between neighbours) and test tones to measure.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace testing_support {

constexpr double kPi = 3.14159265358979323846;

// Interleaved stereo; channel 0 left, 1 right. Frames from `from` on.
inline double ChannelRms(const std::vector<int16_t>& stereo, int channel, size_t from = 0) {
  double sum = 0.0;
  size_t n = 0;
  for (size_t i = 2 * from + channel; i < stereo.size(); i += 2, ++n) sum += double(stereo[i]) * stereo[i];
  return n ? std::sqrt(sum / n) : 0.0;
}

inline double Decibels(double ratio) { return 20.0 * std::log10(ratio); }

inline int RisingZeroCrossings(const std::vector<int16_t>& stereo, int channel) {
  int count = 0;
  for (size_t i = 2 + channel; i < stereo.size(); i += 2)
    if (stereo[i - 2] < 0 && stereo[i] >= 0) ++count;
  return count;
}

inline int LargestStep(const std::vector<int16_t>& stereo, int channel) {
  int largest = 0;
  for (size_t i = 2 + channel; i < stereo.size(); i += 2) {
    const int step = std::abs(int(stereo[i]) - int(stereo[i - 2]));
    if (step > largest) largest = step;
  }
  return largest;
}

// frames of a sine of the given cycles per frame, as 16-bit values.
inline std::vector<int16_t> Sine(size_t frames, double cyclesPerFrame, double amplitude) {
  std::vector<int16_t> out(frames);
  for (size_t i = 0; i < frames; ++i)
    out[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2.0 * kPi * cyclesPerFrame * i)));
  return out;
}

}  // namespace testing_support
