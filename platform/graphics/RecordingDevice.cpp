// The recording Direct3D device.
#include "platform/graphics/RecordingDevice.h"

#include <algorithm>
#include <cstring>

#include "platform/system/Platform.h"

namespace {

// The bytes of a vertex in the formats the device knows: position with rhw, two colours, texture
// coordinate pairs.
size_t VertexSize(DWORD format) {
  return (format & D3DFVF_XYZRHW ? 16 : 0) + (format & D3DFVF_DIFFUSE ? 4 : 0) + (format & D3DFVF_SPECULAR ? 4 : 0) +
         8 * ((format >> 8) & 0xF);
}

uint32_t Fnv(uint32_t hash, const void* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i) hash = (hash ^ static_cast<const uint8_t*>(bytes)[i]) * 16777619u;
  return hash;
}

}  // namespace

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
  Record(std::move(call));
  return D3D_OK;
}

HRESULT CRecordingDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) const {
  if (state >= D3DRENDERSTATE_COUNT || !value) return DDERR_INVALIDPARAMS;
  *value = m_renderStates[state];
  return D3D_OK;
}

HRESULT CRecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  // Recorded even when refused: a back end that sends a stage or state the device lacks is at fault.
  DeviceCall call{DeviceCallKind::StageState};
  call.a = stage;
  call.b = type;
  call.c = value;
  Record(std::move(call));
  if (stage >= 2 || type >= D3DTSS_COUNT) return DDERR_INVALIDPARAMS;
  m_stageStates[stage][type] = value;
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
  if (texture) {
    call.serial = texture->Serial();
    call.b = texture->Width();
    call.c = texture->Height();
    call.digest = Digest(*texture);
  }
  Record(std::move(call));
  return D3D_OK;
}

HRESULT CRecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX& matrix) {
  DeviceCall call{DeviceCallKind::Transform};
  call.a = type;
  call.matrix = matrix;
  Record(std::move(call));
  return D3D_OK;
}

HRESULT CRecordingDevice::BeginScene() {
  if (m_inScene) return D3DERR_SCENE_IN_SCENE;
  if (m_target && m_target->IsLost() != DD_OK) return D3DERR_SCENE_BEGIN_FAILED;
  m_inScene = true;
  Record(DeviceCall{DeviceCallKind::BeginScene});
  return D3D_OK;
}

HRESULT CRecordingDevice::EndScene() {
  if (!m_inScene) return D3DERR_SCENE_NOT_IN_SCENE;
  m_inScene = false;
  Record(DeviceCall{DeviceCallKind::EndScene});
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
  if (m_keepWhole) {  // the copies are for the transcript only: a timed run does not pay for them
    call.vertices.assign(static_cast<const uint8_t*>(vertices),
                         static_cast<const uint8_t*>(vertices) + vertexCount * VertexSize(vertexFormat));
    call.indices.assign(indices, indices + indexCount);
  }
  call.flags = flags;
  Record(std::move(call));
  return D3D_OK;
}

HRESULT CRecordingDevice::Clear(DWORD rectCount, const D3DRECT* rects, DWORD flags, DWORD colour, float z,
                                DWORD stencil) {
  DeviceCall call{DeviceCallKind::Clear};
  call.a = flags;
  call.b = colour;
  call.c = rectCount;
  call.depth = z;
  Record(std::move(call));
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
  call.serial = m_target->Serial();
  call.b = m_target->Width();
  call.c = m_target->Height();
  Record(std::move(call));
  return D3D_OK;
}

HRESULT CRecordingDevice::SetViewport(const D3DVIEWPORT2& viewport) {
  m_viewport = viewport;
  DeviceCall call{DeviceCallKind::Viewport};
  call.a = viewport.dwWidth;
  call.b = viewport.dwHeight;
  Record(std::move(call));
  return D3D_OK;
}

HRESULT CRecordingDevice::GetViewport(D3DVIEWPORT2* viewport) const {
  if (!viewport) return DDERR_INVALIDPARAMS;
  *viewport = m_viewport;
  return D3D_OK;
}

