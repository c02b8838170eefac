// The DirectDraw layer: memory surfaces, chains, video memory, faults and the recording device.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/graphics/DirectDraw.h"
#include "platform/graphics/Gdi.h"
#include "platform/graphics/RecordingDevice.h"

namespace {

class DirectDrawTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetDisplayMachine();
    GetDisplayMachine().videoMemory = 1u << 20;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd), DD_OK);
  }
  void TearDown() override { ResetDisplayMachine(); }

  std::shared_ptr<IDirectDrawSurface4> Make(DWORD w, DWORD h, const DDPIXELFORMAT& f, DWORD caps, DWORD mips = 0) {
    DDSURFACEDESC2 desc;
    desc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | DDSD_CAPS | (mips ? DDSD_MIPMAPCOUNT : 0);
    desc.dwWidth = w;
    desc.dwHeight = h;
    desc.dwMipMapCount = mips;
    desc.ddpfPixelFormat = f;
    desc.ddsCaps.dwCaps = caps;
    std::shared_ptr<IDirectDrawSurface4> s;
    last = dd->CreateSurface(desc, &s);
    return s;
  }
  static uint16_t At16(IDirectDrawSurface4& s, int x, int y) {
    uint16_t v;
    std::memcpy(&v, s.Pixels() + y * s.Pitch() + x * 2, 2);
    return v;
  }

  std::unique_ptr<IDirectDraw4> dd;
  HRESULT last = DD_OK;
};

