// The hardware back end on the recording device: start-up states, redundant-state filtering,
// texture stages, mode bits, line clipping, the projection, screenshots, gamma and render targets.
// Each test's whole record on the device (from its last start) is kept in golden/<test>.txt.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "core/input/Settings.h"
#include "core/math/ViewFrustum.h"
#include "platform/graphics/RecordingDevice.h"
#include "platform/system/Platform.h"
#include "render/hardware/CachedTexture.h"
#include "render/hardware/D3DRasterizer.h"
#include "render/image/BitmapImage.h"
#include "render/image/Texture.h"
#include "scene/lighting/FogState.h"
#include "tests/support/Golden.h"
#include "tests/support/PlainWindow.h"
#include "tests/support/TempFolder.h"

namespace {

using State = std::tuple<int, DWORD, DWORD, DWORD>;  // kind (0 render, 1 stage), stage, state, value

DWORD Bits(float f) {
  DWORD b;
  std::memcpy(&b, &f, 4);
  return b;
}

class D3DRasterizerTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetDisplayMachine();
    window = testing_support::MakePlainWindow("KelvarunD3DTest", "d3d", 0, 64, 48);
    ASSERT_TRUE(window);
  }
  void TearDown() override {
    const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
    if (device) testing_support::ExpectGolden(device->Transcript(), "render/hardware/golden/" + test + ".txt");
    rasterizer.reset();
    textures.clear();
    DestroyWindow(window);
    ResetDisplayMachine();
  }

  void Start(DWORD width = 640, DWORD height = 480, DWORD bits = 16, D3DStartOptions options = {}, bool fullScreen = true) {
    rasterizer = std::make_unique<CD3DRasterizer>();
    DeviceChoice choice;
    choice.chosen = true;
    choice.deviceGuid = IID_IDirect3DHALDevice;
    choice.mode = DisplayModeDesc(width, height, bits);
    choice.hardware = true;
    options.fullScreen = fullScreen;
    ASSERT_EQ(rasterizer->InitDevice(window, choice, options), 1);
    device = dynamic_cast<CRecordingDevice*>(rasterizer->Framework().Device());
    ASSERT_TRUE(device);
    device->KeepTranscript();
  }

  std::vector<State> States() const {
    std::vector<State> out;
    for (const DeviceCall& c : device->Log()) {
      if (c.kind == DeviceCallKind::RenderState) out.emplace_back(0, 0, c.a, c.c);
      if (c.kind == DeviceCallKind::StageState) out.emplace_back(1, c.a, c.b, c.c);
    }
    return out;
  }

  // An opaque mip-mapped 16 x 16 texture carrying the mode bits.
  CTexture* MakeTexture(uint32_t modeBits = 0, bool mips = true) {
    std::vector<uint32_t> texels(16 * 16, 0xFF808080u);
    auto t = std::make_unique<CTexture>();
    EXPECT_TRUE(t->CreateFromPixels(texels.data(), 4, 16, 16, 0xFF0000, 0xFF00, 0xFF, 0, mips ? 0x10 : 0, "t"));
    t->flags = (t->flags & ~CTexture::kNoDevice) | modeBits;
    textures.push_back(std::move(t));
    return textures.back().get();
  }

  // A texture without pixels, edge x edge in 5-6-5: one that is drawn into.
  static void DescribeTarget(CTexture& t, uint32_t edge) {
    t.width = t.height = edge;
    t.bytesPerPixel = 2;
    t.redMask = 0xF800;
    t.greenMask = 0x7E0;
    t.blueMask = 0x1F;
    t.flags = 0;
  }

  void Triangle(CTexture* first, CTexture* second = nullptr) {
    rasterizer->DrawTriangles(quad, 4, kIndices, 1, first, second, 1.0f);
  }

  static constexpr uint16_t kIndices[6] = {0, 1, 2, 0, 2, 3};
  static constexpr uint16_t kPair[2] = {0, 1};  // one line
  ScreenVertex quad[4] = {{10, 10, 0.5f, 1, 0xFFFFFFFF, 0xFF000000, 0, 0, 0, 0},
                          {50, 10, 0.5f, 1, 0xFFFFFFFF, 0xFF000000, 1, 0, 1, 0},
                          {50, 50, 0.5f, 1, 0xFFFFFFFF, 0xFF000000, 1, 1, 1, 1},
                          {10, 50, 0.5f, 1, 0xFFFFFFFF, 0xFF000000, 0, 1, 0, 1}};
  HWND window = nullptr;
  std::unique_ptr<CD3DRasterizer> rasterizer;
  CRecordingDevice* device = nullptr;
  std::vector<std::unique_ptr<CTexture>> textures;
  ViewFrustum camera;
};

