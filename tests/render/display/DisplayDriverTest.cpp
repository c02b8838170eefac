// Driver enumeration and choice, the video-card question, the display framework and error texts.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <utility>
#include <vector>

#include "platform/graphics/RecordingDevice.h"
#include "render/display/DisplayDrivers.h"
#include "render/display/DisplayFramework.h"
#include "render/display/DisplaySizes.h"
#include "render/hardware/DDErrorText.h"
#include "tests/support/TempFolder.h"
#include "tests/support/PlainWindow.h"

namespace {

const GUID kSecondCard = {0x11112222, 0x3333, 0x4444, {1, 2, 3, 4, 5, 6, 7, 8}};

ScriptedDriver SecondCard() {
  ScriptedDriver driver = DefaultDriver();
  driver.primary = false;
  driver.guid = kSecondCard;
  driver.name = "Second";
  driver.description = "Accelerator";
  return driver;
}

class DisplayDriverTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetDisplayMachine();
    PickedDriverGuid() = GUID{};
  }
  void TearDown() override {
    FreeDriverList();
    ResetDisplayMachine();
    PickedDriverGuid() = GUID{};
    SetDriverDialogChooser([](const std::vector<std::string>&) { return 0; });
  }
};

TEST_F(DisplayDriverTest, ScoresFollowTheTable) {
  ASSERT_EQ(EnumerateDirectDrawDrivers(), 0);
  const DriverEnumeration& list = GetDriverEnumeration();
  ASSERT_EQ(list.drivers.size(), 1u);
  const DisplayDriverRecord& driver = list.drivers[0];
  const DisplayDeviceRecord& device = driver.devices[0];
  ASSERT_EQ(device.modes.size(), 6u);
  EXPECT_EQ(device.modes[device.defaultMode].text, "640 x 480 x 16");
  const DisplayModeRecord& m640x16 = device.modes[0];
  const DisplayModeRecord& m800x32 = device.modes[4];
  ASSERT_EQ(m800x32.text, "800 x 600 x 32");
  DisplayRequest hw;
  // Unpicked zero identifier matches the primary driver: 500, then hardware 1, 16-bit depth 1+2,
  // alpha 1, perspective 10, kind 10, height 4, width 2, colour bits 2.
  EXPECT_EQ(ScoreDisplayMode(driver, device, m640x16, hw), 533);
  EXPECT_EQ(ScoreDisplayMode(driver, device, m800x32, hw), 525);  // depth 1+2, no size or colour match
  DisplayRequest hw32 = hw;
  DisplayDeviceRecord deep = device;  // with a W buffer (5) and a 32-bit depth buffer
  deep.desc.dpcTriCaps.dwRasterCaps |= D3DPRASTERCAPS_WBUFFER;
  deep.desc.dwDeviceZBufferBitDepth = DDBD_32;
  hw32.bits = 32;  // a 32-bit mode has 24 colour bits and earns the 24-for-32 bonus
  EXPECT_EQ(ScoreDisplayMode(driver, device, m800x32, hw32), 525);
  EXPECT_EQ(ScoreDisplayMode(driver, deep, m800x32, hw32), 531) << "a depth buffer of the depth asked for: 2, not 1";
  hw32.bits = 24;
  EXPECT_EQ(ScoreDisplayMode(driver, device, m800x32, hw32), 525);
  EXPECT_EQ(ScoreDisplayMode(driver, deep, m800x32, hw32), 529) << "and of another depth, none";
  deep.desc.dwDeviceZBufferBitDepth = DDBD_24;
  EXPECT_EQ(ScoreDisplayMode(driver, deep, m800x32, hw32), 531);
  DisplayRequest sw = hw;
  sw.hardware = false;
  EXPECT_EQ(ScoreDisplayMode(driver, device, m640x16, sw), 25);
  DisplayModeRecord palette = m640x16;
  palette.desc = DisplayModeDesc(640, 480, 8);
  EXPECT_EQ(ScoreDisplayMode(driver, device, palette, hw), -1);
  PickedDriverGuid() = kSecondCard;
  EXPECT_EQ(ScoreDisplayMode(driver, device, m640x16, hw), 33);
}

