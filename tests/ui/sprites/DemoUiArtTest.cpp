// The generator's interface art where the program looks for it: the park's fonts, the global font
// and the pointer load through the sprite library, and the data folder carries its stamp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/world/GlobalArt.h"
#include "park/world/ParkFontSet.h"
#include "render/image/ColourDepth.h"
#include "tests/support/WorkingFolder.h"
#include "tools/DemoContentUi.h"
#include "ui/widgets/MenuLayer.h"
#include "ui/widgets/MouseCursor.h"
#include "ui/sprites/Sprite.h"
#include "ui/sprites/SpriteFile.h"
#include "ui/sprites/SpriteFileFormat.h"
#include "ui/sprites/SpriteText.h"
#include "ui/sprites/TinyFont.h"

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
  // The alphabets hold a frame for every code from the space to the tilde, but draw only the
  // built-in glyphs: the frames of the others are blank, and a name must not hold them. Checked
  // on the picture as loaded and as converted to each sprite depth.
  for (const int depth : {0, 15, 16}) {
    if (depth != 0) fonts.alphabet14->GetImage()->SetBitDepth(depth);
    for (int code = 0; code < 256; ++code) {
      const char c = static_cast<char>(code);
      const bool drawn = code == ' ' || (code > ' ' && code <= '~' && TinyFont::Glyph(c) != nullptr);
      EXPECT_EQ(SpriteText::CanDraw(fonts.alphabet14, c), drawn) << code << " at depth " << depth;
      EXPECT_EQ(SpriteText::CanDraw(nullptr, c), code == ' ' || TinyFont::Glyph(c) != nullptr) << code;
    }
  }

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

// The pointer is an arrow whose point is the hot spot and whose fill is closed by its rim on every
// side, so it reads against any background; the busy frame is the same arrow in another fill.
TEST(DemoUiArt, ThePointerIsARimmedArrowPointingFromItsHotSpot) {
  const uint32_t depth = GetColourDepth();
  SetColourDepth(15);
  std::vector<SpriteFileFormat::SpriteRecord> records;
  for (const auto& file : DemoContent::UiSpriteFiles())
    if (file.relativePath.find("mousecursor") != std::string::npos) records = file.sprites;
  const std::vector<uint8_t> bytes = SpriteFileFormat::Write(records);
  CSpriteFile file;
  ASSERT_TRUE(file.LoadFromMemory(bytes.data(), bytes.size(), "mousecursor"));
  const CSprite* pointer = file.GetSprite("mousecursor");
  ASSERT_NE(pointer, nullptr);
  const int w = pointer->GetWidth(), h = pointer->GetHeight();
  constexpr uint16_t kUntouched = 0x1234, kRim = 0x0000;
  std::vector<uint16_t> frames[2];
  for (int f = 0; f < 2; ++f) {
    frames[f].assign(static_cast<size_t>(w * h), kUntouched);
    DrawSurface surface{frames[f].data(), static_cast<uint32_t>(w), static_cast<uint32_t>(h), w * 2, 15};
    ASSERT_TRUE(pointer->DrawFrame(surface, f, 0, 0));
  }
  SetColourDepth(depth);
  auto at = [&](int f, int x, int y) { return frames[f][static_cast<size_t>(y * w + x)]; };
  EXPECT_EQ(at(0, 0, 0), kRim) << "the point is the hot spot";
  int fill = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      EXPECT_EQ(at(0, x, y) == kUntouched, at(1, x, y) == kUntouched) << x << "," << y << ": one shape in both frames";
      const uint16_t p = at(0, x, y);
      if (p == kUntouched || p == kRim) continue;
      ++fill;
      EXPECT_NE(at(1, x, y), p) << "the busy frame's fill differs";
      const int around[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (const auto& n : around) {
        const bool drawn = n[0] >= 0 && n[0] < w && n[1] >= 0 && n[1] < h && at(0, n[0], n[1]) != kUntouched;
        EXPECT_TRUE(drawn) << "fill at " << x << "," << y << " is open towards " << n[0] << "," << n[1];
      }
    }
  EXPECT_GT(fill, 20);
  // An arrow: it widens from the point down.
  auto width = [&](int y) {
    int n = 0;
    for (int x = 0; x < w; ++x) n += at(0, x, y) != kUntouched;
    return n;
  };
  EXPECT_GT(width(h / 2), width(2));
}
