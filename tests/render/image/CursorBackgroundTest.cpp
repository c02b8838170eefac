// The pointer's saved background: pixels put back exactly, also where the rect leaves the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "render/image/CursorBackground.h"

TEST(CursorBackground, SaveScribbleRestoreGivesTheScreenBack) {
  CImageRef screen = CreateDibImage(40, 30, 15);  // the software frame's format
  ASSERT_FALSE(screen.IsNull());
  CImageRef picture = CreateDibImage(40, 30, 15);  // rows as the screen's
  std::mt19937 rng(8);
  for (int i = 0; i < screen->pitch * 30; ++i) picture->pixels[i] = static_cast<uint8_t>(rng() & (i % 2 ? 0x7F : 0xFF));
  const std::vector<uint8_t> before(picture->pixels, picture->pixels + picture->pitch * 30);
  HDC dc = nullptr;
  ASSERT_EQ(1, screen->GetDC(&dc));
  ASSERT_EQ(1, picture->DrawToDC(dc, 0, 0));  // through the picture's own memory DC
  ASSERT_EQ(before, std::vector<uint8_t>(screen->pixels, screen->pixels + screen->pitch * 30));
  CCursorBackground background;
  EXPECT_FALSE(background.Restore(dc));  // nothing held yet
  for (const RECT& rect : {RECT{5, 6, 21, 22}, RECT{30, 20, 46, 36}, RECT{-8, -4, 8, 12}}) {
    ASSERT_TRUE(background.Save(dc, rect));
    for (int y = std::max<LONG>(0, rect.top); y < std::min<LONG>(30, rect.bottom); ++y)
      for (int x = std::max<LONG>(0, rect.left); x < std::min<LONG>(40, rect.right); ++x) SetPixel(dc, x, y, RGB(255, 0, 255));
    ASSERT_TRUE(background.Restore(dc));
    EXPECT_FALSE(background.IsHeld());
    ASSERT_EQ(before, std::vector<uint8_t>(screen->pixels, screen->pixels + screen->pitch * 30)) << rect.left;
  }
  ASSERT_TRUE(background.Save(dc, RECT{5, 6, 21, 22}));
  EXPECT_FALSE(background.Save(dc, RECT{5, 5, 5, 9}));  // empty: saves nothing and lets go of what was held
  EXPECT_FALSE(background.Restore(dc));
  screen->ReleaseDC();
}
