// Display driver enumeration and choice: the drivers of the machine with their Direct3D devices
// and the display modes each can render to, the default pick, the scored pick for the player's
// display settings, and the decision to ask the player which of several video cards to use.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/graphics/DirectDraw.h"

struct DisplayModeRecord {
  DDSURFACEDESC2 desc;
  std::string text;  // "%ld x %ld x %ld"
};

struct DisplayDeviceRecord {
  GUID guid{};
  std::string name;
  D3DDEVICEDESC desc;  // the hardware description for a hardware device, else the emulation one
  bool hardware = false;
  bool canRenderWindowed = false;  // some mode has the desktop's depth and the driver renders into windows
  bool windowed = false;
  int defaultMode = -1;
  std::vector<DisplayModeRecord> modes;
};

struct DisplayDriverRecord {
  GUID guid{};  // all zero for the primary display driver
  bool primary = false;
  std::string description;  // at most 39 characters
  std::string name;
  DDCAPS hardware;
  DDCAPS emulation;
  int defaultDevice = -1;
  std::vector<DisplayDeviceRecord> devices;
};

struct DriverEnumeration {
  std::vector<DisplayDriverRecord> drivers;
  int defaultDriver = -1;
  bool deviceFound = false;
  bool referenceFound = false;
};

// What the back end starts its device with.
struct DeviceChoice {
  bool chosen = false;
  GUID driverGuid{};
  bool primaryDriver = true;  // the driver identifier pointer is null
  GUID deviceGuid{};
  DDSURFACEDESC2 mode;
  bool hardware = false;
};

// The part of the player's display settings the choice reads.
struct DisplayRequest {
  bool hardware = true;  // hardware rendering selected
  DWORD width = 640;
  DWORD height = 480;
  DWORD bits = 16;
};

constexpr HRESULT kEnumNoDevice = static_cast<HRESULT>(0x81000001u);
constexpr HRESULT kEnumNoMatch = static_cast<HRESULT>(0x81000002u);
constexpr HRESULT kEnumNoMatchWithReference = static_cast<HRESULT>(0x81000003u);
constexpr HRESULT kEnumNoDirectDraw = static_cast<HRESULT>(0x81000004u);

DriverEnumeration& GetDriverEnumeration();
// 0 or an enumeration code; builds the driver list and selects a default.
HRESULT EnumerateDirectDrawDrivers();
HRESULT SelectDefaultDriver();
void FreeDriverList();
// False only when the enumeration fails; with no driver the choice is left empty.
bool SelectD3DDriver(const DisplayRequest& request, DeviceChoice* choice);
// The full-screen sizes the hardware back end offers: the distinct sizes of its devices' modes at
// this depth (at any depth when none has it), smallest first; empty without a driver.
struct DisplaySize {
  DWORD width = 0;
  DWORD height = 0;
};
std::vector<DisplaySize> ListDisplaySizes(DWORD bits);
// The points a mode of a device of a driver earns for the request; -1 for a skipped mode.
int ScoreDisplayMode(const DisplayDriverRecord& driver, const DisplayDeviceRecord& device,
                     const DisplayModeRecord& mode, const DisplayRequest& request);

// The driver identifier the player picked (all zero until a pick).
GUID& PickedDriverGuid();
// Shows the card choice when there are two or more drivers; the chooser stands for the dialog:
// it gets the entries ("name, description") and answers the selected index, or -1 for none.
using DriverDialogChooser = std::function<int(const std::vector<std::string>& entries)>;
void SetDriverDialogChooser(DriverDialogChooser chooser);
bool RunDriverDialog(HWND window, HINSTANCE instance);
