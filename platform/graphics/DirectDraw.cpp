// DirectDraw objects over the scripted display machine.
#include "platform/graphics/DirectDraw.h"

#include <algorithm>

#include "platform/system/Platform.h"
#include "platform/window/SdlSession.h"

namespace {

const ScriptedDriver* FindDriver(const GUID* guid) {
  for (const ScriptedDriver& d : GetDisplayMachine().drivers) {
    if (!guid && d.primary) return &d;
    if (guid && !d.primary && d.guid == *guid) return &d;
  }
  return nullptr;
}

// One mip level less each time, down to the last level the description asks for.
DWORD MipLevelsOf(const DDSURFACEDESC2& desc) {
  if (!(desc.ddsCaps.dwCaps & DDSCAPS_MIPMAP) || !(desc.dwFlags & DDSD_MIPMAPCOUNT)) return 1;
  return std::max<DWORD>(desc.dwMipMapCount, 1);
}

}  // namespace

DWORD GetDesktopBitsPerPixel() { return GetDisplayMachine().desktopBits; }

void GetDesktopSize(DWORD* width, DWORD* height) {
  const DisplayMachine& machine = GetDisplayMachine();
  DWORD w = machine.desktopWidth;
  DWORD h = machine.desktopHeight;
  // A headless run has no screen to ask: the machine's desktop stands for one.
  if (plat::HasDisplay() && plat::detail::SdlVideoActive()) {
    w = static_cast<DWORD>(std::max(0, GetSystemMetrics(SM_CXSCREEN)));
    h = static_cast<DWORD>(std::max(0, GetSystemMetrics(SM_CYSCREEN)));
  }
  if (width) *width = w;
  if (height) *height = h;
}

HRESULT DirectDrawEnumerateExA(DDEnumCallbackEx callback, void* context, DWORD flags) {
  if (!callback) return DDERR_INVALIDPARAMS;
  for (const ScriptedDriver& d : GetDisplayMachine().drivers) {
    GUID guid = d.guid;
    if (!callback(d.primary ? nullptr : &guid, d.description.c_str(), d.name.c_str(), context, nullptr)) break;
  }
  return DD_OK;
}

HRESULT DirectDrawCreate(const GUID* guid, std::unique_ptr<IDirectDraw4>* out) {
  if (!out) return DDERR_INVALIDPARAMS;
  out->reset();
  const ScriptedDriver* driver = FindDriver(guid);
  if (!driver) return DDERR_INVALIDPARAMS;
  if (driver->failCreate) return DDERR_GENERIC;
  *out = std::make_unique<IDirectDraw4>(*driver);
  return DD_OK;
}

IDirectDraw4::IDirectDraw4(const ScriptedDriver& driver)
    : m_driver(driver), m_budget(std::make_shared<VideoMemoryBudget>(GetDisplayMachine().videoMemory)) {
  const DisplayMachine& machine = GetDisplayMachine();
  m_mode = DisplayModeDesc(machine.desktopWidth, machine.desktopHeight, machine.desktopBits);
  if (!m_driver.noDirect3D) m_direct3D = std::make_unique<IDirect3D3>(m_driver);
}

IDirectDraw4::~IDirectDraw4() = default;

HRESULT IDirectDraw4::SetCooperativeLevel(HWND window, DWORD flags) {
  if (GetDisplayMachine().faults.failCooperativeLevel) return DDERR_INVALIDPARAMS;
  if ((flags & DDSCL_FULLSCREEN) && !(flags & DDSCL_EXCLUSIVE)) return DDERR_INVALIDPARAMS;
  m_cooperativeLevel = flags;
  return DD_OK;
}

HRESULT IDirectDraw4::SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD flags) {
  if (GetDisplayMachine().faults.failDisplayMode) return DDERR_INVALIDMODE;
  for (const DDSURFACEDESC2& mode : m_driver.modes) {
    if (mode.dwWidth == width && mode.dwHeight == height && mode.ddpfPixelFormat.dwRGBBitCount == bits) {
      m_mode = mode;
      return DD_OK;
    }
  }
  return DDERR_INVALIDMODE;
}

HRESULT IDirectDraw4::GetDisplayMode(DDSURFACEDESC2* desc) const {
  if (!desc) return DDERR_INVALIDPARAMS;
  *desc = m_mode;
  return DD_OK;
}

HRESULT IDirectDraw4::EnumDisplayModes(DWORD flags, const DDSURFACEDESC2* filter, void* context,
                                       DDEnumModesCallback callback) const {
  if (!callback) return DDERR_INVALIDPARAMS;
  for (DDSURFACEDESC2 mode : m_driver.modes)
    if (callback(&mode, context) == DDENUMRET_CANCEL) break;
  return DD_OK;
}

HRESULT IDirectDraw4::GetCaps(DDCAPS* hardware, DDCAPS* emulation) const {
  if (hardware) {
    *hardware = m_driver.hardware;
    hardware->dwVidMemTotal = static_cast<DWORD>(m_budget->Total());
    hardware->dwVidMemFree = static_cast<DWORD>(m_budget->Free());
  }
  if (emulation) *emulation = m_driver.emulation;
  return DD_OK;
}

