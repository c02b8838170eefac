// Global fonts in a stable order, and the software pointer's rectangle, missing file and drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/world/GlobalArt.h"
#include "render/display/DisplayMode.h"
#include "render/software/SoftwareRasterizer.h"
#include "render/view/RenderView.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WorkingFolder.h"
#include "tools/DemoContentUi.h"
#include "ui/sprites/DrawSurface.h"
#include "ui/widgets/MouseCursor.h"
#include "ui/sprites/Sprite.h"

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

namespace {

// A windowless rasterizer whose front buffer is its frame, so that what the pointer draws between
// frames can be read back.
class FrameAsFrontRasterizer : public CSoftwareRasterizer {
 public:
  long GetFrontBufferDC(HDC* dc) override { return GetBackBufferDC(dc); }
  long ReleaseFrontBufferDC(HDC dc) override {
    ++frontReleases;
    return ReleaseBackBufferDC(dc);
  }
  int frontReleases = 0;
};

}  // namespace

// The pointer as the player sees it: over a patterned frame, the sprite's pixels replace those
// under it and nothing else changes, at any place (clipped at the edges) and in either shape;
// between frames it moves by putting back what it covered, but not over a new frame; a hidden
// pointer leaves the frame alone.
TEST(MouseCursor, DrawsItsSpriteIntoTheFrameAndNothingElse) {
  testing_support::WorkingFolder folder;
  ASSERT_TRUE(folder.Entered() && DemoContent::WriteUi("data"));
  CMouseCursor pointer;
  CSprite* sprite = pointer.GetSprite();
  ASSERT_NE(sprite, nullptr);
  constexpr int kW = 64, kH = 48;
  FrameAsFrontRasterizer rasterizer;
  DisplayMode mode;
  mode.width = kW, mode.height = kH, mode.bits = 16;
  ASSERT_TRUE(rasterizer.Init(nullptr, mode));
  CRenderView view;
  view.Setup(&rasterizer, nullptr, nullptr, nullptr, 0);
  ASSERT_EQ(rasterizer.GetBackBufferDesc()->pitch, kW * 2);
  auto* frame = static_cast<uint16_t*>(rasterizer.GetBackBufferDesc()->pixels);
  std::vector<uint16_t> pattern(kW * kH);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint16_t>(i * 37 & 0x7FFF);
  struct Case {
    int x, y, shape;
  };
  for (const Case& c : {Case{20, 10, 0}, Case{20, 10, 1}, Case{kW - 5, kH - 3, 0}, Case{-4, -6, 0}}) {
    std::copy(pattern.begin(), pattern.end(), frame);
    std::vector<uint16_t> expected = pattern;  // the sprite library's own drawing over the same pixels
    DrawSurface reference{expected.data(), kW, kH, kW * 2, 15};
    ASSERT_TRUE(sprite->DrawFrame(reference, c.shape, c.x, c.y));
    ASSERT_NE(expected, pattern);
    sprite->x = static_cast<float>(c.x), sprite->y = static_cast<float>(c.y);
    pointer.SetFrame(c.shape);
    pointer.Invalidate();
    pointer.Draw(&view, true);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), frame)) << c.x << "," << c.y << " shape " << c.shape;
    EXPECT_TRUE(pointer.IsDrawn());
  }
  // A new frame is rendered over the last pointer: what was saved under it is stale and must not
  // come back. Then, between frames, the pointer moves twice over that frame.
  std::vector<uint16_t> next(kW * kH);
  for (size_t i = 0; i < next.size(); ++i) next[i] = static_cast<uint16_t>((i * 53 + 11) & 0x7FFF);
  std::copy(next.begin(), next.end(), frame);
  pointer.Invalidate();
  EXPECT_FALSE(pointer.IsDrawn());
  for (const POINT at : {POINT{30, 20}, POINT{34, 26}, POINT{-2, -6}}) {
    std::vector<uint16_t> expected = next;
    DrawSurface reference{expected.data(), kW, kH, kW * 2, 15};
    ASSERT_TRUE(sprite->DrawFrame(reference, 0, at.x, at.y));
    sprite->x = static_cast<float>(at.x), sprite->y = static_cast<float>(at.y);
    pointer.Draw(&view, false);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), frame)) << "between frames at " << at.x << "," << at.y;
  }
  EXPECT_EQ(rasterizer.frontReleases, 3) << "every front-buffer drawing hands the buffer back";
  pointer.SetVisible(false);
  std::copy(pattern.begin(), pattern.end(), frame);
  pointer.Invalidate();
  pointer.Draw(&view, true);
  EXPECT_TRUE(std::equal(pattern.begin(), pattern.end(), frame)) << "a hidden pointer draws nothing";
}