TEST_F(DirectDrawTest, FormatsLocksAndBlits) {
  struct {
    DDPIXELFORMAT format;
    LONG pitch;
    DWORD masks[4];  // red, green, blue, alpha (depth in red)
  } cases[] = {{PixelFormat565(), 20, {0xF800, 0x07E0, 0x001F, 0}},
               {PixelFormat555(), 20, {0x7C00, 0x03E0, 0x001F, 0}},
               {PixelFormat1555(), 20, {0x7C00, 0x03E0, 0x001F, 0x8000}},
               {PixelFormat4444(), 20, {0x0F00, 0x00F0, 0x000F, 0xF000}},
               {PixelFormat8888(), 40, {0xFF0000, 0xFF00, 0xFF, 0xFF000000u}},
               {PixelFormatX888(), 40, {0xFF0000, 0xFF00, 0xFF, 0}},
               {PixelFormatZ16(), 20, {0xFFFF, 0, 0, 0}}};
  for (const auto& c : cases) {
    const DDPIXELFORMAT& f = c.format;
    const DWORD kind = c.masks[0] == 0xFFFF ? DDPF_ZBUFFER : DDPF_RGB | (c.masks[3] ? DDPF_ALPHAPIXELS : 0);
    EXPECT_TRUE(f.dwFlags == kind && f.dwRGBBitCount == DWORD(c.pitch) * 8 / 10 && f.dwRBitMask == c.masks[0] &&
                f.dwGBitMask == c.masks[1] && f.dwBBitMask == c.masks[2] && f.dwRGBAlphaBitMask == c.masks[3])
        << c.masks[0];
    auto s = Make(10, 6, c.format, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
    ASSERT_TRUE(s);
    DDSURFACEDESC2 desc;
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(desc.lPitch, c.pitch);
    EXPECT_TRUE(SamePixelFormat(desc.ddpfPixelFormat, c.format));
    EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, 1), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
  }
  // Display modes of every depth: their masks, and a pitch of whole bytes per pixel.
  struct {
    DWORD bits, count, r, g, b;
  } modes[] = {{8, 8, 0xE0, 0x1C, 0x03},
               {15, 16, 0x7C00, 0x03E0, 0x001F},
               {16, 16, 0xF800, 0x07E0, 0x001F},
               {24, 24, 0xFF0000, 0xFF00, 0xFF},
               {32, 32, 0xFF0000, 0xFF00, 0xFF}};
  for (const auto& m : modes) {
    const DDSURFACEDESC2 mode = DisplayModeDesc(640, 480, m.bits);
    const DDPIXELFORMAT& f = mode.ddpfPixelFormat;
    EXPECT_EQ(mode.dwFlags, DWORD(DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | DDSD_PITCH | DDSD_REFRESHRATE));
    EXPECT_TRUE(mode.dwWidth == 640 && mode.dwHeight == 480 && mode.dwRefreshRate == 60 &&
                mode.lPitch == LONG(640 * m.count / 8))
        << m.bits;
    EXPECT_TRUE(f.dwFlags == DDPF_RGB && f.dwRGBBitCount == m.count && f.dwRBitMask == m.r && f.dwGBitMask == m.g &&
                f.dwBBitMask == m.b && f.dwRGBAlphaBitMask == 0)
        << m.bits;
  }

  // A filled rectangle copied with a 2x stretch, then back with BltFast, lands exactly.
  auto a = Make(8, 8, PixelFormat565(), DDSCAPS_SYSTEMMEMORY);
  auto b = Make(16, 16, PixelFormat565(), DDSCAPS_SYSTEMMEMORY);
  RECT r{2, 3, 4, 5};
  ASSERT_EQ(a->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL, 0xF81F), DD_OK);
  ASSERT_EQ(b->Blt(nullptr, a.get(), nullptr, DDBLT_WAIT, 0), DD_OK);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool inside = x >= 4 && x < 8 && y >= 6 && y < 10;
      EXPECT_EQ(At16(*b, x, y), inside ? 0xF81F : 0) << x << "," << y;
    }
  RECT from{4, 6, 8, 10};
  auto c = Make(8, 8, PixelFormat565(), DDSCAPS_SYSTEMMEMORY);
  ASSERT_EQ(c->BltFast(4, 4, b.get(), &from, DDBLTFAST_WAIT), DD_OK);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(At16(*c, i % 8, i / 8), i % 8 >= 4 && i >= 32 ? 0xF81F : 0) << i;
  EXPECT_EQ(c->BltFast(5, 5, b.get(), &from, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
  // A destination hanging off the surface is refused, unless a clipper keeps the part on it: the
  // 2x stretch of b's square then lands with its left and top halves cut away.
  const RECT hanging{-4, -6, 12, 10};
  EXPECT_EQ(c->Blt(&hanging, b.get(), nullptr, DDBLT_WAIT, 0), DDERR_INVALIDRECT);
  IDirectDrawClipper clipper;
  ASSERT_EQ(c->SetClipper(&clipper), DD_OK);
  ASSERT_EQ(c->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, 0), DD_OK);
  ASSERT_EQ(c->Blt(&hanging, a.get(), nullptr, DDBLT_WAIT, 0), DD_OK);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(At16(*c, i % 8, i / 8), i % 8 < 4 && i / 8 < 4 ? 0xF81F : 0) << i;
  const RECT away{8, 0, 12, 4};
  EXPECT_EQ(c->Blt(&away, a.get(), nullptr, DDBLT_WAIT, 0), DD_OK) << "nothing of it shows";
  auto other = Make(8, 8, PixelFormat4444(), DDSCAPS_SYSTEMMEMORY);
  EXPECT_EQ(other->BltFast(0, 0, a.get(), nullptr, 0), DDERR_INVALIDPIXELFORMAT);
}

