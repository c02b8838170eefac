// Display driver enumeration, default choice, scored choice and the video-card question.
#include "render/display/DisplayDrivers.h"

#include <algorithm>
#include <cstdio>

#include "core/data/DebugPrintf.h"

namespace {

DriverDialogChooser& Chooser() {
  // Headless default: the dialog opens with the first entry selected and is confirmed.
  static DriverDialogChooser chooser = [](const std::vector<std::string>&) { return 0; };
  return chooser;
}

int BitCount(DWORD mask) {
  int n = 0;
  for (; mask; mask &= mask - 1) ++n;
  return n;
}

DWORD DepthFlagOf(DWORD bits) {
  switch (bits) {
    case 32: return DDBD_32;
    case 24: return DDBD_24;
    case 16: return DDBD_16;
    case 8: return DDBD_8;
    default: return 0;
  }
}

bool AnyFlag(const D3DDEVICEDESC& desc) { return desc.dwFlags != 0; }

struct DriverContext {
  DriverEnumeration* list;
  DisplayDriverRecord* driver;
  IDirectDraw4* dd;
};

void AddModes(IDirectDraw4& dd, DisplayDriverRecord& driver, DisplayDeviceRecord& device) {
  struct ModeContext {
    DisplayDeviceRecord* device;
  } context{&device};
  dd.EnumDisplayModes(0, nullptr, &context, [](DDSURFACEDESC2* mode, void* ctx) -> HRESULT {
    DisplayDeviceRecord& dev = *static_cast<ModeContext*>(ctx)->device;
    const DWORD bits = mode->ddpfPixelFormat.dwRGBBitCount;
    if (bits == 8) return DDENUMRET_OK;
    if ((bits == 16 || bits == 24 || bits == 32) && !(dev.desc.dwDeviceRenderBitDepth & DepthFlagOf(bits)))
      return DDENUMRET_OK;
    char text[64];
    std::snprintf(text, sizeof text, "%ld x %ld x %ld", static_cast<long>(mode->dwWidth),
                  static_cast<long>(mode->dwHeight), static_cast<long>(bits));
    dev.modes.push_back(DisplayModeRecord{*mode, text});
    if (mode->dwWidth == 640 && mode->dwHeight == 480 && bits == 16) dev.defaultMode = static_cast<int>(dev.modes.size() - 1);
    else if (dev.defaultMode < 0) dev.defaultMode = 0;
    return DDENUMRET_OK;
  });
  if (!(driver.hardware.dwCaps2 & DDCAPS2_CANRENDERWINDOWED)) return;
  for (const DisplayModeRecord& mode : device.modes) {
    if (mode.desc.ddpfPixelFormat.dwRGBBitCount != GetDesktopBitsPerPixel()) continue;
    device.canRenderWindowed = true;
    if (driver.primary) device.windowed = true;
  }
}

HRESULT AddDevice(GUID* guid, const char* description, const char* name, D3DDEVICEDESC* hardware,
                  D3DDEVICEDESC* emulation, void* ctx) {
  if (!guid || !name || !hardware || !emulation || !ctx) return D3DENUMRET_CANCEL;
  DriverContext& context = *static_cast<DriverContext*>(ctx);
  if (*guid == IID_IDirect3DNullDevice) return D3DENUMRET_OK;
  context.list->deviceFound = true;
  DisplayDeviceRecord device;
  device.hardware = AnyFlag(*hardware);
  if (!device.hardware && !context.driver->primary) return D3DENUMRET_OK;
  device.guid = *guid;
  device.name = std::string(name).substr(0, 39);
  device.desc = device.hardware ? *hardware : *emulation;
  AddModes(*context.dd, *context.driver, device);
  if (device.modes.empty()) return D3DENUMRET_OK;
  if (*guid == IID_IDirect3DRefDevice) context.list->referenceFound = true;
  DisplayDriverRecord& driver = *context.driver;
  driver.devices.push_back(std::move(device));
  const int index = static_cast<int>(driver.devices.size() - 1);
  if (driver.devices.back().hardware) driver.defaultDevice = index;
  else if (driver.defaultDevice < 0 && (driver.devices.back().desc.dcmColorModel & D3DCOLOR_RGB))
    driver.defaultDevice = index;
  return D3DENUMRET_OK;
}

BOOL AddDriver(GUID* guid, const char* description, const char* name, void* ctx, void* monitor) {
  DriverEnumeration& list = *static_cast<DriverEnumeration*>(ctx);
  std::unique_ptr<IDirectDraw4> dd;
  IDirect3D3* d3d = nullptr;
  if (DirectDrawCreate(guid, &dd) != DD_OK || dd->QueryDirect3D(&d3d) != DD_OK) return TRUE;
  DisplayDriverRecord driver;
  driver.primary = guid == nullptr;
  if (guid) driver.guid = *guid;
  driver.description = std::string(description ? description : "").substr(0, 39);
  driver.name = std::string(name ? name : "").substr(0, 39);
  dd->GetCaps(&driver.hardware, &driver.emulation);
  DriverContext context{&list, &driver, dd.get()};
  d3d->EnumDevices(AddDevice, &context);
  if (driver.devices.empty()) return TRUE;
  list.drivers.push_back(std::move(driver));
  if (list.drivers.back().primary) list.defaultDriver = static_cast<int>(list.drivers.size() - 1);
  return TRUE;
}

}  // namespace

