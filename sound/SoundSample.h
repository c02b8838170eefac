// CSoundSample: one sound loaded from a WAVE file, its format and its sample bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/sound/DirectSound.h"

class CSoundSample {
 public:
  static constexpr size_t kHeaderSize = 44;

  CSoundSample() = default;
  ~CSoundSample() = default;
  CSoundSample(const CSoundSample&) = delete;
  CSoundSample& operator=(const CSoundSample&) = delete;

  // Fills the sample from the bytes of a whole WAVE file. The RIFF chunks are
  // walked within size, so a chunk that claims more bytes than the file holds
  // is refused instead of read past the end. Needs one "fmt " chunk of at
  // least 16 bytes and one "data" chunk; other chunks are skipped. Samples of
  // 24 or 32-bit integers or of floats (also in an extensible format record)
  // are converted to 16-bit PCM, the format the sound device plays with 8-bit
  // PCM. False (logged, the sample left empty) for anything else, including
  // formats the device cannot play (compressed, more than two channels).
  bool Copy(const void* file, size_t size);

  // The canonical 44-byte header of the sample (RIFF, "fmt " of 16 bytes,
  // data size at byte 40), rebuilt from the chunks read, so that readers of
  // the header see the same values whatever the file's chunk layout was.
  const uint8_t* GetHeader() const { return m_header; }
  const uint8_t* GetData() const { return m_data.empty() ? nullptr : m_data.data(); }
  uint32_t GetDataSize() const { return static_cast<uint32_t>(m_data.size()); }

  uint16_t GetFormatTag() const { return m_formatTag; }
  uint16_t GetChannels() const { return m_channels; }
  uint32_t GetSampleRate() const { return m_sampleRate; }
  uint32_t GetByteRate() const { return m_byteRate; }
  uint16_t GetBlockAlign() const { return m_blockAlign; }
  uint16_t GetBitsPerSample() const { return m_bitsPerSample; }
  WAVEFORMATEX GetFormat() const {
    return WAVEFORMATEX{m_formatTag, m_channels, m_sampleRate, m_byteRate, m_blockAlign, m_bitsPerSample, 0};
  }

  // The sample's own device buffer, made on its first play; null until then. The data stays
  // with the sample after the upload, because a buffer whose memory is lost must be refilled.
  IDirectSoundBuffer* GetBuffer() const { return m_buffer.get(); }
  void SetBuffer(DirectSoundBufferPtr buffer) { m_buffer = std::move(buffer); }

 private:
  void Reset();
  void BuildHeader();
  bool TakeSamples(const uint8_t* format, uint32_t formatSize, const uint8_t* data, uint32_t dataSize);

  uint8_t m_header[kHeaderSize] = {};
  std::vector<uint8_t> m_data;
  uint16_t m_formatTag = 0;
  uint16_t m_channels = 0;
  uint32_t m_sampleRate = 0;
  uint32_t m_byteRate = 0;
  uint16_t m_blockAlign = 0;
  uint16_t m_bitsPerSample = 0;
  DirectSoundBufferPtr m_buffer;
};
