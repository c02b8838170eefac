// Frame conversion to 32-bit pixels and presenting in an offscreen window.
#include "platform/PixelConvert.h"
#include "platform/Platform.h"
#include "tests/platform/WindowTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
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

TEST(PixelConvertTest, FifteenBitRoundTripsThroughThirtyTwo) {
  std::vector<uint16_t> all(32768);
  for (uint32_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint16_t>(i | 0x8000);  // unused top bit set
  std::vector<uint32_t> out(all.size());
  ASSERT_TRUE(plat::ConvertToXrgb8888(all.data(), 32768, 1, 65536, 15, out.data()));
  for (uint32_t i = 0; i < all.size(); ++i) {
    const uint32_t p = out[i];
    ASSERT_EQ(p >> 24, 0xFFu);
    const uint32_t back = ((Red(p) >> 3) << 10) | ((Green(p) >> 3) << 5) | (Blue(p) >> 3);
    ASSERT_EQ(back, i);
    ExpectWidened(Red(p), (i >> 10) & 31, 31);
    ExpectWidened(Blue(p), i & 31, 31);
  }
  EXPECT_EQ(out[0x7FFF], 0xFFFFFFFFu);
  EXPECT_EQ(out[0], 0xFF000000u);
}

TEST(PixelConvertTest, SixteenBitRoundTripsThroughThirtyTwo) {
  std::vector<uint16_t> all(65536);
  for (uint32_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint16_t>(i);
  std::vector<uint32_t> out(all.size());
  ASSERT_TRUE(plat::ConvertToXrgb8888(all.data(), 256, 256, 512, 16, out.data()));
  for (uint32_t i = 0; i < all.size(); ++i) {
    const uint32_t p = out[i];
    const uint32_t back = ((Red(p) >> 3) << 11) | ((Green(p) >> 2) << 5) | (Blue(p) >> 3);
    ASSERT_EQ(back, i);
    ExpectWidened(Green(p), (i >> 5) & 63, 63);
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
    // One byte in, so no row starts aligned.
    std::vector<unsigned char> padded(1 + pitch * kHeight, 0xAB);
    for (int y = 0; y < kHeight; ++y) {
      std::memcpy(&padded[1 + y * pitch], &packed[y * kWidth * bytes], kWidth * bytes);
    }
    std::vector<uint32_t> fromPacked(kWidth * kHeight);
    std::vector<uint32_t> fromPadded(kWidth * kHeight);
    ASSERT_TRUE(plat::ConvertToXrgb8888(packed.data(), kWidth, kHeight, kWidth * bytes, bits, fromPacked.data()));
    ASSERT_TRUE(plat::ConvertToXrgb8888(&padded[1], kWidth, kHeight, pitch, bits, fromPadded.data()));
    EXPECT_EQ(fromPacked, fromPadded) << bits << " bits";
  }
}

TEST(PixelConvertTest, RejectsBadShapes) {
  uint16_t pixels[4] = {};
  uint32_t out[4];
  EXPECT_FALSE(plat::ConvertToXrgb8888(pixels, 2, 2, 3, 16, out));  // pitch shorter than a row
  EXPECT_FALSE(plat::ConvertToXrgb8888(pixels, 2, 2, 4, 24, out));
  EXPECT_FALSE(plat::ConvertToXrgb8888(nullptr, 2, 2, 4, 16, out));
  EXPECT_FALSE(plat::ConvertToXrgb8888(pixels, 0, 2, 4, 16, out));
  EXPECT_FALSE(plat::ConvertToXrgb8888(pixels, 2, 2, 4, 16, nullptr));
}

TEST_F(WindowTest, PresentsFramesOfEveryDepthAndSize) {
  ShowWindow(window_, SW_SHOW);
  std::vector<uint16_t> frame16(640 * 480, 0x7C00);
  std::vector<uint32_t> frame32(320 * 200, 0x00336699);
  EXPECT_TRUE(plat::PresentPixels(window_, frame16.data(), 640, 480, 640 * 2, 15));
  EXPECT_TRUE(plat::PresentPixels(window_, frame16.data(), 640, 480, 640 * 2, 16));
  EXPECT_TRUE(plat::PresentPixels(window_, frame32.data(), 320, 200, 320 * 4, 32));  // new size
  EXPECT_TRUE(plat::PresentPixels(window_, frame16.data(), 640, 480, 640 * 2, 15));

  DebugCapture capture;
  EXPECT_FALSE(plat::PresentPixels(window_, frame16.data(), 640, 480, 100, 16));
  EXPECT_FALSE(plat::PresentPixels(window_, frame16.data(), 640, 480, 640 * 2, 24));
  EXPECT_FALSE(plat::PresentPixels(window_, nullptr, 640, 480, 640 * 2, 16));
  EXPECT_FALSE(plat::PresentPixels(window_, frame16.data(), -1, 480, 640 * 2, 16));
  EXPECT_FALSE(plat::PresentPixels(nullptr, frame16.data(), 640, 480, 640 * 2, 16));
  HWND gone = window_;
  DestroyWindow(window_);
  window_ = nullptr;
  EXPECT_FALSE(plat::PresentPixels(gone, frame16.data(), 640, 480, 640 * 2, 16));
  EXPECT_EQ(capture.Texts().size(), 6u);  // one line per refused frame
}
