// CDisplayFramework: the display objects of the hardware back end: the DirectDraw object, the
// primary surface, the back buffer, the clipper in a window, the depth buffer, the Direct3D
// device and its viewport; built for a chosen driver, device and mode, presented by blit or flip.
#pragma once

#include <memory>

#include "platform/graphics/DirectDraw.h"

constexpr DWORD kFrameworkFullScreen = 1;
constexpr DWORD kFrameworkBackBuffer = 2;
constexpr DWORD kFrameworkZBuffer = 4;

constexpr HRESULT kFrameworkGeneric = static_cast<HRESULT>(0x82000000u);
constexpr HRESULT kFrameworkNoDirectDraw = static_cast<HRESULT>(0x82000001u);
constexpr HRESULT kFrameworkNoCooperativeLevel = static_cast<HRESULT>(0x82000002u);
constexpr HRESULT kFrameworkNoDirect3D = static_cast<HRESULT>(0x82000003u);
constexpr HRESULT kFrameworkNoDevice = static_cast<HRESULT>(0x82000004u);
constexpr HRESULT kFrameworkNoZBuffer = static_cast<HRESULT>(0x82000005u);
constexpr HRESULT kFrameworkNoViewport = static_cast<HRESULT>(0x82000006u);
constexpr HRESULT kFrameworkNoPrimary = static_cast<HRESULT>(0x82000007u);
constexpr HRESULT kFrameworkNoClipper = static_cast<HRESULT>(0x82000008u);
constexpr HRESULT kFrameworkNoDisplayMode = static_cast<HRESULT>(0x82000009u);
constexpr HRESULT kFrameworkNoBackBuffer = static_cast<HRESULT>(0x8200000Au);
constexpr HRESULT kFrameworkStillReferenced = static_cast<HRESULT>(0x8200000Bu);
constexpr HRESULT kFrameworkNoRenderTarget = static_cast<HRESULT>(0x8200000Cu);
constexpr HRESULT kFrameworkPaletteDisplay = static_cast<HRESULT>(0x8200000Du);
constexpr HRESULT kFrameworkNothingToPresent = static_cast<HRESULT>(0x8200000Eu);

class CDisplayFramework {
 public:
  CDisplayFramework() = default;
  ~CDisplayFramework() { DestroyObjects(); }
  CDisplayFramework(const CDisplayFramework&) = delete;
  CDisplayFramework& operator=(const CDisplayFramework&) = delete;

  // driver null: the primary display driver; device null: no Direct3D objects.
  HRESULT Initialize(HWND window, const GUID* driver, const GUID* device, const DDSURFACEDESC2* mode, DWORD flags);
  HRESULT DestroyObjects();
  HRESULT Present();
  HRESULT RestoreSurfaces();
  HRESULT SetRenderTarget(std::shared_ptr<IDirectDrawSurface4> surface);
  HRESULT RestoreRenderTarget();

  bool IsFullScreen() const { return m_fullScreen; }
  bool Page() const { return m_page; }
  DWORD RenderWidth() const { return m_renderWidth; }
  DWORD RenderHeight() const { return m_renderHeight; }
  const RECT& RenderRect() const { return m_renderRect; }
  HWND Window() const { return m_window; }
  IDirectDraw4* DirectDraw() const { return m_directDraw.get(); }
  IDirect3DDevice3* Device() const { return m_device.get(); }
  IDirectDrawSurface4* Primary() const { return m_primary.get(); }
  IDirectDrawSurface4* BackBuffer() const { return m_backBuffer.get(); }
  IDirectDrawSurface4* RenderTarget() const { return m_renderTarget.get(); }
  IDirectDrawSurface4* CurrentTarget() const { return m_currentTarget.get(); }
  IDirectDrawSurface4* DepthBuffer() const { return m_depthBuffer.get(); }
  const D3DDEVICEDESC& DeviceDesc() const { return m_deviceDesc; }
  DWORD DeviceMemory() const { return m_deviceMemory; }
  const D3DVIEWPORT2& Viewport() const { return m_viewport; }

 private:
  HRESULT BuildEnvironment(const GUID* driver, const GUID* device, const DDSURFACEDESC2* mode, DWORD flags);
  HRESULT CreateDirectDraw(const GUID* driver);
  HRESULT FindDevice(const GUID& device);
  HRESULT CreateFullScreenBuffers(const DDSURFACEDESC2& mode, DWORD flags);
  HRESULT CreateWindowedBuffers(DWORD flags);
  HRESULT CreateDepthBuffer();
  HRESULT CreateDevice(const GUID& device);
  HRESULT CreateViewport();
  void Blacken(IDirectDrawSurface4* surface);

  HWND m_window = nullptr;
  bool m_fullScreen = false;
  bool m_page = false;
  DWORD m_renderWidth = 0;
  DWORD m_renderHeight = 0;
  RECT m_windowRect{};
  RECT m_renderRect{};
  std::unique_ptr<IDirectDraw4> m_directDraw;  // first in, last out: surfaces charge its memory
  IDirect3D3* m_direct3D = nullptr;
  std::unique_ptr<IDirectDrawClipper> m_clipper;
  std::shared_ptr<IDirectDrawSurface4> m_primary;
  std::shared_ptr<IDirectDrawSurface4> m_backBuffer;
  std::shared_ptr<IDirectDrawSurface4> m_renderTarget;
  std::shared_ptr<IDirectDrawSurface4> m_currentTarget;
  std::shared_ptr<IDirectDrawSurface4> m_depthBuffer;
  std::unique_ptr<IDirect3DDevice3> m_device;
  D3DVIEWPORT2 m_viewport;
  D3DDEVICEDESC m_deviceDesc;
  DWORD m_deviceMemory = DDSCAPS_SYSTEMMEMORY;
  DDPIXELFORMAT m_depthFormat;
  bool m_haveDepthFormat = false;
  D3DDEVICEDESC m_hardwareDesc;
  D3DDEVICEDESC m_emulationDesc;
};
