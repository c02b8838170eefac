// The BW bit-stream codec: streams written by hand from the format rules, round trips, and broken input.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "render/image/BWCodec.h"
#include "tests/support/InputCost.h"

namespace {

// Writes fields least significant bit first, independent of the codec's own writer.
struct HandStream {
  std::vector<uint8_t> bytes;
  uint64_t bits = 0;
  void Put(uint32_t value, int width) {
    for (int i = 0; i < width; ++i, ++bits) {
      if (bytes.size() * 8 <= bits) bytes.push_back(0);
      bytes[bits / 8] |= static_cast<uint8_t>((value >> i & 1) << (bits % 8));
    }
  }
  // The model: every context has n = 0 except the listed ones.
  void Model(int context, int n, std::vector<uint8_t> successors) {
    for (int c = 0; c < 256; ++c) {
      Put(c == context ? n : 0, 3);
      if (c == context)
        for (uint8_t s : successors) Put(s, 8);
    }
  }
  // Run count by its tiers; returns the bits it took.
  int Run(uint32_t run) {
    const uint64_t before = bits;
    if (run <= 3) {
      Put(run, 2);
    } else if (run <= 18) {
      Put(0, 2);
      Put(run - 3, 4);
    } else {
      Put(0, 6);
      Put(run - 18, 8);
    }
    return static_cast<int>(bits - before);
  }
};

std::vector<uint8_t> Decoded(const HandStream& s, size_t expected, bool* ok) {
  std::vector<uint8_t> out;
  *ok = bwcodec::Decode(s.bytes.data(), s.bytes.size(), s.bits, expected, out);
  return out;
}

}  // namespace