TEST_F(D3DRasterizerTest, DeviceStartSetsExactlyTheseStatesInOrder) {
  const std::vector<State> common = {
      {0, 0, D3DRENDERSTATE_TEXTUREPERSPECTIVE, 1}, {0, 0, D3DRENDERSTATE_FOGENABLE, 1},
      {0, 0, D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_LINEAR}, {0, 0, D3DRENDERSTATE_CULLMODE, D3DCULL_CCW},
      {0, 0, D3DRENDERSTATE_ZENABLE, D3DZB_TRUE}, {0, 0, D3DRENDERSTATE_ZWRITEENABLE, 1},
      {0, 0, D3DRENDERSTATE_DITHERENABLE, 1}, {0, 0, D3DRENDERSTATE_TEXTUREMIN, D3DFILTER_MIPLINEAR},
      {0, 0, D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD}, {0, 0, D3DRENDERSTATE_SPECULARENABLE, 0},
      {0, 0, D3DRENDERSTATE_RANGEFOGENABLE, 1}};
  const std::vector<State> blend = {
      {0, 0, D3DRENDERSTATE_ALPHABLENDENABLE, 1}, {0, 0, D3DRENDERSTATE_COLORKEYENABLE, 1},
      {0, 0, D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA}, {0, 0, D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA},
      {1, 0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE}, {1, 0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
      {1, 0, D3DTSS_ALPHAOP, D3DTOP_MODULATE}, {1, 0, D3DTSS_MINFILTER, D3DTFN_LINEAR},
      {1, 0, D3DTSS_MAGFILTER, D3DTFG_LINEAR}};
  const std::vector<State> tail = {{1, 1, D3DTSS_MINFILTER, D3DTFN_LINEAR}, {1, 1, D3DTSS_MAGFILTER, D3DTFG_LINEAR},
                                   {1, 1, D3DTSS_MIPFILTER, D3DTFP_NONE}, {1, 0, D3DTSS_MIPMAPLODBIAS, Bits(-1.5f)}};
  auto join = [&](bool aa, bool mip) {
    std::vector<State> all = common;
    if (aa) all.emplace_back(0, 0, D3DRENDERSTATE_ANTIALIAS, D3DANTIALIAS_SORTINDEPENDENT);
    all.insert(all.end(), blend.begin(), blend.end());
    if (mip) all.emplace_back(1, 0, D3DTSS_MIPFILTER, D3DTFP_LINEAR);
    all.insert(all.end(), tail.begin(), tail.end());
    return all;
  };
  // The depth state a mode leaves: W, asked for or preferred, only where the device offers it.
  auto depth = [&](ZBufferMode mode, bool preferW) {
    rasterizer->SetZBufferMode(mode, preferW);
    return std::get<3>(States().back());
  };
  Start();
  EXPECT_EQ(States(), join(false, false));
  EXPECT_EQ(depth(ZBufferMode::kOff, true), D3DZB_FALSE);
  EXPECT_EQ(depth(ZBufferMode::kWBuffer, false), D3DZB_TRUE);
  EXPECT_EQ(depth(ZBufferMode::kZBuffer, true), D3DZB_TRUE);
  EXPECT_TRUE(rasterizer->GetBackfaceCulling());
  rasterizer->SetBackfaceCulling(false);
  EXPECT_FALSE(rasterizer->GetBackfaceCulling()) << "the view culls itself when the back end does not";
  rasterizer->SetBackfaceCulling(true);
  EXPECT_TRUE(rasterizer->GetBackfaceCulling());
  EXPECT_EQ(rasterizer->GetBackBufferDesc()->greenMask, kGreenMask565);  // its sides: the render-target test
  EXPECT_EQ(rasterizer->GetUserValue(), 0u);

  // Both options on, but a device without the capabilities: still neither state.
  D3DStartOptions on;
  on.antiAlias = 1.0f;
  on.mipFilter = 1.0f;
  Start(640, 480, 16, on);
  EXPECT_EQ(States(), join(false, true)) << "the default device filters between mip levels but does not anti-alias";
  D3DPRIMCAPS& caps = GetDisplayMachine().drivers[0].devices[0].hardware.dpcTriCaps;
  caps.dwRasterCaps &= ~D3DPRASTERCAPS_ANTIALIASSORTINDEPENDENT;
  caps.dwTextureFilterCaps &= ~(D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_LINEARMIPLINEAR);
  Start(640, 480, 16, on);
  EXPECT_EQ(States(), join(false, false));
  // With the capabilities; an option at exactly 0.9 counts as off.
  caps.dwRasterCaps |= D3DPRASTERCAPS_ANTIALIASSORTINDEPENDENT | D3DPRASTERCAPS_WBUFFER;
  caps.dwTextureFilterCaps |= D3DPTFILTERCAPS_MIPFLINEAR;
  Start(640, 480, 16, on);
  EXPECT_EQ(States(), join(true, true));
  EXPECT_EQ(depth(ZBufferMode::kWBuffer, false), D3DZB_USEW);
  EXPECT_EQ(depth(ZBufferMode::kZBuffer, true), D3DZB_USEW);
  EXPECT_EQ(depth(ZBufferMode::kZBuffer, false), D3DZB_TRUE);
  on.antiAlias = 0.9f;
  Start(640, 480, 16, on);
  EXPECT_EQ(States(), join(false, true));
  EXPECT_FALSE(rasterizer->IsWindowed());
  Start(640, 480, 16, on, false);
  EXPECT_TRUE(rasterizer->IsWindowed());
  // From the settings, in the golden record: their mode (800 x 600), and anti-aliasing from the
  // first option word; the hardware device, not the software one beside it (which cannot anti-alias).
  ScriptedD3DDevice emulated = DefaultHardwareDevice();
  emulated.guid = IID_IDirect3DRGBDevice;
  std::swap(emulated.hardware, emulated.emulation);
  GetDisplayMachine().drivers[0].devices.push_back(emulated);
  CSettings settings;
  settings.displayWidth = 800;
  settings.displayHeight = 600;
  settings.meshDetail = 1.0f;
  ASSERT_EQ(rasterizer->Create(window, settings, false), 1);
  device = dynamic_cast<CRecordingDevice*>(rasterizer->Framework().Device());
  rasterizer->SetTextureFiltering(false);  // the record ends with point filtering on both stages
}

TEST_F(D3DRasterizerTest, RepeatedTextureAndModeBindOnce) {
  Start();
  CTexture* t = MakeTexture();
  // In the golden record: two draws with one binding of each stage (the texture, and none on stage
  // 1) and mode bits 0 applied once, addressing and blending, no fog (no scene record). A new scene
  // forgets the bindings: its first draw binds and applies them again.
  ASSERT_TRUE(rasterizer->BeginScene(&camera, 0));
  Triangle(t);
  Triangle(t);
  rasterizer->EndScene();
  ASSERT_TRUE(rasterizer->BeginScene(&camera, 0));
  Triangle(t);
  // The triangle counter; each draw's vertices, indices and format are in the golden record too.
  EXPECT_EQ(rasterizer->TriangleCounter(), 3u);
}

TEST_F(D3DRasterizerTest, OneAndTwoStageTransitions) {
  Start();
  CTexture* a = MakeTexture();
  CTexture* light = MakeTexture();
  // In the golden record, after the one-texture draw: two stages on their own coordinate sets, the
  // texture (stage 0) and the texture times the current colour (stage 1), each modulated. The mode
  // changed, so stage 0 is bound again even with the same texture; stage 1 gets the light map, a
  // surface of its own. The same draw again changes nothing; back to one texture, stage 1 is
  // disabled and unbound, and stage 0 bound again.
  ASSERT_TRUE(rasterizer->BeginScene(&camera, 0));
  Triangle(a);
  Triangle(a, light);
  Triangle(a, light);
  Triangle(a);
  EXPECT_EQ(rasterizer->TextureMode(), CD3DRasterizer::kOneTexture);
}

TEST_F(D3DRasterizerTest, ModeBitsSelectAddressingBlendAndFog) {
  Start();
  FogState fog;
  fog.enabled = true;
  rasterizer->SetScene(&fog);
  struct Case {
    uint32_t bits;
    DWORD u, v;
    std::vector<State> blend;
  } cases[] = {
      {0x10000 | 0x80000, D3DTADDRESS_CLAMP, D3DTADDRESS_MIRROR,
       {{0, 0, D3DRENDERSTATE_FOGENABLE, 1}, {0, 0, D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA},
        {0, 0, D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA}}},
      {0x40000 | 0x20000 | 0x100000, D3DTADDRESS_MIRROR, D3DTADDRESS_CLAMP,
       {{0, 0, D3DRENDERSTATE_FOGENABLE, 0}, {0, 0, D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA},
        {0, 0, D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE}}},
      {0x200000, D3DTADDRESS_WRAP, D3DTADDRESS_WRAP,
       {{0, 0, D3DRENDERSTATE_FOGENABLE, 0}, {0, 0, D3DRENDERSTATE_SRCBLEND, D3DBLEND_ZERO},
        {0, 0, D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCCOLOR}}},
      {0x300000 | 0x50000, D3DTADDRESS_CLAMP, D3DTADDRESS_WRAP, {}},
  };
  ASSERT_TRUE(rasterizer->BeginScene(&camera, 0));
  Triangle(MakeTexture(0x300000));  // leaves the blend state alone; sets the one-stage states
  for (const Case& c : cases) {
    CTexture* t = MakeTexture(c.bits);
    device->ClearLog();
    Triangle(t);
    std::vector<State> expected = {{1, 0, D3DTSS_ADDRESSU, c.u}, {1, 0, D3DTSS_ADDRESSV, c.v}};
    expected.insert(expected.end(), c.blend.begin(), c.blend.end());
    EXPECT_EQ(States(), expected) << std::hex << c.bits;
  }
  // Additive turns fog off; a normal texture turns it on only while the scene has fog (the
  // golden record: no fog state follows the second triangle).
  Triangle(MakeTexture(0x100000));
  fog.enabled = false;
  Triangle(MakeTexture(0));
  // Lines draw untextured with mode bits 0, applied whole; the next triangle binds its texture and
  // mode again (the golden record).
  CTexture* additive = MakeTexture(0x100000);
  Triangle(additive);
  ScreenVertex line[2] = {quad[0], quad[2]};
  rasterizer->DrawLines(line, 2, kPair, 1);
  Triangle(additive);
}

TEST_F(D3DRasterizerTest, LinesAreClippedInPlaceToTheScreen) {
  Start();
  ASSERT_TRUE(rasterizer->BeginScene(&camera, 0));
  // From inside to beyond the right edge, then on to beyond the bottom, then a vertical line
  // below the top (dx 0: only y changes).
  ScreenVertex v[4] = {};
  v[0].x = 100, v[0].y = 100;
  v[1].x = 739, v[1].y = 200;   // 100 past the right edge (639)
  v[2].x = 639, v[2].y = 579;   // 100 below the bottom (479) once v[1] is clipped
  v[3].x = 639, v[3].y = -50;
  const uint16_t lines[6] = {0, 1, 1, 2, 2, 3};
  rasterizer->DrawLines(v, 4, lines, 3);
  const float want[4][2] = {{100, 100}, {639, 100.0f + 100.0f * 539.0f / 639.0f}, {639, 479}, {639, 0}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_FLOAT_EQ(v[i].x, want[i][0]) << i;
    EXPECT_FLOAT_EQ(v[i].y, want[i][1]) << i;
  }
  // The golden record holds the one draw: the four clipped vertices and six indices.
  // A corner beyond both edges ends up on the corner of the screen along its line.
  ScreenVertex p{}, q{};
  p.x = -10, p.y = -10;
  q.x = 10, q.y = 10;
  CD3DRasterizer::ClipPoint(p, q, 639, 479);
  EXPECT_FLOAT_EQ(p.x, 0.0f);
  EXPECT_FLOAT_EQ(p.y, 0.0f);
}

TEST_F(D3DRasterizerTest, SceneSetsTheProjectionAndDrawingFlagGatesTheDevice) {
  Start();
  camera.SetNear(2.0f);
  camera.SetFar(102.0f);
  device->ClearLog();
  ASSERT_TRUE(rasterizer->BeginScene(&camera, 0));
  const DeviceCall* transform = nullptr;
  for (const DeviceCall& c : device->Log())
    if (c.kind == DeviceCallKind::Transform) transform = &c;
  ASSERT_TRUE(transform);
  const float q = 102.0f / 100.0f;
  const float expected[4][4] = {{4.0f / 640, 0, 0, 0}, {0, 4.0f / 480, 0, 0}, {0, 0, q, 1.0f}, {0, 0, -2.0f * q, 0}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(transform->matrix.m[r][c], expected[r][c]) << r << "," << c;
  EXPECT_EQ(rasterizer->FrameCounter(), 1u);
  // A second BeginScene inside a scene fails on the device and says so.
  EXPECT_FALSE(rasterizer->BeginScene(&camera, 0));
  rasterizer->EndScene();

  // With drawing off the triangles count and their textures are looked up, but nothing is drawn
  // or bound (the golden record).
  rasterizer->SetClipping(false);
  rasterizer->SetOption41(true);
  ASSERT_TRUE(rasterizer->BeginScene(&camera, 0));
  device->ClearLog();
  CTexture* t = MakeTexture();
  rasterizer->DrawTriangles(quad, 4, kIndices, 2, t, nullptr, 1.0f);
  rasterizer->DrawTriangles(quad, 4, kIndices, 0, t, nullptr, 1.0f);
  EXPECT_NE(t->deviceTexture, nullptr);
  rasterizer->EndScene();
  rasterizer->PresentFrame();
  const std::string& text = rasterizer->LastStatisticsText();
  EXPECT_EQ(text.rfind("2 Polys, ", 0), 0u) << text;
  EXPECT_EQ(rasterizer->TriangleCounter(), 0u);
  // A failed draw is reported and drawing goes on: the golden record ends with the next draw.
  rasterizer->SetClipping(true);
  ASSERT_TRUE(rasterizer->BeginScene(&camera, 0));
  testing_support::DebugCapture log;
  device->FailNextDraw();
  Triangle(t);
  Triangle(t);
  EXPECT_NE(log.Text().find("GraphicsContext: Couldn't Draw Triangle!!!\n"), std::string::npos);
}

TEST_F(D3DRasterizerTest, StatisticsAverageEightFramesAndCapAtOneThousand) {
  Start();
  rasterizer->SetOption41(true);
  plat::UseManualClock(5000);
  // The first frame counts from the start of time; then frames at 40 ms.
  rasterizer->PresentFrame();
  EXPECT_EQ(rasterizer->LastStatisticsText(), "0 Polys, 1.60 FPS");  // 5 s in a ring of eight
  for (int i = 0; i < 8; ++i) {
    plat::AdvanceClock(40);
    rasterizer->PresentFrame();
  }
  EXPECT_EQ(rasterizer->LastStatisticsText(), "0 Polys, 25.00 FPS");
  // Frames faster than a millisecond count as one: eight of them average 0.001 s, 1000 FPS.
  for (int i = 0; i < 8; ++i) rasterizer->PresentFrame();
  plat::UseRealClock();
  EXPECT_EQ(rasterizer->LastStatisticsText(), "0 Polys, 1000.00 FPS");
  // The text reached the back buffer in green before the flip, and the window shows it.
  HDC shown = GetDC(window);
  bool green = false;
  for (int x = 0; x < 6 && !green; ++x)
    for (int y = 0; y < 7 && !green; ++y) green = GetPixel(shown, x, y) == RGB(0, 255, 0);
  ReleaseDC(window, shown);
  EXPECT_TRUE(green);
}

TEST_F(D3DRasterizerTest, ScreenshotConvertsTo555AndFollowsTheMode) {
  testing_support::TempFolder folder;
  for (DWORD width : {640u, 800u}) {
    const DWORD height = width * 3 / 4;
    Start(width, height);
    PixelBufferDesc* desc = rasterizer->LockBackBuffer();
    ASSERT_TRUE(desc);
    ASSERT_EQ(desc->greenMask, kGreenMask565);
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x) {
        const uint16_t pixel = static_cast<uint16_t>((x * 7 + y * 131) ^ (y << 9));
        std::memcpy(static_cast<uint8_t*>(desc->pixels) + y * desc->pitch + x * 2, &pixel, 2);
      }
    rasterizer->UnlockBackBuffer();
    const std::string path = folder.Path() + "shot" + std::to_string(width) + ".bmp";
    rasterizer->SaveScreenShot(path.c_str());
    const std::vector<uint8_t> file = testing_support::ReadAll(path);
    CBitmapImage read(file.data(), file.size());
    ASSERT_TRUE(read.flags & CImage::kValid);
    ASSERT_EQ(read.width, static_cast<int>(width));
    ASSERT_EQ(read.height, static_cast<int>(height));
    size_t wrong = 0;
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x) {
        const uint16_t p = static_cast<uint16_t>((x * 7 + y * 131) ^ (y << 9));
        // Expected colour worked out by channel, independently of the shift trick.
        const uint32_t r5 = p >> 11, g5 = ((p >> 5) & 0x3F) >> 1, b5 = p & 0x1F;
        const uint32_t rgb = (b5 << 19) | (g5 << 11) | (r5 << 3);  // a COLORREF
        const uint32_t got = static_cast<uint32_t>(read.GetPixel(static_cast<int>(x), static_cast<int>(y)));
        wrong += (got & 0xF8F8F8) != rgb;
      }
    EXPECT_EQ(wrong, 0u) << width;
  }
  // A lock that fails (the back buffer has its DC out) writes nothing and says so.
  HDC dc = nullptr;
  ASSERT_EQ(rasterizer->GetBackBufferDC(&dc), DD_OK);
  testing_support::DebugCapture log;
  const std::string busy = folder.Path() + "busy.bmp";
  rasterizer->SaveScreenShot(busy.c_str());
  EXPECT_FALSE(std::filesystem::exists(busy));
  EXPECT_NE(log.Text().find("not written"), std::string::npos);
  rasterizer->ReleaseBackBufferDC(dc);
  rasterizer->SaveScreenShot(busy.c_str());
  EXPECT_TRUE(std::filesystem::exists(busy));
}