HRESULT IDirectDraw4::GetAvailableVidMem(const DDSCAPS2& caps, DWORD* total, DWORD* free) const {
  if (total) *total = static_cast<DWORD>(m_budget->Total());
  if (free) *free = static_cast<DWORD>(m_budget->Free());
  return DD_OK;
}

std::shared_ptr<IDirectDrawSurface4> IDirectDraw4::MakeSurface(DDSURFACEDESC2 desc, HRESULT* result) {
  DisplayFaults& faults = GetDisplayMachine().faults;
  const bool video = !(desc.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY);
  if (video) desc.ddsCaps.dwCaps |= DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
  const uint64_t bytes = IDirectDrawSurface4::ByteSize(desc.dwWidth, desc.dwHeight, desc.ddpfPixelFormat);
  if (video && (faults.outOfVideoMemory || !m_budget->Take(bytes))) {
    *result = DDERR_OUTOFVIDEOMEMORY;
    return nullptr;
  }
  auto surface = std::make_shared<IDirectDrawSurface4>(desc, video ? m_budget : nullptr);
  m_surfaces.push_back(surface);
  *result = DD_OK;
  return surface;
}

HRESULT IDirectDraw4::MakeMipChain(const DDSURFACEDESC2& desc, std::shared_ptr<IDirectDrawSurface4>* out) {
  const DWORD levels = MipLevelsOf(desc);
  std::vector<std::shared_ptr<IDirectDrawSurface4>> chain;
  for (DWORD level = 0; level < levels; ++level) {
    DDSURFACEDESC2 levelDesc = desc;
    levelDesc.dwWidth = std::max<DWORD>(desc.dwWidth >> level, 1);
    levelDesc.dwHeight = std::max<DWORD>(desc.dwHeight >> level, 1);
    levelDesc.dwMipMapCount = levels - level;
    HRESULT result = DD_OK;
    chain.push_back(MakeSurface(levelDesc, &result));
    if (result != DD_OK) return result;
  }
  for (size_t i = chain.size() - 1; i > 0; --i) chain[i - 1]->AddAttachedSurface(chain[i]);
  *out = chain.front();
  return DD_OK;
}

HRESULT IDirectDraw4::CreateSurface(const DDSURFACEDESC2& descIn, std::shared_ptr<IDirectDrawSurface4>* out) {
  if (!out) return DDERR_INVALIDPARAMS;
  out->reset();
  DisplayFaults& faults = GetDisplayMachine().faults;
  ++faults.createSurfaceCalls;
  if (faults.failCreateSurfaceAt > 0 && --faults.failCreateSurfaceAt == 0) return DDERR_GENERIC;
  DDSURFACEDESC2 desc = descIn;
  const bool primary = desc.ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE;
  if (primary) {
    desc.dwWidth = m_mode.dwWidth;
    desc.dwHeight = m_mode.dwHeight;
  } else if (!(desc.dwFlags & DDSD_WIDTH) || !(desc.dwFlags & DDSD_HEIGHT) || !desc.dwWidth || !desc.dwHeight) {
    return DDERR_INVALIDPARAMS;
  }
  if (primary || !(desc.dwFlags & DDSD_PIXELFORMAT)) desc.ddpfPixelFormat = m_mode.ddpfPixelFormat;
  if (desc.ddsCaps.dwCaps & DDSCAPS_MIPMAP) return MakeMipChain(desc, out);
  HRESULT result = DD_OK;
  std::shared_ptr<IDirectDrawSurface4> surface = MakeSurface(desc, &result);
  if (result != DD_OK) return result;
  if ((desc.ddsCaps.dwCaps & DDSCAPS_FLIP) && (desc.dwFlags & DDSD_BACKBUFFERCOUNT) && desc.dwBackBufferCount > 0) {
    DDSURFACEDESC2 backDesc = desc;
    backDesc.ddsCaps.dwCaps = (desc.ddsCaps.dwCaps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER)) | DDSCAPS_BACKBUFFER;
    std::shared_ptr<IDirectDrawSurface4> back = MakeSurface(backDesc, &result);
    if (result != DD_OK) return result;
    surface->AddAttachedSurface(back);
  }
  *out = std::move(surface);
  return DD_OK;
}

HRESULT IDirectDraw4::CreateClipper(DWORD flags, std::unique_ptr<IDirectDrawClipper>* out) {
  if (!out) return DDERR_INVALIDPARAMS;
  if (GetDisplayMachine().faults.failClipper) return DDERR_GENERIC;
  *out = std::make_unique<IDirectDrawClipper>();
  return DD_OK;
}

HRESULT IDirectDraw4::QueryDirect3D(IDirect3D3** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = m_direct3D.get();
  return m_direct3D ? DD_OK : DDERR_UNSUPPORTED;
}

void IDirectDraw4::LoseAllSurfaces() {
  for (const auto& weak : m_surfaces)
    if (auto surface = weak.lock()) surface->MarkLost();
}

size_t IDirectDraw4::LiveSurfaceCount() const {
  return static_cast<size_t>(std::count_if(m_surfaces.begin(), m_surfaces.end(), [](const auto& w) { return !w.expired(); }));
}