TEST_F(DisplayDriverTest, ModesAreListedOnlyAtDepthsTheDeviceRendersAndNeverInPalette) {
  ScriptedDriver& driver = GetDisplayMachine().drivers[0];
  driver.devices[0].hardware.dwDeviceRenderBitDepth = DDBD_16;
  driver.modes = {DisplayModeDesc(640, 480, 8), DisplayModeDesc(640, 480, 16), DisplayModeDesc(640, 480, 24),
                  DisplayModeDesc(640, 480, 32), DisplayModeDesc(800, 600, 16)};
  ASSERT_EQ(EnumerateDirectDrawDrivers(), 0);
  const DisplayDeviceRecord& device = GetDriverEnumeration().drivers[0].devices[0];
  ASSERT_EQ(device.modes.size(), 2u);
  EXPECT_EQ(device.modes[0].text, "640 x 480 x 16");
  EXPECT_EQ(device.modes[1].text, "800 x 600 x 16");
  EXPECT_EQ(device.defaultMode, 0);
  // The other two depths, each by its own flag.
  driver.devices[0].hardware.dwDeviceRenderBitDepth = DDBD_24 | DDBD_32;
  ASSERT_EQ(EnumerateDirectDrawDrivers(), 0);
  const DisplayDeviceRecord& deep = GetDriverEnumeration().drivers[0].devices[0];
  ASSERT_EQ(deep.modes.size(), 2u);
  EXPECT_EQ(deep.modes[0].text, "640 x 480 x 24");
  EXPECT_EQ(deep.modes[1].text, "640 x 480 x 32");
}

TEST_F(DisplayDriverTest, ChoiceKeepsTheFirstOfEqualsAndFollowsThePick) {
  GetDisplayMachine().drivers.push_back(SecondCard());
  DeviceChoice choice;
  ASSERT_TRUE(SelectD3DDriver(DisplayRequest{}, &choice));
  EXPECT_TRUE(choice.primaryDriver);
  EXPECT_TRUE(choice.hardware);
  EXPECT_EQ(choice.mode.dwWidth, 640u);
  EXPECT_EQ(choice.mode.ddpfPixelFormat.dwRGBBitCount, 16u);
  // Two equal modes: the first enumerated wins.
  GetDisplayMachine().drivers[0].modes.insert(GetDisplayMachine().drivers[0].modes.begin(), DisplayModeDesc(640, 480, 16));
  GetDisplayMachine().drivers[0].modes[0].dwRefreshRate = 75;
  ASSERT_TRUE(SelectD3DDriver(DisplayRequest{}, &choice));
  EXPECT_EQ(choice.mode.dwRefreshRate, 75u);
  PickedDriverGuid() = kSecondCard;
  ASSERT_TRUE(SelectD3DDriver(DisplayRequest{}, &choice));
  EXPECT_FALSE(choice.primaryDriver);
  EXPECT_EQ(choice.driverGuid, kSecondCard);
  EXPECT_TRUE(GetDriverEnumeration().drivers.empty() && GetDriverEnumeration().defaultDriver < 0)
      << "the lists live only during the choice";
}

// The hardware back end shows its modes; the software one those within its frame's limit and the
// desktop (1024 x 768 unless scripted); without a driver, only the size others fall back to.
TEST_F(DisplayDriverTest, EachRendererShowsTheModesThatSuitIt) {
  DisplayMachine& machine = GetDisplayMachine();
  machine.drivers[0].modes = {DisplayModeDesc(1280, 1024, 16), DisplayModeDesc(640, 480, 16),
                              DisplayModeDesc(8192, 8192, 16), DisplayModeDesc(9000, 9000, 16),
                              DisplayModeDesc(1024, 768, 16)};
  using Sizes = std::vector<std::pair<DWORD, DWORD>>;
  const auto sizes = [](uint32_t renderer) {
    Sizes out;
    for (const DisplaySize& s : DisplaySizesFor(renderer, 16)) out.emplace_back(s.width, s.height);
    return out;
  };
  EXPECT_EQ(sizes(0), (Sizes{{640, 480}, {1024, 768}, {1280, 1024}, {8192, 8192}, {9000, 9000}}));
  EXPECT_EQ(sizes(1), (Sizes{{640, 480}, {1024, 768}}));
  machine.desktopWidth = machine.desktopHeight = 10000;
  EXPECT_EQ(sizes(2), (Sizes{{640, 480}, {1024, 768}, {1280, 1024}, {8192, 8192}})) << "9000 is past the frame's limit";
  machine.drivers.clear();  // no driver: the software back end draws instead, at the fall-back size
  EXPECT_EQ(sizes(0), (Sizes{{640, 480}}));
}

