// The OpenGL device drawing a known frame headlessly: flat, perspective-textured, fogged and
// blended rectangles, depth and culling, read back into the target surface's own format and
// compared with an image worked out here. No GL context is a failure, not a skip.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>

#include "platform/graphics/DirectDraw.h"
#include "platform/graphics/GLContext.h"
#include "platform/graphics/GLDevice.h"
#include "platform/graphics/RecordingDevice.h"

namespace {

constexpr int kW = 64, kH = 48;

struct Vertex {
  float x, y, z, rhw;
  uint32_t diffuse, specular;
  float u, v, u2, v2;
};
static_assert(sizeof(Vertex) == 40, "screen vertex layout");

using Rgb = std::array<int, 3>;

class GLDeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetDisplayMachine();
    // As on most drivers, new GL objects take the names of deleted ones: a name deleted twice shows.
    setenv("force_gl_names_reuse", "true", 0);  // read by Mesa when the context is made
    ASSERT_TRUE(glctx::MakeCurrent()) << glctx::Describe();
    ASSERT_EQ(DirectDrawCreate(nullptr, &directDraw), DD_OK);
  }
  void TearDown() override {
    device.reset();
    target.reset();
    texture.reset();
    directDraw.reset();
    ResetDisplayMachine();
  }

  std::shared_ptr<IDirectDrawSurface4> MakeSurface(DWORD w, DWORD h, const DDPIXELFORMAT& format, DWORD caps,
                                                   DWORD mips = 0) {
    DDSURFACEDESC2 desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | (mips ? DDSD_MIPMAPCOUNT : 0);
    desc.dwWidth = w;
    desc.dwHeight = h;
    desc.dwMipMapCount = mips;
    desc.ddpfPixelFormat = format;
    desc.ddsCaps.dwCaps = caps;
    std::shared_ptr<IDirectDrawSurface4> s;
    EXPECT_EQ(directDraw->CreateSurface(desc, &s), DD_OK);
    return s;
  }

  void Open(const DDPIXELFORMAT& format) {
    target = MakeSurface(kW, kH, format, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY);
    const ScriptedD3DDevice d = DefaultHardwareDevice();
    device = CGLDevice::Create(target, d.hardware, d.emulation, d.textureFormats);
    ASSERT_TRUE(device);
  }

  // Pixels x0..x1, y0..y1 inclusive: edges fall half-way between pixel centres.
  void Rect(int x0, int y0, int x1, int y1, uint32_t diffuse, uint32_t specular = 0xFF000000u, float z = 0.5f,
            float rhwLeft = 1.0f, float rhwRight = 1.0f) {
    const float l = x0 - 0.5f, r = x1 + 0.5f, t = y0 - 0.5f, b = y1 + 0.5f;
    Vertex v[4] = {{l, t, z, rhwLeft, diffuse, specular, 0, 0, 0, 0},
                   {r, t, z, rhwRight, diffuse, specular, 1, 0, 1, 0},
                   {r, b, z, rhwRight, diffuse, specular, 1, 1, 1, 1},
                   {l, b, z, rhwLeft, diffuse, specular, 0, 1, 0, 1}};
    const uint16_t indices[6] = {0, 1, 2, 0, 2, 3};  // clockwise on screen: kept by CCW culling
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, v, 4, indices, 6, 0), D3D_OK);
  }

  Rgb Read(int x, int y) const {
    const DDPIXELFORMAT& f = target->Format();
    uint32_t p = 0;
    std::memcpy(&p, target->Pixels() + y * target->Pitch() + x * (f.dwRGBBitCount / 8), f.dwRGBBitCount / 8);
    auto expand = [&](DWORD mask) {
      const int shift = __builtin_ctz(mask);
      const uint32_t top = mask >> shift;
      return static_cast<int>(((p & mask) >> shift) * 255 / top);
    };
    return {expand(f.dwRBitMask), expand(f.dwGBitMask), expand(f.dwBBitMask)};
  }

  std::unique_ptr<IDirectDraw4> directDraw;
  std::shared_ptr<IDirectDrawSurface4> target;
  std::shared_ptr<IDirectDrawSurface4> texture;
  std::unique_ptr<CGLDevice> device;
};

