// IDirect3D3: the Direct3D interface of one DirectDraw driver: its devices, their depth-buffer
// formats, and device creation on a render target through the machine's device factory.
#pragma once

#include <memory>

#include "platform/graphics/DisplayMachine.h"

using D3DEnumDevicesCallback = HRESULT (*)(GUID* guid, const char* description, const char* name,
                                           D3DDEVICEDESC* hardware, D3DDEVICEDESC* emulation, void* context);
using D3DEnumPixelFormatsCallback = HRESULT (*)(DDPIXELFORMAT* format, void* context);
constexpr HRESULT D3DENUMRET_CANCEL = 0;
constexpr HRESULT D3DENUMRET_OK = 1;

class IDirect3D3 {
 public:
  explicit IDirect3D3(const ScriptedDriver& driver) : m_driver(driver) {}

  HRESULT EnumDevices(D3DEnumDevicesCallback callback, void* context) const;
  HRESULT EnumZBufferFormats(const GUID& device, D3DEnumPixelFormatsCallback callback, void* context) const;
  // DDERR_INVALIDPARAMS for a device the driver does not have.
  HRESULT FindDevice(const GUID& device, D3DDEVICEDESC* hardware, D3DDEVICEDESC* emulation) const;
  HRESULT CreateDevice(const GUID& device, std::shared_ptr<IDirectDrawSurface4> target,
                       std::unique_ptr<IDirect3DDevice3>* out) const;

 private:
  const ScriptedD3DDevice* Find(const GUID& device) const;

  const ScriptedDriver& m_driver;
};
