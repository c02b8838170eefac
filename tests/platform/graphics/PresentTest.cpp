// Frame conversion to 32-bit pixels and presenting in an offscreen window.
#include "platform/graphics/PixelConvert.h"
#include "platform/system/Platform.h"
#include "tests/platform/window/WindowTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

uint32_t Red(uint32_t p) { return (p >> 16) & 0xFF; }
uint32_t Green(uint32_t p) { return (p >> 8) & 0xFF; }
uint32_t Blue(uint32_t p) { return p & 0xFF; }

// A widened channel must be the nearest 8-bit level to the exact scaling.
void ExpectWidened(uint32_t wide, uint32_t narrow, uint32_t narrowMax) {
  EXPECT_LT(std::fabs(static_cast<double>(wide) - narrow * 255.0 / narrowMax), 1.0) << narrow;
}

}  // namespace

// Every 15- and 16-bit value widens to the nearest 8-bit levels and narrows back to itself.
TEST(PixelConvertTest, FifteenAndSixteenBitRoundTripThroughThirtyTwo) {
  for (int bits : {15, 16}) {
    const uint32_t count = 1u << bits;
    const uint32_t greenBits = bits - 10;
    std::vector<uint16_t> all(count);
    for (uint32_t i = 0; i < count; ++i) all[i] = static_cast<uint16_t>(bits == 15 ? (i | 0x8000) : i);  // unused top bit set
    std::vector<uint32_t> out(count);
    ASSERT_TRUE(plat::ConvertToXrgb8888(all.data(), 256, count / 256, 512, bits, out.data()));
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t p = out[i];
      ASSERT_EQ(p >> 24, 0xFFu);
      const uint32_t back = ((Red(p) >> 3) << (5 + greenBits)) | ((Green(p) >> (8 - greenBits)) << 5) | (Blue(p) >> 3);
      ASSERT_EQ(back, i) << bits;
      ExpectWidened(Red(p), i >> (5 + greenBits), 31);
      ExpectWidened(Green(p), (i >> 5) & ((1u << greenBits) - 1), (1u << greenBits) - 1);
      ExpectWidened(Blue(p), i & 31, 31);
    }
  }
}

TEST(PixelConvertTest, PaddedUnalignedRowsMatchPackedRows) {
  constexpr int kWidth = 37;
  constexpr int kHeight = 11;
  std::mt19937 random(5);
  for (int bits : {15, 16, 32}) {
    const int bytes = bits == 32 ? 4 : 2;
    const int pitch = kWidth * bytes + 3;
    std::vector<unsigned char> packed(kWidth * kHeight * bytes);
    for (unsigned char& b : packed) b = static_cast<unsigned char>(random());
    std::vector<unsigned char> padded(1 + pitch * kHeight, 0xAB);  // one byte in: no row starts aligned
    for (int y = 0; y < kHeight; ++y) std::memcpy(&padded[1 + y * pitch], &packed[y * kWidth * bytes], kWidth * bytes);
    std::vector<uint32_t> fromPacked(kWidth * kHeight);
    std::vector<uint32_t> fromPadded(kWidth * kHeight);
    ASSERT_TRUE(plat::ConvertToXrgb8888(packed.data(), kWidth, kHeight, kWidth * bytes, bits, fromPacked.data()));
    ASSERT_TRUE(plat::ConvertToXrgb8888(&padded[1], kWidth, kHeight, pitch, bits, fromPadded.data()));
    EXPECT_EQ(fromPacked, fromPadded) << bits << " bits";
  }
}

TEST_F(WindowTest, PresentsFramesOfEveryDepthAndSize) {
  ShowWindow(window_, SW_SHOW);
  std::vector<uint16_t> frame16(640 * 480, 0x7C00);
  std::vector<uint32_t> frame32(320 * 200, 0x00336699);
  EXPECT_TRUE(plat::PresentPixels(window_, frame16.data(), 640, 480, 640 * 2, 15));
  EXPECT_TRUE(plat::PresentPixels(window_, frame16.data(), 640, 480, 640 * 2, 16));
  EXPECT_TRUE(plat::PresentPixels(window_, frame32.data(), 320, 200, 320 * 4, 32));  // new size
  EXPECT_TRUE(plat::PresentPixels(window_, frame16.data(), 640, 480, 640 * 2, 15));
  {
    // A side of 16384 pixels is the most a frame may have, 16385 is refused as a bad size.
    std::vector<uint32_t> row(16385, 0x00336699);
    DebugCapture sides;
    plat::PresentPixels(window_, row.data(), 16384, 1, 16384 * 4, 32);
    EXPECT_EQ(std::string::npos, sides.Text().find("bad frame size")) << sides.Text();
    EXPECT_FALSE(plat::PresentPixels(window_, row.data(), 1, 16385, 4, 32));
    EXPECT_NE(std::string::npos, sides.Text().find("PresentPixels: bad frame size 1x16385\n")) << sides.Text();
  }

  DebugCapture capture;
  EXPECT_FALSE(plat::PresentPixels(window_, frame16.data(), 640, 480, 100, 16));  // pitch shorter than a row
  EXPECT_FALSE(plat::PresentPixels(window_, frame16.data(), 640, 480, 640 * 2, 24));
  EXPECT_FALSE(plat::PresentPixels(window_, nullptr, 640, 480, 640 * 2, 16));
  EXPECT_FALSE(plat::PresentPixels(window_, frame16.data(), -1, 480, 640 * 2, 16));
  EXPECT_FALSE(plat::PresentPixels(nullptr, frame16.data(), 640, 480, 640 * 2, 16));
  HWND gone = window_;
  DestroyWindow(window_);
  window_ = nullptr;
  EXPECT_FALSE(plat::PresentPixels(gone, frame16.data(), 640, 480, 640 * 2, 16));
  EXPECT_EQ(LoggedLines(capture), 6);  // one line per refused frame
}
