// The hardware back end: construction, device start-up and the simple state setters.
#include "render/hardware/D3DRasterizer.h"

#include <cstring>

#include "core/input/Settings.h"
#include "core/data/DebugPrintf.h"
#include "render/hardware/DDErrorText.h"
#include "render/image/Texture.h"

namespace {

// The cache's shape until the level loader gives its own.
const std::vector<float> kStartWeights = {16, 16, 16, 20, 32, 20, 16, 16};
const std::vector<uint32_t> kStartProceduralCounts = {2, 2, 2, 2, 2, 2, 2, 2, 2};
constexpr uint32_t kStartLowerLimit = 120;
constexpr uint32_t kStartUpperLimit = 200;
constexpr float kOptionOn = 0.9f;

DWORD FloatBits(float value) {
  DWORD bits;
  static_assert(sizeof(bits) == sizeof(value), "a render state carries a float's bits");
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}

}  // namespace

PixelBufferDesc DescribeSurface(const DDSURFACEDESC2& desc) {
  PixelBufferDesc out;
  const DDPIXELFORMAT& f = desc.ddpfPixelFormat;
  out.pixels = desc.lpSurface;
  out.width = desc.dwWidth;
  out.height = desc.dwHeight;
  out.pitch = desc.lPitch;
  out.colourBits = static_cast<uint32_t>(__builtin_popcount(f.dwRBitMask | f.dwGBitMask | f.dwBBitMask |
                                                            f.dwRGBAlphaBitMask));
  out.bytesPerPixel = f.dwRGBBitCount / 8;
  out.redMask = f.dwRBitMask;
  out.greenMask = f.dwGBitMask;
  out.blueMask = f.dwBBitMask;
  out.alphaMask = f.dwRGBAlphaBitMask;
  return out;
}

CD3DRasterizer::CD3DRasterizer()
    : CRasterizerInterface(kRasterizerHardware),
      m_framework(std::make_unique<CDisplayFramework>()),
      m_cache(std::make_unique<CFixedTextureCache>()) {}

CD3DRasterizer::~CD3DRasterizer() {
  // The cache's surfaces belong to the framework's DirectDraw object: they go first.
  m_cache->ReleaseAll();
  m_cache.reset();
  m_framework->DestroyObjects();
  m_framework.reset();
}

int CD3DRasterizer::Create(HWND window, const CSettings& settings, bool safeMode) {
  DisplayRequest request;
  request.hardware = settings.renderer == kRasterizerHardware;
  request.width = settings.displayWidth;
  request.height = settings.displayHeight;
  request.bits = settings.displayBits;
  DeviceChoice choice;
  if (!SelectD3DDriver(request, &choice)) return 0;
  D3DStartOptions options;
  options.fullScreen = settings.IsFullScreen();
  // The pick is the best-scoring mode the devices have, which need not be the size asked for.
  if (options.fullScreen && choice.chosen &&
      (choice.mode.dwWidth != request.width || choice.mode.dwHeight != request.height))
    DebugPrintf("CD3DRasterizer: %ux%u cannot be set full screen; %ux%u is used\n",
                static_cast<unsigned>(request.width), static_cast<unsigned>(request.height),
                static_cast<unsigned>(choice.mode.dwWidth), static_cast<unsigned>(choice.mode.dwHeight));
  options.safeMode = safeMode;
  options.antiAlias = settings.meshDetail;    // the first option word
  options.mipFilter = settings.textureDetail;  // the sixth option word
  return InitDevice(window, choice, options);
}

