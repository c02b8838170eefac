// Global fonts in a stable order and the software pointer's placement rules.
#include <gtest/gtest.h>

#include <string>

#include "core/GlobalArt.h"
#include "core/MouseCursor.h"
#include "tests/support/TempFolder.h"

using testing_support::DebugCapture;
using testing_support::TempFolder;

TEST(GlobalArt, FontsAreIndexedInSortedOrderAndMissingOnesGiveNull) {
  TempFolder temp;
  // Created out of order; the indices must not depend on how the folder lists them.
  for (const char* name : {"fontSmall.bin", "Font_Title.bin", "font2.bin", "nested/font1.bin", "cursor.bin"})
    temp.Write(std::string("UI/Global/") + name, "not a sprite file this build reads");
  DebugCapture log;
  CGlobalArt art;
  ASSERT_TRUE(art.LoadFrom((temp.Path() + "ui\\global\\").c_str()));
  // Every file was found on disk through its mixed-case backslash path, and refused only for its content.
  EXPECT_EQ(std::string::npos, log.Text().find("Error Loading File"));
  EXPECT_NE(std::string::npos, log.Text().find("CSpriteFile: "));
  ASSERT_EQ(4u, art.GetFontCount());  // "Font_Title" matches too: names match without regard to case
  EXPECT_EQ(0, art.FindFont("Font_Title"));
  EXPECT_EQ(1, art.FindFont("font2"));
  EXPECT_EQ(2, art.FindFont("fontSmall"));
  EXPECT_EQ(3, art.FindFont("nested"));
  EXPECT_EQ(-1, art.FindFont("cursor"));
  EXPECT_EQ(-1, art.FindFont(nullptr));
  // Files this build cannot read keep their index with null sprites.
  EXPECT_EQ(nullptr, art.GetFontAlphabet(0));
  EXPECT_EQ(nullptr, art.GetFontCursor(3));
  EXPECT_EQ(nullptr, art.GetFontAlphabet(art.GetFontCount()));
  art.Reload();

  // Loading again replaces the fonts; a folder without fonts leaves none.
  ASSERT_TRUE(art.LoadFrom((temp.Path() + "ui/global").c_str()));
  EXPECT_EQ(4u, art.GetFontCount());
  EXPECT_FALSE(art.LoadFrom((temp.Path() + "nowhere").c_str()));
  EXPECT_EQ(0u, art.GetFontCount());
  EXPECT_EQ(nullptr, art.GetFontAlphabet(0));
}

TEST(MouseCursor, EvenRectanglesAndAMissingPointerFile) {
  EXPECT_EQ(16, CMouseCursor::EvenRect(RECT{0, 0, 15, 15}).right);
  EXPECT_EQ(16, CMouseCursor::EvenRect(RECT{0, 0, 15, 15}).bottom);
  const RECT moved = CMouseCursor::EvenRect(RECT{-3, 7, 10, 20});
  EXPECT_EQ(-3, moved.left);
  EXPECT_EQ(7, moved.top);
  EXPECT_EQ(11, moved.right);   // 13 wide -> 14
  EXPECT_EQ(21, moved.bottom);  // 13 high -> 14
  const RECT even = CMouseCursor::EvenRect(RECT{1, 1, 9, 5});
  EXPECT_EQ(9, even.right);
  EXPECT_EQ(5, even.bottom);

  DebugCapture log;
  CMouseCursor cursor("data/ui/nowhere/mousecursor.bin");
  EXPECT_EQ(nullptr, cursor.GetSprite());
  EXPECT_NE(std::string::npos, log.Text().find("Error Loading File: 'data/ui/nowhere/mousecursor.bin'"));
  cursor.SetFrame(3);
  cursor.Draw(nullptr, true);
  cursor.Update();
  cursor.Invalidate();
  EXPECT_FALSE(cursor.IsDrawn());
}
