// BuildWaveFile: little-endian chunk headers around the caller's sample bytes.
#include "sound/WaveWriter.h"

#include <algorithm>
#include <cstring>

#include "core/data/LittleEndian.h"

std::vector<uint8_t> BuildWaveFile(const WAVEFORMATEX& format, const void* data, size_t size) {
  const size_t padded = size + (size & 1u);
  uint8_t h[44] = {};
  std::memcpy(h, "RIFF", 4);
  le::WriteU32(h + 4, static_cast<uint32_t>(36 + padded));
  std::memcpy(h + 8, "WAVEfmt ", 8);
  le::WriteU32(h + 16, 16);
  le::WriteU16(h + 20, format.wFormatTag);
  le::WriteU16(h + 22, format.nChannels);
  le::WriteU32(h + 24, format.nSamplesPerSec);
  le::WriteU32(h + 28, format.nAvgBytesPerSec);
  le::WriteU16(h + 32, format.nBlockAlign);
  le::WriteU16(h + 34, format.wBitsPerSample);
  std::memcpy(h + 36, "data", 4);
  le::WriteU32(h + 40, static_cast<uint32_t>(size));
  std::vector<uint8_t> file(sizeof(h) + padded, 0);
  std::copy(h, h + sizeof(h), file.begin());
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  if (size != 0) std::copy(bytes, bytes + size, file.begin() + sizeof(h));
  return file;
}

std::vector<uint8_t> BuildWaveFile16(uint16_t channels, uint32_t rate, const std::vector<int16_t>& samples) {
  const uint16_t align = static_cast<uint16_t>(channels * 2);
  const WAVEFORMATEX format{WAVE_FORMAT_PCM, channels, rate, rate * align, align, 16, 0};
  std::vector<uint8_t> bytes(samples.size() * 2);
  for (size_t i = 0; i < samples.size(); ++i) le::WriteU16(bytes.data() + 2 * i, static_cast<uint16_t>(samples[i]));
  return BuildWaveFile(format, bytes.data(), bytes.size());
}