TEST_F(D3DRasterizerTest, GammaRampSaturatesAndALostPrimaryKeepsIt) {
  EXPECT_EQ(CD3DRasterizer::GammaEntry(255, 257.0f), 65535);
  EXPECT_EQ(CD3DRasterizer::GammaEntry(255, 300.0f), 65535);
  EXPECT_EQ(CD3DRasterizer::GammaEntry(10, -1.0f), 0);
  EXPECT_EQ(CD3DRasterizer::GammaEntry(10, std::nanf("")), 0);
  Start();
  IDirectDrawSurface4* primary = rasterizer->Framework().Primary();
  DDGAMMARAMP ramp;
  for (float factor : {256.0f, 300.0f, 128.5f}) {
    rasterizer->SetGamma(factor);
    ASSERT_EQ(primary->GetGammaRamp(0, &ramp), DD_OK);
    for (int i = 0; i < 256; ++i) {
      const double want = std::min(65535.0, std::floor(i * static_cast<double>(factor)));
      ASSERT_EQ(ramp.red[i], want) << factor << " " << i;
      ASSERT_EQ(ramp.green[i], ramp.red[i]);
      ASSERT_EQ(ramp.blue[i], ramp.red[i]);
    }
  }
  rasterizer->Framework().DirectDraw()->LoseAllSurfaces();
  testing_support::DebugCapture log;
  rasterizer->SetGamma(64.0f);
  EXPECT_NE(log.Text().find("surface memory is gone"), std::string::npos);
  primary->Restore();
  ASSERT_EQ(primary->GetGammaRamp(0, &ramp), DD_OK);
  EXPECT_EQ(ramp.red[255], static_cast<WORD>(255 * 128.5f));
}

