// The button panel on its own: where it is placed, when a mouse press counts as a click and in
// which font and colour a label is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "render/image/B2Image.h"
#include "ui/sprites/Sprite.h"
#include "ui/sprites/TinyFont.h"
#include "ui/widgets/ButtonPanel.h"

namespace {

POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

}  // namespace

TEST(ButtonPanel, APositionGivenAfterCentringIsWhereThePanelStays) {
  CButtonPanel panel;
  panel.SetTitle("MENU");
  panel.AddButton("GO", 7, 'G');
  panel.SetCentred();
  const RECT centred = panel.GetPanelRect();
  const POINT old = Centre(panel.GetButtonRect(0));
  ASSERT_NE(centred.left, 8);
  panel.SetPosition(8, 40);
  const RECT placed = panel.GetPanelRect();
  EXPECT_EQ(placed.left, 8);
  EXPECT_EQ(placed.top, 40);
  EXPECT_EQ(placed.right - placed.left, centred.right - centred.left) << "only moved, not resized";
  // The button goes with it: a press where it used to be misses, one where it is now clicks.
  panel.MouseInput(old.x, old.y, 1);
  panel.MouseInput(old.x, old.y, 0);
  EXPECT_EQ(panel.TakeCommand(), CButtonPanel::kNoCommand);
  const POINT at = Centre(panel.GetButtonRect(0));
  EXPECT_TRUE(at.x > 8 && at.x < placed.right && at.y > 40 && at.y < placed.bottom);
  panel.MouseInput(at.x, at.y, 1);
  EXPECT_EQ(panel.TakeCommand(), 7);
  // Buttons kept in place stay put as the lines above them grow in number and in width, on a
  // centred panel as on a placed one.
  for (const bool middle : {true, false}) {
    CButtonPanel kept;
    middle ? kept.SetCentred() : kept.SetPosition(8, 40);
    kept.KeepButtonsInPlace(2);
    kept.AddButton("GO", 7, 'G');
    const RECT was = kept.GetButtonRect(0);
    kept.SetLines({"A", std::string(60, 'W')});
    EXPECT_EQ(kept.GetButtonRect(0).left, was.left) << middle;
    EXPECT_EQ(kept.GetButtonRect(0).top, was.top) << middle;
  }
}

TEST(ButtonPanel, AHeldMouseButtonClicksOnceUntilReleased) {
  CButtonPanel panel;
  panel.SetPosition(0, 0);
  panel.AddButton("GO", 7, 'G');
  const POINT at = Centre(panel.GetButtonRect(0));
  // The layer reports the button state every tick while it is held.
  int clicks = 0;
  for (int tick = 0; tick < 5; ++tick) {
    panel.MouseInput(at.x, at.y, 1);
    clicks += panel.TakeCommand() == 7;
  }
  EXPECT_EQ(clicks, 1);
  panel.MouseInput(at.x, at.y, 0);
  EXPECT_EQ(panel.TakeCommand(), CButtonPanel::kNoCommand) << "a release is not a click";
  panel.MouseInput(at.x, at.y, 1);
  EXPECT_EQ(panel.TakeCommand(), 7) << "pressed again after the release";
  // Held down off the button and dragged onto it: not a click.
  panel.MouseInput(at.x, at.y, 0);
  panel.MouseInput(-50, -50, 1);
  panel.MouseInput(at.x, at.y, 1);
  EXPECT_EQ(panel.TakeCommand(), CButtonPanel::kNoCommand);
}

