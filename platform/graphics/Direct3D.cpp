// The Direct3D interface of a scripted driver.
#include "platform/graphics/Direct3D.h"

#include "platform/graphics/RecordingDevice.h"

const ScriptedD3DDevice* IDirect3D3::Find(const GUID& device) const {
  for (const ScriptedD3DDevice& d : m_driver.devices)
    if (d.guid == device) return &d;
  return nullptr;
}

HRESULT IDirect3D3::EnumDevices(D3DEnumDevicesCallback callback, void* context) const {
  if (!callback) return DDERR_INVALIDPARAMS;
  for (const ScriptedD3DDevice& d : m_driver.devices) {
    GUID guid = d.guid;
    D3DDEVICEDESC hardware = d.hardware, emulation = d.emulation;
    if (callback(&guid, d.description.c_str(), d.name.c_str(), &hardware, &emulation, context) == D3DENUMRET_CANCEL)
      break;
  }
  return D3D_OK;
}

HRESULT IDirect3D3::EnumZBufferFormats(const GUID& device, D3DEnumPixelFormatsCallback callback, void* context) const {
  const ScriptedD3DDevice* d = Find(device);
  if (!d || !callback) return DDERR_INVALIDPARAMS;
  for (DDPIXELFORMAT format : d->depthFormats)
    if (callback(&format, context) == D3DENUMRET_CANCEL) break;
  return D3D_OK;
}

HRESULT IDirect3D3::FindDevice(const GUID& device, D3DDEVICEDESC* hardware, D3DDEVICEDESC* emulation) const {
  const ScriptedD3DDevice* d = Find(device);
  if (!d) return DDERR_INVALIDPARAMS;
  if (hardware) *hardware = d->hardware;
  if (emulation) *emulation = d->emulation;
  return D3D_OK;
}

HRESULT IDirect3D3::CreateDevice(const GUID& device, std::shared_ptr<IDirectDrawSurface4> target,
                                 std::unique_ptr<IDirect3DDevice3>* out) const {
  if (!out) return DDERR_INVALIDPARAMS;
  out->reset();
  const ScriptedD3DDevice* d = Find(device);
  if (!d || !target || !(target->Caps() & DDSCAPS_3DDEVICE)) return DDERR_INVALIDPARAMS;
  DisplayMachine& machine = GetDisplayMachine();
  if (machine.faults.failCreateDevice) return D3DERR_INITFAILED;
  if (machine.deviceFactory) *out = machine.deviceFactory(target, *d);
  else *out = std::make_unique<CRecordingDevice>(target, d->hardware, d->emulation, d->textureFormats);
  return *out ? D3D_OK : D3DERR_INITFAILED;
}