TEST_F(DisplayDriverTest, DefaultPassesAndEnumerationFailures) {
  DisplayMachine& machine = GetDisplayMachine();
  ScriptedD3DDevice emulated = DefaultHardwareDevice();
  emulated.guid = IID_IDirect3DRGBDevice;
  emulated.emulation = emulated.hardware;
  emulated.hardware = D3DDEVICEDESC{};
  machine.drivers[0].devices = {emulated};
  ScriptedDriver second = SecondCard();
  second.hardware.dwCaps2 = 0;  // cannot render into a window
  second.devices.push_back(second.devices[0]);
  machine.drivers.push_back(second);
  // Pass 1 finds no hardware device able to draw in a window; pass 2 takes the emulated one.
  ASSERT_EQ(EnumerateDirectDrawDrivers(), 0);
  EXPECT_EQ(GetDriverEnumeration().defaultDriver, 0);
  EXPECT_TRUE(GetDriverEnumeration().drivers[0].devices[0].windowed);
  EXPECT_EQ(GetDriverEnumeration().drivers[1].defaultDevice, 1) << "the other card keeps its last hardware device";
  // With a desktop depth no device renders at, only the full-screen passes remain: hardware first.
  machine.desktopBits = 24;
  ASSERT_EQ(EnumerateDirectDrawDrivers(), 0);
  EXPECT_EQ(GetDriverEnumeration().defaultDriver, 1);
  EXPECT_FALSE(GetDriverEnumeration().drivers[1].devices[0].windowed);
  // Emulation devices of secondary drivers are not taken.
  machine.drivers[1].devices = {emulated};
  ASSERT_EQ(EnumerateDirectDrawDrivers(), 0);
  EXPECT_EQ(GetDriverEnumeration().drivers.size(), 1u);
  // Only the null device: a device was never found.
  ScriptedD3DDevice null = DefaultHardwareDevice();
  null.guid = IID_IDirect3DNullDevice;
  machine.drivers = {DefaultDriver()};
  machine.drivers[0].devices = {null};
  EXPECT_EQ(EnumerateDirectDrawDrivers(), kEnumNoDevice);
  DeviceChoice choice;
  EXPECT_FALSE(SelectD3DDriver(DisplayRequest{}, &choice)) << "nothing to choose is a failure";
  EXPECT_FALSE(choice.chosen);
  machine.drivers.clear();
  EXPECT_FALSE(SelectD3DDriver(DisplayRequest{}, &choice));
  machine.directDrawLoaded = false;
  EXPECT_EQ(EnumerateDirectDrawDrivers(), kEnumNoDirectDraw);
}

TEST_F(DisplayDriverTest, TheCardQuestionIsAskedOnlyForTwoCards) {
  int asked = 0;
  std::vector<std::string> seen;
  SetDriverDialogChooser([&](const std::vector<std::string>& entries) {
    ++asked;
    seen = entries;
    return 1;
  });
  EXPECT_FALSE(RunDriverDialog(nullptr, nullptr));
  EXPECT_EQ(asked, 0);
  GetDisplayMachine().drivers.push_back(SecondCard());
  EXPECT_TRUE(RunDriverDialog(nullptr, nullptr));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(seen, (std::vector<std::string>{"Primary Display Driver, Display", "Second, Accelerator"}));
  EXPECT_EQ(PickedDriverGuid(), kSecondCard);
  SetDriverDialogChooser([](const std::vector<std::string>&) { return -1; });
  PickedDriverGuid() = GUID{};
  EXPECT_TRUE(RunDriverDialog(nullptr, nullptr));
  EXPECT_EQ(PickedDriverGuid(), GUID{});
}

class FrameworkTest : public DisplayDriverTest {
 protected:
  HRESULT StartFullScreen(DWORD bits = 16) {
    mode = DisplayModeDesc(640, 480, bits);
    return framework.Initialize(reinterpret_cast<HWND>(&windowToken), nullptr, &IID_IDirect3DHALDevice, &mode,
                                kFrameworkFullScreen | kFrameworkBackBuffer | kFrameworkZBuffer);
  }
  int windowToken = 0;  // full screen never asks the window anything
  DDSURFACEDESC2 mode;
  CDisplayFramework framework;
};