Rgb Mix(const Rgb& a, const Rgb& b, float t) {  // a * (1 - t) + b * t
  return {static_cast<int>(std::lround(a[0] * (1 - t) + b[0] * t)),
          static_cast<int>(std::lround(a[1] * (1 - t) + b[1] * t)),
          static_cast<int>(std::lround(a[2] * (1 - t) + b[2] * t))};
}

// Every render state below the count and every named stage state of both stages keeps its own
// value; the counts themselves and a third stage are refused.
void ExpectStatesKeptApart(IDirect3DDevice3& device) {
  for (DWORD state = 0; state < D3DRENDERSTATE_COUNT; ++state)
    ASSERT_EQ(device.SetRenderState(static_cast<D3DRENDERSTATETYPE>(state), 1000 + state), D3D_OK);
  const D3DTEXTURESTAGESTATETYPE types[] = {
      D3DTSS_COLOROP,   D3DTSS_COLORARG1,     D3DTSS_COLORARG2,    D3DTSS_ALPHAOP,  D3DTSS_ALPHAARG1,
      D3DTSS_ALPHAARG2, D3DTSS_TEXCOORDINDEX, D3DTSS_ADDRESSU,     D3DTSS_ADDRESSV, D3DTSS_MAGFILTER,
      D3DTSS_MINFILTER, D3DTSS_MIPFILTER,     D3DTSS_MIPMAPLODBIAS};
  for (DWORD stage = 0; stage < 2; ++stage)
    for (DWORD i = 0; i < std::size(types); ++i)
      ASSERT_EQ(device.SetTextureStageState(stage, types[i], 100 * stage + i), D3D_OK);
  DWORD got = 0;
  for (DWORD state = 0; state < D3DRENDERSTATE_COUNT; ++state)
    EXPECT_TRUE(device.GetRenderState(static_cast<D3DRENDERSTATETYPE>(state), &got) == D3D_OK && got == 1000 + state)
        << "state " << state << " reads " << got;
  for (DWORD stage = 0; stage < 2; ++stage)
    for (DWORD i = 0; i < std::size(types); ++i)
      EXPECT_TRUE(device.GetTextureStageState(stage, types[i], &got) == D3D_OK && got == 100 * stage + i)
          << "stage " << stage << " type " << types[i] << " reads " << got;
  EXPECT_EQ(device.SetRenderState(D3DRENDERSTATE_COUNT, 1), DDERR_INVALIDPARAMS);
  EXPECT_EQ(device.GetRenderState(D3DRENDERSTATE_COUNT, &got), DDERR_INVALIDPARAMS);
  EXPECT_EQ(device.SetTextureStageState(0, D3DTSS_COUNT, 1), DDERR_INVALIDPARAMS);
  EXPECT_EQ(device.SetTextureStageState(2, D3DTSS_COLOROP, 1), DDERR_INVALIDPARAMS);
  EXPECT_EQ(device.SetTexture(2, nullptr), DDERR_INVALIDPARAMS);
  // Its caps are the ones it was made with.
  const ScriptedD3DDevice made = DefaultHardwareDevice();
  D3DDEVICEDESC hardware{}, emulation{};
  hardware.dwMaxTextureWidth = emulation.dwMaxTextureWidth = 12345;  // shows a record left unfilled
  EXPECT_EQ(device.GetCaps(&hardware, &emulation), D3D_OK);
  EXPECT_EQ(0, std::memcmp(&hardware, &made.hardware, sizeof(hardware)));
  EXPECT_EQ(0, std::memcmp(&emulation, &made.emulation, sizeof(emulation)));
}

