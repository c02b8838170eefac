// Global fonts in a stable order, and the software pointer's rectangle and missing file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/GlobalArt.h"
#include "ui/MouseCursor.h"
#include "tests/support/TempFolder.h"

TEST(GlobalArt, FontsAreIndexedInSortedOrderAndMissingOnesGiveNull) {
  testing_support::TempFolder temp;
  // Created out of order; the indices must not depend on how the folder lists them.
  for (const char* name : {"fontSmall.bin", "Font_Title.bin", "font2.bin", "nested/font1.bin", "cursor.bin"})
    temp.Write(std::string("UI/Global/") + name, "not a sprite file this build reads");
  testing_support::DebugCapture log;
  CGlobalArt art;
  ASSERT_TRUE(art.LoadFrom((temp.Path() + "ui\\global\\").c_str()));
  // Each file was found through its mixed-case backslash path and refused only for its content.
  EXPECT_EQ(std::string::npos, log.Text().find("Error Loading File"));
  ASSERT_EQ(4u, art.GetFontCount());
  EXPECT_EQ(0, art.FindFont("Font_Title"));
  EXPECT_EQ(1, art.FindFont("font2"));
  EXPECT_EQ(2, art.FindFont("fontSmall"));
  EXPECT_EQ(3, art.FindFont("nested"));
  EXPECT_EQ(-1, art.FindFont("cursor"));
  EXPECT_EQ(nullptr, art.GetFontAlphabet(0));  // unreadable files keep their index with null sprites
  EXPECT_EQ(nullptr, art.GetFontCursor(art.GetFontCount()));
  EXPECT_FALSE(art.LoadFrom((temp.Path() + "nowhere").c_str()));  // replaces the fonts by none
  EXPECT_EQ(0u, art.GetFontCount());
}

TEST(MouseCursor, EvenRectanglesAndAMissingPointerFile) {
  const RECT a = CMouseCursor::EvenRect(RECT{0, 0, 15, 15});
  const RECT b = CMouseCursor::EvenRect(RECT{-3, 7, 10, 20});
  const RECT c = CMouseCursor::EvenRect(RECT{1, 1, 9, 5});
  EXPECT_EQ((std::vector<LONG>{0, 0, 16, 16, -3, 7, 11, 21, 1, 1, 9, 5}),
            (std::vector<LONG>{a.left, a.top, a.right, a.bottom, b.left, b.top, b.right, b.bottom, c.left, c.top,
                               c.right, c.bottom}));
  testing_support::DebugCapture log;
  CMouseCursor cursor("data/ui/nowhere/mousecursor.bin");
  EXPECT_EQ(nullptr, cursor.GetSprite());
  EXPECT_NE(std::string::npos, log.Text().find("Error Loading File: 'data/ui/nowhere/mousecursor.bin'"));
  cursor.SetFrame(3);
  cursor.Draw(nullptr, true);
  cursor.Update();
  EXPECT_FALSE(cursor.IsDrawn());
}
