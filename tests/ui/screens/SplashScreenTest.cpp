// The splash layer: its title frame in the shared back-buffer lock, and what dismisses it.
#include <gtest/gtest.h>

#include <vector>

#include "core/input/InputEvent.h"
#include "platform/system/Platform.h"
#include "platform/system/Win32.h"
#include "render/view/RenderView.h"
#include "tests/support/RecordingRasterizer.h"
#include "ui/sprites/DrawSurface.h"
#include "ui/screens/SplashScreenLogic.h"
#include "ui/sprites/TinyFont.h"
#include "ui/widgets/UIManager.h"

namespace {

InputEvent Event(uint32_t code, float x = 320.0f) {
  InputEvent e;
  e.code = code;
  e.x = x;
  return e;
}
InputEvent Key(int virtualKey) { return Event(InputEvent::kKey, static_cast<float>(virtualKey)); }
InputEvent Button(uint32_t code) { return Event(code); }

}  // namespace

TEST(SplashScreen, DrawsItsTitleCentredOnAPlainFrameInOneSharedLock) {
  RecordingRasterizer r(640, 480);
  CRenderView view;
  view.Setup(&r, nullptr, nullptr, nullptr, 31);
  CSplashScreenLogic splash;
  CSplashScreenLogic above;
  PixelBufferDesc* locked = nullptr;
  splash.Draw(&view, &locked);
  ASSERT_NE(nullptr, locked);
  above.Draw(&view, &locked);
  EXPECT_EQ(1, r.Count("LockBackBuffer")) << "the second layer reuses the frame's lock";

  DrawSurface s = MakeDrawSurface(*locked);
  ASSERT_EQ(15u, s.bitsPerPixel);
  const uint16_t background = static_cast<uint16_t>(TinyFont::PackColour(s, CSplashScreenLogic::kBackground));
  const uint16_t title = static_cast<uint16_t>(TinyFont::PackColour(s, CSplashScreenLogic::kTitleColour));
  int minX = 640, maxX = -1, minY = 480, maxY = -1;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const uint16_t p = r.frame[static_cast<size_t>(y) * 640 + x];
      ASSERT_TRUE(p == background || p == title) << x << "," << y;
      if (p != title) continue;
      minX = std::min(minX, x);
      maxX = std::max(maxX, x);
      minY = std::min(minY, y);
      maxY = std::max(maxY, y);
    }
  const int scale = CSplashScreenLogic::kTitleScale;
  EXPECT_EQ(TinyFont::TextWidth(CSplashScreenLogic::kTitle, scale), maxX - minX + 1);
  EXPECT_EQ(7 * scale, maxY - minY + 1);
  EXPECT_LE(std::abs(minX - (639 - maxX)), 1);
  EXPECT_LE(std::abs(minY - (479 - maxY)), 1);
}

TEST(SplashScreen, EscapeOrAClickRemovesItOtherInputDoesNot) {
  CSplashScreenLogic splash;
  splash.HandleInputEvent(Key(VK_RETURN));
  splash.HandleInputEvent(Button(InputEvent::kButtonRelease));
  EXPECT_FALSE(splash.IsMarkedForRemoval());
  const CUIManager& widgets = *splash.GetUIManager();
  EXPECT_TRUE(widgets.GetLastKey() == VK_RETURN && widgets.GetMouseX() == 320) << "its widgets hear the input too";
  splash.HandleInputEvent(Key(VK_ESCAPE));
  EXPECT_TRUE(splash.IsMarkedForRemoval());

  CSplashScreenLogic clicked;
  clicked.HandleInputEvent(Button(InputEvent::kButtonPress));
  EXPECT_TRUE(clicked.IsMarkedForRemoval());
}

// The front end sends no event for Escape: the splash reads the key itself, and a
// press that came and went between two ticks still counts.
TEST(SplashScreen, EscapeTappedBetweenTicksRemovesIt) {
  GetAsyncKeyState(VK_ESCAPE);  // forget any earlier press
  CSplashScreenLogic splash;
  splash.Update(0.033f);
  EXPECT_FALSE(splash.IsMarkedForRemoval());
  plat::SetKeyState(VK_ESCAPE, true);
  plat::SetKeyState(VK_ESCAPE, false);
  splash.Update(0.033f);
  EXPECT_TRUE(splash.IsMarkedForRemoval());
}