// FNV-1a over the pixel format and the rows of every mip level; worked out again only when a
// level's content has changed since.
uint32_t CRecordingDevice::Digest(const IDirectDrawSurface4& surface) {
  uint64_t stamps = 0;
  for (const IDirectDrawSurface4* level = &surface; level; level = level->NextMipLevel())
    stamps += level->ContentStamp();
  const auto known = m_digests.find(surface.Serial());
  if (known != m_digests.end() && known->second.first == stamps) return known->second.second;
  const DDPIXELFORMAT& f = surface.Format();
  const DWORD masks[5] = {f.dwRGBBitCount, f.dwRBitMask, f.dwGBitMask, f.dwBBitMask, f.dwRGBAlphaBitMask};
  uint32_t hash = Fnv(2166136261u, masks, sizeof masks);
  for (const IDirectDrawSurface4* level = &surface; level; level = level->NextMipLevel()) {
    const DWORD size[2] = {level->Width(), level->Height()};
    hash = Fnv(hash, size, sizeof size);
    for (DWORD y = 0; y < level->Height(); ++y)
      hash = Fnv(hash, level->Pixels() + static_cast<size_t>(y) * level->Pitch(), level->Width() * f.dwRGBBitCount / 8);
  }
  m_digests[surface.Serial()] = {stamps, hash};
  return hash;
}

void CRecordingDevice::Record(DeviceCall call) {
  if (m_keepWhole) m_whole.push_back(call);
  m_log.push_back(std::move(call));
}

std::string CRecordingDevice::Transcript() const {
  std::map<uint64_t, size_t> numbers{{0, 0}};  // surfaces by serial, in order of first use
  auto surface = [&numbers](const DeviceCall& c) {
    return c.serial ? "surface " + std::to_string(numbers.emplace(c.serial, numbers.size()).first->second) + ", " +
                          std::to_string(c.b) + "x" + std::to_string(c.c)
                    : std::string("none");
  };
  std::string out;
  for (const DeviceCall& c : m_keepWhole ? m_whole : m_log) {
    switch (c.kind) {
      case DeviceCallKind::RenderState: plat::AppendFormat(out, "render state %u = %u\n", c.a, c.c); break;
      case DeviceCallKind::StageState: plat::AppendFormat(out, "stage %u state %u = %u\n", c.a, c.b, c.c); break;
      case DeviceCallKind::Texture:
        plat::AppendFormat(out, "texture %u: %s", c.a, surface(c).c_str());
        if (c.serial) plat::AppendFormat(out, ", pixels %08X", c.digest);
        out += "\n";
        break;
      case DeviceCallKind::Transform:
        plat::AppendFormat(out, "transform %u\n", c.a);
        for (const auto& row : c.matrix.m) plat::AppendFormat(out, "  %g %g %g %g\n", row[0], row[1], row[2], row[3]);
        break;
      case DeviceCallKind::BeginScene: out += "begin scene\n"; break;
      case DeviceCallKind::EndScene: out += "end scene\n"; break;
      case DeviceCallKind::DrawTriangles:
      case DeviceCallKind::DrawLines: {
        plat::AppendFormat(out, "%s: %u vertices, %u indices, format %X, flags %X\n  indices",
                           c.kind == DeviceCallKind::DrawLines ? "lines" : "triangles", c.a, c.b, c.c, c.flags);
        for (uint16_t i : c.indices) plat::AppendFormat(out, " %u", i);
        const size_t size = VertexSize(c.c);
        for (size_t at = 0; size && at + size <= c.vertices.size(); at += size) {
          const uint8_t* v = c.vertices.data() + at;
          auto next = [&v](auto value) {
            std::memcpy(&value, v, 4);
            v += 4;
            return value;
          };
          out += "\n ";
          for (int i = 0; i < (c.c & D3DFVF_XYZRHW ? 4 : 0); ++i) plat::AppendFormat(out, " %g", next(0.0f));
          for (DWORD colour : {D3DFVF_DIFFUSE, D3DFVF_SPECULAR})
            if (c.c & colour) plat::AppendFormat(out, " %08X", next(0u));
          for (DWORD i = 0; i < 2 * ((c.c >> 8) & 0xF); ++i) plat::AppendFormat(out, " %g", next(0.0f));
        }
        out += "\n";
        break;
      }
      case DeviceCallKind::Clear:
        plat::AppendFormat(out, "clear flags %X, colour %08X, %u rectangles, depth %g\n", c.a, c.b, c.c, c.depth);
        break;
      case DeviceCallKind::RenderTarget: plat::AppendFormat(out, "render target: %s\n", surface(c).c_str()); break;
      case DeviceCallKind::Viewport: plat::AppendFormat(out, "viewport %ux%u\n", c.a, c.b); break;
    }
  }
  return out;
}
