// The hardware back end's buffers: locks and device contexts, render targets, the presented
// frame with its statistics line, screenshots and the gamma ramp.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/data/DebugPrintf.h"
#include "platform/graphics/Gdi.h"
#include "platform/system/Platform.h"
#include "render/hardware/D3DRasterizer.h"
#include "render/hardware/DDErrorText.h"
#include "render/image/Texture.h"

namespace {

void PrintError(HRESULT result) { DebugPrintf("%s", DDErrorToString(result)); }

// The tiny font through GDI pixels, so the text lands wherever the DC's bitmap lives.
void WriteText(HDC dc, int x, int y, const char* text, COLORREF colour) {
  for (; *text; ++text, x += 6) {
    const uint8_t* glyph = plat::TinyGlyph(*text);
    if (!glyph) continue;
    for (int row = 0; row < 7; ++row)
      for (int column = 0; column < 5; ++column)
        if (glyph[row] & (0x10 >> column)) SetPixel(dc, x + column, y + row, colour);
  }
}

}  // namespace

PixelBufferDesc* CD3DRasterizer::LockSurface(IDirectDrawSurface4* surface, PixelBufferDesc* desc) {
  if (!surface) return nullptr;
  m_framework->RestoreSurfaces();
  if (IDirect3DDevice3* device = Device()) device->SyncToSurface();
  DDSURFACEDESC2 locked;
  const HRESULT result = surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr);
  if (result != DD_OK) {
    PrintError(result);
    return nullptr;
  }
  *desc = DescribeSurface(locked);
  return desc;
}

void CD3DRasterizer::UnlockSurface(IDirectDrawSurface4* surface) {
  if (!surface) return;
  if (HRESULT result = surface->Unlock(nullptr); result != DD_OK) PrintError(result);
  if (IDirect3DDevice3* device = Device()) device->SyncFromSurface();
}

namespace {
IDirectDrawSurface4* BackOf(const CDisplayFramework& framework) {
  return framework.BackBuffer() ? framework.BackBuffer() : framework.RenderTarget();
}
}  // namespace

PixelBufferDesc* CD3DRasterizer::LockBackBuffer() { return LockSurface(BackOf(*m_framework), &m_backDesc); }
void CD3DRasterizer::UnlockBackBuffer() { UnlockSurface(BackOf(*m_framework)); }
PixelBufferDesc* CD3DRasterizer::LockFrontBuffer() { return LockSurface(m_framework->Primary(), &m_frontDesc); }
void CD3DRasterizer::UnlockFrontBuffer() { UnlockSurface(m_framework->Primary()); }
PixelBufferDesc* CD3DRasterizer::LockZBuffer() { return LockSurface(m_framework->DepthBuffer(), &m_backDesc); }
void CD3DRasterizer::UnlockZBuffer() { UnlockSurface(m_framework->DepthBuffer()); }

long CD3DRasterizer::GetBackBufferDC(HDC* dc) {
  IDirectDrawSurface4* back = BackOf(*m_framework);
  if (!dc) return DDERR_INVALIDPARAMS;
  *dc = nullptr;
  if (!back) return DDERR_NODC;
  if (IDirect3DDevice3* device = Device()) device->SyncToSurface();
  const HRESULT result = back->GetDC(dc);
  if (result != DD_OK) *dc = nullptr;
  return result;
}

long CD3DRasterizer::ReleaseBackBufferDC(HDC dc) {
  IDirectDrawSurface4* back = BackOf(*m_framework);
  if (!back) return DDERR_NODC;
  const HRESULT result = back->ReleaseDC(dc);
  if (IDirect3DDevice3* device = Device()) device->SyncFromSurface();
  return result;
}

long CD3DRasterizer::GetFrontBufferDC(HDC* dc) {
  if (!dc) return DDERR_INVALIDPARAMS;
  if (!m_framework->IsFullScreen()) {
    *dc = ::GetDC(m_framework->Window());
    return DD_OK;
  }
  IDirectDrawSurface4* primary = m_framework->Primary();
  const HRESULT result = primary ? primary->GetDC(dc) : DDERR_NODC;
  if (result != DD_OK) {
    *dc = nullptr;
    DebugPrintf("Error GetFrontBufferDC\n");
    PrintError(result);
  }
  return result;
}

long CD3DRasterizer::ReleaseFrontBufferDC(HDC dc) {
  if (!m_framework->IsFullScreen()) {
    ::ReleaseDC(m_framework->Window(), dc);
    return DD_OK;
  }
  IDirectDrawSurface4* primary = m_framework->Primary();
  const HRESULT result = primary ? primary->ReleaseDC(dc) : DDERR_NODC;
  if (result != DD_OK) {
    DebugPrintf("Error ReleaseFrontBufferDC\n");
    PrintError(result);
  }
  return result;
}

bool CD3DRasterizer::SetRenderTarget(CTexture* target, uint32_t, uint32_t, uint32_t) {
  if (!Device()) return false;
  if (target) {
    // A picture of its own (in memory or in its file) is never drawn over.
    if (target->HasPixelSource()) return false;
    // A texture that holds no cache slot has no surface to draw into: that is a failure the
    // caller must see. Answering true with nothing changed would leave the back buffer the
    // target, and the projected shadow that asks for the texture would draw its white-and-black
    // silhouette across the frame instead of into its texture.
    auto* cached = dynamic_cast<CCachedTexture*>(target->deviceTexture);
    // In a slot of its own, so that no texture drawn later in the frame takes over its drawing.
    TextureSlot* slot = cached && m_cache->ReserveRenderTarget(cached) ? m_cache->FindSlotRecord(cached) : nullptr;
    if (!slot || !slot->surface) return false;
    if (m_framework->SetRenderTarget(slot->surface) != DD_OK) return false;
  } else if (m_framework->RestoreRenderTarget() != DD_OK) {
    return false;
  }
  ReadTargetDesc();
  return true;
}

