// Memory surfaces of the DirectDraw layer.
#include "platform/graphics/DirectDrawSurface.h"

#include <algorithm>
#include <cstring>

#include "platform/graphics/Gdi.h"

namespace {

DDPIXELFORMAT Rgb(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
  DDPIXELFORMAT f;
  f.dwFlags = DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0);
  f.dwRGBBitCount = bits;
  f.dwRBitMask = r;
  f.dwGBitMask = g;
  f.dwBBitMask = b;
  f.dwRGBAlphaBitMask = a;
  return f;
}

void WritePixel(uint8_t* p, uint32_t bytes, uint32_t v) { std::memcpy(p, &v, bytes); }

bool Inside(const RECT& r, DWORD width, DWORD height) {
  return r.left >= 0 && r.top >= 0 && r.left <= r.right && r.top <= r.bottom &&
         static_cast<DWORD>(r.right) <= width && static_cast<DWORD>(r.bottom) <= height;
}

bool Ordered(const RECT& r) { return r.left <= r.right && r.top <= r.bottom; }

// Cuts the destination to the surface's bounds and the source by the same share of its size.
// False when nothing of the destination lies on the surface.
bool ClipToBounds(RECT& to, RECT& from, DWORD width, DWORD height) {
  const int64_t dw = to.right - to.left, dh = to.bottom - to.top;
  const int64_t sw = from.right - from.left, sh = from.bottom - from.top;
  const RECT cut{std::max<LONG>(to.left, 0), std::max<LONG>(to.top, 0),
                 std::min<LONG>(to.right, static_cast<LONG>(width)),
                 std::min<LONG>(to.bottom, static_cast<LONG>(height))};
  if (cut.left >= cut.right || cut.top >= cut.bottom) return false;
  const RECT source = from;
  from.left = source.left + static_cast<LONG>((cut.left - to.left) * sw / dw);
  from.right = source.left + static_cast<LONG>((cut.right - to.left) * sw / dw);
  from.top = source.top + static_cast<LONG>((cut.top - to.top) * sh / dh);
  from.bottom = source.top + static_cast<LONG>((cut.bottom - to.top) * sh / dh);
  // A shrinking blit may cut a sliver of the source to nothing; one pixel of it still shows.
  if (sw > 0 && from.right <= from.left) from.right = std::min(source.right, from.left + 1);
  if (sh > 0 && from.bottom <= from.top) from.bottom = std::min(source.bottom, from.top + 1);
  to = cut;
  return true;
}

}  // namespace

DDPIXELFORMAT PixelFormat565() { return Rgb(16, 0xF800, 0x07E0, 0x001F, 0); }
DDPIXELFORMAT PixelFormat555() { return Rgb(16, 0x7C00, 0x03E0, 0x001F, 0); }
DDPIXELFORMAT PixelFormat1555() { return Rgb(16, 0x7C00, 0x03E0, 0x001F, 0x8000); }
DDPIXELFORMAT PixelFormat4444() { return Rgb(16, 0x0F00, 0x00F0, 0x000F, 0xF000); }
DDPIXELFORMAT PixelFormat8888() { return Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u); }
DDPIXELFORMAT PixelFormatX888() { return Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0); }
DDPIXELFORMAT PixelFormatZ16() {
  DDPIXELFORMAT f;
  f.dwFlags = DDPF_ZBUFFER;
  f.dwRGBBitCount = 16;
  f.dwRBitMask = 0xFFFF;  // the depth mask
  return f;
}

uint64_t IDirectDrawSurface4::ByteSize(DWORD width, DWORD height, const DDPIXELFORMAT& format) {
  return uint64_t{width} * height * ((format.dwRGBBitCount + 7) / 8);
}

uint64_t IDirectDrawSurface4::NextSerial() {
  static uint64_t next = 0;  // surfaces are made on the main thread only
  return ++next;
}

