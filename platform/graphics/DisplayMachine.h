// DisplayMachine: the display hardware the DirectDraw layer reports: its drivers, their Direct3D
// devices and display modes, the desktop depth, a fixed video-memory size, which device draws
// (the recording device unless a GL device is installed) and injected faults. One machine exists
// per process; tests script it, the program keeps the default of one driver with one device.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/Direct3DDevice.h"

struct ScriptedD3DDevice {
  GUID guid{};
  std::string name;
  std::string description;
  D3DDEVICEDESC hardware;   // any flag set marks a hardware device
  D3DDEVICEDESC emulation;
  std::vector<DDPIXELFORMAT> depthFormats;
  std::vector<DDPIXELFORMAT> textureFormats;
};

struct ScriptedDriver {
  bool primary = true;  // the primary display driver has no identifier
  GUID guid{};
  std::string description;
  std::string name;
  DDCAPS hardware;
  DDCAPS emulation;
  std::vector<ScriptedD3DDevice> devices;
  std::vector<DDSURFACEDESC2> modes;
  bool failCreate = false;    // DirectDrawCreate fails for this driver
  bool noDirect3D = false;    // the Direct3D interface cannot be obtained
};

// Faults take effect on the next calls; counts are 1-based and 0 means never.
struct DisplayFaults {
  int failCreateSurfaceAt = 0;  // the n-th CreateSurface from now fails with DDERR_GENERIC
  bool outOfVideoMemory = false;  // every video-memory CreateSurface fails with DDERR_OUTOFVIDEOMEMORY
  bool failCooperativeLevel = false;
  bool failDisplayMode = false;
  bool failClipper = false;
  bool failCreateDevice = false;
  bool failViewport = false;
  int createSurfaceCalls = 0;  // counted by the layer
};

// Makes the device that draws on a render target; the recording device by default.
using DeviceFactory = std::function<std::unique_ptr<IDirect3DDevice3>(
    std::shared_ptr<IDirectDrawSurface4> target, const ScriptedD3DDevice& device)>;

struct DisplayMachine {
  bool directDrawLoaded = true;
  bool hasEnumerateEx = true;
  DWORD desktopWidth = 1024;
  DWORD desktopHeight = 768;
  DWORD desktopBits = 16;
  uint64_t videoMemory = 16u << 20;
  std::vector<ScriptedDriver> drivers;
  DisplayFaults faults;
  DeviceFactory deviceFactory;  // empty: the recording device
};

// Identifiers of the devices the layer knows by name.
extern const GUID IID_IDirect3DHALDevice;
extern const GUID IID_IDirect3DRGBDevice;
extern const GUID IID_IDirect3DRefDevice;
extern const GUID IID_IDirect3DNullDevice;

inline bool operator==(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::equal(a.Data4, a.Data4 + 8, b.Data4);
}
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }

// The machine of this process. ResetDisplayMachine puts back the default: one primary driver
// with one hardware device (16-bit render and depth, perspective, alpha textures), modes 640x480,
// 800x600 and 1024x768 at 16 and 32 bits, 16 MB of video memory.
DisplayMachine& GetDisplayMachine();
void ResetDisplayMachine();
ScriptedDriver DefaultDriver();
ScriptedD3DDevice DefaultHardwareDevice();
DDSURFACEDESC2 DisplayModeDesc(DWORD width, DWORD height, DWORD bits);