void CD3DRasterizer::DrawStatistics(HDC dc) {
  const DWORD now = timeGetTime();
  const DWORD milliseconds = std::max<DWORD>(now - m_lastPresent, 1);
  m_lastPresent = now;
  m_frameTimes[m_ringIndex] = milliseconds * 0.001;
  m_ringIndex = (m_ringIndex + 1) % m_frameTimes.size();
  double average = 0.0;
  for (double t : m_frameTimes) average += t;
  average *= 0.125;
  if (average < 0.001) average = 0.001;
  char text[64];
  std::snprintf(text, sizeof(text), "%i Polys, %.2f FPS", static_cast<int>(m_triangles), 1.0 / average);
  m_lastStatistics = text;
  if (dc) WriteText(dc, 0, 0, text, RGB(0, 0xFF, 0));
}

void CD3DRasterizer::PresentFrame() {
  HDC dc = nullptr;
  const long got = GetBackBufferDC(&dc);
  if (m_statistics) DrawStatistics(got == DD_OK ? dc : nullptr);
  if (dc) ReleaseBackBufferDC(dc);
  m_triangles = 0;
  if (IDirect3DDevice3* device = Device()) device->SyncToSurface();
  if (HRESULT result = m_framework->Present(); result != DD_OK) {
    PrintError(result);
    return;
  }
  // The finished frame sits in the back buffer (windowed) or the primary (after a flip); the
  // window shows it through the platform's presenter.
  IDirectDrawSurface4* shown = m_framework->IsFullScreen() ? m_framework->Primary() : m_framework->BackBuffer();
  if (!shown || !m_framework->Window()) return;
  const DDPIXELFORMAT& f = shown->Format();
  const int bits = f.dwRGBBitCount == 16 ? (f.dwGBitMask == kGreenMask555 ? 15 : 16) : 32;
  plat::PresentPixels(m_framework->Window(), shown->Pixels(), static_cast<int>(shown->Width()),
                      static_cast<int>(shown->Height()), shown->Pitch(), bits);
}

void CD3DRasterizer::SaveScreenShot(const char* path) {
  if (!path) return;
  IDirectDrawSurface4* back = BackOf(*m_framework);
  if (!back) return;
  const int width = static_cast<int>(back->Width()), height = static_cast<int>(back->Height());
  // A new display mode gives a new size: the kept picture follows it so the copy stays inside.
  if (!m_screenShot || m_screenShot->width != width || m_screenShot->height != height)
    m_screenShot = std::make_unique<CBitmapImage>(width, height, 15);
  if (!(m_screenShot->flags & CImage::kValid)) return;
  PixelBufferDesc desc;
  if (!LockSurface(back, &desc)) {
    // Writing the previous picture under this name would pass an old frame off as this one.
    DebugPrintf("SaveScreenShot: the back buffer could not be locked; %s not written\n", path);
    return;
  }
  const bool is555 = desc.greenMask == kGreenMask555;
  const bool sixteen = desc.bytesPerPixel == 2;
  for (int y = 0; y < height; ++y) {
    const auto* src = static_cast<const uint8_t*>(desc.pixels) + static_cast<size_t>(y) * desc.pitch;
    auto* dst = reinterpret_cast<uint16_t*>(m_screenShot->pixels + static_cast<size_t>(y) * m_screenShot->pitch);
    for (int x = 0; x < width; ++x) {
      if (sixteen) {
        uint16_t pixel;
        std::memcpy(&pixel, src + 2 * x, 2);
        dst[x] = is555 ? pixel : Convert565To555(pixel);
      } else {  // 32-bit 0x00RRGGBB
        uint32_t pixel;
        std::memcpy(&pixel, src + 4 * x, 4);
        dst[x] = static_cast<uint16_t>(((pixel >> 9) & 0x7C00) | ((pixel >> 6) & 0x3E0) | ((pixel >> 3) & 0x1F));
      }
    }
  }
  UnlockSurface(back);
  // The picture is kept top row first and the BMP writer orders the rows itself, so no flip.
  m_screenShot->Save(path);
}

uint16_t CD3DRasterizer::GammaEntry(int i, float factor) {
  const float value = static_cast<float>(i) * factor;
  if (!(value > 0.0f)) return 0;  // also NaN
  if (value >= 65535.0f) return 0xFFFF;
  return static_cast<uint16_t>(value);
}

void CD3DRasterizer::SetGamma(float factor) {
  IDirectDrawSurface4* primary = m_framework->Primary();
  if (!primary || !primary->HasGammaControl()) return;
  DDGAMMARAMP ramp;
  if (HRESULT result = primary->GetGammaRamp(0, &ramp); result != DD_OK) {
    PrintError(result);
    return;
  }
  // A factor past 257 would carry the top entries past 16 bits; they stay at full instead of
  // wrapping round to dark.
  for (int i = 0; i < 256; ++i) ramp.red[i] = ramp.green[i] = ramp.blue[i] = GammaEntry(i, factor);
  if (HRESULT result = primary->SetGammaRamp(0, &ramp); result != DD_OK) PrintError(result);
}