IDirectDrawSurface4::IDirectDrawSurface4(const DDSURFACEDESC2& desc, std::shared_ptr<VideoMemoryBudget> budget)
    : m_desc(desc), m_budget(std::move(budget)), m_serial(NextSerial()) {
  const DWORD bytes = (m_desc.ddpfPixelFormat.dwRGBBitCount + 7) / 8;
  m_desc.lPitch = static_cast<LONG>(m_desc.dwWidth * bytes);
  m_desc.dwFlags |= DDSD_PITCH | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | DDSD_CAPS;
  m_pixels.assign(ByteSize(m_desc.dwWidth, m_desc.dwHeight, m_desc.ddpfPixelFormat), 0);
  if (m_budget) m_charged = m_pixels.size();  // the creator has taken the bytes already
  if (m_desc.ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) {
    m_gamma = std::make_unique<DDGAMMARAMP>();
    for (int i = 0; i < 256; ++i)
      m_gamma->red[i] = m_gamma->green[i] = m_gamma->blue[i] = static_cast<WORD>(i * 257);
  }
}

IDirectDrawSurface4::~IDirectDrawSurface4() {
  if (m_dc) ReleaseDC(m_dc);
  if (m_budget) m_budget->Give(m_charged);
}

RECT IDirectDrawSurface4::Whole() const {
  RECT r;
  r.left = 0;
  r.top = 0;
  r.right = static_cast<LONG>(m_desc.dwWidth);
  r.bottom = static_cast<LONG>(m_desc.dwHeight);
  return r;
}

HRESULT IDirectDrawSurface4::CheckUsable() const {
  if (m_lost) return DDERR_SURFACELOST;
  if (m_locked || m_dc) return DDERR_SURFACEBUSY;
  return DD_OK;
}

HRESULT IDirectDrawSurface4::Lock(const RECT* rect, DDSURFACEDESC2* desc, DWORD flags, void* event) {
  if (!desc || rect) return DDERR_INVALIDPARAMS;
  if (HRESULT usable = CheckUsable(); usable != DD_OK) return usable;
  m_locked = true;
  *desc = m_desc;
  desc->lpSurface = m_pixels.data();
  return DD_OK;
}

HRESULT IDirectDrawSurface4::Unlock(const RECT* rect) {
  if (!m_locked) return DDERR_NOTLOCKED;
  m_locked = false;
  TouchContent();
  return DD_OK;
}

HRESULT IDirectDrawSurface4::Fill(const RECT& rect, DWORD colour) {
  const uint32_t bytes = (Format().dwRGBBitCount + 7) / 8;
  for (LONG y = rect.top; y < rect.bottom; ++y) {
    uint8_t* row = m_pixels.data() + static_cast<size_t>(y) * m_desc.lPitch;
    for (LONG x = rect.left; x < rect.right; ++x) WritePixel(row + static_cast<size_t>(x) * bytes, bytes, colour);
  }
  return DD_OK;
}

HRESULT IDirectDrawSurface4::Copy(const RECT& dst, const IDirectDrawSurface4& src, const RECT& srcRect) {
  if (!SamePixelFormat(Format(), src.Format())) return DDERR_INVALIDPIXELFORMAT;
  const uint32_t bytes = (Format().dwRGBBitCount + 7) / 8;
  const LONG dw = dst.right - dst.left, dh = dst.bottom - dst.top;
  const LONG sw = srcRect.right - srcRect.left, sh = srcRect.bottom - srcRect.top;
  if (dw == 0 || dh == 0) return DD_OK;
  if (sw == 0 || sh == 0) return DDERR_INVALIDRECT;
  // A temporary copy makes a blit within one surface safe when the rectangles overlap.
  std::vector<uint8_t> staged(static_cast<size_t>(dw) * dh * bytes);
  for (LONG y = 0; y < dh; ++y) {
    const LONG sy = srcRect.top + static_cast<LONG>(int64_t{y} * sh / dh);
    const uint8_t* srow = src.m_pixels.data() + static_cast<size_t>(sy) * src.m_desc.lPitch;
    for (LONG x = 0; x < dw; ++x) {
      const LONG sx = srcRect.left + static_cast<LONG>(int64_t{x} * sw / dw);
      std::memcpy(&staged[(static_cast<size_t>(y) * dw + x) * bytes], srow + static_cast<size_t>(sx) * bytes, bytes);
    }
  }
  for (LONG y = 0; y < dh; ++y)
    std::memcpy(m_pixels.data() + static_cast<size_t>(dst.top + y) * m_desc.lPitch + static_cast<size_t>(dst.left) * bytes,
                &staged[static_cast<size_t>(y) * dw * bytes], static_cast<size_t>(dw) * bytes);
  return DD_OK;
}

