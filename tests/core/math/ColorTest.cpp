// Tests of Color: float conversion, saturation, 15/16-bit packing and random colours.
#include "core/math/Color.h"

#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

TEST(ColorTest, MemoryLayoutIsBgraWord) {
  const Color c = Color::FromRGBA(0x11, 0x22, 0x33, 0x44);
  uint32_t word;
  std::memcpy(&word, &c, 4);
  EXPECT_EQ(word, 0x44112233u);  // little-endian host
  EXPECT_EQ(c.ToWord(), 0x44112233u);
  EXPECT_EQ(Color::FromWord(0x44112233u), c);
}

TEST(ColorTest, SetRGBTruncatesAndClamps) {
  Color c;
  c.SetRGB(1.5f, -0.2f, 0.999f);
  EXPECT_EQ(c.r, 255);
  EXPECT_EQ(c.g, 0);
  EXPECT_EQ(c.b, 254);
  EXPECT_EQ(c.a, 255);
  c.SetRGB(0.5f, 1.0f, 0.0f);
  EXPECT_EQ(c.r, 127);
  EXPECT_EQ(c.g, 255);
  // Out-of-range inputs that would overflow an integer conversion still clamp.
  c.SetRGB(1e30f, -1e30f, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(c.r, 255);
  EXPECT_EQ(c.g, 0);
  EXPECT_EQ(c.b, 0);
}

TEST(ColorTest, AddSaturateClampsEachChannelAndKeepsAlpha) {
  Color c = Color::FromRGBA(200, 10, 255, 7);
  c.AddSaturate(Color::FromRGBA(100, 20, 1, 200));
  EXPECT_EQ(c, Color::FromRGBA(255, 30, 255, 7));
}

TEST(ColorTest, PackedPixelsMatchBitReference) {
  for (int v = 0; v < 256; v += 3) {
    const Color c = Color::FromRGBA(uint8_t(v), uint8_t(255 - v), uint8_t(v ^ 0x5A));
    EXPECT_EQ(c.ToRGB555(), ((v >> 3) << 10) | (((255 - v) >> 3) << 5) | ((v ^ 0x5A) >> 3));
    EXPECT_EQ(c.ToRGB565(), ((v >> 3) << 11) | (((255 - v) >> 2) << 5) | ((v ^ 0x5A) >> 3));
    // Rounding never lowers a channel and moves it by at most one step.
    const int rounded = c.ToRGB555Rounded() >> 10;
    EXPECT_GE(rounded, v >> 3);
    EXPECT_LE(rounded, std::min(31, (v >> 3) + 1));
  }
  const auto redOf = [](int v) { return Color::FromRGBA(uint8_t(v), 0, 0).ToRGB555Rounded() >> 10; };
  EXPECT_EQ(redOf(252), 31);  // bit 2 set: 252 + 8 clamps to 255
  EXPECT_EQ(redOf(251), 31);
  EXPECT_EQ(redOf(3), 0);  // bit 2 clear
  EXPECT_EQ(redOf(4), 1);
}

TEST(ColorTest, RandomChannelCoversFullRangeWithoutWrapping) {
  // The top generator value must give full brightness, not wrap to black.
  EXPECT_EQ(ColorChannelFromRand(plat::kRandMax), 255);
  EXPECT_EQ(ColorChannelFromRand(0), 0);
  // Monotonic and every byte value reached by the same number of draws.
  int counts[256] = {};
  int previous = 0;
  for (int r = 0; r <= plat::kRandMax; ++r) {
    const int c = ColorChannelFromRand(r);
    ASSERT_GE(c, previous);
    previous = c;
    ++counts[c];
  }
  for (int c = 0; c < 256; ++c) EXPECT_EQ(counts[c], 128) << c;
}

TEST(ColorTest, RandomColorDrawsBlueGreenRedInOrder) {
  plat::srand(77);
  const int rb = plat::rand(), rg = plat::rand(), rr = plat::rand();
  plat::srand(77);
  Color c;
  RandomColor(c);
  EXPECT_EQ(c.b, ColorChannelFromRand(rb));
  EXPECT_EQ(c.g, ColorChannelFromRand(rg));
  EXPECT_EQ(c.r, ColorChannelFromRand(rr));
  EXPECT_EQ(c.a, 255);
}

}  // namespace
