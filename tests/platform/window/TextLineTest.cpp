// The text overlay drawn into a 15-bit frame, and the full-screen window switch.
#include "platform/system/Platform.h"
#include "tests/platform/window/WindowTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

struct Frame15 {
  int width, height, pitch;
  std::vector<uint16_t> pixels;
  Frame15(int w, int h) : width(w), height(h), pitch(w * 2 + 6), pixels(static_cast<size_t>(h) * (w + 3), 0) {}
  uint16_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * (pitch / 2) + x]; }
  int Draw(int x, int y, const char* text, uint16_t colour = 0x7FFF) {
    return plat::DrawTextLine(pixels.data(), width, height, pitch, x, y, text, colour);
  }
  int Lit() const {
    int n = 0;
    for (uint16_t p : pixels) n += p != 0;
    return n;
  }
};

}  // namespace

TEST(TextLineTest, GlyphsAdvanceSixPixelsAndClipToTheFrame) {
  // "A.," in a 5 x 7 font, a pen step of six: the A's closed top, bar and two legs, then a
  // point and a comma on the baseline.
  const char* kText[7] = {".###. ..... .....", "#...# ..... .....", "#...# ..... .....", "##### ..... .....",
                          "#...# ..... ..#..", "#...# .##.. ..#..", "#...# .##.. .#..."};
  Frame15 f(40, 12);
  const int written = f.Draw(3, 2, "A.,");
  int expected = 0;
  for (int row = 0; row < 7; ++row)
    for (int column = 0; column < 17; ++column) {
      const bool on = kText[row][column] == '#';
      expected += on;
      EXPECT_EQ(on ? 0x7FFF : 0, f.At(3 + column, 2 + row)) << row << "," << column;
    }
  EXPECT_EQ(expected, written);
  EXPECT_EQ(expected, f.Lit()) << "nothing outside the glyph's cell";

  // Lower case draws as capitals; a space or an unknown character only moves the pen.
  Frame15 lower(40, 12), upper(40, 12);
  EXPECT_EQ(lower.Draw(0, 0, "fps 1a"), upper.Draw(0, 0, "FPS 1A"));
  EXPECT_EQ(lower.pixels, upper.pixels);
  Frame15 gap(40, 12);
  gap.Draw(0, 0, "A~A");
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(gap.At(x, y), gap.At(x + 12, y));

  // Partly outside on every side: only the pixels inside are written, and counted.
  Frame15 small(8, 5);
  const int clipped = small.Draw(-2, -3, "AB");
  EXPECT_EQ(clipped, small.Lit());
  for (int y = 0; y < 5; ++y) EXPECT_EQ(small.At(8, y), 0) << "nothing past the right edge, row " << y;
  EXPECT_GT(clipped, 0);
  EXPECT_EQ(0, small.Draw(100, 0, "A"));
  EXPECT_EQ(0, plat::DrawTextLine(nullptr, 8, 5, 22, 0, 0, "A", 1));
  EXPECT_EQ(0, small.Draw(0, 0, nullptr));
  EXPECT_EQ(0, plat::DrawTextLine(small.pixels.data(), 0, 5, 22, 0, 0, "A", 1));
}

TEST_F(WindowTest, ShowFullScreenSwitchesToADesktopWindowAndBack) {
  SDL_Window* sdl = plat::detail::SdlWindowOf(window_);
  ASSERT_NE(nullptr, sdl);
  ASSERT_TRUE(plat::ShowFullScreen(window_, true));
  EXPECT_EQ(SDL_WINDOW_FULLSCREEN_DESKTOP, SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN_DESKTOP);
  ASSERT_TRUE(plat::ShowFullScreen(window_, false));
  EXPECT_EQ(0u, SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN);
  EXPECT_FALSE(plat::ShowFullScreen(nullptr, true));
  HWND gone = window_;
  DestroyWindow(window_);
  window_ = nullptr;
  EXPECT_FALSE(plat::ShowFullScreen(gone, true)) << "a destroyed window is no longer known";
}