TEST_F(GLDeviceTest, DrawsAKnownFrameAndReadsItBackInTheSurfaceFormat) {
  for (const DDPIXELFORMAT& format : {PixelFormatX888(), PixelFormat565()}) {
    Open(format);
    const int tolerance = format.dwRGBBitCount == 32 ? 3 : 9;
    std::vector<Rgb> expected(kW * kH, Rgb{0x10, 0x20, 0x30});
    auto fill = [&](int x0, int y0, int x1, int y1, const std::function<Rgb(int, int, const Rgb&)>& f) {
      for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) expected[y * kW + x] = f(x, y, expected[y * kW + x]);
    };
    device->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);  // no alpha stage: the diffuse alpha as it is
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030u, 0.8f, 0), D3D_OK);

    // Flat, opaque.
    Rect(2, 2, 17, 13, 0xFFC04020u);
    fill(2, 2, 17, 13, [](int, int, const Rgb&) { return Rgb{0xC0, 0x40, 0x20}; });
    // Behind it or the cleared depth: hidden. With depth writes off, a nearer rectangle leaves no depth.
    Rect(0, 0, 8, 8, 0xFF00FF00u, 0xFF000000u, 0.9f);
    device->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, 0);
    Rect(12, 4, 15, 8, 0xFF0000FFu, 0xFF000000u, 0.05f);
    fill(12, 4, 15, 8, [](int, int, const Rgb&) { return Rgb{0, 0, 0xFF}; });
    device->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, 1);
    Rect(12, 9, 15, 11, 0xFFFFFF00u, 0xFF000000u, 0.3f);  // z 0.3 > 0.05 would be hidden had it written
    fill(12, 9, 15, 11, [](int, int, const Rgb&) { return Rgb{0xFF, 0xFF, 0}; });
    // At the same depth as what is there, the later draw wins.
    Rect(2, 12, 5, 13, 0xFF20C040u);
    fill(2, 12, 5, 13, [](int, int, const Rgb&) { return Rgb{0x20, 0xC0, 0x40}; });

    // Textured, perspective-correct: 16 texels across, rhw 1 on the left and 0.25 on the right.
    texture = MakeSurface(16, 1, PixelFormat8888(), DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY);
    device->SetTexture(0, texture.get());  // drawn blank first: the device must take up the texels below
    Rect(20, 2, 51, 9, 0xFFFFFFFFu, 0xFF000000u, 0.5f, 1.0f, 0.25f);
    for (int i = 0; i < 16; ++i) {
      const uint32_t texel = 0xFF000000u | static_cast<uint32_t>(i * 16) << 16 | 0x8000u | static_cast<uint32_t>(255 - i * 16);
      std::memcpy(texture->Pixels() + 4 * i, &texel, 4);
    }
    texture->TouchContent();
    Rect(20, 2, 51, 9, 0xFFFFFFFFu, 0xFF000000u, 0.5f, 1.0f, 0.25f);
    std::vector<bool> skip(kW * kH, false);
    fill(20, 2, 51, 9, [&](int x, int y, const Rgb&) {
      const float t = (x - 19.5f) / 32.0f;
      const float u = (t * 0.25f) / ((1 - t) * 1.0f + t * 0.25f);
      const float texel = u * 16;
      if (std::fabs(texel - std::round(texel)) < 0.1f) skip[y * kW + x] = true;  // on a texel edge
      const int i = std::min(15, static_cast<int>(texel));
      return Rgb{i * 16, 0x80, 255 - i * 16};
    });
    device->SetTexture(0, nullptr);

    // Fog: the specular alpha is the share of the colour that stays.
    device->SetRenderState(D3DRENDERSTATE_FOGENABLE, 1);
    device->SetRenderState(D3DRENDERSTATE_FOGCOLOR, 0x000080FFu);
    Rect(2, 16, 17, 21, 0xFFFFFFFFu, 0x40000000u);
    fill(2, 16, 17, 21, [](int, int, const Rgb&) { return Mix({0, 0x80, 0xFF}, {0xFF, 0xFF, 0xFF}, 0x40 / 255.0f); });
    Rect(2, 22, 17, 27, 0xFFFFFFFFu, 0x00000000u);  // none stays: the fog colour alone
    fill(2, 22, 17, 27, [](int, int, const Rgb&) { return Rgb{0, 0x80, 0xFF}; });
    device->SetRenderState(D3DRENDERSTATE_FOGENABLE, 0);

    // The three blend modes over the clear colour.
    Rect(20, 16, 29, 27, 0x8000FF00u);  // normal: alpha 0x80
    fill(20, 16, 29, 27, [](int, int, const Rgb& d) { return Mix(d, {0, 0xFF, 0}, 0x80 / 255.0f); });
    device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);  // additive
    Rect(32, 16, 41, 27, 0x80604020u);
    fill(32, 16, 41, 27, [](int, int, const Rgb& d) {
      const float a = 0x80 / 255.0f;
      return Rgb{std::min(255, static_cast<int>(std::lround(d[0] + 0x60 * a))),
                 std::min(255, static_cast<int>(std::lround(d[1] + 0x40 * a))),
                 std::min(255, static_cast<int>(std::lround(d[2] + 0x20 * a)))};
    });
    device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ZERO);  // darkening
    device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCCOLOR);
    Rect(44, 16, 55, 27, 0xFF808000u);
    fill(44, 16, 55, 27, [](int, int, const Rgb& d) {
      return Rgb{static_cast<int>(std::lround(d[0] * (1 - 0x80 / 255.0f))),
                 static_cast<int>(std::lround(d[1] * (1 - 0x80 / 255.0f))), d[2]};
    });
    device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);

    // A counter-clockwise triangle on screen is culled; with culling off it is drawn.
    Vertex ccw[3] = {{2.5f, 31.5f, 0.5f, 1, 0xFFFF0000u, 0xFF000000u, 0, 0, 0, 0},
                     {2.5f, 45.5f, 0.5f, 1, 0xFFFF0000u, 0xFF000000u, 0, 0, 0, 0},
                     {30.5f, 31.5f, 0.5f, 1, 0xFFFF0000u, 0xFF000000u, 0, 0, 0, 0}};
    const uint16_t tri[3] = {0, 1, 2};
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, ccw, 3, tri, 3, 0), D3D_OK);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    for (Vertex& v : ccw) v.x += 32;
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, ccw, 3, tri, 3, 0), D3D_OK);
    for (int y = 32; y <= 45; ++y)
      for (int x = 35; x <= 62; ++x) {
        // Inside: left of the hypotenuse from (34.5, 45.5) to (62.5, 31.5); near it is skipped.
        const float side = (x - 34.5f) * (31.5f - 45.5f) - (y - 45.5f) * (62.5f - 34.5f);
        if (std::fabs(side) < 40) skip[y * kW + x] = true;
        else if (side > 0) expected[y * kW + x] = {0xFF, 0, 0};
      }
    ASSERT_EQ(device->EndScene(), D3D_OK);
    // An index past the vertices is refused before anything is drawn.
    const uint16_t bad[3] = {0, 1, 3};
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, ccw, 3, bad, 3, 0), DDERR_INVALIDPARAMS);

    device->SyncToSurface();
    int wrong = 0, checked = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        if (skip[y * kW + x]) continue;
        ++checked;
        const Rgb got = Read(x, y), want = expected[y * kW + x];
        bool bad_pixel = false;
        for (int c = 0; c < 3; ++c) bad_pixel |= std::abs(got[c] - want[c]) > tolerance;
        if (bad_pixel && ++wrong <= 5)
          ADD_FAILURE() << "pixel " << x << "," << y << " got " << got[0] << "," << got[1] << "," << got[2]
                        << " want " << want[0] << "," << want[1] << "," << want[2];
      }
    EXPECT_EQ(wrong, 0) << format.dwRGBBitCount;
    EXPECT_GT(checked, kW * kH * 9 / 10);
  }
}