TEST(ButtonPanel, APanelOverEverySurfaceEdgeIsClippedToTheSurface) {
  // A 16-bit surface inside a buffer with a 4-pixel margin all round that must stay untouched.
  constexpr int kW = 240, kH = 40, kStride = kW + 8;
  constexpr uint16_t kGuard = 0xBEEF;
  std::vector<uint16_t> memory(static_cast<size_t>(kStride) * (kH + 8), kGuard);
  DrawSurface s;
  s.pixels = &memory[4 * kStride + 4];
  s.width = kW;
  s.height = kH;
  s.pitch = kStride * 2;
  s.bitsPerPixel = 16;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) memory[static_cast<size_t>(y + 4) * kStride + x + 4] = 0;
  // An empty panel is a 224 x 24 box at its position: first over the top-left corner, then the bottom-right.
  CButtonPanel panel;
  std::vector<RECT> boxes;
  for (const POINT at : {POINT{-100, -10}, POINT{150, 30}}) {
    panel.SetPosition(at.x, at.y);
    boxes.push_back(RECT{at.x, at.y, at.x + 224, at.y + 24});
    panel.Draw(s);
  }
  const auto fill = static_cast<uint16_t>(TinyFont::PackColour(s, CButtonPanel::kPanelColour));
  const auto border = static_cast<uint16_t>(TinyFont::PackColour(s, CButtonPanel::kBorderColour));
  int wrong = 0;
  for (int y = -4; y < kH + 4; ++y)
    for (int x = -4; x < kW + 4; ++x) {
      uint16_t want = x < 0 || y < 0 || x >= kW || y >= kH ? kGuard : 0;
      for (const RECT& r : boxes)
        if (want == 0 && x >= r.left && x < r.right && y >= r.top && y < r.bottom)
          want = x == r.left || x == r.right - 1 || y == r.top || y == r.bottom - 1 ? border : fill;
      const uint16_t got = memory[static_cast<size_t>(y + 4) * kStride + x + 4];
      if (got != want && ++wrong <= 5) ADD_FAILURE() << "pixel " << x << "," << y << " is " << got << ", not " << want;
    }
  EXPECT_EQ(wrong, 0);

  // Lines of text stack one under the other: two lines hold twice one line's ink.
  const auto ink = [&](const std::vector<std::string>& lines) {
    std::fill(memory.begin(), memory.end(), 0);
    CButtonPanel text;
    text.SetLines(lines);
    text.Draw(s);
    return std::count(memory.begin(), memory.end(), TinyFont::PackColour(s, CButtonPanel::kTextColour));
  };
  EXPECT_GT(ink({"I"}), 0);
  EXPECT_EQ(ink({"I", "I"}), 2 * ink({"I"}));
  // A button's text sits in its middle: as much room above as below, and left as right.
  std::fill(memory.begin(), memory.end(), 0);
  CButtonPanel button;
  button.AddButton("I", 0, 0);
  button.Draw(s);
  const RECT r = button.GetButtonRect(0);
  RECT inked = {kW, kH, -1, -1};
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      if (memory[static_cast<size_t>(y + 4) * kStride + x + 4] == TinyFont::PackColour(s, CButtonPanel::kTextColour))
        inked = {std::min<LONG>(inked.left, x), std::min<LONG>(inked.top, y), std::max<LONG>(inked.right, x), std::max<LONG>(inked.bottom, y)};
  EXPECT_LE(std::abs((inked.top - r.top) - (r.bottom - 1 - inked.bottom)), 1);
  EXPECT_LE(std::abs((inked.left - r.left) - (r.right - 1 - inked.right)), 1);
  // The button is lit while the pointer is over it, from its first column, and not on the column past its last.
  for (const bool over : {true, false}) {
    button.MouseInput(over ? r.left : r.right, r.top, 0);
    button.Draw(s);
    EXPECT_EQ(memory[static_cast<size_t>(r.top + 2 + 4) * kStride + r.left + 2 + 4],
              TinyFont::PackColour(s, over ? CButtonPanel::kLitButtonColour : CButtonPanel::kButtonColour));
  }
}

// A label that fits its button is written in the alphabet; one too wide for it in the alphabet is
// written in the built-in font, in the pale colour meant for it rather than the alphabet's.
TEST(ButtonPanel, ALabelTooWideForTheAlphabetIsWrittenSmallInItsPaleColour) {
  constexpr uint16_t kGlyph = 0x1234;  // every glyph of this alphabet is a solid block of it
  CSprite font("alphabet", 10, 12, 96);
  font.SetFirstCode(' ');
  CImageRef dib = CreateDibImage(960, 12, 16);
  ASSERT_FALSE(dib.IsNull());
  std::fill_n(reinterpret_cast<uint16_t*>(dib->pixels), 960 * 12, kGlyph);
  CImageRef picture(std::make_unique<CB2Image>());
  ASSERT_EQ(1, picture->CopyFrom(*dib.Get(), nullptr, nullptr));
  ASSERT_TRUE(font.SetImage(picture));

  std::vector<uint16_t> memory(240 * 80, 0);
  DrawSurface s{memory.data(), 240, 80, 480, 16};
  CButtonPanel panel;
  panel.SetPosition(0, 0);
  panel.SetArt(&font, nullptr, nullptr);
  panel.AddButton("FITS", 1, 0);
  panel.AddButton("FAR TOO WIDE FOR A BUTTON", 2, 0);  // 250 pixels in the alphabet
  panel.Draw(s);
  const auto inked = [&](size_t button, uint32_t colour) {
    const RECT r = panel.GetButtonRect(button);
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += memory[static_cast<size_t>(y) * 240 + x] == colour;
    return n;
  };
  const uint32_t pale = TinyFont::PackColour(s, CButtonPanel::kSmallTextColour);
  const uint32_t normal = TinyFont::PackColour(s, CButtonPanel::kTextColour);
  EXPECT_EQ(inked(0, kGlyph), 4 * 10 * 12);
  EXPECT_EQ(inked(0, pale), 0);
  EXPECT_EQ(inked(1, kGlyph), 0);
  EXPECT_GT(inked(1, pale), 0);
  EXPECT_EQ(inked(1, normal), 0);
  // A name listed on a button is cut to fit with ".." (19 glyphs of 10 pixels fill the 192
  // pixels the button leaves for text); one that fits is left whole.
  EXPECT_EQ(panel.FitToButton("FITS"), "FITS");
  EXPECT_EQ(panel.FitToButton(std::string(19, 'A')), std::string(19, 'A'));
  EXPECT_EQ(panel.FitToButton(std::string(20, 'A')), std::string(17, 'A') + "..");
}
