// The display objects of the hardware back end.
#include "render/display/DisplayFramework.h"

#include "core/data/DebugPrintf.h"

namespace {

DDSURFACEDESC2 SurfaceDesc(DWORD caps) {
  DDSURFACEDESC2 desc;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = caps;
  return desc;
}

HRESULT Generic(HRESULT result, HRESULT code) { return result == DDERR_OUTOFVIDEOMEMORY ? result : code; }

}  // namespace

HRESULT CDisplayFramework::Initialize(HWND window, const GUID* driver, const GUID* device, const DDSURFACEDESC2* mode,
                                      DWORD flags) {
  const bool fullScreen = flags & kFrameworkFullScreen;
  if (!window || (fullScreen && !mode)) return DDERR_INVALIDPARAMS;
  m_window = window;
  m_fullScreen = fullScreen;
  HRESULT result = BuildEnvironment(driver, device, mode, flags);
  if (result != DD_OK) {
    DestroyObjects();
    return result == DDERR_GENERIC ? kFrameworkGeneric : result;
  }
  m_currentTarget = m_renderTarget;
  if (m_device) m_device->GetViewport(&m_viewport);
  return DD_OK;
}

HRESULT CDisplayFramework::BuildEnvironment(const GUID* driver, const GUID* device, const DDSURFACEDESC2* mode,
                                            DWORD flags) {
  if (HRESULT r = CreateDirectDraw(driver); r != DD_OK) return r;
  if (device) {
    if (HRESULT r = FindDevice(*device); r != DD_OK) return r;
  }
  HRESULT r = m_fullScreen ? CreateFullScreenBuffers(*mode, flags) : CreateWindowedBuffers(flags);
  if (r != DD_OK) return r;
  m_renderTarget = m_backBuffer ? m_backBuffer : m_primary;
  if (!device) return DD_OK;
  if (flags & kFrameworkZBuffer) {
    if (HRESULT z = CreateDepthBuffer(); z != DD_OK) return z;
  }
  if (HRESULT d = CreateDevice(*device); d != DD_OK) return d;
  return CreateViewport();
}

HRESULT CDisplayFramework::CreateDirectDraw(const GUID* driver) {
  if (DirectDrawCreate(driver, &m_directDraw) != DD_OK) return kFrameworkNoDirectDraw;
  const DWORD level = m_fullScreen ? DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT : DDSCL_NORMAL;
  if (m_directDraw->SetCooperativeLevel(m_window, level | DDSCL_FPUSETUP) != DD_OK) return kFrameworkNoCooperativeLevel;
  return DD_OK;
}

HRESULT CDisplayFramework::FindDevice(const GUID& device) {
  if (m_directDraw->QueryDirect3D(&m_direct3D) != DD_OK) return kFrameworkNoDirect3D;
  D3DDEVICEDESC hardware, emulation;
  if (m_direct3D->FindDevice(device, &hardware, &emulation) != D3D_OK) return kFrameworkNoDirect3D;
  const bool isHardware = hardware.dwFlags != 0;
  m_deviceDesc = isHardware ? hardware : emulation;
  m_deviceMemory = isHardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY;
  // The first 16-bit depth format, else the last one offered.
  m_haveDepthFormat = false;
  m_direct3D->EnumZBufferFormats(device, [](DDPIXELFORMAT* format, void* ctx) -> HRESULT {
    auto* self = static_cast<CDisplayFramework*>(ctx);
    self->m_depthFormat = *format;
    self->m_haveDepthFormat = true;
    return format->dwRGBBitCount == 16 ? D3DENUMRET_CANCEL : D3DENUMRET_OK;
  }, this);
  return DD_OK;
}

void CDisplayFramework::Blacken(IDirectDrawSurface4* surface) {
  if (surface) surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, 0);
}