TEST_F(DirectDrawTest, FlipChainLossGammaAndDc) {
  ResetDisplayMachine();  // the default machine, with its 16 MB of video memory
  ASSERT_EQ(DirectDrawCreate(nullptr, &dd), DD_OK);
  DDSURFACEDESC2 desc;
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 1;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
  std::shared_ptr<IDirectDrawSurface4> primary;
  ASSERT_EQ(dd->CreateSurface(desc, &primary), DD_OK);
  EXPECT_EQ(primary->Width(), 640u);
  std::shared_ptr<IDirectDrawSurface4> back;
  DDSCAPS2 caps;
  caps.dwCaps = DDSCAPS_BACKBUFFER;
  ASSERT_EQ(primary->GetAttachedSurface(caps, &back), DD_OK);
  DDCAPS hardware{};
  EXPECT_EQ(dd->GetCaps(&hardware, nullptr) == DD_OK ? hardware.dwVidMemTotal : 0, 16u << 20);
  ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, 0x1234), DD_OK);
  const uint64_t stamps[2] = {primary->ContentStamp(), back->ContentStamp()};
  ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  EXPECT_TRUE(primary->ContentStamp() != stamps[0] && back->ContentStamp() != stamps[1]) << "both changed";
  EXPECT_EQ(At16(*primary, 639, 479), 0x1234);
  EXPECT_EQ(At16(*back, 0, 0), 0);

  dd->LoseAllSurfaces();
  EXPECT_EQ(primary->IsLost(), DDERR_SURFACELOST);
  DDSURFACEDESC2 locked;
  EXPECT_EQ(back->Lock(nullptr, &locked, 0, nullptr), DDERR_SURFACELOST);
  HDC dc = GetDC(nullptr);  // a refused DC leaves no handle behind
  EXPECT_TRUE(back->GetDC(&dc) == DDERR_SURFACELOST && dc == nullptr);
  EXPECT_EQ(primary->Flip(nullptr, 0), DDERR_SURFACELOST);
  EXPECT_EQ(primary->Restore(), DD_OK);
  EXPECT_EQ(back->Restore(), DD_OK);
  EXPECT_EQ(primary->Flip(nullptr, 0), DD_OK);

  DDGAMMARAMP ramp;
  ASSERT_EQ(primary->GetGammaRamp(0, &ramp), DD_OK);
  EXPECT_EQ(ramp.green[255], 0xFFFF);
  ramp.red[3] = 7;
  ASSERT_EQ(primary->SetGammaRamp(0, &ramp), DD_OK);
  DDGAMMARAMP again;
  primary->GetGammaRamp(0, &again);
  EXPECT_EQ(again.red[3], 7);
  EXPECT_EQ(back->GetGammaRamp(0, &again), DDERR_UNSUPPORTED);
  EXPECT_EQ(primary->DeleteAttachedSurface(0, back.get()), DD_OK);
  EXPECT_EQ(primary->DeleteAttachedSurface(0, back.get()), DDERR_SURFACENOTATTACHED) << "it went the first time";

  // What GDI draws into the surface's DC is in the surface after the release, in its 5-6-5 layout.
  ASSERT_EQ(back->GetDC(&dc), DD_OK);
  EXPECT_EQ(back->Lock(nullptr, &locked, 0, nullptr), DDERR_SURFACEBUSY);
  SetPixel(dc, 5, 6, RGB(255, 0, 0));
  ASSERT_EQ(back->ReleaseDC(dc), DD_OK);
  EXPECT_EQ(At16(*back, 5, 6), 0xF800);
  // The screen's DC is a token; giving it back reports a release as GDI does, with 1.
  EXPECT_EQ(ReleaseDC(nullptr, GetDC(nullptr)), 1);
}

TEST_F(DirectDrawTest, VideoMemoryMipChainsAndFaults) {
  const DWORD start = 1u << 20;
  DWORD total = 0, free = 0;
  dd->GetAvailableVidMem(DDSCAPS2{}, &total, &free);
  EXPECT_EQ(total, start);
  {
    auto tex = Make(64, 64, PixelFormat565(), DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX, 5);
    ASSERT_TRUE(tex);
    // 64, 32, 16, 8 and 4 texels a side, two bytes each.
    dd->GetAvailableVidMem(DDSCAPS2{}, &total, &free);
    EXPECT_EQ(free, start - 2 * (64 * 64 + 32 * 32 + 16 * 16 + 8 * 8 + 4 * 4));
    int levels = 0;
    for (IDirectDrawSurface4* s = tex.get(); s; s = s->NextMipLevel()) {
      EXPECT_EQ(s->Width(), 64u >> levels);
      ++levels;
    }
    EXPECT_EQ(levels, 5);
    auto sys = Make(256, 256, PixelFormat8888(), DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY);
    dd->GetAvailableVidMem(DDSCAPS2{}, &total, &free);
    EXPECT_EQ(free, start - 2 * (64 * 64 + 32 * 32 + 16 * 16 + 8 * 8 + 4 * 4));
  }
  dd->GetAvailableVidMem(DDSCAPS2{}, &total, &free);
  EXPECT_EQ(free, start);

  // The memory runs out exactly at the budget: two 512x512 16-bit surfaces fill 1 MB.
  auto big1 = Make(512, 512, PixelFormat565(), DDSCAPS_TEXTURE);
  auto big2 = Make(512, 512, PixelFormat565(), DDSCAPS_TEXTURE);
  EXPECT_TRUE(big1 && big2);
  EXPECT_FALSE(Make(1, 1, PixelFormat565(), DDSCAPS_TEXTURE));
  EXPECT_EQ(last, DDERR_OUTOFVIDEOMEMORY);
  EXPECT_TRUE(Make(1, 1, PixelFormat565(), DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY));
  big1.reset();
  big2.reset();

  GetDisplayMachine().faults.failCreateSurfaceAt = 3;
  EXPECT_TRUE(Make(4, 4, PixelFormat565(), DDSCAPS_TEXTURE));
  EXPECT_TRUE(Make(4, 4, PixelFormat565(), DDSCAPS_TEXTURE));
  EXPECT_FALSE(Make(4, 4, PixelFormat565(), DDSCAPS_TEXTURE));
  EXPECT_EQ(last, DDERR_GENERIC);
  EXPECT_TRUE(Make(4, 4, PixelFormat565(), DDSCAPS_TEXTURE));
  GetDisplayMachine().faults.outOfVideoMemory = true;
  EXPECT_FALSE(Make(4, 4, PixelFormat565(), DDSCAPS_TEXTURE));
  EXPECT_EQ(last, DDERR_OUTOFVIDEOMEMORY);
}