// A fresh device reports the states it starts with, and a caller that saves a blend factor and
// puts it back gets the start-up blend again: ONE, ZERO, the drawn colour replacing the frame
// whatever its alpha. Both devices then keep every state apart.
TEST_F(GLDeviceTest, StartUpStatesAreReportedAndABlendedDrawWithThemReplacesTheFrame) {
  Open(PixelFormatX888());
  const std::pair<D3DRENDERSTATETYPE, DWORD> startUp[] = {
      {D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE},    {D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO},
      {D3DRENDERSTATE_ZWRITEENABLE, 1},           {D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID},
      {D3DRENDERSTATE_CULLMODE, D3DCULL_CCW},     {D3DRENDERSTATE_ALPHABLENDENABLE, 0}};
  for (const auto& [state, want] : startUp) {
    DWORD got = 0xDEAD;
    ASSERT_EQ(device->GetRenderState(state, &got), D3D_OK);
    EXPECT_EQ(got, want) << "state " << state;
  }
  D3DVIEWPORT2 viewport{};
  EXPECT_TRUE(device->GetViewport(&viewport) == D3D_OK && viewport.dwWidth == kW && viewport.dwHeight == kH) << "the target's size";
  DWORD savedSource = 0;
  device->GetRenderState(D3DRENDERSTATE_SRCBLEND, &savedSource);
  device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRENDERSTATE_SRCBLEND, savedSource);
  device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030u, 1.0f, 0), D3D_OK);
  Rect(4, 4, 20, 20, 0x40C08040u);  // a quarter alpha: ignored by ONE, ZERO
  ASSERT_EQ(device->EndScene(), D3D_OK);
  device->SyncToSurface();
  EXPECT_EQ(Read(10, 10), (Rgb{0xC0, 0x80, 0x40}));
  EXPECT_EQ(Read(30, 30), (Rgb{0x10, 0x20, 0x30}));
  ExpectStatesKeptApart(*device);
  const ScriptedD3DDevice d = DefaultHardwareDevice();
  CRecordingDevice recording(target, d.hardware, d.emulation, d.textureFormats);
  ExpectStatesKeptApart(recording);
}