TEST_F(D3DRasterizerTest, RenderTargetsNeedASlotAndFailuresKeepTheBackBuffer) {
  Start();
  // A texture with a device texture but no slot yet (registered, never drawn): refused.
  CTexture* drawn = MakeTexture();
  ASSERT_TRUE(rasterizer->SelectTexture(drawn));
  ASSERT_TRUE(drawn->deviceTexture);
  EXPECT_FALSE(rasterizer->SetRenderTarget(drawn, 0, 0, 0));
  EXPECT_EQ(rasterizer->GetBackBufferDesc()->width, 640u);
  EXPECT_FALSE(rasterizer->SetRenderTarget(MakeTexture(), 0, 0, 0)) << "no device texture at all";
  // A texture without pixels gets a procedural slot at once and is drawn into whole (the golden record's viewport).
  CTexture target;
  DescribeTarget(target, 64);
  ASSERT_TRUE(rasterizer->SelectTexture(&target));
  ASSERT_TRUE(rasterizer->SetRenderTarget(&target, 0, 0, 0));
  EXPECT_EQ(rasterizer->GetBackBufferDesc()->width, 64u);
  ASSERT_TRUE(rasterizer->SetRenderTarget(nullptr, 0, 0, 0));
  EXPECT_EQ(rasterizer->GetBackBufferDesc()->width, 640u);
  // The device refuses the surface: false, and the back buffer stays the target.
  device->FailNextRenderTarget();
  EXPECT_FALSE(rasterizer->SetRenderTarget(&target, 0, 0, 0));
  EXPECT_EQ(rasterizer->Framework().CurrentTarget(), rasterizer->Framework().BackBuffer());
  EXPECT_EQ(rasterizer->GetBackBufferDesc()->width, 640u);
  EXPECT_FALSE(rasterizer->SelectTexture(nullptr));
  rasterizer->ReleaseTexture(&target);
  EXPECT_EQ(target.deviceTexture, nullptr);
  // A texture read as a header only (as meshes load theirs) has its pixels read back from its
  // file into mip-mapped source images, and is never drawn into.
  testing_support::TempFolder folder;
  const std::string file = folder.Path() + "grey.texture";
  ASSERT_TRUE(MakeTexture()->Save(file.c_str(), 0));
  textures.push_back(std::make_unique<CTexture>());
  CTexture& headerOnly = *textures.back();
  ASSERT_TRUE(headerOnly.Load(file.c_str(), false));
  ASSERT_FALSE(headerOnly.pixels);
  ASSERT_TRUE(rasterizer->SelectTexture(&headerOnly));
  const auto* cached = dynamic_cast<const CCachedTexture*>(headerOnly.deviceTexture);
  ASSERT_TRUE(cached);
  EXPECT_EQ(cached->ImageCount(), 5u);
  Color texel;
  cached->GetTexelColour(texel, 0.5f, 0.5f);
  EXPECT_EQ(texel.ToWord(), 0xFF808080u) << "the file's grey, not an empty image";
  EXPECT_FALSE(rasterizer->SetRenderTarget(&headerOnly, 0, 0, 0));
  EXPECT_EQ(rasterizer->GetBackBufferDesc()->width, 640u);
}

