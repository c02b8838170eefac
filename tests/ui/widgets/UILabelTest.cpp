// The text label: drawn pixels exactly fill the measured box over a backdrop, and clipping at every
// depth and position leaves a guard band behind the surface untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "ui/sprites/TinyFont.h"
#include "ui/widgets/UILabel.h"

namespace {

struct TestSurface {
  TestSurface(uint32_t w, uint32_t h, uint32_t bits) : bytes(bits == 15 ? 2 : bits / 8), memory(w * h * bytes + 64) {
    surface = DrawSurface{memory.data(), w, h, static_cast<int32_t>(w * bytes), bits};
  }
  uint32_t Pixel(int x, int y) const {
    uint32_t p = 0;
    std::memcpy(&p, &memory[(static_cast<size_t>(y) * surface.width + x) * bytes], bytes);
    return p;
  }
  bool GuardClean() const { return std::all_of(memory.end() - 64, memory.end(), [](uint8_t b) { return b == 0; }); }
  uint32_t bytes;
  std::vector<uint8_t> memory;
  DrawSurface surface;
};

TEST(UILabel, DrawsInsideItsMeasureWithMarkersAsABackdrop) {
  CUILabel label(nullptr, nullptr, "\x01" "I" "\x02", 0, 0, 1000, 1000);
  EXPECT_EQ(label.GetTextLength(), 3);
  EXPECT_EQ(label.GetWidth(), TinyFont::kGlyphWidth + 4);  // a 2-pixel backdrop margin; markers take no room
  TestSurface s(40, 20, 32);
  std::memset(s.memory.data(), 0x55, 40 * 20 * 4);
  label.Draw(s.surface, 10, 5);
  int textPixels = 0, glyphBits = 0;
  for (int row = 0; row < TinyFont::kGlyphHeight; ++row) glyphBits += __builtin_popcount(TinyFont::Glyph('I')[row]);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool inside = x >= 10 && x < 10 + label.GetWidth() && y >= 5 && y < 5 + label.GetHeight();
      const uint32_t p = s.Pixel(x, y);
      ASSERT_EQ(inside, p != 0x55555555u) << x << "," << y;
      ASSERT_TRUE(!inside || p == (CUILabel::kTextColour & 0xFFFFFF) || p == 0) << x << "," << y;
      textPixels += inside && p != 0;
    }
  EXPECT_EQ(textPixels, glyphBits);
  // Without markers the same glyph is drawn with its top-left corner where the marked one's text began.
  const std::vector<uint8_t> marked = s.memory;
  label.SetText("I");
  EXPECT_EQ(label.Draw(s.surface, 12, 7), glyphBits);
  EXPECT_TRUE(s.memory == marked);
  label.SetText(nullptr);
  EXPECT_EQ(label.GetTextLength(), 0);
  EXPECT_EQ(label.Draw(s.surface, 0, 0), 0);
}

TEST(UILabel, ClipsAtEveryDepthAndPosition) {
  CUILabel label(nullptr, nullptr, "\x01" "STATUS TEXT 42" "\x02", 0, 0, 0, 0);
  std::mt19937 random(9);
  for (uint32_t bits : {15u, 16u, 24u, 32u})
    for (int i = 0; i < 400; ++i) {
      TestSurface s(1 + random() % 120, 1 + random() % 30, bits);
      const int x = static_cast<int>(random() % 400) - 200, y = static_cast<int>(random() % 80) - 40;
      label.Draw(s.surface, x, y);
      ASSERT_TRUE(s.GuardClean()) << bits << " at " << x << "," << y;
    }
  TestSurface odd(8, 8, 8);
  EXPECT_EQ(label.Draw(odd.surface, 0, 0), 0);
}

}  // namespace