int CD3DRasterizer::InitDevice(HWND window, const DeviceChoice& choice, const D3DStartOptions& options) {
  m_scene = nullptr;
  m_cache->ReleaseAll();
  m_framework->DestroyObjects();
  const DWORD flags = kFrameworkBackBuffer | kFrameworkZBuffer | (options.fullScreen ? kFrameworkFullScreen : 0);
  // With no choice at all there is no device to start: the same message as a refused mode.
  const HRESULT result =
      choice.chosen ? m_framework->Initialize(window, choice.primaryDriver ? nullptr : &choice.driverGuid,
                                              &choice.deviceGuid, &choice.mode, flags)
                    : DDERR_INVALIDPARAMS;
  if (result != DD_OK) {
    MessageBoxA(window, "Display Mode Error - Check Screen Settings", "Ooops... Try again", MB_OK);
    return 0;
  }
  ReadTargetDesc();
  const D3DDEVICEDESC& desc = m_framework->DeviceDesc();
  m_cache->Create(m_framework->DirectDraw(), Device(), choice.hardware, kStartLowerLimit, kStartUpperLimit,
                  kStartWeights, kStartProceduralCounts, options.safeMode);
  m_wBufferCaps = desc.dpcTriCaps.dwRasterCaps & D3DPRASTERCAPS_WBUFFER;
  SetClipping(true);
  SetPerspectiveCorrection(true);
  SetFogEnable(true);
  SetBilinearFilter(true);
  SetBackfaceCulling(true);
  SetZBufferMode(ZBufferMode::kZBuffer, false);
  SetZWrite(true);
  ApplyStartStates(options);
  return 1;
}

void CD3DRasterizer::ApplyStartStates(const D3DStartOptions& options) {
  const D3DDEVICEDESC& desc = m_framework->DeviceDesc();
  SetRenderState(D3DRENDERSTATE_DITHERENABLE, 1);
  SetRenderState(D3DRENDERSTATE_TEXTUREMIN, D3DFILTER_MIPLINEAR);
  SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
  SetRenderState(D3DRENDERSTATE_SPECULARENABLE, 0);
  SetRenderState(D3DRENDERSTATE_RANGEFOGENABLE, 1);
  if (options.antiAlias > kOptionOn && (desc.dpcTriCaps.dwRasterCaps & D3DPRASTERCAPS_ANTIALIASSORTINDEPENDENT))
    SetRenderState(D3DRENDERSTATE_ANTIALIAS, D3DANTIALIAS_SORTINDEPENDENT);
  SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
  SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
  SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
  SetStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  SetStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  SetStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  SetStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
  SetStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
  const DWORD filters = desc.dpcTriCaps.dwTextureFilterCaps;
  if (options.mipFilter > kOptionOn && (filters & (D3DPTFILTERCAPS_LINEARMIPLINEAR | D3DPTFILTERCAPS_MIPFLINEAR)))
    SetStageState(0, D3DTSS_MIPFILTER, D3DTFP_LINEAR);
  SetStageState(1, D3DTSS_MINFILTER, D3DTFN_LINEAR);
  SetStageState(1, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
  SetStageState(1, D3DTSS_MIPFILTER, D3DTFP_NONE);
  SetStageState(0, D3DTSS_MIPMAPLODBIAS, FloatBits(-1.5f));
}

void CD3DRasterizer::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (IDirect3DDevice3* device = Device()) device->SetRenderState(state, value);
}

void CD3DRasterizer::SetStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (IDirect3DDevice3* device = Device()) device->SetTextureStageState(stage, type, value);
}

void CD3DRasterizer::ReadTargetDesc() {
  IDirectDrawSurface4* target = m_framework->CurrentTarget();
  if (!target) return;
  DDSURFACEDESC2 desc;
  target->GetSurfaceDesc(&desc);
  m_backDesc = DescribeSurface(desc);
}

void CD3DRasterizer::EndScene() {
  if (IDirect3DDevice3* device = Device()) device->EndScene();
}

void CD3DRasterizer::Clear(bool depth, bool target, uint32_t colour) {
  IDirect3DDevice3* device = Device();
  if (!device) return;
  const RECT& r = m_framework->RenderRect();
  D3DRECT rect;
  rect.x1 = r.left;
  rect.y1 = r.top;
  rect.x2 = r.right;
  rect.y2 = r.bottom;
  const DWORD flags = (target ? D3DCLEAR_TARGET : 0) | (depth ? D3DCLEAR_ZBUFFER : 0);
  device->Clear(1, &rect, flags, colour, 1.0f, 0);
}

void CD3DRasterizer::SetFogEnable(bool on) { SetRenderState(D3DRENDERSTATE_FOGENABLE, on); }
void CD3DRasterizer::SetFogColour(uint32_t colour) { SetRenderState(D3DRENDERSTATE_FOGCOLOR, colour); }
void CD3DRasterizer::SetPerspectiveCorrection(bool on) { SetRenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, on); }

void CD3DRasterizer::SetBilinearFilter(bool on) {
  SetRenderState(D3DRENDERSTATE_TEXTUREMAG, on ? D3DFILTER_LINEAR : D3DFILTER_NEAREST);
}