TEST_F(FrameworkTest, FullScreenBuildsTheChainAndFlips) {
  GetDisplayMachine().drivers[0].devices[0].depthFormats.push_back(PixelFormatZ16());
  GetDisplayMachine().drivers[0].devices[0].depthFormats.back().dwRGBBitCount = 24;  // offered last, not taken
  testing_support::DebugCapture log;
  ASSERT_EQ(StartFullScreen(), DD_OK);
  EXPECT_NE(log.Text().find("Created Z-buffer, BitDepth = 16\n"), std::string::npos);
  ASSERT_TRUE(framework.Primary() && framework.BackBuffer() && framework.DepthBuffer());
  EXPECT_EQ(framework.RenderTarget(), framework.BackBuffer());
  EXPECT_EQ(framework.BackBuffer()->DepthBuffer(), framework.DepthBuffer());
  EXPECT_EQ(framework.DeviceMemory(), DDSCAPS_VIDEOMEMORY);
  EXPECT_EQ((std::vector<DWORD>{640, 480}),
            (std::vector<DWORD>{framework.Viewport().dwWidth, framework.Viewport().dwHeight}));
  EXPECT_EQ(framework.DirectDraw()->CooperativeLevel(),
            DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_FPUSETUP);
  framework.BackBuffer()->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, 0xABCD);
  ASSERT_EQ(framework.Present(), DD_OK);
  EXPECT_TRUE(framework.Page());
  uint16_t shown;
  std::memcpy(&shown, framework.Primary()->Pixels(), 2);
  EXPECT_EQ(shown, 0xABCD);
  framework.DirectDraw()->LoseAllSurfaces();
  EXPECT_EQ(framework.Present(), DDERR_SURFACELOST);
  framework.RestoreSurfaces();
  EXPECT_EQ(framework.Present(), DD_OK);
  EXPECT_FALSE(framework.Page());
  EXPECT_EQ(framework.DestroyObjects(), DD_OK);
  EXPECT_EQ(framework.Present(), kFrameworkNothingToPresent);
}

TEST_F(FrameworkTest, EachFailedStepHasItsCodeAndReleasesEverything) {
  struct Case {
    const char* name;
    void (*inject)(DisplayMachine&);
    HRESULT expected;
  } cases[] = {
      {"cooperative level", [](DisplayMachine& m) { m.faults.failCooperativeLevel = true; }, kFrameworkNoCooperativeLevel},
      {"display mode", [](DisplayMachine& m) { m.faults.failDisplayMode = true; }, kFrameworkNoDisplayMode},
      {"primary", [](DisplayMachine& m) { m.faults.failCreateSurfaceAt = 1; }, kFrameworkNoPrimary},
      {"depth buffer", [](DisplayMachine& m) { m.faults.failCreateSurfaceAt = 2; }, kFrameworkNoZBuffer},
      {"video memory", [](DisplayMachine& m) { m.faults.outOfVideoMemory = true; }, DDERR_OUTOFVIDEOMEMORY},
      {"small memory", [](DisplayMachine& m) { m.videoMemory = 640 * 480 * 2 * 2; }, DDERR_OUTOFVIDEOMEMORY},
      {"device", [](DisplayMachine& m) { m.faults.failCreateDevice = true; }, kFrameworkNoDevice},
      {"viewport", [](DisplayMachine& m) { m.faults.failViewport = true; }, kFrameworkNoViewport},
      {"no Direct3D", [](DisplayMachine& m) { m.drivers[0].noDirect3D = true; }, kFrameworkNoDirect3D},
      {"no DirectDraw", [](DisplayMachine& m) { m.drivers[0].failCreate = true; }, kFrameworkNoDirectDraw},
  };
  for (const Case& c : cases) {
    ResetDisplayMachine();
    c.inject(GetDisplayMachine());
    EXPECT_EQ(StartFullScreen(), c.expected) << c.name;
    EXPECT_FALSE(framework.DirectDraw()) << c.name;
    EXPECT_FALSE(framework.Primary()) << c.name;
  }
  ResetDisplayMachine();
  GetDisplayMachine().drivers[0].modes.push_back(DisplayModeDesc(640, 480, 8));
  EXPECT_EQ(StartFullScreen(8), kFrameworkPaletteDisplay);
  EXPECT_EQ(framework.Initialize(nullptr, nullptr, nullptr, nullptr, 0), DDERR_INVALIDPARAMS);
  EXPECT_EQ(framework.Initialize(reinterpret_cast<HWND>(&windowToken), nullptr, nullptr, nullptr, kFrameworkFullScreen),
            DDERR_INVALIDPARAMS);
}

