// CSoundSample: the bounded RIFF walk that reads a WAVE file.
#include "sound/SoundSample.h"

#include <cstring>
#include <string>

#include "core/math/LittleEndian.h"
#include "platform/Win32.h"

using le::ReadU16;
using le::ReadU32;
using le::WriteU16;
using le::WriteU32;

namespace {

bool Fail(const char* why) {
  OutputDebugStringA((std::string("CSoundSample: ") + why + "\n").c_str());
  return false;
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
  m_data.assign(data, data + dataSize);
  BuildHeader();
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
