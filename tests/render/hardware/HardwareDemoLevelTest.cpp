// The demo level drawn through the hardware back end on the OpenGL device and through the
// software back end, from the same camera: the same pixels covered and close colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <memory>
#include <vector>

#include "platform/GLDevice.h"
#include "render/hardware/D3DRasterizer.h"
#include "render/software/SoftwareRasterizer.h"
#include "render/software/SoftwareTextureStore.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContentLevelScene.h"

namespace {

constexpr uint32_t kW = DemoContent::DemoLevelScene::kWidth, kH = DemoContent::DemoLevelScene::kHeight;

struct Rgb {
  int r, g, b;
};

// The demo level, drawn by whichever back end is given, with what it logs kept out of the output.
struct DemoScene {
  testing_support::DebugCapture quiet;
  DemoContent::DemoLevelScene level;

  explicit DemoScene(CRasterizerInterface* back) : level(back) {}
};

// The frame as 8-bit channels, whatever the 16-bit layout of the back buffer.
std::vector<Rgb> Capture(CRasterizerInterface& back) {
  PixelBufferDesc* d = back.LockBackBuffer();
  std::vector<Rgb> out;
  if (!d || !d->pixels) return out;
  const bool is565 = d->greenMask == kGreenMask565;
  for (uint32_t y = 0; y < d->height; ++y)
    for (uint32_t x = 0; x < d->width; ++x) {
      const uint16_t p = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(d->pixels) + d->pitch * y)[x];
      out.push_back(is565 ? Rgb{(p >> 11) << 3, ((p >> 5) & 63) << 2, (p & 31) << 3}
                          : Rgb{((p >> 10) & 31) << 3, ((p >> 5) & 31) << 3, (p & 31) << 3});
    }
  back.UnlockBackBuffer();
  return out;
}

std::vector<Rgb> SoftwareFrame() {
  CSoftwareTextureStore store;
  CSoftwareRasterizer back(&store);
  EXPECT_TRUE(DemoContent::DemoLevelScene::StartSoftware(back));
  DemoScene scene(&back);
  EXPECT_TRUE(scene.level.IsBuilt());
  scene.level.Draw(back);
  return Capture(back);
}

std::vector<Rgb> HardwareFrame(HWND window) {
  std::vector<Rgb> frame;
  CD3DRasterizer back;
  EXPECT_TRUE(DemoContent::DemoLevelScene::StartHardware(back, window));
  EXPECT_NE(dynamic_cast<CGLDevice*>(back.Framework().Device()), nullptr) << "drawn by OpenGL";
  {
    DemoScene scene(&back);
    EXPECT_TRUE(scene.level.IsBuilt());
    scene.level.Draw(back);
    frame = Capture(back);
  }
  return frame;
}

HWND MakeWindow() {
  static const UINT registered = [] {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "KelvarunHardwareDemo";
    return RegisterClassA(&windowClass);
  }();
  EXPECT_NE(0u, registered);
  return CreateWindowA("KelvarunHardwareDemo", "demo", 0, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
}

TEST(HardwareDemoLevel, OpenGLAndSoftwareFramesAgree) {
  ResetDisplayMachine();
  ASSERT_TRUE(CGLDevice::Install()) << "the hardware back end needs OpenGL here";
  HWND window = MakeWindow();
  const std::vector<Rgb> hardware = HardwareFrame(window);
  const std::vector<Rgb> software = SoftwareFrame();
  DestroyWindow(window);
  ResetDisplayMachine();
  ASSERT_EQ(hardware.size(), static_cast<size_t>(kW) * kH);
  ASSERT_EQ(software.size(), hardware.size());
  // KELVARUN_KEEP_FRAME=<prefix> keeps both frames as PPM files for looking at.
  if (const char* keep = std::getenv("KELVARUN_KEEP_FRAME")) {
    for (const auto* frame : {&hardware, &software}) {
      std::string ppm = "P6\n640 480\n255\n";
      for (const Rgb& p : *frame) ppm += {static_cast<char>(p.r), static_cast<char>(p.g), static_cast<char>(p.b)};
      std::ofstream(std::string(keep) + (frame == &hardware ? "hardware.ppm" : "software.ppm"), std::ios::binary) << ppm;
    }
  }
  // The two back ends light and fog differently by design: the software one fogs a whole
  // triangle at one of sixteen levels and lights by one intensity, the OpenGL device fogs and
  // colours every pixel. So the geometry must match almost exactly, the colours closely.
  size_t within8 = 0, within32 = 0, coverageMismatch = 0, drawn = 0;
  for (size_t i = 0; i < software.size(); ++i) {
    const Rgb& a = hardware[i];
    const Rgb& b = software[i];
    const int difference = std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
    within8 += difference <= 8;
    within32 += difference < 32;
    const bool hardwareDrawn = a.r + a.g + a.b > 0, softwareDrawn = b.r + b.g + b.b > 0;
    drawn += hardwareDrawn;
    coverageMismatch += hardwareDrawn != softwareDrawn;
  }
  RecordProperty("PixelsWithin8", static_cast<int>(within8));
  std::printf("hardware vs software: %.1f%% of pixels within 8 levels, %.1f%% within 32\n",
              100.0 * within8 / software.size(), 100.0 * within32 / software.size());
  EXPECT_GT(drawn, software.size() * 8 / 10) << "the hardware frame shows the park";
  EXPECT_LE(coverageMismatch * 100, software.size()) << "the same pixels are covered";
  EXPECT_GE(within32 * 100, software.size() * 98) << "close colours: " << within32 << " of " << software.size();
}

}  // namespace