TEST_F(D3DRasterizerTest, NoChoiceShowsTheDisplayMessage) {
  rasterizer = std::make_unique<CD3DRasterizer>();
  testing_support::DebugCapture log;
  EXPECT_EQ(rasterizer->InitDevice(window, DeviceChoice{}, D3DStartOptions{}), 0);
  EXPECT_EQ(rasterizer->LockBackBuffer(), nullptr);
  HDC dc = window;  // no back buffer: the DC asked for is cleared, not left as it was
  EXPECT_TRUE(rasterizer->GetBackBufferDC(&dc) == DDERR_NODC && !dc);
  rasterizer->PresentFrame();  // nothing to present; must not crash
  EXPECT_EQ(log.Text(),
            "MessageBox: Ooops... Try again: Display Mode Error - Check Screen Settings\nUnrecognized error value.\n");
  EXPECT_FALSE(rasterizer->BeginScene(&camera, 0));
}

TEST_F(D3DRasterizerTest, ReleasedTextureSurfacesAreUnboundFromTheDevice) {
  Start();
  CTexture* a = MakeTexture();
  CTexture* b = MakeTexture();
  for (int how = 0; how < 3; ++how) {
    ASSERT_TRUE(rasterizer->BeginScene(&camera, 0));
    Triangle(a, b);
    rasterizer->EndScene();
    if (how == 0) rasterizer->ReleaseTextureSurfaces();
    if (how == 1) rasterizer->ReleaseTexture(b);
    if (how == 2) rasterizer->ReleaseAllTextures();
    // Bound by the draw (its golden record), the surfaces may be gone: nothing may stay bound to either stage.
    EXPECT_EQ(device->BoundTexture(0), nullptr) << how;
    // Lines first (they leave stage 1 as it is: still empty), then a one-texture draw: both bind afresh.
    ASSERT_TRUE(rasterizer->BeginScene(&camera, 0));
    ScreenVertex line[2] = {quad[0], quad[2]};
    rasterizer->DrawLines(line, 2, kPair, 1);
    EXPECT_EQ(device->BoundTexture(1), nullptr) << how;
    Triangle(a);
    EXPECT_NE(device->BoundTexture(0), nullptr) << how;
    rasterizer->EndScene();
  }
}

