// WAVE reading: chunk layouts, every truncated prefix, hostile chunk sizes and random corruption
// under the sanitizers.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "sound/SoundSample.h"
#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"

namespace {

std::string U32(uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
std::string U16(uint16_t v) { return std::string{char(v), char(v >> 8)}; }

std::string Chunk(const char* id, const std::string& body, bool pad = true) {
  return std::string(id, 4) + U32(static_cast<uint32_t>(body.size())) + body + std::string(pad ? body.size() % 2 : 0, '\0');
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

// Reads from a block of exactly the file's size, so the sanitizer sees any over-read.
bool Accepts(const std::string& file, CSoundSample* out = nullptr) {
  std::unique_ptr<char[]> exact(new char[file.size() + 1]);
  std::memcpy(exact.get(), file.data(), file.size());
  CSoundSample local;
  return testing_support::WithinLinearCost(file.size(), [&] { return (out ? out : &local)->Copy(exact.get(), file.size()); });
}

}  // namespace

// Odd-sized chunk with its pad byte before the format, a longer format chunk and a chunk after the
// data: the samples are found byte for byte and the header is the one a plain file starts with.
TEST(SoundSample, ChunksAreWalkedAndTheHeaderRebuilt) {
  testing_support::DebugCapture quiet;
  const std::string samples = Samples(1001);
  CSoundSample sample;
  ASSERT_TRUE(Accepts(Riff(Chunk("LIST", "abc") + Chunk("fmt ", Format(2, 22050, 16) + U16(0)) + Chunk("data", samples) +
                           Chunk("cue ", "12345678")),
                      &sample));
  ASSERT_EQ(samples, std::string(reinterpret_cast<const char*>(sample.GetData()), sample.GetDataSize()));
  const std::string plain = Riff(Chunk("fmt ", Format(2, 22050, 16)) + Chunk("data", samples, false));
  EXPECT_EQ(plain.substr(0, 44), std::string(reinterpret_cast<const char*>(sample.GetHeader()), 44));

  // 24-bit stereo becomes 16-bit PCM: the top two bytes of each sample, and a header to match.
  CSoundSample wide;
  ASSERT_TRUE(Accepts(Riff(Chunk("fmt ", Format(2, 22050, 24)) + Chunk("data", "\x56\x34\x12\xAA\xCB\xED")), &wide));
  EXPECT_EQ(U16(0x1234) + U16(0xEDCB), std::string(reinterpret_cast<const char*>(wide.GetData()), wide.GetDataSize()));
  EXPECT_EQ(Riff(Chunk("fmt ", Format(2, 22050, 16)) + Chunk("data", "1234")),
            std::string(reinterpret_cast<const char*>(wide.GetHeader()), 44) + "1234");

  EXPECT_TRUE(Accepts(plain + "trailing bytes"));  // not part of the RIFF form
  EXPECT_TRUE(Accepts(Riff(Chunk("fmt ", Format(1, 8000, 8)) + Chunk("data", ""))));  // silent but valid
  EXPECT_FALSE(sample.Copy(plain.data(), 30));
  EXPECT_EQ(nullptr, sample.GetData());  // a failed read leaves the sample empty
  const std::vector<uint32_t> format{sample.GetFormatTag(), sample.GetChannels(), sample.GetSampleRate(),
                                     sample.GetByteRate(), sample.GetBlockAlign(), sample.GetBitsPerSample()};
  EXPECT_EQ(std::vector<uint32_t>(6, 0u), format);  // with no format left over from the read before
  EXPECT_FALSE(sample.Copy(nullptr, 100));
}

TEST(SoundSample, TruncatedAndHostileFilesAreRefused) {
  testing_support::DebugCapture log;
  const std::string fmt = Chunk("fmt ", Format(1, 11025, 8));
  const std::string data = Chunk("data", Samples(301), false);
  const std::string file = Riff(fmt + Chunk("junk", "12") + data);
  ASSERT_TRUE(Accepts(file));
  for (size_t n = 0; n < file.size(); ++n) EXPECT_FALSE(Accepts(file.substr(0, n))) << n << " bytes";
  EXPECT_EQ('\n', log.Text().back());

  for (const std::string& bad : {Riff(fmt), Riff(data), Riff(Chunk("fmt ", Format(1, 11025, 8).substr(0, 14)) + data),
                                 Riff(Chunk("fmt ", Format(0, 11025, 8)) + data), "RIFX" + file.substr(4),
                                 Riff(Chunk("fmt ", Format(1, 11025, 9)) + data)}) {  // 9 bits in a 1-byte block
    EXPECT_FALSE(Accepts(bad));
  }
  // Chunk sizes that claim more than the file holds, up to the largest 32-bit value.
  for (uint32_t claim : {302u, 0x7FFFFFFFu, 0xFFFFFFF8u, 0xFFFFFFFFu}) {
    std::string bad = Riff(fmt + data);
    EXPECT_FALSE(Accepts(bad.replace(12 + fmt.size() + 4, 4, U32(claim)))) << claim;
    bad = Riff(Chunk("LIST", "ab") + fmt + data);
    EXPECT_FALSE(Accepts(bad.replace(16, 4, U32(claim)))) << claim;
  }
  // A RIFF size ending the form a byte inside the data cuts it off; a huge one is cut to the file.
  std::string form = Riff(fmt + data);
  EXPECT_FALSE(Accepts(form.replace(4, 4, U32(static_cast<uint32_t>(form.size()) - 9))));
  EXPECT_TRUE(Accepts(form.replace(4, 4, U32(0xFFFFFFFFu))));
  // RIFF sizes that end the form before its type: the walk must not start, whatever follows.
  for (uint32_t riff : {0u, 1u, 3u}) {
    EXPECT_FALSE(Accepts("RIFF" + U32(riff) + "WAVE")) << riff;
    std::string whole = Riff(fmt + Chunk("data", Samples(8)));
    EXPECT_FALSE(Accepts(whole.replace(4, 4, U32(riff)))) << riff;
    whole.replace(whole.size() - 12, 4, U32(0x7FFFFFFFu));  // the data size, now far past the file
    EXPECT_FALSE(Accepts(whole)) << riff;
  }
  EXPECT_FALSE(Accepts(Riff("")));  // RIFF size 4: a form with no chunks
}

TEST(SoundSample, RandomCorruptionNeverReadsOutsideTheFile) {
  testing_support::DebugCapture quiet;
  const std::string file = Riff(Chunk("LIST", "abcde") + Chunk("fmt ", Format(2, 44100, 16)) + Chunk("data", Samples(200)));
  std::mt19937 random(99);
  for (int round = 0; round < 4000; ++round) {
    std::string bad = file;
    for (int k = 1 + random() % 4; k > 0; --k) bad[random() % bad.size()] = static_cast<char>(random());
    bad.resize(random() % (bad.size() + 1));
    CSoundSample sample;
    if (Accepts(bad, &sample)) EXPECT_LE(sample.GetDataSize() + 20u, bad.size());
  }
}