DriverEnumeration& GetDriverEnumeration() {
  static DriverEnumeration enumeration;
  return enumeration;
}

GUID& PickedDriverGuid() {
  static GUID picked{};
  return picked;
}

void FreeDriverList() {
  DriverEnumeration& list = GetDriverEnumeration();
  list.drivers.clear();
  list.defaultDriver = -1;
}

HRESULT EnumerateDirectDrawDrivers() {
  DriverEnumeration& list = GetDriverEnumeration();
  FreeDriverList();
  list.deviceFound = false;
  list.referenceFound = false;
  if (!GetDisplayMachine().directDrawLoaded) return kEnumNoDirectDraw;
  // Without the extended enumeration only the display drivers would be listed; the machine
  // has no others, so both paths give the same list.
  DirectDrawEnumerateExA(AddDriver, &list,
                         DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_DETACHEDSECONDARYDEVICES | DDENUM_NONDISPLAYDEVICES);
  return SelectDefaultDriver();
}

HRESULT SelectDefaultDriver() {
  DriverEnumeration& list = GetDriverEnumeration();
  const DWORD desktop = GetDesktopBitsPerPixel();
  for (DisplayDriverRecord& driver : list.drivers)
    for (DisplayDeviceRecord& device : driver.devices) {
      device.canRenderWindowed = false;
      if (!(driver.hardware.dwCaps2 & DDCAPS2_CANRENDERWINDOWED)) continue;
      for (const DisplayModeRecord& mode : device.modes)
        if (mode.desc.ddpfPixelFormat.dwRGBBitCount == desktop) device.canRenderWindowed = true;
    }
  const struct {
    bool hardware;
    bool windowed;
  } passes[] = {{true, true}, {false, true}, {true, false}, {false, false}};
  for (const auto& pass : passes) {
    for (size_t d = 0; d < list.drivers.size(); ++d) {
      DisplayDriverRecord& driver = list.drivers[d];
      if (pass.windowed && !(driver.hardware.dwCaps2 & DDCAPS2_CANRENDERWINDOWED)) continue;
      for (size_t v = 0; v < driver.devices.size(); ++v) {
        DisplayDeviceRecord& device = driver.devices[v];
        if (pass.windowed && !device.canRenderWindowed) continue;
        if (device.hardware != pass.hardware) continue;
        device.windowed = pass.windowed;
        list.defaultDriver = static_cast<int>(d);
        driver.defaultDevice = static_cast<int>(v);
        return 0;
      }
    }
  }
  if (!list.deviceFound) return kEnumNoDevice;
  return list.referenceFound ? kEnumNoMatchWithReference : kEnumNoMatch;
}