HRESULT IDirectDrawSurface4::Blt(const RECT* dst, IDirectDrawSurface4* src, const RECT* srcRect, DWORD flags,
                                 DWORD fillColour) {
  RECT to = dst ? *dst : Whole();
  const bool fill = (flags & DDBLT_COLORFILL) != 0;
  if (!fill && !src) return DDERR_INVALIDPARAMS;
  RECT from = fill ? to : srcRect ? *srcRect : src->Whole();
  if (!fill && !Inside(from, src->Width(), src->Height())) return DDERR_INVALIDRECT;
  if (m_clipped && Ordered(to) && to.left < to.right && to.top < to.bottom) {
    if (!ClipToBounds(to, from, Width(), Height())) return CheckUsable();  // nothing of it is on the surface
  }
  if (!Inside(to, Width(), Height())) return DDERR_INVALIDRECT;
  if (HRESULT usable = CheckUsable(); usable != DD_OK) return usable;
  if (fill) {
    TouchContent();
    return Fill(to, fillColour);
  }
  if (src != this) {
    if (HRESULT usable = src->CheckUsable(); usable != DD_OK) return usable;
  }
  TouchContent();
  return Copy(to, *src, from);
}

HRESULT IDirectDrawSurface4::BltFast(DWORD x, DWORD y, IDirectDrawSurface4* src, const RECT* srcRect, DWORD flags) {
  if (!src) return DDERR_INVALIDPARAMS;
  const RECT from = srcRect ? *srcRect : src->Whole();
  RECT to;
  to.left = static_cast<LONG>(x);
  to.top = static_cast<LONG>(y);
  to.right = to.left + (from.right - from.left);
  to.bottom = to.top + (from.bottom - from.top);
  if (!Inside(from, src->Width(), src->Height()) || !Inside(to, Width(), Height())) return DDERR_INVALIDRECT;
  if (HRESULT usable = CheckUsable(); usable != DD_OK) return usable;
  if (src != this) {
    if (HRESULT usable = src->CheckUsable(); usable != DD_OK) return usable;
  }
  TouchContent();
  return Copy(to, *src, from);
}

HRESULT IDirectDrawSurface4::SetClipper(const IDirectDrawClipper* clipper) {
  m_clipped = clipper != nullptr;
  return DD_OK;
}

HRESULT IDirectDrawSurface4::Flip(IDirectDrawSurface4* target, DWORD flags) {
  if (!m_backBuffer || !(Caps() & DDSCAPS_FLIP)) return DDERR_NOTFLIPPABLE;
  if (HRESULT usable = CheckUsable(); usable != DD_OK) return usable;
  if (HRESULT usable = m_backBuffer->CheckUsable(); usable != DD_OK) return usable;
  m_pixels.swap(m_backBuffer->m_pixels);
  TouchContent();
  m_backBuffer->TouchContent();
  return DD_OK;
}

HRESULT IDirectDrawSurface4::IsLost() const { return m_lost ? DDERR_SURFACELOST : DD_OK; }

HRESULT IDirectDrawSurface4::Restore() {
  m_lost = false;
  return DD_OK;
}

HRESULT IDirectDrawSurface4::GetSurfaceDesc(DDSURFACEDESC2* desc) const {
  if (!desc) return DDERR_INVALIDPARAMS;
  *desc = m_desc;
  desc->lpSurface = nullptr;
  return DD_OK;
}

HRESULT IDirectDrawSurface4::GetAttachedSurface(const DDSCAPS2& caps, std::shared_ptr<IDirectDrawSurface4>* out) const {
  if (!out) return DDERR_INVALIDPARAMS;
  if (caps.dwCaps & DDSCAPS_BACKBUFFER) *out = m_backBuffer;
  else if (caps.dwCaps & DDSCAPS_MIPMAP) *out = m_nextMip;
  else if (caps.dwCaps & DDSCAPS_ZBUFFER) *out = m_depth;
  else out->reset();
  return *out ? DD_OK : DDERR_NOTFOUND;
}