void CD3DRasterizer::SetBackfaceCulling(bool on) {
  m_culling = on;
  SetRenderState(D3DRENDERSTATE_CULLMODE, on ? D3DCULL_CCW : D3DCULL_NONE);
}

void CD3DRasterizer::SetZWrite(bool on) { SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, on); }

void CD3DRasterizer::SetZBufferMode(ZBufferMode mode, bool preferWBuffer) {
  if (mode == ZBufferMode::kOff) return SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_FALSE);
  const bool useW = (preferWBuffer || mode == ZBufferMode::kWBuffer) && m_wBufferCaps;
  SetRenderState(D3DRENDERSTATE_ZENABLE, useW ? D3DZB_USEW : D3DZB_TRUE);
}

void CD3DRasterizer::SetTextureFiltering(bool on) {
  SetRenderState(D3DRENDERSTATE_TEXTUREMIN, on ? D3DFILTER_MIPLINEAR : D3DFILTER_NEAREST);
  for (DWORD stage = 0; stage < 2; ++stage) {
    SetStageState(stage, D3DTSS_MINFILTER, on ? D3DTFN_LINEAR : D3DTFN_POINT);
    SetStageState(stage, D3DTSS_MAGFILTER, on ? D3DTFG_LINEAR : D3DTFG_POINT);
  }
}

void CD3DRasterizer::SetFillMode(bool wireframe) {
  SetRenderState(D3DRENDERSTATE_FILLMODE, wireframe ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
}

void CD3DRasterizer::SetTextureAddressing(bool wrap) {
  SetStageState(0, D3DTSS_ADDRESSU, wrap ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP);
  SetStageState(0, D3DTSS_ADDRESSV, wrap ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP);
}

// The device must not keep surfaces the cache is about to free.
void CD3DRasterizer::UnbindTextures() {
  m_stageTextures = {};
  m_textureMode = kNoTextureMode;
  if (IDirect3DDevice3* device = Device()) {
    device->SetTexture(0, nullptr);
    device->SetTexture(1, nullptr);
  }
}

void CD3DRasterizer::ReleaseAllTextures() {
  UnbindTextures();
  m_cache->ReleaseAll();
}

void CD3DRasterizer::ReleaseTextureSurfaces() {
  UnbindTextures();
  m_cache->ReleaseSurfaces();
}

void CD3DRasterizer::ReleaseTexture(CTexture* texture) {
  if (!texture || !texture->deviceTexture) return;
  if (auto* cached = dynamic_cast<CCachedTexture*>(texture->deviceTexture)) {
    UnbindTextures();  // its slot may be bound; the next draw binds again
    m_cache->RemoveTexture(cached);
  }
}

bool CD3DRasterizer::SelectTexture(CTexture* texture) {
  if (!texture) {
    DebugPrintf("Missing Texture?\n");
    return false;
  }
  if (!texture->deviceTexture) {
    // A texture whose pixels wait in its file gets them read back, as the software store does;
    // registered as a pixel-less texture it would be drawn black from an empty slot.
    if (texture->HasPixelSource()) {
      m_cache->RegisterMipmapped(texture);
    } else if (m_cache->Register(texture)) {
      m_cache->GetTextureHandle(texture);
    }
  }
  return texture->deviceTexture != nullptr;
}

bool CD3DRasterizer::LockTexture(CTexture* texture, PixelBufferDesc** desc) {
  auto* cached = texture ? dynamic_cast<CCachedTexture*>(texture->deviceTexture) : nullptr;
  IDirectDrawSurface4* image = cached ? cached->Image(0) : nullptr;
  if (!image || !desc || !*desc) return false;
  DDSURFACEDESC2 locked;
  if (image->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_NOSYSLOCK, nullptr) != DD_OK) return false;
  **desc = DescribeSurface(locked);
  return true;
}

void CD3DRasterizer::UnlockTexture(CTexture* texture) {
  auto* cached = texture ? dynamic_cast<CCachedTexture*>(texture->deviceTexture) : nullptr;
  IDirectDrawSurface4* image = cached ? cached->Image(0) : nullptr;
  if (!image) return;
  image->Unlock(nullptr);
  m_cache->RefreshTexture(texture);
}
