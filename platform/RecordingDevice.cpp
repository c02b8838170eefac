// The recording Direct3D device.
#include "platform/RecordingDevice.h"

#include <algorithm>

CRecordingDevice::CRecordingDevice(std::shared_ptr<IDirectDrawSurface4> target, const D3DDEVICEDESC& hardware,
                                   const D3DDEVICEDESC& emulation, std::vector<DDPIXELFORMAT> textureFormats)
    : m_target(std::move(target)),
      m_hardware(hardware),
      m_emulation(emulation),
      m_textureFormats(std::move(textureFormats)) {}

HRESULT CRecordingDevice::GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* emulation) const {
  if (hardware) *hardware = m_hardware;
  if (emulation) *emulation = m_emulation;
  return D3D_OK;
}

HRESULT CRecordingDevice::EnumTextureFormats(TextureFormatCallback callback, void* context) const {
  if (!callback) return DDERR_INVALIDPARAMS;
  for (const DDPIXELFORMAT& format : m_textureFormats)
    if (!callback(format, context)) break;
  return D3D_OK;
}

HRESULT CRecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state >= D3DRENDERSTATE_COUNT) return DDERR_INVALIDPARAMS;
  m_renderStates[state] = value;
  DeviceCall call{DeviceCallKind::RenderState};
  call.a = state;
  call.c = value;
  m_log.push_back(call);
  return D3D_OK;
}

HRESULT CRecordingDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) const {
  if (state >= D3DRENDERSTATE_COUNT || !value) return DDERR_INVALIDPARAMS;
  *value = m_renderStates[state];
  return D3D_OK;
}

HRESULT CRecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (stage >= 2 || type >= D3DTSS_COUNT) return DDERR_INVALIDPARAMS;
  m_stageStates[stage][type] = value;
  DeviceCall call{DeviceCallKind::StageState};
  call.a = stage;
  call.b = type;
  call.c = value;
  m_log.push_back(call);
  return D3D_OK;
}

HRESULT CRecordingDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) const {
  if (stage >= 2 || type >= D3DTSS_COUNT || !value) return DDERR_INVALIDPARAMS;
  *value = m_stageStates[stage][type];
  return D3D_OK;
}

HRESULT CRecordingDevice::SetTexture(DWORD stage, IDirectDrawSurface4* texture) {
  if (stage >= 2) return DDERR_INVALIDPARAMS;
  m_textures[stage] = texture;
  DeviceCall call{DeviceCallKind::Texture};
  call.a = stage;
  call.object = texture;
  m_log.push_back(call);
  return D3D_OK;
}

HRESULT CRecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX& matrix) {
  DeviceCall call{DeviceCallKind::Transform};
  call.a = type;
  call.matrix = matrix;
  m_log.push_back(call);
  return D3D_OK;
}

HRESULT CRecordingDevice::BeginScene() {
  if (m_inScene) return D3DERR_SCENE_IN_SCENE;
  if (m_target && m_target->IsLost() != DD_OK) return D3DERR_SCENE_BEGIN_FAILED;
  m_inScene = true;
  m_log.push_back(DeviceCall{DeviceCallKind::BeginScene});
  return D3D_OK;
}

HRESULT CRecordingDevice::EndScene() {
  if (!m_inScene) return D3DERR_SCENE_NOT_IN_SCENE;
  m_inScene = false;
  m_log.push_back(DeviceCall{DeviceCallKind::EndScene});
  return D3D_OK;
}

HRESULT CRecordingDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, const void* vertices,
                                               DWORD vertexCount, const uint16_t* indices, DWORD indexCount,
                                               DWORD flags) {
  if (m_failNextDraw) {
    m_failNextDraw = false;
    return DDERR_SURFACELOST;
  }
  if (!vertices || !indices) return DDERR_INVALIDPARAMS;
  // An index past the vertex array is the caller's fault a real device would crash on.
  for (DWORD i = 0; i < indexCount; ++i)
    if (indices[i] >= vertexCount) return DDERR_INVALIDPARAMS;
  DeviceCall call{type == D3DPT_LINELIST ? DeviceCallKind::DrawLines : DeviceCallKind::DrawTriangles};
  call.a = vertexCount;
  call.b = indexCount;
  call.c = vertexFormat;
  call.object = vertices;
  m_log.push_back(call);
  return D3D_OK;
}

HRESULT CRecordingDevice::Clear(DWORD rectCount, const D3DRECT* rects, DWORD flags, DWORD colour, float z,
                                DWORD stencil) {
  DeviceCall call{DeviceCallKind::Clear};
  call.a = flags;
  call.b = colour;
  call.c = rectCount;
  m_log.push_back(call);
  if (!(flags & D3DCLEAR_TARGET) || !m_target) return D3D_OK;
  // The colour is 32-bit ARGB; a 16-bit target gets it reduced to its own masks.
  const DDPIXELFORMAT& f = m_target->Format();
  DWORD pixel = colour;
  if (f.dwRGBBitCount == 16) {
    const bool is565 = f.dwGBitMask == 0x7E0;
    const DWORD r = (colour >> 19) & 0x1F, b = (colour >> 3) & 0x1F;
    const DWORD g = is565 ? (colour >> 10) & 0x3F : (colour >> 11) & 0x1F;
    pixel = is565 ? (r << 11 | g << 5 | b) : (r << 10 | g << 5 | b);
  }
  for (DWORD i = 0; i < std::max<DWORD>(rectCount, 1); ++i) {
    RECT r{0, 0, static_cast<LONG>(m_target->Width()), static_cast<LONG>(m_target->Height())};
    if (rects && rectCount) r = RECT{rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2};
    HRESULT filled = m_target->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, pixel);
    if (filled != DD_OK) return filled;
  }
  return D3D_OK;
}

HRESULT CRecordingDevice::SetRenderTarget(std::shared_ptr<IDirectDrawSurface4> target) {
  if (!target || !(target->Caps() & DDSCAPS_3DDEVICE)) return DDERR_INVALIDPARAMS;
  if (m_failNextTarget) {
    m_failNextTarget = false;
    return DDERR_INVALIDCAPS;
  }
  m_target = std::move(target);
  DeviceCall call{DeviceCallKind::RenderTarget};
  call.object = m_target.get();
  m_log.push_back(call);
  return D3D_OK;
}

HRESULT CRecordingDevice::SetViewport(const D3DVIEWPORT2& viewport) {
  m_viewport = viewport;
  DeviceCall call{DeviceCallKind::Viewport};
  call.a = viewport.dwWidth;
  call.b = viewport.dwHeight;
  m_log.push_back(call);
  return D3D_OK;
}

HRESULT CRecordingDevice::GetViewport(D3DVIEWPORT2* viewport) const {
  if (!viewport) return DDERR_INVALIDPARAMS;
  *viewport = m_viewport;
  return D3D_OK;
}
