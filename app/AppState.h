// The shell's state between calls, shared by its start-up, frame loop, renderers and shutdown.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/Application.h"
#include "platform/system/Win32.h"

class CInputMan;
class CRasterizerInterface;
class CRenderView;
class CResourceTable;
class CSkateSettings;
class CSoundManager;
class CVerezIvor;

namespace app_shell {

// Everything the shell keeps between calls, in one object for the life of the program. The
// window procedure and the frame functions are free functions called by the platform, so they
// reach it through App().
struct AppState {
  HWND mainWindow = nullptr;
  HINSTANCE instance = nullptr;
  DWORD frameClockBase = 0;
  DWORD lastElapsed = 0;
  uint8_t active = 0;
  uint8_t safeMode = 0;
  uint8_t pvsWindowed = 0;
  int startLevel = -1;
  uint8_t rasterizerState = kNoRasterizer;
  std::unique_ptr<CRasterizerInterface> rasterizer;
  std::unique_ptr<CRenderView> renderView;
  std::unique_ptr<CVerezIvor> world;
  std::unique_ptr<CResourceTable> resourceTable;
  std::unique_ptr<CSoundManager> soundManager;
  std::unique_ptr<CSkateSettings> settings;
  uint32_t lastKey = 0;
  DWORD lastKeyTime = 0;
  std::string commandLine;
};

AppState& App();
// The input manager lives for the whole process: its hooks go when the process ends.
CInputMan& InputManager();
// Dispatches every waiting message. False when the quit message was met (the shell has then
// been shut down).
bool PumpMessages();
// What the interface asks of the shell and the controller, and the layers the controller opens.
void RegisterGameHooks();

}  // namespace app_shell