TEST_F(GLDeviceTest, CpuChangesAreTakenUpAndRenderTargetsSwitch) {
  Open(PixelFormat565());
  // The CPU paints the surface; a blended draw must see those pixels underneath.
  target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, 0xF800);  // red
  device->SyncFromSurface();
  device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  Rect(0, 0, kW - 1, kH - 1, 0x800000FFu);
  device->EndScene();
  device->SyncToSurface();
  const Rgb mixed = Read(10, 10);
  EXPECT_NEAR(mixed[0], 0x7F, 9);
  EXPECT_NEAR(mixed[2], 0x80, 9);

  // Draw into a texture surface, then use it as a texture on the first target.
  auto slot = MakeSurface(8, 8, PixelFormat565(), DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY);
  std::shared_ptr<IDirectDrawSurface4> first = target;
  ASSERT_EQ(device->SetRenderTarget(slot), D3D_OK);
  target = slot;
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0), D3D_OK);
  ASSERT_EQ(device->SetRenderTarget(first), D3D_OK);
  target = first;
  device->SetTexture(0, slot.get());
  device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  Rect(0, 0, kW - 1, kH - 1, 0xFFFFFFFFu);
  device->EndScene();
  device->SyncToSurface();
  EXPECT_EQ(Read(30, 30), (Rgb{0, 255, 0}));
  uint16_t texel;
  std::memcpy(&texel, slot->Pixels(), 2);
  EXPECT_EQ(texel, 0x07E0) << "the slot's drawing reached its surface when it was used as a texture";
  // Drawn on again while another target is current: a CPU sync still brings it to the surface.
  ASSERT_EQ(device->SetRenderTarget(slot), D3D_OK);
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0), D3D_OK);
  ASSERT_EQ(device->SetRenderTarget(first), D3D_OK);
  device->SyncToSurface();
  std::memcpy(&texel, slot->Pixels(), 2);
  EXPECT_EQ(texel, 0xF800);
  EXPECT_EQ(device->SetRenderTarget(nullptr), DDERR_INVALIDPARAMS);
  // A surface that was a target is not kept alive by the device once its owner lets it go.
  const std::weak_ptr<IDirectDrawSurface4> gone = slot;
  slot.reset();
  EXPECT_TRUE(gone.expired());
  // A surface made after it (perhaps at its address, with its GL names) is a target of its own.
  target = MakeSurface(8, 8, PixelFormat565(), DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY);
  ASSERT_EQ(device->SetRenderTarget(target), D3D_OK);
  device->SyncToSurface();
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  device->SetTexture(0, nullptr);
  Rect(0, 0, 3, 3, 0xFF0000FFu);
  device->EndScene();
  device->SyncToSurface();
  for (int i = 0; i < 64; ++i)  // the corner drawn, the rest as the new surface was
    EXPECT_EQ(Read(i % 8, i / 8), (i % 8 < 4 && i < 32 ? Rgb{0, 0, 255} : Rgb{0, 0, 0})) << i;
}