int ScoreDisplayMode(const DisplayDriverRecord& driver, const DisplayDeviceRecord& device,
                     const DisplayModeRecord& mode, const DisplayRequest& request) {
  const DDPIXELFORMAT& f = mode.desc.ddpfPixelFormat;
  const int c = BitCount(f.dwRBitMask) + BitCount(f.dwGBitMask) + BitCount(f.dwBBitMask);
  if (c == 8) return -1;
  const int want = static_cast<int>(request.bits);
  int score = 0;
  if (driver.guid == PickedDriverGuid()) score = request.hardware ? 500 : 2;
  if (device.hardware) score += 1;
  const DWORD z = device.desc.dwDeviceZBufferBitDepth;
  if (z == DDBD_16) score += want == 16 ? 3 : 1;
  if (z == DDBD_24 && want == 24) score += 2;
  if (z == DDBD_32 && want == 32) score += 2;
  const DWORD texture = device.desc.dpcTriCaps.dwTextureCaps;
  if (texture & D3DPTEXTURECAPS_ALPHA) score += 1;
  if (device.desc.dpcTriCaps.dwRasterCaps & D3DPRASTERCAPS_WBUFFER) score += 5;
  if (texture & D3DPTEXTURECAPS_PERSPECTIVE) score += 10;
  if (request.hardware == device.hardware) score += 10;
  if (driver.emulation.dwCaps & DDCAPS_3D) score += 1;
  if (mode.desc.dwHeight == request.height) score += 4;
  if (mode.desc.dwWidth == request.width) score += 2;
  if (c == want) score += 2;
  if ((c == 15 && want == 16) || (c == 24 && want == 32) || (c == 32 && want == 24)) score += 2;
  return score;
}

bool SelectD3DDriver(const DisplayRequest& request, DeviceChoice* choice) {
  *choice = DeviceChoice{};
  if (EnumerateDirectDrawDrivers() != 0) {
    // Nothing usable: the caller must not go on to start a device with an empty choice.
    FreeDriverList();
    return false;
  }
  int best = -1;
  for (const DisplayDriverRecord& driver : GetDriverEnumeration().drivers)
    for (const DisplayDeviceRecord& device : driver.devices)
      for (const DisplayModeRecord& mode : device.modes) {
        const int score = ScoreDisplayMode(driver, device, mode, request);
        if (score <= best) continue;
        best = score;
        choice->chosen = true;
        choice->driverGuid = driver.guid;
        choice->primaryDriver = driver.primary;
        choice->deviceGuid = device.guid;
        choice->mode = mode.desc;
        choice->hardware = device.hardware;
        DebugPrintf("%s Driver, %s Device, %s Mode selected.\n", driver.description.c_str(), device.name.c_str(),
                    mode.text.c_str());
      }
  DebugPrintf("Done looking for drivers.\n");
  FreeDriverList();
  return choice->chosen;
}

std::vector<DisplaySize> ListDisplaySizes(DWORD bits) {
  std::vector<DisplaySize> sizes;
  if (EnumerateDirectDrawDrivers() == 0) {
    for (bool anyDepth : {false, true}) {
      for (const DisplayDriverRecord& driver : GetDriverEnumeration().drivers)
        for (const DisplayDeviceRecord& device : driver.devices)
          for (const DisplayModeRecord& mode : device.modes) {
            if (!anyDepth && mode.desc.ddpfPixelFormat.dwRGBBitCount != bits) continue;
            const bool known = std::any_of(sizes.begin(), sizes.end(), [&](const DisplaySize& s) {
              return s.width == mode.desc.dwWidth && s.height == mode.desc.dwHeight;
            });
            if (!known) sizes.push_back(DisplaySize{mode.desc.dwWidth, mode.desc.dwHeight});
          }
      if (!sizes.empty()) break;
    }
  }
  FreeDriverList();
  std::sort(sizes.begin(), sizes.end(), [](const DisplaySize& a, const DisplaySize& b) {
    return a.width != b.width ? a.width < b.width : a.height < b.height;
  });
  return sizes;
}

void SetDriverDialogChooser(DriverDialogChooser chooser) { Chooser() = std::move(chooser); }

bool RunDriverDialog(HWND window, HINSTANCE instance) {
  EnumerateDirectDrawDrivers();
  struct Entry {
    GUID guid;
    std::string text;
  };
  std::vector<Entry> entries;
  for (const DisplayDriverRecord& driver : GetDriverEnumeration().drivers) {
    bool seen = false;
    for (const Entry& e : entries) seen = seen || e.guid == driver.guid;
    if (!seen) entries.push_back(Entry{driver.guid, driver.name + ", " + driver.description});
  }
  FreeDriverList();
  if (entries.size() < 2) return false;
  std::vector<std::string> texts;
  for (const Entry& e : entries) texts.push_back(e.text);
  // The dialog stays open until an entry is selected; a chooser that never selects leaves the pick unchanged.
  const int selected = Chooser()(texts);
  if (selected >= 0 && static_cast<size_t>(selected) < entries.size()) PickedDriverGuid() = entries[selected].guid;
  return true;
}