TEST(BWCodec, HandWrittenStreamsFromTheRules) {
  bool ok = false;
  {  // One byte: 256 context rows of n = 0, then the byte. The encoder writes the same stream.
    HandStream s;
    s.Model(-1, 0, {});
    s.Put(0x5A, 8);
    EXPECT_EQ((std::vector<uint8_t>{0x5A}), Decoded(s, 1, &ok));
    EXPECT_TRUE(ok);
    std::vector<uint8_t> encoded;
    const uint8_t one = 0x5A;
    EXPECT_EQ(s.bits, bwcodec::Encode(&one, 1, encoded));
    EXPECT_EQ(s.bytes, encoded);
  }
  // Runs of each tier after a different byte: the repeated byte in its context (n = 1, the byte
  // itself as successor 0, one bit), then the run count.
  const std::pair<uint32_t, int> tiers[] = {{1, 2}, {3, 2}, {4, 6}, {18, 6}, {19, 14}, {273, 14}};
  for (const auto& [run, runBits] : tiers) {
    HandStream s;
    s.Model(7, 1, {7});
    s.Put(3, 8);     // first byte
    s.Put(7, 8);     // context 3 has n = 0: an 8-bit literal, a new byte
    s.Put(0, 1);     // context 7, index 0: byte 7 again, so a run follows
    EXPECT_EQ(runBits, s.Run(run)) << run;
    std::vector<uint8_t> want = {3, 7};
    want.insert(want.end(), run, 7);
    EXPECT_EQ(want, Decoded(s, want.size(), &ok)) << run;
    EXPECT_TRUE(ok) << run;
  }
  {  // 300 equal bytes after a different one: the byte, a run of 273 and a run of 26.
    HandStream s;
    s.Model(9, 1, {9});
    s.Put(1, 8);
    s.Put(9, 8);
    s.Put(0, 1);
    s.Run(273);
    s.Put(0, 1);
    s.Run(26);
    std::vector<uint8_t> want = {1};
    want.insert(want.end(), 300, 9);
    EXPECT_EQ(want, Decoded(s, want.size(), &ok));
    EXPECT_TRUE(ok);
  }
  {  // A context with n = 2: indices 0..2 name successors, 3 escapes to a literal.
    HandStream s;
    s.Model(4, 2, {10, 20, 30});
    s.Put(4, 8);
    s.Put(1, 2);      // 20
    s.Put(4, 8);      // context 20 has n = 0: literal 4
    s.Put(3, 2);      // escape ...
    s.Put(99, 8);     // ... 99
    EXPECT_EQ((std::vector<uint8_t>{4, 20, 4, 99}), Decoded(s, 4, &ok));
    EXPECT_TRUE(ok);
  }
  {  // A count above 4 is refused; so is output beyond what the header promises.
    HandStream s;
    s.Model(0, 5, {});
    s.Put(0, 8);
    Decoded(s, 1, &ok);
    EXPECT_FALSE(ok);
    HandStream t;
    t.Model(7, 1, {7});
    t.Put(7, 8);
    t.Put(0, 1);
    t.Run(200);
    Decoded(t, 100, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(201u, Decoded(t, 201, &ok).size());
    EXPECT_TRUE(ok);
  }
}

// The encoder's model: per context the count n whose estimated size is smallest, the estimate
// being 8 x 2^n bits for the list, n bits for each of the first 2^n - 1 successors by frequency
// and 8 for each one from place 2^n on; a context's own byte counts as often as it was entered.
TEST(BWCodec, EncoderChoosesEachContextsCountByItsEstimate) {
  // Context 1: itself 9, then 2, 3, 4, 5 twice each. n = 0 costs 8 + 8 x 8 = 72; n = 1 costs
  // 16 + 9 + 8 x 6 = 73; n = 2 costs 32 + 2 x 13 + 8 x 2 = 74: it stays at 0.
  // Contexts 2 to 5: byte 1 twice, itself twice: n = 1 (16 + 2 = 18 against 8 + 16 = 24), successor 1.
  const std::vector<uint8_t> data = {0, 1, 2, 1, 2, 1, 3, 1, 3, 1, 4, 1, 4, 1, 5, 1, 5, 1};
  HandStream s;
  for (int c = 0; c < 256; ++c) {
    const bool listed = c >= 2 && c <= 5;
    s.Put(listed ? 1 : 0, 3);
    if (listed) s.Put(1, 8);
  }
  s.Put(0, 8);  // first byte
  s.Put(1, 8);  // context 0 has n = 0: a literal
  for (size_t i = 2; i < data.size(); i += 2) {
    s.Put(data[i], 8);  // context 1: a literal
    s.Put(0, 1);        // contexts 2 to 5: successor 0, back to 1
  }
  ASSERT_EQ(888u, s.bits);
  std::vector<uint8_t> encoded;
  EXPECT_EQ(s.bits, bwcodec::Encode(data.data(), data.size(), encoded));
  EXPECT_EQ(s.bytes, encoded);
  bool ok = false;
  EXPECT_EQ(data, Decoded(s, data.size(), &ok));
  EXPECT_TRUE(ok);
}

TEST(BWCodec, RoundTripsOnRandomAndStructuredData) {
  std::mt19937 rng(17);
  std::vector<uint8_t> back;  // kept from round to round: a decode replaces what it held
  for (int round = 0; round < 40; ++round) {
    const size_t length = 1 + rng() % 5000;
    std::vector<uint8_t> data(length);
    const int style = round % 4;
    for (size_t i = 0; i < length; ++i) {
      if (style == 0) data[i] = static_cast<uint8_t>(rng());                          // noise
      if (style == 1) data[i] = static_cast<uint8_t>(rng() % 4);                      // few values
      if (style == 2) data[i] = i > 0 && rng() % 50 ? data[i - 1] : static_cast<uint8_t>(rng());  // long runs
      if (style == 3) data[i] = static_cast<uint8_t>((i / 7) % 13);                   // structured
    }
    std::vector<uint8_t> encoded;
    const uint64_t bits = bwcodec::Encode(data.data(), data.size(), encoded);
    ASSERT_EQ((bits + 7) / 8, encoded.size());
    ASSERT_TRUE(bwcodec::Decode(encoded.data(), encoded.size(), bits, data.size(), back)) << round;
    ASSERT_EQ(data, back) << round;
    if (style == 2 && length > 2000) EXPECT_LT(encoded.size(), data.size() / 2);  // past the model's fixed cost
  }
  // A run that reaches the end of the given length stops there even when the buffer goes on with
  // the same value (rows are encoded out of larger images).
  const std::vector<uint8_t> run(40, 9);
  for (size_t length : {2u, 6u, 30u}) {
    std::vector<uint8_t> encoded;
    const uint64_t bits = bwcodec::Encode(run.data(), length, encoded);
    ASSERT_TRUE(bwcodec::Decode(encoded.data(), encoded.size(), bits, length, back)) << length;
    EXPECT_EQ(back, std::vector<uint8_t>(length, 9)) << length;
  }
}

TEST(BWCodec, EveryTruncationAndRandomMutationFailsCleanly) {
  std::mt19937 rng(23);
  std::vector<uint8_t> data(900);
  for (size_t i = 0; i < data.size(); ++i) data[i] = i % 97 < 60 ? static_cast<uint8_t>(i / 40) : static_cast<uint8_t>(rng());
  std::vector<uint8_t> encoded;
  const uint64_t bits = bwcodec::Encode(data.data(), data.size(), encoded);
  std::vector<uint8_t> out;
  for (uint64_t cut = 0; cut < bits; ++cut) {
    // The buffer ends with the stream, so a reader that runs on would be caught by ASan.
    std::vector<uint8_t> prefix(encoded.begin(), encoded.begin() + static_cast<ptrdiff_t>((cut + 7) / 8));
    ASSERT_FALSE(testing_support::WithinLinearCost(
        prefix.size(), [&] { return bwcodec::Decode(prefix.data(), prefix.size(), cut, data.size(), out); }))
        << cut;
  }
  EXPECT_FALSE(bwcodec::Decode(encoded.data(), encoded.size(), bits + 8 * 64, data.size(), out));
  int decodedSomething = 0;
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> broken = encoded;
    for (int k = 0; k < 1 + round % 3; ++k) broken[rng() % broken.size()] ^= static_cast<uint8_t>(1 << (rng() % 8));
    if (testing_support::WithinLinearCost(broken.size(),
                                          [&] { return bwcodec::Decode(broken.data(), broken.size(), bits, data.size(), out); })) {
      ++decodedSomething;
      ASSERT_EQ(data.size(), out.size());
    }
  }
  EXPECT_LT(decodedSomething, 2000);
}