TEST_F(FrameworkTest, WindowedPresentsByBlitAndSwitchesRenderTargets) {
  HWND window = testing_support::MakePlainWindow("KelvarunFrameworkTest", "fw", 0, 40, 48);  // client area 32 x 40
  ASSERT_TRUE(window);
  ASSERT_EQ(framework.Initialize(window, nullptr, &IID_IDirect3DHALDevice, nullptr, kFrameworkBackBuffer | kFrameworkZBuffer),
            DD_OK);
  RECT client{};
  GetClientRect(window, &client);
  ASSERT_EQ(framework.RenderWidth(), static_cast<DWORD>(client.right));
  EXPECT_FALSE(framework.Primary()->Caps() & DDSCAPS_3DDEVICE) << "with a back buffer the primary is plain";
  framework.BackBuffer()->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, 0x001F);
  ASSERT_EQ(framework.Present(), DD_OK);
  POINT corner{0, 0};
  ClientToScreen(window, &corner);
  const IDirectDrawSurface4& primary = *framework.Primary();
  uint16_t shown;
  std::memcpy(&shown, primary.Pixels() + corner.y * primary.Pitch() + corner.x * 2, 2);
  EXPECT_EQ(shown, 0x001F);
  EXPECT_FALSE(framework.Page());

  DDSURFACEDESC2 desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.dwWidth = desc.dwHeight = 32;
  desc.ddpfPixelFormat = PixelFormat565();
  desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE;
  std::shared_ptr<IDirectDrawSurface4> target;
  ASSERT_EQ(framework.DirectDraw()->CreateSurface(desc, &target), DD_OK);
  ASSERT_EQ(framework.SetRenderTarget(target), DD_OK);
  EXPECT_EQ(target->DepthBuffer(), framework.DepthBuffer()) << "as wide as the window: the depth buffer is shared";
  desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;  // not a 3D target: the device refuses it
  desc.dwWidth = 16;                      // and a size of its own, so a refusal that kept it would show
  desc.dwHeight = 8;
  std::shared_ptr<IDirectDrawSurface4> plain;
  ASSERT_EQ(framework.DirectDraw()->CreateSurface(desc, &plain), DD_OK);
  EXPECT_EQ(framework.SetRenderTarget(plain), kFrameworkNoRenderTarget);
  EXPECT_EQ(framework.CurrentTarget(), target.get());
  EXPECT_EQ((std::vector<DWORD>{32, 32, 32}),
            (std::vector<DWORD>{framework.RenderWidth(), framework.RenderHeight(), framework.Viewport().dwWidth}));
  ASSERT_EQ(framework.RestoreRenderTarget(), DD_OK);
  EXPECT_EQ(framework.CurrentTarget(), framework.BackBuffer());
  target.reset();
  plain.reset();
  EXPECT_EQ(framework.DestroyObjects(), DD_OK);
  DestroyWindow(window);
}

// A window larger than the desktop's primary (a full-screen window that turned windowed, or one a
// window manager placed partly off the screen) shows what lies on the screen; every present used
// to be refused as an invalid rectangle.
TEST_F(FrameworkTest, AWindowBeyondTheDesktopPresentsTheVisiblePart) {
  const DisplayMachine& machine = GetDisplayMachine();
  HWND window = testing_support::MakePlainWindow("KelvarunFrameworkTest", "big", 0, 1288, 1032);
  ASSERT_TRUE(window);
  ASSERT_EQ(
      framework.Initialize(window, nullptr, &IID_IDirect3DHALDevice, nullptr, kFrameworkBackBuffer | kFrameworkZBuffer),
      DD_OK);
  ASSERT_GT(framework.RenderWidth(), machine.desktopWidth);
  ASSERT_GT(framework.RenderHeight(), machine.desktopHeight);
  framework.BackBuffer()->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, 0x07E0);
  ASSERT_EQ(framework.Present(), DD_OK);
  const IDirectDrawSurface4& primary = *framework.Primary();
  uint16_t corner = 0;
  std::memcpy(&corner, primary.Pixels() + (primary.Height() - 1) * primary.Pitch() + (primary.Width() - 1) * 2, 2);
  EXPECT_EQ(corner, 0x07E0) << "the screen's far corner is inside the window";
  EXPECT_EQ(framework.DestroyObjects(), DD_OK);
  DestroyWindow(window);
}