HRESULT CDisplayFramework::CreateFullScreenBuffers(const DDSURFACEDESC2& mode, DWORD flags) {
  m_renderWidth = mode.dwWidth;
  m_renderHeight = mode.dwHeight;
  m_renderRect = RECT{0, 0, static_cast<LONG>(mode.dwWidth), static_cast<LONG>(mode.dwHeight)};
  m_windowRect = m_renderRect;
  const DWORD bits = mode.ddpfPixelFormat.dwRGBBitCount;
  const DWORD vga = mode.dwWidth == 320 && mode.dwHeight == 200 && bits == 8 ? DDSDM_STANDARDVGAMODE : 0;
  if (m_directDraw->SetDisplayMode(mode.dwWidth, mode.dwHeight, bits, mode.dwRefreshRate, vga) != DD_OK)
    return kFrameworkNoDisplayMode;
  DDSURFACEDESC2 desc = SurfaceDesc(DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE);
  if (flags & kFrameworkBackBuffer) {
    desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps |= DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  }
  if (HRESULT r = m_directDraw->CreateSurface(desc, &m_primary); r != DD_OK) return Generic(r, kFrameworkNoPrimary);
  Blacken(m_primary.get());
  if (!(flags & kFrameworkBackBuffer)) return DD_OK;
  DDSCAPS2 caps;
  caps.dwCaps = DDSCAPS_BACKBUFFER;
  if (m_primary->GetAttachedSurface(caps, &m_backBuffer) != DD_OK) return kFrameworkNoBackBuffer;
  Blacken(m_backBuffer.get());
  return DD_OK;
}

HRESULT CDisplayFramework::CreateWindowedBuffers(DWORD flags) {
  RECT client{};
  GetClientRect(m_window, &client);
  m_renderRect = client;
  POINT corner{0, 0};
  ClientToScreen(m_window, &corner);
  m_windowRect = RECT{corner.x, corner.y, corner.x + client.right, corner.y + client.bottom};
  m_renderWidth = static_cast<DWORD>(client.right - client.left);
  m_renderHeight = static_cast<DWORD>(client.bottom - client.top);
  const bool back = flags & kFrameworkBackBuffer;
  DDSURFACEDESC2 desc = SurfaceDesc(DDSCAPS_PRIMARYSURFACE | (back ? 0 : DDSCAPS_3DDEVICE));
  if (HRESULT r = m_directDraw->CreateSurface(desc, &m_primary); r != DD_OK) return Generic(r, kFrameworkNoPrimary);
  if (m_directDraw->CreateClipper(0, &m_clipper) != DD_OK || m_clipper->SetHWnd(0, m_window) != DD_OK)
    return kFrameworkNoClipper;
  // The window need not lie inside the desktop's primary: the clipper keeps the blit to what is on it.
  m_primary->SetClipper(m_clipper.get());
  Blacken(m_primary.get());
  if (!back) return DD_OK;
  DDSURFACEDESC2 backDesc = SurfaceDesc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
  backDesc.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT;
  backDesc.dwWidth = m_renderWidth;
  backDesc.dwHeight = m_renderHeight;
  if (HRESULT r = m_directDraw->CreateSurface(backDesc, &m_backBuffer); r != DD_OK)
    return Generic(r, kFrameworkNoBackBuffer);
  Blacken(m_backBuffer.get());
  return DD_OK;
}

HRESULT CDisplayFramework::CreateDepthBuffer() {
  if (m_deviceDesc.dpcTriCaps.dwRasterCaps & D3DPRASTERCAPS_ZBUFFERLESSHSR) {
    DebugPrintf("Hidden surface removal supported on card?  Shouldn't work for us.\n");
    return DD_OK;
  }
  if (!m_haveDepthFormat) return kFrameworkNoZBuffer;
  DDSURFACEDESC2 desc = SurfaceDesc(DDSCAPS_ZBUFFER | m_deviceMemory);
  desc.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.dwWidth = m_renderWidth;
  desc.dwHeight = m_renderHeight;
  desc.ddpfPixelFormat = m_depthFormat;
  if (HRESULT r = m_directDraw->CreateSurface(desc, &m_depthBuffer); r != DD_OK) return Generic(r, kFrameworkNoZBuffer);
  if (m_renderTarget->AddAttachedSurface(m_depthBuffer) != DD_OK) return kFrameworkNoZBuffer;
  DebugPrintf("Created Z-buffer, BitDepth = %d\n", static_cast<int>(m_depthFormat.dwRGBBitCount));
  return DD_OK;
}

