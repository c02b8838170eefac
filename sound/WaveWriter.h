// BuildWaveFile: the bytes of a canonical PCM WAVE file (RIFF, a 16-byte "fmt " chunk, "data").
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/sound/DirectSound.h"

// The 44-byte header the sample reader rebuilds, then the data and its pad byte when odd.
std::vector<uint8_t> BuildWaveFile(const WAVEFORMATEX& format, const void* data, size_t size);

// 16-bit PCM of the given channel count and rate, from interleaved samples.
std::vector<uint8_t> BuildWaveFile16(uint16_t channels, uint32_t rate, const std::vector<int16_t>& samples);
