// The display machine of this process and its default script.
#include "platform/graphics/DisplayMachine.h"

const GUID IID_IDirect3DHALDevice = {0x84E63DE0, 0x46AA, 0x11CF, {0x81, 0x6F, 0x00, 0x00, 0xC0, 0x20, 0x15, 0x6E}};
const GUID IID_IDirect3DRGBDevice = {0xA4665C60, 0x2673, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
const GUID IID_IDirect3DRefDevice = {0x50936643, 0x13E9, 0x11D1, {0x89, 0xAA, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};
const GUID IID_IDirect3DNullDevice = {0x8767DF22, 0xBACC, 0x11D1, {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};

namespace {

DisplayMachine MakeDefaultMachine() {
  DisplayMachine machine;
  machine.drivers.push_back(DefaultDriver());
  return machine;
}

}  // namespace

DisplayMachine& GetDisplayMachine() {
  static DisplayMachine machine = MakeDefaultMachine();
  return machine;
}

void ResetDisplayMachine() { GetDisplayMachine() = MakeDefaultMachine(); }

DDSURFACEDESC2 DisplayModeDesc(DWORD width, DWORD height, DWORD bits) {
  DDSURFACEDESC2 mode;
  mode.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | DDSD_PITCH | DDSD_REFRESHRATE;
  mode.dwWidth = width;
  mode.dwHeight = height;
  mode.dwRefreshRate = 60;
  if (bits == 32) mode.ddpfPixelFormat = PixelFormatX888();
  else if (bits == 15) mode.ddpfPixelFormat = PixelFormat555();
  else if (bits == 16) mode.ddpfPixelFormat = PixelFormat565();
  else {
    mode.ddpfPixelFormat.dwFlags = DDPF_RGB;
    mode.ddpfPixelFormat.dwRGBBitCount = bits;
    if (bits == 24) {
      mode.ddpfPixelFormat.dwRBitMask = 0xFF0000;
      mode.ddpfPixelFormat.dwGBitMask = 0xFF00;
      mode.ddpfPixelFormat.dwBBitMask = 0xFF;
    } else if (bits == 8) {
      mode.ddpfPixelFormat.dwRBitMask = 0xE0;
      mode.ddpfPixelFormat.dwGBitMask = 0x1C;
      mode.ddpfPixelFormat.dwBBitMask = 0x03;
    }
  }
  mode.lPitch = static_cast<LONG>(width * ((mode.ddpfPixelFormat.dwRGBBitCount + 7) / 8));
  return mode;
}

ScriptedD3DDevice DefaultHardwareDevice() {
  ScriptedD3DDevice device;
  device.guid = IID_IDirect3DHALDevice;
  device.name = "Direct3D HAL";
  device.description = "Hardware rasteriser";
  D3DDEVICEDESC& hw = device.hardware;
  hw.dwFlags = D3DDD_COLORMODEL;
  hw.dcmColorModel = D3DCOLOR_RGB;
  hw.dpcTriCaps.dwTextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA;
  hw.dpcTriCaps.dwTextureFilterCaps = D3DPTFILTERCAPS_LINEARMIPLINEAR;
  hw.dwDeviceRenderBitDepth = DDBD_16 | DDBD_32;
  hw.dwDeviceZBufferBitDepth = DDBD_16;
  hw.dwMinTextureWidth = hw.dwMinTextureHeight = 1;
  hw.dwMaxTextureWidth = hw.dwMaxTextureHeight = 256;
  device.depthFormats = {PixelFormatZ16()};
  device.textureFormats = {PixelFormat565(), PixelFormat1555(), PixelFormat4444(), PixelFormat8888()};
  return device;
}

ScriptedDriver DefaultDriver() {
  ScriptedDriver driver;
  driver.description = "Display";
  driver.name = "Primary Display Driver";
  driver.hardware.dwCaps = DDCAPS_3D;
  driver.hardware.dwCaps2 = DDCAPS2_CANRENDERWINDOWED;
  driver.devices.push_back(DefaultHardwareDevice());
  for (DWORD bits : {16u, 32u}) {
    driver.modes.push_back(DisplayModeDesc(640, 480, bits));
    driver.modes.push_back(DisplayModeDesc(800, 600, bits));
    driver.modes.push_back(DisplayModeDesc(1024, 768, bits));
  }
  return driver;
}