// A row of pixels across a quad whose u runs from -1 to 2 over a four-texel texture, for each
// addressing mode; then a second stage, the mip level chosen through the LOD bias, and wireframe.
TEST_F(GLDeviceTest, AddressingSecondStageLodBiasAndWireframe) {
  Open(PixelFormatX888());
  texture = MakeSurface(4, 1, PixelFormat8888(), DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY);
  const uint32_t texels[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
  std::memcpy(texture->Pixels(), texels, sizeof(texels));
  texture->TouchContent();
  const Rgb colours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  device->SetTexture(0, texture.get());
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  const DWORD modes[3] = {D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP, D3DTADDRESS_MIRROR};
  for (int m = 0; m < 3; ++m) {
    device->SetTextureStageState(0, D3DTSS_ADDRESSU, modes[m]);
    const float top = 2.5f + 6 * m;
    Vertex v[4] = {{3.5f, top, 0.5f, 1, 0xFFFFFFFFu, 0xFF000000u, -1, 0, 0, 0},
                   {51.5f, top, 0.5f, 1, 0xFFFFFFFFu, 0xFF000000u, 2, 0, 0, 0},
                   {51.5f, top + 4, 0.5f, 1, 0xFFFFFFFFu, 0xFF000000u, 2, 1, 0, 0},
                   {3.5f, top + 4, 0.5f, 1, 0xFFFFFFFFu, 0xFF000000u, -1, 1, 0, 0}};
    const uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, v, 4, quad, 6, 0), D3D_OK);
  }
  device->EndScene();
  device->SyncToSurface();
  for (int m = 0; m < 3; ++m) {
    const int y = 5 + 6 * m;
    for (int x = 4; x <= 51; ++x) {
      const float u = -1.0f + 3.0f * (x - 3.5f) / 48.0f;
      const float t = u * 4;
      if (std::fabs(t - std::round(t)) < 0.2f) continue;  // on a texel edge
      int i = static_cast<int>(std::floor(t));
      if (modes[m] == D3DTADDRESS_WRAP) i = ((i % 4) + 4) % 4;
      if (modes[m] == D3DTADDRESS_CLAMP) i = std::clamp(i, 0, 3);
      if (modes[m] == D3DTADDRESS_MIRROR) {
        const int period = static_cast<int>(std::floor(t / 4));
        const int within = ((i % 4) + 4) % 4;
        i = (period & 1) ? 3 - within : within;
      }
      EXPECT_EQ(Read(x, y), colours[i]) << "mode " << modes[m] << " x " << x;
    }
  }

  // A second stage modulates by its texture through the second coordinates.
  auto half = MakeSurface(1, 1, PixelFormat8888(), DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY);
  const uint32_t grey = 0xFF808080u;
  std::memcpy(half->Pixels(), &grey, 4);
  half->TouchContent();
  auto mips = MakeSurface(8, 8, PixelFormat8888(),
                          DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX | DDSCAPS_SYSTEMMEMORY, 2);
  ASSERT_TRUE(mips && mips->NextMipLevel());
  for (int i = 0; i < 64; ++i) std::memcpy(mips->Pixels() + 4 * i, &texels[0], 4);  // level 0 red
  for (int i = 0; i < 16; ++i) std::memcpy(mips->NextMipLevel()->Pixels() + 4 * i, &texels[1], 4);  // level 1 green
  mips->TouchContent();
  device->SetTexture(0, texture.get());
  device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
  device->SetTexture(1, half.get());
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0), D3D_OK);
  Rect(2, 2, 9, 9, 0xFFFFFFFFu);  // u 0..1: the four colours, halved
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  device->SetTexture(1, nullptr);
  // An 8-texel texture over 8 pixels uses level 0; a bias of +0.75 picks the nearer level 1, unblended.
  device->SetTexture(0, mips.get());
  device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTFP_POINT);
  Rect(20, 2, 27, 9, 0xFFFFFFFFu);
  float bias = 0.75f;
  DWORD bits;
  std::memcpy(&bits, &bias, 4);
  device->SetTextureStageState(0, D3DTSS_MIPMAPLODBIAS, bits);
  Rect(30, 2, 37, 9, 0xFFFFFFFFu);
  // Wireframe: the outline only.
  device->SetTexture(0, nullptr);
  device->SetRenderState(D3DRENDERSTATE_FILLMODE, D3DFILL_WIREFRAME);
  Rect(40, 20, 59, 39, 0xFFFFFF00u);
  device->EndScene();
  device->SyncToSurface();
  for (int x = 2; x <= 9; ++x) {
    const Rgb c = colours[(x - 2) / 2];
    EXPECT_EQ(Read(x, 5), (Rgb{c[0] * 128 / 255, c[1] * 128 / 255, c[2] * 128 / 255})) << x;
  }
  EXPECT_EQ(Read(24, 5), (Rgb{255, 0, 0}));
  EXPECT_EQ(Read(34, 5), (Rgb{0, 255, 0}));
  EXPECT_EQ(Read(52, 26), (Rgb{0, 0, 0})) << "inside a wireframe rectangle, off its diagonal";
  int outline = 0;
  for (int y = 20; y <= 39; ++y) outline += Read(40, y) == Rgb{255, 255, 0} || Read(39, y) == Rgb{255, 255, 0};
  EXPECT_GE(outline, 18) << "its left edge is drawn";
}

}  // namespace
