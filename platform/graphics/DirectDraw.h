// IDirectDraw4: the DirectDraw object of one driver of the display machine: cooperative level,
// display mode, surface creation against the machine's video memory (with its injected faults),
// clippers, capabilities, mode enumeration, and the Direct3D interface of the driver.
#pragma once

#include <memory>
#include <vector>

#include "platform/graphics/Direct3D.h"
#include "platform/graphics/DisplayMachine.h"

using DDEnumCallbackEx = BOOL (*)(GUID* guid, const char* description, const char* name, void* context,
                                  void* monitor);
using DDEnumModesCallback = HRESULT (*)(DDSURFACEDESC2* mode, void* context);
constexpr HRESULT DDENUMRET_CANCEL = 0;
constexpr HRESULT DDENUMRET_OK = 1;

// A clipper remembers its window; attached to a surface (SetClipper), it clips blits to that
// surface's bounds, as the window's visible part of the screen would be.
struct IDirectDrawClipper {
  HWND window = nullptr;
  HRESULT SetHWnd(DWORD flags, HWND hwnd) {
    window = hwnd;
    return DD_OK;
  }
};

class IDirectDraw4 {
 public:
  explicit IDirectDraw4(const ScriptedDriver& driver);
  ~IDirectDraw4();
  IDirectDraw4(const IDirectDraw4&) = delete;
  IDirectDraw4& operator=(const IDirectDraw4&) = delete;

  HRESULT SetCooperativeLevel(HWND window, DWORD flags);
  DWORD CooperativeLevel() const { return m_cooperativeLevel; }
  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD flags);
  HRESULT GetDisplayMode(DDSURFACEDESC2* desc) const;
  HRESULT EnumDisplayModes(DWORD flags, const DDSURFACEDESC2* filter, void* context, DDEnumModesCallback callback) const;
  HRESULT GetCaps(DDCAPS* hardware, DDCAPS* emulation) const;
  HRESULT GetAvailableVidMem(const DDSCAPS2& caps, DWORD* total, DWORD* free) const;
  // Builds flip chains (DDSCAPS_FLIP with a back-buffer count of 1) and mip chains
  // (DDSCAPS_MIPMAP with a mip-map count); a primary takes the display mode's size and format.
  HRESULT CreateSurface(const DDSURFACEDESC2& desc, std::shared_ptr<IDirectDrawSurface4>* out);
  HRESULT CreateClipper(DWORD flags, std::unique_ptr<IDirectDrawClipper>* out);
  // The Direct3D interface of the driver; null with DDERR_UNSUPPORTED when the driver has none.
  HRESULT QueryDirect3D(IDirect3D3** out);
  // Fault injection: every surface alive is lost until restored.
  void LoseAllSurfaces();
  size_t LiveSurfaceCount() const;
  const ScriptedDriver& Driver() const { return m_driver; }

 private:
  std::shared_ptr<IDirectDrawSurface4> MakeSurface(DDSURFACEDESC2 desc, HRESULT* result);
  HRESULT MakeMipChain(const DDSURFACEDESC2& desc, std::shared_ptr<IDirectDrawSurface4>* out);

  ScriptedDriver m_driver;
  std::shared_ptr<VideoMemoryBudget> m_budget;
  std::unique_ptr<IDirect3D3> m_direct3D;
  DWORD m_cooperativeLevel = 0;
  DDSURFACEDESC2 m_mode;
  std::vector<std::weak_ptr<IDirectDrawSurface4>> m_surfaces;
};

// Lists the machine's drivers (primary first, with a null identifier).
HRESULT DirectDrawEnumerateExA(DDEnumCallbackEx callback, void* context, DWORD flags);
// The DirectDraw object of the driver with this identifier (null: the primary display driver).
HRESULT DirectDrawCreate(const GUID* guid, std::unique_ptr<IDirectDraw4>* out);
// GDI's bits per pixel of the desktop.
DWORD GetDesktopBitsPerPixel();
// The desktop's size: the screen's on a real display, else the machine's scripted desktop.
void GetDesktopSize(DWORD* width, DWORD* height);