TEST_F(DirectDrawTest, RecordingDeviceLogsAndClears) {
  auto target = Make(4, 2, PixelFormat565(), DDSCAPS_3DDEVICE | DDSCAPS_OFFSCREENPLAIN);
  IDirect3D3* d3d = nullptr;
  ASSERT_EQ(dd->QueryDirect3D(&d3d), DD_OK);
  std::unique_ptr<IDirect3DDevice3> device;
  ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device), D3D_OK);
  auto* rec = dynamic_cast<CRecordingDevice*>(device.get());
  ASSERT_TRUE(rec);
  device->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_TRUE);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  EXPECT_EQ(device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
  EXPECT_EQ(device->BeginScene(), D3D_OK);
  EXPECT_EQ(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
  float verts[30] = {};
  const uint16_t good[3] = {0, 1, 2}, bad[3] = {0, 1, 3};
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, verts, 3, good, 3, 0), D3D_OK);
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, verts, 3, bad, 3, 0), DDERR_INVALIDPARAMS);
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF00FF00u, 1.0f, 0);
  ASSERT_EQ(rec->Log().size(), 5u);
  EXPECT_EQ(rec->Log()[0].kind, DeviceCallKind::RenderState);
  EXPECT_EQ(rec->Log()[0].a, D3DRENDERSTATE_ZENABLE);
  EXPECT_EQ(rec->Log()[1].kind, DeviceCallKind::StageState);
  EXPECT_EQ(rec->Log()[1].c, D3DTOP_DISABLE);
  EXPECT_EQ(rec->Log()[2].kind, DeviceCallKind::BeginScene);
  EXPECT_EQ(rec->Log()[3].kind, DeviceCallKind::DrawTriangles);
  EXPECT_EQ(rec->Log()[3].b, 3u);
  EXPECT_EQ(rec->Log()[4].kind, DeviceCallKind::Clear);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(At16(*target, x, 1), 0x07E0);
  // A texture binding is logged with the stage it went to, so a replay binds the same unit.
  rec->ClearLog();
  EXPECT_EQ(device->SetTexture(1, target.get()), D3D_OK);
  EXPECT_EQ(device->SetTexture(2, target.get()), DDERR_INVALIDPARAMS);
  ASSERT_EQ(rec->Log().size(), 1u);
  EXPECT_EQ(rec->Log()[0].kind, DeviceCallKind::Texture);
  EXPECT_EQ(rec->Log()[0].a, 1u);
  EXPECT_EQ(rec->Log()[0].object, target.get());

  GetDisplayMachine().faults.failCreateDevice = true;
  EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device), D3DERR_INITFAILED);
  EXPECT_FALSE(device);
}

}  // namespace
