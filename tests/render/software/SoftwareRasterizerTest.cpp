// The software back end's frame: set-up, pixel conversion, clearing, scene state and presenting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/system/Platform.h"
#include "render/image/CursorBackground.h"
#include "render/software/SoftwareRasterizer.h"
#include "tests/render/software/FrameGolden.h"
#include "tests/support/PlainWindow.h"

namespace {

DisplayMode FullScreen(uint32_t width = 640) {
  DisplayMode mode;
  mode.width = width;
  mode.height = 480;
  mode.bits = 16;
  mode.fullScreen = 1;
  return mode;
}

}  // namespace

TEST(SoftwareRasterizer, InitDescribesA15BitFrameInMemory) {
  CSoftwareRasterizer r;
  EXPECT_EQ(nullptr, r.LockBackBuffer()) << "nothing to lock before Init";
  ASSERT_TRUE(r.Init(nullptr, FullScreen(639)));  // rows of 1278 bytes, padded to whole 4-byte words
  PixelBufferDesc* d = r.LockBackBuffer();
  ASSERT_NE(nullptr, d);
  EXPECT_TRUE(d->pixels && d->width == 639 && d->height == 480 && d->pitch == 1280 && d->bytesPerPixel == 2);
  EXPECT_EQ(15u, ColourDepthOf(*d));
  r.UnlockBackBuffer();
  // A frame without pixels, or with a side past the limit, is refused with one line; a side right
  // at the limit is taken.
  const struct {
    uint32_t width, height;
    bool taken;
  } sides[] = {{640, 0, false}, {0, 480, false}, {8192, 1, true}, {1, 8192, true}, {8193, 1, false}, {1, 8193, false}};
  for (const auto& side : sides) {
    std::vector<std::string> log;
    plat::DebugSink old = plat::SetDebugSink([&](const char* t) { log.push_back(t); });
    CSoftwareRasterizer frame;
    DisplayMode mode = FullScreen(side.width);
    mode.height = side.height;
    EXPECT_EQ(side.taken, frame.Init(nullptr, mode)) << side.width << " x " << side.height;
    plat::SetDebugSink(old);
    const PixelBufferDesc* taken = frame.LockBackBuffer();
    if (side.taken) {
      ASSERT_NE(nullptr, taken);
      EXPECT_TRUE(taken->width == side.width && taken->height == side.height);
      EXPECT_EQ((side.width * 2 + 3) / 4 * 4, taken->pitch);
      frame.Clear(false, true, 0xFFFFFFFF);  // every pixel of the frame can be written, the last one too
      EXPECT_EQ(0x7FFF, Pixel(frame, side.width - 1, side.height - 1));
      EXPECT_TRUE(log.empty());
      continue;
    }
    EXPECT_EQ(nullptr, taken);
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(0u, log[0].rfind("CSoftwareRasterizer: ", 0));
  }
}

TEST(SoftwareRasterizer, ColourConversionKeepsTheTopFiveBitsOfEachChannel) {
  // Every 5-5-5 pixel widened to 8 bits a channel converts back to itself, whatever the
  // low bits and the alpha byte hold.
  for (uint32_t p = 0; p < 0x8000; ++p) {
    const uint32_t r = ((p >> 10) & 31) << 3, g = ((p >> 5) & 31) << 3, b = (p & 31) << 3;
    const uint32_t low = p % 8;
    const uint32_t argb = (p & 0xFF) << 24 | (r | low) << 16 | (g | (7 - low)) << 8 | (b | low);
    ASSERT_EQ(p, CSoftwareRasterizer::To555(argb)) << p;
  }
}

TEST(SoftwareRasterizer, ClearFillsTheTargetOnlyWhenAsked) {
  CSoftwareRasterizer r;
  ASSERT_TRUE(r.Init(nullptr, FullScreen()));
  const PixelBufferDesc& d = *r.GetBackBufferDesc();
  r.Clear(false, true, 0xFF80FF08);  // r 0x80, g 0xFF, b 0x08
  const uint16_t expected = (0x10 << 10) | (0x1F << 5) | 0x01;
  for (uint32_t y = 0; y < d.height; y += 7)
    for (uint32_t x = 0; x < d.width; x += 5) ASSERT_EQ(expected, Pixel(r, x, y));
  r.Clear(true, false, 0);
  EXPECT_EQ(expected, Pixel(r, 100, 100));
}

