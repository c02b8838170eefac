// IDirectDrawSurface4: a pixel surface in plain memory in its declared format (5-6-5, 5-5-5,
// 1-5-5-5, 4-4-4-4, 8-8-8-8, x-8-8-8 or a 16-bit depth buffer), with locking, blits, a flip
// chain, attached mip levels and depth buffer, loss and restore, a GDI device context and,
// on the primary surface, a gamma ramp. Counted through std::shared_ptr as the device,
// the framework and flip chains all hold the same surfaces.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/DirectDrawTypes.h"
#include "platform/graphics/VideoMemoryBudget.h"

struct GdiBitmap;
struct IDirectDrawClipper;

class IDirectDrawSurface4 {
 public:
  // Video-memory surfaces charge their bytes to the budget until they are destroyed.
  IDirectDrawSurface4(const DDSURFACEDESC2& desc, std::shared_ptr<VideoMemoryBudget> budget);
  ~IDirectDrawSurface4();
  IDirectDrawSurface4(const IDirectDrawSurface4&) = delete;
  IDirectDrawSurface4& operator=(const IDirectDrawSurface4&) = delete;

  // Bytes a surface of this size and format holds (without its mip levels).
  static uint64_t ByteSize(DWORD width, DWORD height, const DDPIXELFORMAT& format);

  // The whole surface only (rect must be null); fills desc with pointer, pitch and format.
  HRESULT Lock(const RECT* rect, DDSURFACEDESC2* desc, DWORD flags, void* event);
  HRESULT Unlock(const RECT* rect);
  // Copy (nearest-pixel stretch) between surfaces of one format, or DDBLT_COLORFILL with fillColour.
  HRESULT Blt(const RECT* dst, IDirectDrawSurface4* src, const RECT* srcRect, DWORD flags, DWORD fillColour);
  HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface4* src, const RECT* srcRect, DWORD flags);
  // With a clipper attached (null detaches it), Blt draws only the part of the destination that
  // lies on the surface, taking the matching part of the source, instead of refusing the rectangle.
  HRESULT SetClipper(const IDirectDrawClipper* clipper);
  // Exchanges the pixels of a primary with its attached back buffer.
  HRESULT Flip(IDirectDrawSurface4* target, DWORD flags);
  HRESULT IsLost() const;
  HRESULT Restore();
  HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) const;
  // The back buffer (DDSCAPS_BACKBUFFER), next mip level (DDSCAPS_MIPMAP) or depth buffer (DDSCAPS_ZBUFFER).
  HRESULT GetAttachedSurface(const DDSCAPS2& caps, std::shared_ptr<IDirectDrawSurface4>* out) const;
  HRESULT AddAttachedSurface(std::shared_ptr<IDirectDrawSurface4> surface);
  HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface4* surface);
  // A DIB copy of 16- and 32-bit colour surfaces; ReleaseDC writes what GDI drew back.
  HRESULT GetDC(HDC* dc);
  HRESULT ReleaseDC(HDC dc);
  // Gamma: only a primary surface has a ramp (identity at creation).
  bool HasGammaControl() const;
  HRESULT GetGammaRamp(DWORD flags, DDGAMMARAMP* ramp) const;
  HRESULT SetGammaRamp(DWORD flags, const DDGAMMARAMP* ramp);

  // Device access, bypassing the lock protocol: devices read and write their targets directly.
  uint8_t* Pixels() { return m_pixels.data(); }
  const uint8_t* Pixels() const { return m_pixels.data(); }
  DWORD Width() const { return m_desc.dwWidth; }
  DWORD Height() const { return m_desc.dwHeight; }
  LONG Pitch() const { return m_desc.lPitch; }
  const DDPIXELFORMAT& Format() const { return m_desc.ddpfPixelFormat; }
  DWORD Caps() const { return m_desc.ddsCaps.dwCaps; }
  bool IsLocked() const { return m_locked; }
  void MarkLost() { m_lost = true; }
  // Counts changes of the pixels through locks, blits and DCs, so a device that keeps its own
  // copy (the GL device) knows when to upload again.
  uint64_t ContentStamp() const { return m_contentStamp; }
  // Unique for the life of the process: a device keeping copies keyed by surface address tells
  // a new surface at a reused address from the old one.
  uint64_t Serial() const { return m_serial; }
  void TouchContent() { ++m_contentStamp; }
  // Attached chain members, for the flip chain and mip levels.
  IDirectDrawSurface4* BackBuffer() const { return m_backBuffer.get(); }
  IDirectDrawSurface4* NextMipLevel() const { return m_nextMip.get(); }
  IDirectDrawSurface4* DepthBuffer() const { return m_depth.get(); }

 private:
  static uint64_t NextSerial();
  HRESULT CheckUsable() const;
  HRESULT Fill(const RECT& rect, DWORD colour);
  HRESULT Copy(const RECT& dst, const IDirectDrawSurface4& src, const RECT& srcRect);
  RECT Whole() const;

  DDSURFACEDESC2 m_desc;
  std::vector<uint8_t> m_pixels;
  std::shared_ptr<VideoMemoryBudget> m_budget;
  uint64_t m_charged = 0;
  bool m_locked = false;
  bool m_lost = false;
  bool m_clipped = false;
  uint64_t m_contentStamp = 0;
  uint64_t m_serial;
  std::shared_ptr<IDirectDrawSurface4> m_backBuffer;
  std::shared_ptr<IDirectDrawSurface4> m_nextMip;
  std::shared_ptr<IDirectDrawSurface4> m_depth;
  GdiBitmap* m_dcBitmap = nullptr;
  HDC m_dc = nullptr;
  std::unique_ptr<DDGAMMARAMP> m_gamma;
};
