// The generator's interface art where the program looks for it: the park's fonts, the global font
// and the pointer load through the sprite library, and the data folder carries its stamp.
#include <gtest/gtest.h>

#include <string>

#include "core/GlobalArt.h"
#include "park/ParkFontSet.h"
#include "tests/support/WorkingFolder.h"
#include "tools/DemoContentUi.h"
#include "ui/MenuLayer.h"
#include "ui/MouseCursor.h"
#include "ui/Sprite.h"
#include "ui/SpriteFile.h"

using testing_support::DebugCapture;
using testing_support::WorkingFolder;

TEST(DemoUiArt, FontsPointerAndMenuArtLoadWhereTheProgramLooks) {
  WorkingFolder folder;
  ASSERT_TRUE(folder.Entered());
  ASSERT_TRUE(DemoContent::WriteUi("data"));
  DebugCapture log;
  ParkFontSet fonts;
  fonts.Load();
  ASSERT_TRUE(fonts.alphabet14 && fonts.cursor14 && fonts.alphabet16 && fonts.alphabet10);
  EXPECT_EQ(fonts.alphabet14->GetHeight(), 16);
  EXPECT_EQ(fonts.alphabet16->GetHeight(), 18);
  EXPECT_EQ(fonts.alphabet10->GetHeight(), 9);
  EXPECT_TRUE(fonts.alphabet10->HasImage());

  CGlobalArt art;
  ASSERT_TRUE(art.LoadFrom("data/ui/global/"));
  ASSERT_EQ(art.GetFontCount(), 1u);
  ASSERT_NE(art.GetFontAlphabet(0), nullptr);
  EXPECT_NE(art.GetFontCursor(0), nullptr);
  EXPECT_EQ(art.FindFont("font_small"), 0);

  CMouseCursor pointer;
  ASSERT_NE(pointer.GetSprite(), nullptr);
  EXPECT_EQ(pointer.GetSprite()->GetFrameCount(), 2);

  CSpriteFile menu;
  ASSERT_TRUE(menu.Load(CMenuLayer::kInterfaceFile));
  ASSERT_NE(menu.GetSprite("button"), nullptr);
  EXPECT_EQ(menu.GetSprite("button")->GetWidth(), CButtonPanel::kButtonWidth);
  EXPECT_EQ(menu.GetSprite("button")->GetHeight(), CButtonPanel::kButtonHeight);
  EXPECT_EQ(log.Text().find("Error"), std::string::npos) << log.Text();

  ASSERT_TRUE(DemoContent::WriteGeneratorStamp("data"));
  EXPECT_EQ(folder.Read(std::string("data/") + DemoContent::kGeneratorStampFile),
            std::to_string(DemoContent::kGeneratorVersion) + "\n");
}
