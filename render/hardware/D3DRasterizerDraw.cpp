// The hardware back end's scene: projection, triangles with one or two texture stages, lines,
// and the texture mode bits (addressing and blending), each state set only when it changes.
#include <cmath>

#include "core/data/DebugPrintf.h"
#include "core/math/ViewFrustum.h"
#include "render/hardware/D3DRasterizer.h"
#include "render/hardware/DDErrorText.h"
#include "render/image/Texture.h"
#include "scene/lighting/FogState.h"

namespace {

constexpr DWORD kScreenVertexFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2;
constexpr DWORD kDrawFlags = D3DDP_DONOTUPDATEEXTENTS | D3DDP_DONOTLIGHT;

constexpr uint32_t kClampU = 0x10000;
constexpr uint32_t kClampV = 0x20000;
constexpr uint32_t kMirrorU = 0x40000;
constexpr uint32_t kMirrorV = 0x80000;
constexpr uint32_t kBlendField = 0x300000;
constexpr uint32_t kBlendAdditive = 0x100000;
constexpr uint32_t kBlendDarken = 0x200000;
constexpr uint32_t kBlendUnchanged = 0x300000;

DWORD Addressing(uint32_t bits, uint32_t clamp, uint32_t mirror) {
  if (bits & clamp) return D3DTADDRESS_CLAMP;
  if (bits & mirror) return D3DTADDRESS_MIRROR;
  return D3DTADDRESS_WRAP;
}

}  // namespace

bool CD3DRasterizer::BeginScene(ViewFrustum* camera, uint32_t) {
  ++m_frameCounter;
  m_textureMode = kNoTextureMode;
  m_appliedModeBits = -1;
  m_stageTextures = {};
  IDirect3DDevice3* device = Device();
  if (!device) return false;
  if (camera && m_backDesc.width && m_backDesc.height) {
    const float n = camera->GetNear(), f = camera->GetFar();
    const float q = f / (f - n);
    D3DMATRIX projection;
    projection.m[0][0] = 2.0f * n / static_cast<float>(m_backDesc.width);
    projection.m[1][1] = 2.0f * n / static_cast<float>(m_backDesc.height);
    projection.m[2][2] = q;
    projection.m[2][3] = 1.0f;
    projection.m[3][2] = -n * q;
    device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, projection);
  }
  m_cache->BeginFrame(static_cast<int32_t>(m_frameCounter));
  m_framework->RestoreSurfaces();
  return device->BeginScene() == D3D_OK;
}

void CD3DRasterizer::ApplyModeBits(uint32_t bits) {
  if (static_cast<int64_t>(bits) == m_appliedModeBits) return;
  m_appliedModeBits = bits;
  SetStageState(0, D3DTSS_ADDRESSU, Addressing(bits, kClampU, kMirrorU));
  SetStageState(0, D3DTSS_ADDRESSV, Addressing(bits, kClampV, kMirrorV));
  switch (bits & kBlendField) {
    case 0:
      // Fog comes back with a normal texture only when the scene has it on.
      if (m_scene && m_scene->enabled) SetRenderState(D3DRENDERSTATE_FOGENABLE, 1);
      SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
      SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
      break;
    case kBlendAdditive:
      SetRenderState(D3DRENDERSTATE_FOGENABLE, 0);
      SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
      SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
      break;
    case kBlendDarken:
      SetRenderState(D3DRENDERSTATE_FOGENABLE, 0);
      SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ZERO);
      SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCCOLOR);
      break;
    case kBlendUnchanged:
    default:
      break;
  }
}

void CD3DRasterizer::BindStages(CTexture* texture, IDirectDrawSurface4* first, CTexture* second,
                                IDirectDrawSurface4* secondHandle, bool twoTextures) {
  IDirect3DDevice3* device = Device();
  const int mode = twoTextures ? kTwoTextures : kOneTexture;
  if (twoTextures && m_textureMode != kTwoTextures) {
    SetStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    SetStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    SetStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    SetStageState(1, D3DTSS_TEXCOORDINDEX, 1);
    SetStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    SetStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    SetStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  } else if (!twoTextures && m_textureMode != kOneTexture) {
    SetStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTexture(1, nullptr);
    m_stageTextures[1] = nullptr;
  }
  const bool modeChanged = m_textureMode != mode;
  if (first != m_stageTextures[0] || modeChanged) {
    device->SetTexture(0, first);
    m_stageTextures[0] = first;
  }
  ApplyModeBits(texture ? texture->flags & kModeBitsMask : 0);
  if (twoTextures && (secondHandle != m_stageTextures[1] || modeChanged)) {
    device->SetTexture(1, secondHandle);
    m_stageTextures[1] = secondHandle;
  }
  (void)second;
}

void CD3DRasterizer::DrawTriangles(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices,
                                   uint32_t triangleCount, CTexture* texture, CTexture* secondTexture, float) {
  if (triangleCount == 0) return;
  m_triangles += triangleCount;
  IDirectDrawSurface4* first = texture ? m_cache->GetTextureHandle(texture) : nullptr;
  if (!m_drawing || !Device() || !vertices || !indices) return;
  const bool two = secondTexture != nullptr;
  IDirectDrawSurface4* second = two ? m_cache->GetTextureHandle(secondTexture) : nullptr;
  BindStages(texture, first, secondTexture, second, two);
  const HRESULT result = Device()->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, kScreenVertexFormat, vertices, vertexCount,
                                                        indices, 3 * triangleCount, kDrawFlags);
  if (result != D3D_OK) {
    DebugPrintf("GraphicsContext: Couldn't Draw Triangle!!!\n");
    DebugPrintf("%s", DDErrorToString(result));
  }
  m_textureMode = two ? kTwoTextures : kOneTexture;
}

void CD3DRasterizer::ClipPoint(ScreenVertex& p, const ScreenVertex& q, float maxX, float maxY) {
  const float dx = q.x - p.x, dy = q.y - p.y;
  auto clipX = [&](float edge) {
    if (dx != 0.0f) p.y += dy / dx * (edge - p.x);
    p.x = edge;
  };
  auto clipY = [&](float edge) {
    if (dy != 0.0f) p.x += dx / dy * (edge - p.y);
    p.y = edge;
  };
  if (p.x < 0.0f) clipX(0.0f);
  if (p.y < 0.0f) clipY(0.0f);
  if (p.x > maxX) clipX(maxX);
  if (p.y > maxY) clipY(maxY);
}

void CD3DRasterizer::DrawLines(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices,
                               uint32_t lineCount) {
  IDirect3DDevice3* device = Device();
  if (!device) return;
  SetStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  device->SetTexture(0, nullptr);
  m_stageTextures[0] = nullptr;
  ApplyModeBits(0);
  m_textureMode = kOneTexture;
  if (!m_drawing || !vertices || !indices || lineCount == 0) return;
  const float maxX = static_cast<float>(m_backDesc.width) - 1.0f;
  const float maxY = static_cast<float>(m_backDesc.height) - 1.0f;
  for (uint32_t i = 0; i + 1 < vertexCount; ++i) {
    ClipPoint(vertices[i], vertices[i + 1], maxX, maxY);
    ClipPoint(vertices[i + 1], vertices[i], maxX, maxY);
  }
  const HRESULT result = device->DrawIndexedPrimitive(D3DPT_LINELIST, kScreenVertexFormat, vertices, vertexCount,
                                                      indices, 2 * lineCount, kDrawFlags);
  if (result != D3D_OK) {
    DebugPrintf("GraphicsContext: Couldn't Draw Line!!!\n");
    DebugPrintf("%s", DDErrorToString(result));
  }
}
