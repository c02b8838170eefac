// The built-in title font: glyph table, colour packing and clipped drawing.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "ui/sprites/TinyFont.h"

namespace {

// A 16-bit surface inside a larger buffer whose margins must stay untouched.
struct GuardedSurface {
  static constexpr uint16_t kGuard = 0xBEEF;
  GuardedSurface(uint32_t w, uint32_t h, uint32_t bits) : width(w), height(h), memory((w + 8) * (h + 8), kGuard) {
    surface.pixels = &memory[4 * (w + 8) + 4];
    surface.width = w;
    surface.height = h;
    surface.pitch = static_cast<int32_t>((w + 8) * 2);
    surface.bitsPerPixel = bits;
  }
  uint16_t At(int x, int y) const { return memory[(y + 4) * (width + 8) + (x + 4)]; }
  uint32_t width, height;
  std::vector<uint16_t> memory;
  DrawSurface surface;
};

}  // namespace

TEST(TinyFont, EveryLetterAndDigitHasAGlyphInsideFiveColumns) {
  for (char c = 'A'; c <= 'Z'; ++c) {
    const uint8_t* g = TinyFont::Glyph(c);
    ASSERT_NE(nullptr, g) << c;
    EXPECT_EQ(g, TinyFont::Glyph(static_cast<char>(c - 'A' + 'a')));
    for (int row = 0; row < TinyFont::kGlyphHeight; ++row) EXPECT_EQ(0, g[row] & ~0x1F) << c;
    for (char b = static_cast<char>(c + 1); b <= 'Z'; ++b)  // no two letters share a glyph
      EXPECT_NE(0, std::memcmp(g, TinyFont::Glyph(b), TinyFont::kGlyphHeight)) << c << b;
  }
  for (char c = '0'; c <= '9'; ++c) EXPECT_NE(nullptr, TinyFont::Glyph(c));
  // The point of a fee or a figure, apart from the comma.
  ASSERT_NE(nullptr, TinyFont::Glyph('.'));
  EXPECT_NE(0, std::memcmp(TinyFont::Glyph('.'), TinyFont::Glyph(','), TinyFont::kGlyphHeight));
}

TEST(TinyFont, DrawingIsClippedToTheSurfaceAtEveryOffset) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 300; ++trial) {
    GuardedSurface g(37, 23, 16);
    TinyFont::Fill(g.surface, 0);
    const int x = static_cast<int>(rng() % 120) - 80;
    const int y = static_cast<int>(rng() % 60) - 30;
    const int scale = 1 + static_cast<int>(rng() % 4);
    const int written = TinyFont::DrawText(g.surface, x, y, "WM", scale, 0xFFFFFFFF);
    int lit = 0;
    for (int py = 0; py < 23; ++py)
      for (int px = 0; px < 37; ++px) lit += g.At(px, py) != 0;
    ASSERT_EQ(written, lit);
    // Brute force: which font cells cover surface pixels.
    int expected = 0;
    const char* text = "WM";
    for (int i = 0; i < 2; ++i)
      for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col) {
          if (!(TinyFont::Glyph(text[i])[row] & (0x10 >> col))) continue;
          for (int py = y + row * scale; py < y + (row + 1) * scale; ++py)
            for (int px = x + (i * 6 + col) * scale; px < x + (i * 6 + col + 1) * scale; ++px)
              expected += px >= 0 && px < 37 && py >= 0 && py < 23;
        }
    ASSERT_EQ(expected, written) << x << "," << y << " scale " << scale;
    for (size_t i = 0; i < g.memory.size(); ++i) {
      const size_t row = i / 45, col = i % 45;
      if (row < 4 || row >= 27 || col < 4 || col >= 41) ASSERT_EQ(GuardedSurface::kGuard, g.memory[i]);
    }
  }
}

TEST(TinyFont, EachDepthIsPackedAndFilledAndOthersAreLeftAlone) {
  DrawSurface none;
  EXPECT_EQ(0, TinyFont::DrawText(none, 0, 0, "A", 1, 0xFFFFFFFF));
  TinyFont::Fill(none, 0xFFFFFFFF);
  uint8_t bytes[16] = {};
  DrawSurface eight;
  eight.pixels = bytes;
  eight.width = 4;
  eight.height = 4;
  eight.pitch = 4;
  eight.bitsPerPixel = 8;
  EXPECT_EQ(0, TinyFont::DrawText(eight, 0, 0, "A", 1, 0xFFFFFFFF));
  TinyFont::Fill(eight, 0xFFFFFFFF);
  for (uint8_t b : bytes) EXPECT_EQ(0, b);
  GuardedSurface g(10, 10, 15);
  EXPECT_EQ(0, TinyFont::DrawText(g.surface, 0, 0, nullptr, 1, 0xFFFFFFFF));
  // A locked buffer's depth (the green mask tells 5-5-5 from 5-6-5, else 8 bits a byte) shows in the
  // orange text colour packed for it and in a fill of two pixels: the packed colour in each, little
  // end first, and no byte past them.
  PixelBufferDesc desc;
  uint8_t row[9];
  desc.pixels = row;
  desc.width = 2;
  desc.height = 1;
  for (const auto& [size, green, orange] :
       {std::tuple<uint32_t, uint32_t, uint32_t>{2, kGreenMask555, 0x7E60}, {2, kGreenMask565, 0xFCC0},
        {3, 0xFF00, 0xFF9900}, {4, 0xFF00, 0xFF9900}}) {
    desc.bytesPerPixel = size;
    desc.greenMask = green;
    EXPECT_EQ(orange, TinyFont::PackColour(MakeDrawSurface(desc), 0xFFFF9900u)) << size;
    DrawSurface surface = MakeDrawSurface(desc);
    std::memset(row, 0x5A, sizeof row);
    TinyFont::Fill(surface, 0xFFFF9900u);
    for (uint32_t i = 0; i < sizeof row; ++i)
      EXPECT_EQ(i < 2 * size ? (orange >> 8 * (i % size)) & 0xFF : 0x5Au, row[i]) << size << " byte " << i;
  }
}
