// CRecordingDevice: a Direct3D device that draws nothing but logs every state change, texture
// binding, transform, scene bracket, draw and clear in order, keeps the current state for
// queries, and fills its memory render target on Clear so that locks and screenshots see it.
// Its transcript writes the log out as text that stays the same from run to run.
#pragma once

#include <array>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/graphics/Direct3DDevice.h"

enum class DeviceCallKind {
  RenderState,
  StageState,
  Texture,
  Transform,
  BeginScene,
  EndScene,
  DrawTriangles,
  DrawLines,
  Clear,
  RenderTarget,
  Viewport,
};

struct DeviceCall {
  explicit DeviceCall(DeviceCallKind k) : kind(k) {}
  DeviceCallKind kind;
  DWORD a = 0;  // state, stage, transform type, primitive vertex count or clear flags
  DWORD b = 0;  // stage state type, index count, clear colour or a bound surface's width
  DWORD c = 0;  // value, vertex format, clear rectangle count or a bound surface's height
  const void* object = nullptr;  // texture, render target or vertex data
  D3DMATRIX matrix;              // for transforms
  // For the transcript, which must not depend on addresses or on memory the caller reuses: the
  // bound surface's serial and a digest of its pixels at binding (every mip level), a draw's
  // own copy of its vertices and indices (once the transcript is kept) and its flags, a clear's depth.
  uint64_t serial = 0;  // 0: none
  uint32_t digest = 0;
  std::vector<uint8_t> vertices;
  std::vector<uint16_t> indices;
  DWORD flags = 0;
  float depth = 0.0f;
};

class CRecordingDevice : public IDirect3DDevice3 {
 public:
  CRecordingDevice(std::shared_ptr<IDirectDrawSurface4> target, const D3DDEVICEDESC& hardware,
                   const D3DDEVICEDESC& emulation, std::vector<DDPIXELFORMAT> textureFormats);

  HRESULT GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* emulation) const override;
  HRESULT EnumTextureFormats(TextureFormatCallback callback, void* context) const override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) const override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) const override;
  HRESULT SetTexture(DWORD stage, IDirectDrawSurface4* texture) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX& matrix) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, const void* vertices, DWORD vertexCount,
                               const uint16_t* indices, DWORD indexCount, DWORD flags) override;
  HRESULT Clear(DWORD rectCount, const D3DRECT* rects, DWORD flags, DWORD colour, float z, DWORD stencil) override;
  HRESULT SetRenderTarget(std::shared_ptr<IDirectDrawSurface4> target) override;
  std::shared_ptr<IDirectDrawSurface4> GetRenderTarget() const override { return m_target; }
  HRESULT SetViewport(const D3DVIEWPORT2& viewport) override;
  HRESULT GetViewport(D3DVIEWPORT2* viewport) const override;

  const std::vector<DeviceCall>& Log() const { return m_log; }
  void ClearLog() { m_log.clear(); }
  // From now on the transcript covers the device's whole life, whatever ClearLog drops, and each
  // draw keeps a copy of its vertices and indices for it (a long run clears the log to keep its
  // memory bounded and need not copy every draw, so this is for tests).
  void KeepTranscript() {
    m_whole = m_log;
    m_keepWhole = true;
  }
  // The log as text (or the whole record, once kept), a line per call: states and their values,
  // bindings and targets as surfaces numbered in order of first use (with their size, and for a
  // texture a digest of its pixels), transforms, clears, and each draw followed by its indices
  // and a line per vertex.
  std::string Transcript() const;
  // The next draw fails once (as a device may when its surfaces are lost).
  void FailNextDraw() { m_failNextDraw = true; }
  // The next render-target change is refused once (a surface the card cannot draw into).
  void FailNextRenderTarget() { m_failNextTarget = true; }
  IDirectDrawSurface4* BoundTexture(DWORD stage) const { return stage < 2 ? m_textures[stage] : nullptr; }

 private:
  void Record(DeviceCall call);
  uint32_t Digest(const IDirectDrawSurface4& surface);

  std::shared_ptr<IDirectDrawSurface4> m_target;
  D3DDEVICEDESC m_hardware;
  D3DDEVICEDESC m_emulation;
  std::vector<DDPIXELFORMAT> m_textureFormats;
  std::array<DWORD, D3DRENDERSTATE_COUNT> m_renderStates{};
  std::array<std::array<DWORD, D3DTSS_COUNT>, 2> m_stageStates{};
  std::array<IDirectDrawSurface4*, 2> m_textures{};
  D3DVIEWPORT2 m_viewport;
  bool m_inScene = false;
  bool m_failNextDraw = false;
  bool m_failNextTarget = false;
  std::vector<DeviceCall> m_log;
  std::vector<DeviceCall> m_whole;
  bool m_keepWhole = false;
  std::map<uint64_t, std::pair<uint64_t, uint32_t>> m_digests;  // serial: content stamps, digest
};