// A target clear fills the whole render rectangle, first row to last, with the colour in the
// buffer's own format; a depth-only clear leaves the picture alone.
TEST_F(D3DRasterizerTest, ClearingTheTargetFillsTheWholeScreen) {
  Start(640, 480, 16);
  auto fill = [this](uint16_t value) {
    PixelBufferDesc* desc = rasterizer->LockBackBuffer();
    ASSERT_TRUE(desc);
    for (uint32_t y = 0; y < desc->height; ++y)
      for (uint32_t x = 0; x < desc->width; ++x)
        std::memcpy(static_cast<uint8_t*>(desc->pixels) + y * desc->pitch + x * 2, &value, 2);
    rasterizer->UnlockBackBuffer();
  };
  auto count = [this](uint16_t value) {
    size_t n = 0;
    PixelBufferDesc* desc = rasterizer->LockBackBuffer();
    if (!desc) return n;
    for (uint32_t y = 0; y < desc->height; ++y)
      for (uint32_t x = 0; x < desc->width; ++x) {
        uint16_t pixel = 0;
        std::memcpy(&pixel, static_cast<uint8_t*>(desc->pixels) + y * desc->pitch + x * 2, 2);
        n += pixel == value;
      }
    rasterizer->UnlockBackBuffer();
    return n;
  };
  fill(0x1234);
  rasterizer->Clear(true, false, 0xFFFF0000u);
  EXPECT_EQ(count(0x1234), 640u * 480u) << "depth only";
  rasterizer->Clear(false, true, 0xFFFF0000u);
  EXPECT_EQ(count(0xF800), 640u * 480u) << "red in 5-6-5, everywhere";
}

