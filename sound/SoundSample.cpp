// CSoundSample: the bounded RIFF walk that reads a WAVE file.
#include "sound/SoundSample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "core/data/LittleEndian.h"
#include "platform/system/Win32.h"

using le::ReadU16;
using le::ReadU32;
using le::WriteU16;
using le::WriteU32;

namespace {

bool Fail(const std::string& why) {
  OutputDebugStringA(("CSoundSample: " + why + "\n").c_str());
  return false;
}

constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The sub-format GUID of an extensible record is the plain format tag followed by these bytes.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// One sample of a container of 3 or 4 bytes (integer) or 4 or 8 bytes (float) as 16-bit PCM.
int16_t To16(const uint8_t* p, size_t container, bool floating) {
  if (floating) {
    double v;
    if (container == 4) {
      float f;
      const uint32_t bits = ReadU32(p);
      std::memcpy(&f, &bits, 4);
      v = f;
    } else {
      const uint64_t bits = ReadU32(p) | static_cast<uint64_t>(ReadU32(p + 4)) << 32;
      std::memcpy(&v, &bits, 8);
    }
    if (!(v == v)) return 0;  // NaN
    return static_cast<int16_t>(std::lrint(std::max(-1.0, std::min(1.0, v)) * 32767.0));
  }
  // The top 16 bits of a left-aligned integer sample.
  const uint32_t word = container == 3 ? static_cast<uint32_t>(p[0] << 8 | p[1] << 16) | uint32_t{p[2]} << 24 : ReadU32(p);
  return static_cast<int16_t>(static_cast<int32_t>(word) >> 16);
}

}  // namespace

void CSoundSample::Reset() {
  std::memset(m_header, 0, sizeof(m_header));
  m_data.clear();
  m_data.shrink_to_fit();
  m_formatTag = m_channels = m_blockAlign = m_bitsPerSample = 0;
  m_sampleRate = m_byteRate = 0;
}

bool CSoundSample::Copy(const void* file, size_t size) {
  Reset();
  const uint8_t* bytes = static_cast<const uint8_t*>(file);
  if (!bytes || size < 12) return Fail("file too short for a RIFF header");
  if (std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
    return Fail("not a RIFF WAVE file");
  // The RIFF size may only shorten the walk: a file cut short keeps its
  // original size there, and trailing bytes after the RIFF form are ignored.
  const uint64_t riffEnd = static_cast<uint64_t>(ReadU32(bytes + 4)) + 8;
  if (riffEnd < 12) return Fail("RIFF size ends the form inside its own header");
  const size_t end = riffEnd < size ? static_cast<size_t>(riffEnd) : size;

  const uint8_t* format = nullptr;
  uint32_t formatSize = 0;
  const uint8_t* data = nullptr;
  uint32_t dataSize = 0;
  size_t at = 12;
  while (end - at >= 8) {
    const uint8_t* chunk = bytes + at;
    const uint32_t chunkSize = ReadU32(chunk + 4);
    if (chunkSize > end - at - 8) return Fail("chunk runs past the end of the file");
    if (std::memcmp(chunk, "fmt ", 4) == 0 && !format) {
      if (chunkSize < 16) return Fail("format chunk shorter than 16 bytes");
      format = chunk + 8;
      formatSize = chunkSize;
    } else if (std::memcmp(chunk, "data", 4) == 0 && !data) {
      data = chunk + 8;
      dataSize = chunkSize;
    }
    // Chunks are padded to an even length; the pad byte of the last chunk may be missing.
    const size_t advance = 8 + static_cast<size_t>(chunkSize) + (chunkSize & 1u);
    if (advance > end - at) break;
    at += advance;
  }
  if (!format) return Fail("no format chunk");
  if (!data) return Fail("no data chunk");

  m_formatTag = ReadU16(format);
  m_channels = ReadU16(format + 2);
  m_sampleRate = ReadU32(format + 4);
  m_byteRate = ReadU32(format + 8);
  m_blockAlign = ReadU16(format + 12);
  m_bitsPerSample = ReadU16(format + 14);
  if (m_channels == 0 || m_sampleRate == 0 || m_blockAlign == 0 || m_bitsPerSample == 0) {
    Reset();
    return Fail("format chunk with a zero channel count, rate, block size or sample size");
  }
  if (!TakeSamples(format, formatSize, data, dataSize)) {
    Reset();
    return false;
  }
  BuildHeader();
  return true;
}

// The sound device plays 8 and 16-bit PCM in one or two channels: those are kept as they are;
// 24 and 32-bit integers and 32 and 64-bit floats, plain or in an extensible record, become 16-bit
// PCM; anything else is refused here, with the reason, rather than accepted and never heard.
bool CSoundSample::TakeSamples(const uint8_t* format, uint32_t formatSize, const uint8_t* data, uint32_t dataSize) {
  uint16_t encoding = m_formatTag;
  if (encoding == kFormatExtensible) {
    if (formatSize < 40) return Fail("extensible format chunk shorter than 40 bytes");
    if (std::memcmp(format + 26, kSubFormatTail, sizeof(kSubFormatTail)) != 0) return Fail("unknown extensible sub-format");
    encoding = ReadU16(format + 24);
  }
  const std::string described = "format " + std::to_string(encoding) + " with " + std::to_string(m_bitsPerSample) +
                                " bits in " + std::to_string(m_channels) + " channels at " + std::to_string(m_sampleRate) +
                                " Hz cannot be played";
  const size_t container = m_blockAlign / m_channels;
  const bool aligned = m_blockAlign % m_channels == 0 && m_bitsPerSample <= container * 8;
  const bool integer = encoding == WAVE_FORMAT_PCM && aligned && container >= 1 && container <= 4;
  const bool floating = encoding == kFormatFloat && aligned && (container == 4 || container == 8);
  if ((!integer && !floating) || m_channels > 2 || m_sampleRate < DSBFREQUENCY_MIN || m_sampleRate > DSBFREQUENCY_MAX)
    return Fail(described);
  m_formatTag = WAVE_FORMAT_PCM;
  if (integer && container <= 2) {
    m_bitsPerSample = static_cast<uint16_t>(8 * container);
    m_data.assign(data, data + dataSize);
    return true;
  }
  const size_t samples = dataSize / m_blockAlign * m_channels;
  m_data.resize(2 * samples);
  for (size_t i = 0; i < samples; ++i) WriteU16(&m_data[2 * i], static_cast<uint16_t>(To16(data + i * container, container, floating)));
  m_bitsPerSample = 16;
  m_blockAlign = static_cast<uint16_t>(2 * m_channels);
  m_byteRate = m_sampleRate * m_blockAlign;
  return true;
}

void CSoundSample::BuildHeader() {
  uint8_t* h = m_header;
  std::memcpy(h, "RIFF", 4);
  WriteU32(h + 4, 36u + GetDataSize());
  std::memcpy(h + 8, "WAVEfmt ", 8);
  WriteU32(h + 16, 16);
  WriteU16(h + 20, m_formatTag);
  WriteU16(h + 22, m_channels);
  WriteU32(h + 24, m_sampleRate);
  WriteU32(h + 28, m_byteRate);
  WriteU16(h + 32, m_blockAlign);
  WriteU16(h + 34, m_bitsPerSample);
  std::memcpy(h + 36, "data", 4);
  WriteU32(h + 40, GetDataSize());
}
