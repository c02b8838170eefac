// The text label: measuring, the highlight markers, drawing at every depth, clipping anywhere.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ui/TinyFont.h"
#include "ui/UILabel.h"

namespace {

// A surface over a buffer with a guard band after it, so writes past the surface are caught.
struct TestSurface {
  TestSurface(uint32_t w, uint32_t h, uint32_t bits) : memory(Bytes(w, h, bits) + 64, 0) {
    surface.pixels = memory.data();
    surface.width = w;
    surface.height = h;
    surface.pitch = static_cast<int32_t>(w * BytesPerPixel(bits));
    surface.bitsPerPixel = bits;
  }
  static uint32_t BytesPerPixel(uint32_t bits) { return bits == 15 ? 2 : bits / 8; }
  static size_t Bytes(uint32_t w, uint32_t h, uint32_t bits) { return static_cast<size_t>(w) * h * BytesPerPixel(bits); }
  bool Lit(int x, int y) const {
    const size_t bytes = BytesPerPixel(surface.bitsPerPixel);
    for (size_t i = 0; i < bytes; ++i)
      if (memory[(static_cast<size_t>(y) * surface.width + x) * bytes + i] != 0) return true;
    return false;
  }
  bool GuardClean() const {
    const size_t end = Bytes(surface.width, surface.height, surface.bitsPerPixel);
    for (size_t i = end; i < memory.size(); ++i)
      if (memory[i] != 0) return false;
    return true;
  }
  std::vector<uint8_t> memory;
  DrawSurface surface;
};

TEST(UILabel, MeasuresWhatItDraws) {
  CUILabel label(nullptr, nullptr, "", 0, 0, 1000, 1000);
  EXPECT_EQ(label.GetTextLength(), 0);
  label.SetText("AB1");
  EXPECT_EQ(label.GetTextLength(), 3);
  EXPECT_EQ(label.GetWidth(), TinyFont::TextWidth("AB1", 1));
  EXPECT_EQ(label.GetHeight(), TinyFont::kGlyphHeight);
  // Markers take no room of their own; a highlighted run adds its backdrop margin.
  label.SetText("\x01" "AB1" "\x02");
  EXPECT_EQ(label.GetTextLength(), 5);
  EXPECT_EQ(label.GetWidth(), TinyFont::TextWidth("AB1", 1) + 2 * CUILabel::kPadding);
  EXPECT_EQ(label.GetHeight(), TinyFont::kGlyphHeight + 2 * CUILabel::kPadding);
  label.SetText(nullptr);
  EXPECT_EQ(label.GetTextLength(), 0);
  EXPECT_EQ(label.GetWidth(), 0);

  // Whatever the text, every pixel drawn lies inside the measured box.
  std::mt19937 random(5);
  const char alphabet[] = "AZaz09 .$#\x01\x02";
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 40);
    for (int i = 0; i < length; ++i) text.push_back(alphabet[random() % (sizeof(alphabet) - 1)]);
    label.SetText(text.c_str());
    TestSurface s(320, 40, 16);
    label.Draw(s.surface, 4, 6);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 320; ++x)
        if (s.Lit(x, y)) {
          ASSERT_GE(x, 4) << text;
          ASSERT_LT(x, 4 + label.GetWidth()) << text;
          ASSERT_GE(y, 6) << text;
          ASSERT_LT(y, 6 + label.GetHeight()) << text;
        }
  }
}

TEST(UILabel, HighlightedRunSitsOnABackdrop) {
  CUILabel label(nullptr, nullptr, "\x01" "I" "\x02", 0, 0, 0, 0);
  TestSurface s(40, 20, 32);
  std::memset(s.memory.data(), 0x55, TestSurface::Bytes(40, 20, 32));  // a busy background
  label.Draw(s.surface, 10, 5);
  const auto pixel = [&](int x, int y) {
    uint32_t p;
    std::memcpy(&p, &s.memory[(static_cast<size_t>(y) * 40 + x) * 4], 4);
    return p;
  };
  const uint32_t text = CUILabel::kTextColour & 0xFFFFFF, backdrop = CUILabel::kBackdropColour & 0xFFFFFF;
  // The whole box is either text or backdrop; the background survives just outside it.
  int textPixels = 0;
  for (int y = 5; y < 5 + label.GetHeight(); ++y)
    for (int x = 10; x < 10 + label.GetWidth(); ++x) {
      const uint32_t p = pixel(x, y);
      ASSERT_TRUE(p == text || p == backdrop) << x << "," << y;
      textPixels += p == text;
    }
  int glyphBits = 0;
  for (int row = 0; row < TinyFont::kGlyphHeight; ++row) glyphBits += __builtin_popcount(TinyFont::Glyph('I')[row]);
  EXPECT_EQ(textPixels, glyphBits);
  EXPECT_EQ(pixel(9, 5), 0x55555555u);
  EXPECT_EQ(pixel(10 + label.GetWidth(), 5), 0x55555555u);
  EXPECT_EQ(pixel(10, 4), 0x55555555u);

  // Plain text draws only its glyph pixels.
  TestSurface plain(40, 20, 15);
  CUILabel bare(nullptr, nullptr, "I", 0, 0, 0, 0);
  EXPECT_EQ(bare.Draw(plain.surface, 0, 0), glyphBits);
}

TEST(UILabel, ClipsAtEveryDepthAndPosition) {
  CUILabel label(nullptr, nullptr, "\x01" "STATUS TEXT 42" "\x02", 0, 0, 0, 0);
  std::mt19937 random(9);
  const uint32_t depths[] = {15, 16, 24, 32};
  for (uint32_t bits : depths) {
    for (int i = 0; i < 400; ++i) {
      const uint32_t w = 1 + random() % 120, h = 1 + random() % 30;
      TestSurface s(w, h, bits);
      const int x = static_cast<int>(random() % 400) - 200, y = static_cast<int>(random() % 80) - 40;
      label.Draw(s.surface, x, y);
      ASSERT_TRUE(s.GuardClean()) << bits << " " << w << "x" << h << " at " << x << "," << y;
    }
  }
  // Surfaces the label cannot draw on are left alone.
  TestSurface odd(8, 8, 8);
  EXPECT_EQ(label.Draw(odd.surface, 0, 0), 0);
  DrawSurface none;
  EXPECT_EQ(label.Draw(none, 0, 0), 0);
}

}  // namespace