TEST_F(D3DRasterizerTest, LocksAndDeviceContextsOfEachBuffer) {
  Start();
  PixelBufferDesc* depth = rasterizer->LockZBuffer();
  ASSERT_TRUE(depth);
  EXPECT_EQ(depth, rasterizer->GetBackBufferDesc()) << "the depth buffer is described in the back-buffer record";
  EXPECT_EQ(depth->width, 640u);
  EXPECT_EQ(depth->bytesPerPixel, 2u);
  rasterizer->UnlockZBuffer();
  PixelBufferDesc* front = rasterizer->LockFrontBuffer();
  ASSERT_TRUE(front);
  EXPECT_NE(front, rasterizer->GetBackBufferDesc());
  EXPECT_EQ(front->pixels, rasterizer->Framework().Primary()->Pixels());
  rasterizer->UnlockFrontBuffer();
  // Full screen: the front DC is the primary surface's; a second one while it is out fails, logged.
  HDC dc = nullptr, second = nullptr;
  ASSERT_EQ(rasterizer->GetFrontBufferDC(&dc), DD_OK);
  ASSERT_TRUE(dc);
  testing_support::DebugCapture log;
  EXPECT_NE(rasterizer->GetFrontBufferDC(&second), DD_OK);
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(rasterizer->ReleaseFrontBufferDC(dc), DD_OK);
  EXPECT_NE(rasterizer->ReleaseFrontBufferDC(dc), DD_OK);
  EXPECT_EQ(log.Text(),
            "Error GetFrontBufferDC\nAccess to this surface is being refused because the surface is already "
            "locked by another thread.\nError ReleaseFrontBufferDC\nNo DC was ever created for this surface.\n");
  // A back buffer that is locked cannot be locked again: null and the error's text.
  ASSERT_TRUE(rasterizer->LockBackBuffer());
  log.Clear();
  EXPECT_EQ(rasterizer->LockBackBuffer(), nullptr);
  EXPECT_NE(log.Text().find("being refused"), std::string::npos);
  rasterizer->UnlockBackBuffer();

  // A locked texture is written through its first source image and uploaded into its slot.
  CTexture target;
  DescribeTarget(target, 16);
  PixelBufferDesc texels;
  PixelBufferDesc* out = &texels;
  EXPECT_FALSE(rasterizer->LockTexture(&target, &out)) << "no device texture yet";
  ASSERT_TRUE(rasterizer->SelectTexture(&target));
  ASSERT_TRUE(rasterizer->LockTexture(&target, &out));
  ASSERT_EQ(texels.width, 16u);
  for (uint32_t y = 0; y < 16; ++y)
    for (uint32_t x = 0; x < 16; ++x) {
      const uint16_t p = static_cast<uint16_t>(y * 16 + x + 1);
      std::memcpy(static_cast<uint8_t*>(texels.pixels) + y * texels.pitch + x * texels.bytesPerPixel, &p, 2);
    }
  rasterizer->UnlockTexture(&target);
  auto* cached = dynamic_cast<CCachedTexture*>(target.deviceTexture);
  ASSERT_TRUE(cached);
  TextureSlot* slot = rasterizer->Cache().FindSlotRecord(cached);
  ASSERT_TRUE(slot);
  const IDirectDrawSurface4& uploaded = *slot->surface;
  ASSERT_EQ(uploaded.Width(), 16u);
  size_t same = 0;
  for (uint32_t y = 0; y < 16; ++y)
    for (uint32_t x = 0; x < 16; ++x) {
      uint16_t p;
      std::memcpy(&p, uploaded.Pixels() + y * uploaded.Pitch() + x * 2, 2);
      same += p == y * 16 + x + 1;
    }
  EXPECT_EQ(same, 256u);
  rasterizer->ReleaseTexture(&target);
}

}  // namespace