HRESULT CDisplayFramework::CreateDevice(const GUID& device) {
  DDSURFACEDESC2 display;
  m_directDraw->GetDisplayMode(&display);
  if (display.ddpfPixelFormat.dwRGBBitCount <= 8) return kFrameworkPaletteDisplay;
  if (m_direct3D->CreateDevice(device, m_renderTarget, &m_device) != D3D_OK) return kFrameworkNoDevice;
  m_device->GetCaps(&m_hardwareDesc, &m_emulationDesc);
  return DD_OK;
}

HRESULT CDisplayFramework::CreateViewport() {
  if (GetDisplayMachine().faults.failViewport) return kFrameworkNoViewport;
  D3DVIEWPORT2 viewport;
  viewport.dwWidth = m_renderWidth;
  viewport.dwHeight = m_renderHeight;
  if (m_device->SetViewport(viewport) != D3D_OK) return kFrameworkNoViewport;
  return DD_OK;
}

HRESULT CDisplayFramework::DestroyObjects() {
  m_device.reset();
  if (m_renderTarget && m_depthBuffer) m_renderTarget->DeleteAttachedSurface(0, m_depthBuffer.get());
  m_currentTarget.reset();
  m_backBuffer.reset();
  m_renderTarget.reset();
  m_depthBuffer.reset();
  m_primary.reset();
  m_clipper.reset();
  m_direct3D = nullptr;
  HRESULT result = DD_OK;
  if (m_directDraw) {
    m_directDraw->SetCooperativeLevel(m_window, DDSCL_NORMAL);
    // A surface still held elsewhere (a texture cache that was not emptied) outlives its memory.
    if (m_directDraw->LiveSurfaceCount() != 0) result = kFrameworkStillReferenced;
    m_directDraw.reset();
  }
  return result;
}

HRESULT CDisplayFramework::Present() {
  if (!m_primary || !m_backBuffer) return kFrameworkNothingToPresent;
  if (!m_fullScreen) return m_primary->Blt(&m_windowRect, m_backBuffer.get(), &m_renderRect, DDBLT_WAIT, 0);
  HRESULT result = m_primary->Flip(nullptr, DDFLIP_WAIT);
  if (result == DD_OK) m_page = !m_page;
  return result;
}

HRESULT CDisplayFramework::RestoreSurfaces() {
  if (!m_fullScreen && m_backBuffer && m_backBuffer->IsLost() != DD_OK) m_backBuffer->Restore();
  if (m_primary && m_primary->IsLost() != DD_OK) m_primary->Restore();
  if (m_fullScreen && m_backBuffer && m_backBuffer->IsLost() != DD_OK) m_backBuffer->Restore();
  if (m_depthBuffer && m_depthBuffer->IsLost() != DD_OK) m_depthBuffer->Restore();
  return DD_OK;
}

HRESULT CDisplayFramework::SetRenderTarget(std::shared_ptr<IDirectDrawSurface4> surface) {
  if (!surface || !m_device) return DDERR_INVALIDPARAMS;
  const DWORD oldWidth = m_renderWidth, oldHeight = m_renderHeight;
  m_renderWidth = surface->Width();
  m_renderHeight = surface->Height();
  bool attached = false;
  if (m_depthBuffer && !surface->DepthBuffer() && m_depthBuffer->Width() >= surface->Width()) {
    attached = surface->AddAttachedSurface(m_depthBuffer) == DD_OK;
  }
  if (m_device->SetRenderTarget(surface) == D3D_OK) {
    m_currentTarget = std::move(surface);
    D3DVIEWPORT2 viewport;
    viewport.dwWidth = m_renderWidth;
    viewport.dwHeight = m_renderHeight;
    m_device->SetViewport(viewport);
    m_viewport = viewport;
    return DD_OK;
  }
  if (attached) surface->DeleteAttachedSurface(0, m_depthBuffer.get());
  if (m_currentTarget) m_device->SetRenderTarget(m_currentTarget);
  m_renderWidth = oldWidth;
  m_renderHeight = oldHeight;
  return kFrameworkNoRenderTarget;
}

HRESULT CDisplayFramework::RestoreRenderTarget() { return SetRenderTarget(m_renderTarget); }
