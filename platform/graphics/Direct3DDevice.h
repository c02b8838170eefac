// IDirect3DDevice3: the drawing device the hardware back end talks to: render and texture-stage
// state, textures (device-side copies of texture surfaces), the projection, scenes, indexed
// pre-transformed primitives, clears, the render target and the viewport. Implemented by the
// recording device (tests) and the OpenGL device.
#pragma once

#include <memory>

#include "platform/graphics/DirectDrawSurface.h"

// Texture formats a device accepts, offered one at a time; returning false stops the enumeration.
using TextureFormatCallback = bool (*)(const DDPIXELFORMAT& format, void* context);

class IDirect3DDevice3 {
 public:
  virtual ~IDirect3DDevice3() = default;

  virtual HRESULT GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* emulation) const = 0;
  virtual HRESULT EnumTextureFormats(TextureFormatCallback callback, void* context) const = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) const = 0;
  virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
  virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) const = 0;
  // The texture is a texture surface; null unbinds the stage.
  virtual HRESULT SetTexture(DWORD stage, IDirectDrawSurface4* texture) = 0;
  virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX& matrix) = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, const void* vertices,
                                       DWORD vertexCount, const uint16_t* indices, DWORD indexCount, DWORD flags) = 0;
  virtual HRESULT Clear(DWORD rectCount, const D3DRECT* rects, DWORD flags, DWORD colour, float z, DWORD stencil) = 0;
  virtual HRESULT SetRenderTarget(std::shared_ptr<IDirectDrawSurface4> target) = 0;
  virtual std::shared_ptr<IDirectDrawSurface4> GetRenderTarget() const = 0;
  virtual HRESULT SetViewport(const D3DVIEWPORT2& viewport) = 0;
  virtual HRESULT GetViewport(D3DVIEWPORT2* viewport) const = 0;
  // Called before the CPU locks the render target, and after it has unlocked it: a device that
  // draws elsewhere (a GL frame buffer) brings its pixels into the surface and takes them back.
  virtual void SyncToSurface() {}
  virtual void SyncFromSurface() {}

 protected:
  IDirect3DDevice3() = default;
};
