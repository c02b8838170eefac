// WAVE reading: chunk layouts, every truncated prefix, hostile chunk sizes
// and random corruption under the sanitizers.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "sound/SoundSample.h"
#include "tests/support/TempFolder.h"

namespace {

std::string U32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

std::string U16(uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }

std::string Chunk(const char* id, const std::string& body, bool pad = true) {
  std::string chunk = std::string(id, 4) + U32(static_cast<uint32_t>(body.size())) + body;
  if (pad && (body.size() & 1)) chunk += '\0';
  return chunk;
}

std::string Format(uint16_t channels, uint32_t rate, uint16_t bits) {
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  return U16(1) + U16(channels) + U32(rate) + U32(rate * align) + U16(align) + U16(bits);
}

std::string Riff(const std::string& chunks) { return "RIFF" + U32(static_cast<uint32_t>(chunks.size() + 4)) + "WAVE" + chunks; }

std::string Samples(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 + 3);
  return s;
}

bool Accepts(const std::string& file) {
  CSoundSample sample;
  return sample.Copy(file.data(), file.size());
}

}  // namespace

TEST(SoundSample, ChunksAreWalkedAndTheHeaderRebuilt) {
  // An odd-sized chunk (with its pad byte) and a list chunk before the format, a longer format
  // chunk, a chunk after the data: the samples are still found, byte for byte.
  const std::string samples = Samples(1001);
  const std::string file = Riff(Chunk("LIST", "abc") + Chunk("fmt ", Format(2, 22050, 16) + U16(0)) +
                                Chunk("data", samples) + Chunk("cue ", "12345678"));
  CSoundSample sample;
  testing_support::DebugCapture quiet;
  ASSERT_TRUE(sample.Copy(file.data(), file.size()));
  ASSERT_EQ(samples.size(), sample.GetDataSize());
  EXPECT_EQ(0, std::memcmp(samples.data(), sample.GetData(), samples.size()));
  EXPECT_EQ(2, sample.GetChannels());
  EXPECT_EQ(22050u, sample.GetSampleRate());
  EXPECT_EQ(88200u, sample.GetByteRate());
  EXPECT_EQ(4, sample.GetBlockAlign());
  EXPECT_EQ(16, sample.GetBitsPerSample());
  // The header is the canonical one: the same bytes a plain 44-byte file of these samples starts with.
  const std::string plain = Riff(Chunk("fmt ", Format(2, 22050, 16)) + Chunk("data", samples, false));
  EXPECT_EQ(plain.substr(0, 44), std::string(reinterpret_cast<const char*>(sample.GetHeader()), 44));

  // Reading the plain form gives the same sample; a failed read leaves the sample empty.
  CSoundSample again;
  ASSERT_TRUE(again.Copy(plain.data(), plain.size()));
  EXPECT_EQ(0, std::memcmp(sample.GetHeader(), again.GetHeader(), 44));
  EXPECT_FALSE(again.Copy(plain.data(), 30));
  EXPECT_EQ(0u, again.GetDataSize());
  EXPECT_EQ(nullptr, again.GetData());

  // Trailing bytes after the RIFF form are not part of the sound.
  EXPECT_TRUE(Accepts(plain + "junk junk"));
  // A zero-length data chunk is a valid, silent sound.
  EXPECT_TRUE(Accepts(Riff(Chunk("fmt ", Format(1, 8000, 8)) + Chunk("data", ""))));
}

TEST(SoundSample, TruncatedAndHostileFilesAreRefused) {
  testing_support::DebugCapture log;
  const std::string file = Riff(Chunk("fmt ", Format(1, 11025, 8)) + Chunk("junk", "12") + Chunk("data", Samples(301), false));
  ASSERT_TRUE(Accepts(file));
  for (size_t n = 0; n < file.size(); ++n) EXPECT_FALSE(Accepts(file.substr(0, n))) << "prefix of " << n << " bytes";
  EXPECT_FALSE(log.Text().empty());
  EXPECT_EQ('\n', log.Text().back());

  const std::string fmt = Chunk("fmt ", Format(1, 11025, 8));
  const std::string data = Chunk("data", Samples(64));
  EXPECT_FALSE(Accepts(Riff(fmt)));                                              // no data
  EXPECT_FALSE(Accepts(Riff(data)));                                             // no format
  EXPECT_FALSE(Accepts(Riff(Chunk("fmt ", Format(1, 11025, 8).substr(0, 14)) + data)));  // format too short
  EXPECT_FALSE(Accepts(Riff(Chunk("fmt ", Format(0, 11025, 8)) + data)));        // no channels
  EXPECT_FALSE(Accepts("RIFX" + file.substr(4)));
  EXPECT_FALSE(Accepts(file.substr(0, 8) + "AVI " + file.substr(12)));

  // Sizes that claim more than the file holds, up to the largest 32-bit value.
  for (uint32_t claim : {65u, 1000u, 0x7FFFFFFFu, 0xFFFFFFF8u, 0xFFFFFFFFu}) {
    std::string bad = Riff(fmt + data);
    bad.replace(12 + fmt.size() + 4, 4, U32(claim));
    EXPECT_FALSE(Accepts(bad)) << claim;
    std::string badFirst = Riff(Chunk("LIST", "ab") + fmt + data);
    badFirst.replace(16, 4, U32(claim));
    EXPECT_FALSE(Accepts(badFirst)) << claim;
  }
  // A RIFF size that ends the form before the data hides it; a huge one is cut to the file.
  std::string shortForm = Riff(fmt + data);
  shortForm.replace(4, 4, U32(4 + static_cast<uint32_t>(fmt.size())));
  EXPECT_FALSE(Accepts(shortForm));
  std::string longForm = Riff(fmt + data);
  longForm.replace(4, 4, U32(0xFFFFFFFFu));
  EXPECT_TRUE(Accepts(longForm));
  EXPECT_FALSE(Accepts(std::string()));
  CSoundSample sample;
  EXPECT_FALSE(sample.Copy(nullptr, 100));
}

TEST(SoundSample, RandomCorruptionNeverReadsOutsideTheFile) {
  testing_support::DebugCapture quiet;
  const std::string file = Riff(Chunk("LIST", "abcde") + Chunk("fmt ", Format(2, 44100, 16)) + Chunk("data", Samples(200)));
  std::mt19937 random(99);
  for (int round = 0; round < 4000; ++round) {
    std::string bad = file;
    for (int k = 1 + random() % 4; k > 0; --k) bad[random() % bad.size()] = static_cast<char>(random());
    bad.resize(random() % (bad.size() + 1));
    // A copy in a block of exactly its size, so the sanitizer sees any over-read.
    std::unique_ptr<char[]> exact(new char[bad.size() + 1]);
    std::memcpy(exact.get(), bad.data(), bad.size());
    CSoundSample sample;
    if (sample.Copy(exact.get(), bad.size())) EXPECT_LE(sample.GetDataSize() + 20u, bad.size());
  }
}