HRESULT IDirectDrawSurface4::AddAttachedSurface(std::shared_ptr<IDirectDrawSurface4> surface) {
  if (!surface || surface.get() == this) return DDERR_INVALIDPARAMS;
  const DWORD caps = surface->Caps();
  std::shared_ptr<IDirectDrawSurface4>* slot = nullptr;
  if (caps & DDSCAPS_ZBUFFER) slot = &m_depth;
  else if (caps & DDSCAPS_BACKBUFFER) slot = &m_backBuffer;
  else if (caps & DDSCAPS_MIPMAP) slot = &m_nextMip;
  if (!slot) return DDERR_INVALIDCAPS;
  if (*slot) return DDERR_ALREADYINITIALIZED;
  if (surface->Width() != Width() && (caps & (DDSCAPS_ZBUFFER | DDSCAPS_BACKBUFFER))) return DDERR_INVALIDRECT;
  *slot = std::move(surface);
  return DD_OK;
}

HRESULT IDirectDrawSurface4::DeleteAttachedSurface(DWORD flags, IDirectDrawSurface4* surface) {
  for (auto* slot : {&m_depth, &m_backBuffer, &m_nextMip}) {
    if (*slot && slot->get() == surface) {
      slot->reset();
      return DD_OK;
    }
  }
  return DDERR_SURFACENOTATTACHED;
}

HRESULT IDirectDrawSurface4::GetDC(HDC* dc) {
  if (!dc) return DDERR_INVALIDPARAMS;
  *dc = nullptr;
  if (HRESULT usable = CheckUsable(); usable != DD_OK) return usable;
  const DDPIXELFORMAT& f = Format();
  const bool is16 = f.dwRGBBitCount == 16 && !f.dwRGBAlphaBitMask;
  if (!(f.dwFlags & DDPF_RGB) || !(is16 || f.dwRGBBitCount == 32)) return DDERR_NODC;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = static_cast<LONG>(Width());
  info.bmiHeader.biHeight = -static_cast<LONG>(Height());
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(f.dwRGBBitCount);
  info.bmiHeader.biCompression = BI_RGB;
  if (is16 && f.dwGBitMask == 0x7E0) {
    info.bmiHeader.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {f.dwRBitMask, f.dwGBitMask, f.dwBBitMask};
    std::memcpy(info.bmiColors, masks, sizeof(masks));
  }
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  plat::DibInfo dib{};
  if (!bitmap || !plat::GetDibInfo(bitmap, &dib)) return DDERR_NODC;
  const size_t rowBytes = static_cast<size_t>(Width()) * (f.dwRGBBitCount / 8);
  for (DWORD y = 0; y < Height(); ++y)
    std::memcpy(dib.bits + static_cast<size_t>(y) * dib.pitch, m_pixels.data() + static_cast<size_t>(y) * m_desc.lPitch, rowBytes);
  m_dc = CreateCompatibleDC(nullptr);
  SelectObject(m_dc, bitmap);
  m_dcBitmap = bitmap;
  *dc = m_dc;
  return DD_OK;
}

HRESULT IDirectDrawSurface4::ReleaseDC(HDC dc) {
  if (!m_dc || dc != m_dc) return DDERR_NODC;
  plat::DibInfo dib{};
  if (plat::GetDibInfo(m_dcBitmap, &dib)) {
    const size_t rowBytes = static_cast<size_t>(Width()) * (Format().dwRGBBitCount / 8);
    for (DWORD y = 0; y < Height(); ++y)
      std::memcpy(m_pixels.data() + static_cast<size_t>(y) * m_desc.lPitch, dib.bits + static_cast<size_t>(y) * dib.pitch, rowBytes);
  }
  DeleteDC(m_dc);
  DeleteObject(m_dcBitmap);
  m_dc = nullptr;
  m_dcBitmap = nullptr;
  TouchContent();
  return DD_OK;
}

bool IDirectDrawSurface4::HasGammaControl() const { return m_gamma != nullptr; }

HRESULT IDirectDrawSurface4::GetGammaRamp(DWORD flags, DDGAMMARAMP* ramp) const {
  if (!m_gamma) return DDERR_UNSUPPORTED;
  if (!ramp) return DDERR_INVALIDPARAMS;
  if (m_lost) return DDERR_SURFACELOST;  // a lost primary has no display to ramp
  *ramp = *m_gamma;
  return DD_OK;
}

HRESULT IDirectDrawSurface4::SetGammaRamp(DWORD flags, const DDGAMMARAMP* ramp) {
  if (!m_gamma) return DDERR_UNSUPPORTED;
  if (!ramp) return DDERR_INVALIDPARAMS;
  if (m_lost) return DDERR_SURFACELOST;
  *m_gamma = *ramp;
  return DD_OK;
}