TEST(DDErrorText, QuotedTextsAndUnknownCodes) {
  EXPECT_STREQ(DDErrorToString(DDERR_SURFACELOST),
               "Access to this surface is being refused because the surface memory is gone. The DirectDrawSurface "
               "object representing this surface should have Restore called on it.\n");
  EXPECT_STREQ(DDErrorToString(static_cast<HRESULT>(0x88760000u + 150)), "Rectangle provided was invalid.\n");
  EXPECT_STREQ(DDErrorToString(D3DERR_SCENE_BEGIN_FAILED), "The scene could not be begun.\n");
  EXPECT_STREQ(DDErrorToString(DDERR_OUTOFVIDEOMEMORY), DDErrorToString(DDERR_OUTOFMEMORY));
  EXPECT_STREQ(DDErrorToString(0), "No error.\n");
  EXPECT_STREQ(DDErrorToString(static_cast<HRESULT>(0x88760001u)), "Unrecognized error value.\n");
}

TEST(DDErrorText, EveryListedCodeHasALineAndNoOtherDoes) {
  std::vector<uint32_t> listed = {5,   10,  20,  40,  55,  90,  95,  100, 110, 120, 130, 145, 150, 160, 170, 180,
                                  205, 210, 212, 215, 220, 225, 230, 240, 250, 255, 260, 280, 290, 310, 316, 317,
                                  320, 330, 335, 340, 350, 360, 380, 382, 384, 387, 400, 410, 420, 430, 440, 450,
                                  460, 470, 480, 490, 510, 520, 537, 540, 700, 701, 705, 706, 707, 750, 751, 752,
                                  2048, 2050, 2060, 2061, 2062, 2081, 2082, 2083, 2084, 2086};
  for (uint32_t c = 560; c <= 589; ++c) listed.push_back(c);
  for (uint32_t c = 710; c <= 717; ++c) listed.push_back(c);
  for (uint32_t c = 720; c <= 747; ++c) listed.push_back(c);
  for (uint32_t c = 760; c <= 763; ++c) listed.push_back(c);
  for (uint32_t c = 770; c <= 775; ++c) listed.push_back(c);
  for (uint32_t c = 2070; c <= 2079; ++c) listed.push_back(c);
  ASSERT_EQ(listed.size(), 160u);
  EXPECT_EQ(DDErrorTextCount(), 165u);
  const std::string unknown = DDErrorToString(static_cast<HRESULT>(0x88760001u));
  for (uint32_t offset = 0; offset <= 4096; ++offset) {
    const std::string text = DDErrorToString(static_cast<HRESULT>(0x88760000u + offset));
    const bool isListed = std::find(listed.begin(), listed.end(), offset) != listed.end();
    EXPECT_EQ(text != unknown, isListed) << offset;
    if (!isListed) continue;
    ASSERT_GE(text.size(), 3u) << offset;
    EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line, ending in its line break: " << offset;
  }
  for (HRESULT generic : {DD_OK, DDERR_UNSUPPORTED, DDERR_GENERIC, DDERR_OUTOFMEMORY, DDERR_INVALIDPARAMS})
    EXPECT_NE(DDErrorToString(generic), unknown);
  // The codes the display layer returns by name all have their own line.
  for (HRESULT named : {DDERR_NOZBUFFERHW, DDERR_NODC, DDERR_NOTLOCKED, DDERR_NOTFLIPPABLE, D3DERR_SCENE_IN_SCENE,
                        D3DERR_ZBUFFER_NOTPRESENT, D3DERR_NOCURRENTVIEWPORT})
    EXPECT_NE(DDErrorToString(named), unknown);
}

}  // namespace