TEST(SoftwareRasterizer, PresentKeepsTheWholeFrame) {
  // The frame is exactly the window's size, so its last column and row are shown as drawn.
  CSoftwareRasterizer r;
  ASSERT_TRUE(r.Init(nullptr, FullScreen()));
  const PixelBufferDesc& d = *r.GetBackBufferDesc();
  r.Clear(false, true, 0xFFFFFFFF);
  r.PresentFrame();
  for (uint32_t y = 0; y < d.height; ++y) ASSERT_EQ(0x7FFF, Pixel(r, 639, y)) << y;
  for (uint32_t x = 0; x < d.width; ++x) ASSERT_EQ(0x7FFF, Pixel(r, x, 479)) << x;
}

// Between frames the window's DC draws over what the window shows: a pointer's background is
// saved from it and put back, each change shows once the DC is released, and the frame being
// drawn is left alone. Without a window there is no such DC, but the back buffer (the frame) has one.
TEST(SoftwareRasterizer, FrontBufferDrawsOverTheShownFrameBetweenFrames) {
  HWND window = testing_support::MakePlainWindow("KelvarunSoftwareFront", "front", WS_POPUP, 96, 64);
  ASSERT_TRUE(window);
  CSoftwareRasterizer r;
  DisplayMode windowed = FullScreen();
  windowed.fullScreen = 0;
  ASSERT_TRUE(r.Init(window, windowed));
  r.Clear(false, true, 0xFFFFFFFF);
  r.PresentFrame();
  r.Clear(false, true, 0xFF000000);  // the next frame, half drawn
  HDC dc = nullptr;
  auto shown = [&](int x, int y) {
    EXPECT_EQ(0, r.ReleaseFrontBufferDC(dc));
    EXPECT_EQ(0, r.GetFrontBufferDC(&dc));
    return GetPixel(dc, x, y);
  };
  ASSERT_EQ(0, r.GetFrontBufferDC(&dc));
  CCursorBackground background;
  ASSERT_TRUE(background.Save(dc, RECT{10, 20, 16, 28}));
  for (int y = 20; y < 28; ++y)
    for (int x = 10; x < 16; ++x) SetPixel(dc, x, y, RGB(255, 0, 0));
  EXPECT_EQ(RGB(255, 0, 0), shown(15, 27));
  EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 16, 27));
  EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 95, 63)) << "the whole client area is shown";
  ASSERT_TRUE(background.Restore(dc));
  EXPECT_EQ(RGB(255, 255, 255), shown(10, 20));
  EXPECT_EQ(0, r.ReleaseFrontBufferDC(dc));
  EXPECT_EQ(0u, Pixel(r, 10, 20)) << "the frame being drawn is left alone";
  EXPECT_EQ(-1, r.ReleaseFrontBufferDC(nullptr));
  CSoftwareRasterizer offscreen;
  ASSERT_TRUE(offscreen.Init(nullptr, FullScreen()));
  EXPECT_EQ(-1, offscreen.GetFrontBufferDC(&dc));
  EXPECT_EQ(nullptr, dc);
  EXPECT_TRUE(offscreen.GetBackBufferDC(&dc) == 0 && dc && offscreen.ReleaseBackBufferDC(dc) == 0) << "its frame's DC";
  DestroyWindow(window);
}

TEST(SoftwareRasterizer, SceneStateAndTheDrawingSwitch) {
  CSoftwareRasterizer r;
  ASSERT_TRUE(r.Init(nullptr, FullScreen()));
  EXPECT_FALSE(r.IsDrawingEnabled()) << "drawing is off until the world turns clipping on";
  r.SetBackfaceCulling(false);
  r.SetZWrite(false);
  r.SetZBufferMode(ZBufferMode::kOff, false);
  EXPECT_TRUE(r.BeginScene(nullptr, 0));  // a scene starts from the default state
  EXPECT_TRUE(r.GetBackfaceCulling() && r.GetZWrite() && r.GetDepthMode() == ZBufferMode::kZBuffer);

  // Submitted triangles are counted even while drawing is off; a frame's count restarts
  // after it is presented; a count of 0 adds nothing.
  ScreenVertex v[3] = {};
  const uint16_t tri[3] = {0, 1, 2};
  r.DrawTriangles(v, 3, tri, 1, nullptr, nullptr, 1.0f);
  r.DrawTriangles(v, 3, tri, 0, nullptr, nullptr, 1.0f);
  EXPECT_EQ(1u, r.GetSubmittedTriangles());
  r.EndScene();
  r.PresentFrame();
  EXPECT_EQ(0u, r.GetSubmittedTriangles());
  r.SetClipping(true);
  EXPECT_TRUE(r.IsDrawingEnabled());
}
