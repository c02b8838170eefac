// CGLDevice: the Direct3D-style device drawn with OpenGL. Pre-transformed screen vertices go
// through one shader pair (perspective-correct through rhw, two modulating texture stages, fog
// from the specular alpha); render targets are frame buffer objects whose pixels are read back
// into the target surface (in its own format) before the CPU touches it, and taken up again
// once the CPU has changed it. Texture surfaces are uploaded when their contents change.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <vector>

#include "platform/graphics/Direct3DDevice.h"
#include "platform/graphics/DisplayMachine.h"

struct GLFunctions;

class CGLDevice : public IDirect3DDevice3 {
 public:
  // Null (logged) when no OpenGL context can be had.
  static std::unique_ptr<CGLDevice> Create(std::shared_ptr<IDirectDrawSurface4> target, const D3DDEVICEDESC& hardware,
                                           const D3DDEVICEDESC& emulation, std::vector<DDPIXELFORMAT> textureFormats);
  ~CGLDevice() override;
  CGLDevice(const CGLDevice&) = delete;
  CGLDevice& operator=(const CGLDevice&) = delete;

  HRESULT GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* emulation) const override;
  HRESULT EnumTextureFormats(TextureFormatCallback callback, void* context) const override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) const override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) const override;
  HRESULT SetTexture(DWORD stage, IDirectDrawSurface4* texture) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX& matrix) override { return D3D_OK; }
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, const void* vertices, DWORD vertexCount,
                               const uint16_t* indices, DWORD indexCount, DWORD flags) override;
  HRESULT Clear(DWORD rectCount, const D3DRECT* rects, DWORD flags, DWORD colour, float z, DWORD stencil) override;
  HRESULT SetRenderTarget(std::shared_ptr<IDirectDrawSurface4> target) override;
  std::shared_ptr<IDirectDrawSurface4> GetRenderTarget() const override { return m_target; }
  HRESULT SetViewport(const D3DVIEWPORT2& viewport) override;
  HRESULT GetViewport(D3DVIEWPORT2* viewport) const override;
  void SyncToSurface() override;
  void SyncFromSurface() override;

  // Makes the GL context and the device factory of the display machine draw with it; false
  // (logged) when OpenGL is not available, leaving the machine as it was.
  static bool Install();

 private:
  struct Target {
    // Not an owner: a texture slot drawn into once must still go when the cache frees it.
    std::weak_ptr<IDirectDrawSurface4> surface;
    const IDirectDrawSurface4* address = nullptr;
    unsigned fbo = 0, colour = 0, depth = 0;
    uint64_t knownStamp = ~0ull;  // the surface contents the frame buffer holds
    bool drawnSince = false;      // GL has drawn since the surface was last brought up to date
  };
  struct Texture {
    unsigned id = 0;
    uint64_t serial = 0;
    uint64_t stamp = ~0ull;
    DWORD width = 0, height = 0;
  };

  CGLDevice(std::shared_ptr<IDirectDrawSurface4> target, const D3DDEVICEDESC& hardware,
            const D3DDEVICEDESC& emulation, std::vector<DDPIXELFORMAT> textureFormats);
  bool BuildProgram();
  Target* TargetFor(const std::shared_ptr<IDirectDrawSurface4>& surface);
  void DropGoneTargets();
  void DeleteTarget(Target& target);
  void ReadBack(Target& target);
  void TakeUp(Target& target);
  void BindTarget();
  unsigned TextureFor(IDirectDrawSurface4* surface);
  void ApplyState();
  void ApplyStage(int stage);

  std::shared_ptr<IDirectDrawSurface4> m_target;
  D3DDEVICEDESC m_hardware;
  D3DDEVICEDESC m_emulation;
  std::vector<DDPIXELFORMAT> m_textureFormats;
  std::array<DWORD, D3DRENDERSTATE_COUNT> m_renderStates{};
  std::array<std::array<DWORD, D3DTSS_COUNT>, 2> m_stageStates{};
  std::array<IDirectDrawSurface4*, 2> m_textures{};
  D3DVIEWPORT2 m_viewport;
  bool m_inScene = false;
  std::vector<Target> m_targets;
  std::map<IDirectDrawSurface4*, Texture> m_textureObjects;
  unsigned m_program = 0, m_vertexArray = 0, m_vertexBuffer = 0, m_indexBuffer = 0;
  unsigned m_white = 0;  // bound to a stage without a texture: modulating by it changes nothing
  int m_uniformSize = -1, m_uniformColourOp = -1, m_uniformAlphaOp = -1, m_uniformStage1 = -1;
  int m_uniformFog = -1, m_uniformFogColour = -1;
  std::vector<uint8_t> m_readBack;
};
