// Tests of Color: layout, float conversion, saturation, 15/16-bit packing and random colours.
#include "core/math/Color.h"

#include "platform/system/Platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace {

TEST(ColorTest, LayoutConversionAndSaturation) {
  const Color c = Color::FromRGBA(0x11, 0x22, 0x33, 0x44);
  uint32_t word;
  std::memcpy(&word, &c, 4);
  EXPECT_EQ(word, 0x44112233u);  // a BGRA word on a little-endian host
  EXPECT_EQ(Color::FromWord(word), c);

  // Each channel (and the alpha) is set afresh from a value unlike its last.
  Color f = Color::FromRGBA(1, 2, 3, 4);
  f.SetRGB(1.5f, 0.999f, -0.2f);
  EXPECT_EQ(f, Color::FromRGBA(255, 254, 0, 255));
  f.SetRGB(-0.2f, 1.5f, 0.999f);
  EXPECT_EQ(f, Color::FromRGBA(0, 255, 254, 255));
  // Inputs that would overflow an integer conversion still clamp.
  f.SetRGB(1e30f, -1e30f, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(f, Color::FromRGBA(255, 0, 0, 255));

  Color s = Color::FromRGBA(200, 10, 255, 7);
  s.AddSaturate(Color::FromRGBA(100, 20, 1, 200));
  EXPECT_EQ(s, Color::FromRGBA(255, 30, 255, 7));

  // Blends step by the truncated difference: 0.51 of -190 is -96 (not the floor, -97), of +190
  // is +96; t = 1 lands on the target, t = 0 stays, overshoot clamps; alpha stays.
  const Color from = Color::FromRGBA(200, 10, 100, 9), to = Color::FromRGBA(10, 200, 100, 250);
  Color l = from;
  l.LerpTo(to, 0.51f);
  EXPECT_EQ(l, Color::FromRGBA(104, 106, 100, 9));
  for (float t : {0.0f, 1.0f}) {
    l = from;
    l.LerpTo(to, t);
    EXPECT_EQ(l, t == 0.0f ? from : Color::FromRGBA(10, 200, 100, 9));
  }
  l = from;
  l.LerpTo(to, 2.0f);
  EXPECT_EQ(l, Color::FromRGBA(0, 255, 100, 9));
  l.LerpTo(to, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(l.a, 9);
}

TEST(ColorTest, PackedPixelsMatchBitReference) {
  for (int v = 0; v < 256; v += 3) {
    const Color c = Color::FromRGBA(uint8_t(v), uint8_t(255 - v), uint8_t(v ^ 0x5A));
    EXPECT_EQ(c.ToRGB555(), ((v >> 3) << 10) | (((255 - v) >> 3) << 5) | ((v ^ 0x5A) >> 3));
    EXPECT_EQ(c.ToRGB565(), ((v >> 3) << 11) | (((255 - v) >> 2) << 5) | ((v ^ 0x5A) >> 3));
    // Each channel rounds to its nearest step, halves up, and saturates at the top.
    auto step = [](int x) { return std::min(31, (x + 4) >> 3); };
    EXPECT_EQ(c.ToRGB555Rounded(), (step(v) << 10) | (step(255 - v) << 5) | step(v ^ 0x5A)) << v;
  }
}

TEST(ColorTest, RandomChannelsCoverTheRangeEvenly) {
  // Monotonic, the top generator value is full brightness, every byte drawn equally often.
  int counts[256] = {};
  int previous = 0;
  for (int r = 0; r <= plat::kRandMax; ++r) {
    const int c = ColorChannelFromRand(r);
    ASSERT_GE(c, previous);
    previous = c;
    ++counts[c];
  }
  for (int c = 0; c < 256; ++c) EXPECT_EQ(counts[c], 128) << c;

  plat::srand(77);
  const int rb = plat::rand(), rg = plat::rand(), rr = plat::rand();
  plat::srand(77);
  Color c;
  RandomColor(c);  // blue, green, red in draw order
  EXPECT_EQ(c, Color::FromRGBA(ColorChannelFromRand(rr), ColorChannelFromRand(rg), ColorChannelFromRand(rb), 255));
}

}  // namespace
