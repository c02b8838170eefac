// Start-up: the single instance, the main window, the command line and the order in which the
// shell brings up settings, renderer, world, resources, input and sound.
#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/AppState.h"
#include "app/Application.h"
#include "app/EngineRegistration.h"
#include "core/data/DebugPrintf.h"
#include "core/data/Params.h"
#include "core/data/ResourceTable.h"
#include "core/input/InputMan.h"
#include "core/input/SkateSettings.h"
#include "core/world/AssetPreloader.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "render/display/DisplayDrivers.h"
#include "render/display/DisplaySizes.h"
#include "render/view/RenderView.h"
#include "sound/SoundManager.h"
#include "ui/screens/SplashScreenLogic.h"

using namespace app_shell;

namespace {

const char kClassName[] = "Kelvarun";
const char kTitle[] = "Kelvarun";
constexpr int kLevelSwitches = 20;

bool EqualNoCase(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// The level of the first "-l<n>" word after the program path, or -1.
int FindLevelSwitch(const char* commandLine) {
  const char* p = commandLine;
  while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
  // Skip the program path, which may be quoted because it holds spaces.
  if (*p == '"') {
    const char* close = std::strchr(p + 1, '"');
    p = close ? close + 1 : p + std::strlen(p);
  }
  while (*p && !std::isspace(static_cast<unsigned char>(*p))) ++p;
  for (;;) {
    while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (!*p) return -1;
    const char* start = p;
    while (*p && !std::isspace(static_cast<unsigned char>(*p))) ++p;
    const std::string token(start, p);
    for (int level = 0; level < kLevelSwitches; ++level) {
      const std::string word = "-l" + std::to_string(level);
      if (EqualNoCase(token, word.c_str())) return level;
    }
  }
}

bool RegisterMainClass(HINSTANCE instance) {
  WNDCLASSA windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWndProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = 101;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = COLOR_WINDOW + 1;
  windowClass.lpszMenuName = kClassName;
  windowClass.lpszClassName = kClassName;
  return RegisterClassA(&windowClass) != 0;
}

HWND CreateMainWindow(HINSTANCE instance, int showCommand) {
  const DWORD style = kMainWindowStyle;
  RECT rect = {0, 0, kBaseScreenWidth, kBaseScreenHeight};
  AdjustWindowRect(&rect, style, FALSE);
  const int width = rect.right + GetSystemMetrics(SM_CXFRAME);
  const int height = rect.bottom + GetSystemMetrics(SM_CYMENU) + GetSystemMetrics(SM_CYFRAME);
  HWND window = CreateWindowA(kClassName, kTitle, style, 0, 0, width, height, nullptr, nullptr, instance, nullptr);
  if (!window) return nullptr;
  App().mainWindow = window;
  ShowWindow(window, showCommand);
  return window;
}

// Leaves WinMain: the window goes with the program, as it would when the process ends.
int LeaveWinMain() {
  if (App().mainWindow) DestroyWindow(App().mainWindow);
  App().mainWindow = nullptr;
  return 0;
}

}  // namespace

int WinMain(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int showCommand) {
  // A second copy hands over to the first one.
  if (HWND existing = FindWindowA(kClassName, nullptr)) {
    // Said on the console too: without it a copy started from a shell just vanishes.
    if (ShowWindow(existing, SW_RESTORE))
      DebugPrintf("Application: Kelvarun is already running; its window is brought back and this copy stops\n");
    else
      DebugPrintf("Application: Kelvarun is already running; this copy stops\n");
    return 0;
  }
  // The program's own folder, not one cut from the command line: an argument holding a
  // slash would otherwise choose the folder.
  const std::string folder = plat::ExecutableFolder();
  if (!folder.empty()) SetCurrentDirectoryA(folder.c_str());

  // A class stays registered for the life of the process.
  static const bool registered = RegisterMainClass(instance);
  if (!registered) return 0;
  App().instance = instance;
  if (!CreateMainWindow(instance, showCommand)) return 0;
  LoadAcceleratorsA(instance, kClassName);

  SetApplicationCommandLine(commandLine);
  InitApplication(App().mainWindow, instance);
  if (!RunFrame()) return LeaveWinMain();
  for (;;) {
    MSG msg;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!GetMessageA(&msg, nullptr, 0, 0)) break;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (!RunFrame()) return LeaveWinMain();
  }
  ShutdownApplication();
  return LeaveWinMain();
}

void SetApplicationCommandLine(const char* commandLine) { App().commandLine = commandLine ? commandLine : ""; }

void ReadCommandLine(const char* commandLine) {
  const char* text = commandLine ? commandLine : "";
  App().safeMode = Params::HasFlag(text, "safemode") ? 1 : 0;
  App().pvsWindowed = 0;
  if (Params::HasFlag(text, "pvs") && Params::HasFlag(text, "rays")) {
    // -1 (anything that truncates to it) keeps the mode. Compared as a float: a count past the
    // int range has no int to convert to.
    const float rays = Params::ReadFloat(text, "pvs");
    if (!(rays > -2.0f && rays <= -1.0f)) App().pvsWindowed = 1;
  }
  App().startLevel = FindLevelSwitch(text);
}

void InitApplication(HWND window, HINSTANCE instance) {
  AppState& app = App();
  app.mainWindow = window;
  app.instance = instance;
  // The higher folders' parts before anything builds a world.
  RegisterEngineObjectTypes();
  RegisterEngineWorldServices();
  RegisterGameHooks();

  // Settings first; key bindings never survive a restart.
  auto settings = std::make_unique<CSkateSettings>();
  settings->LoadDefault();
  settings->SetDefaultBindings();
  SetSettings(settings.get());
  app.settings = std::move(settings);

  RunDriverDialog(window, instance);
  ReadCommandLine(app.commandLine.c_str());
  CoInitialize(nullptr);

  app.renderView = std::make_unique<CRenderView>();
  app.rasterizerState = kNoRasterizer;
  app.world = std::make_unique<CVerezIvor>(window, instance);  // registers itself as the world
  app.world->SetRenderView(app.renderView.get());
  plat::srand(0);  // every run draws the same sequence

  if (GetAsyncKeyState(VK_F12) & 0x8000) app.settings->SetFullScreen(!app.settings->IsFullScreen());
  if (app.pvsWindowed) app.settings->SetFullScreen(false);
  if (app.settings->IsFullScreen()) SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(WS_POPUP));
  // The file keeps only a size the chosen back end can show; the player is told after the title.
  std::vector<std::string> notices;
  const std::string fallBack = FallBackDisplaySize(*app.settings);
  if (!fallBack.empty()) notices.push_back(fallBack);
  app.settings->Save();

  SwitchToMenuRasterizer();

  app.resourceTable = std::make_unique<CResourceTable>();
  RegisterEngineLoaders(*app.resourceTable, app.world.get());
  PreloadAssets(app.resourceTable.get());

  CInputMan& input = InputManager();
  input.Init(instance, window);
  input.SetFrontEndMode(true);

  app.soundManager = std::make_unique<CSoundManager>();
  app.soundManager->Init(app.resourceTable.get(), window, app.settings.get());
  app.settings->ApplyBindings(&input);

  uint32_t detailWord = 0;
  static_assert(sizeof(detailWord) == sizeof(app.settings->textureDetail), "the option is one word");
  std::memcpy(&detailWord, &app.settings->textureDetail, sizeof(detailWord));
  app.renderView->SetTextureDetail(detailWord);

  app.world->SetResourceTable(app.resourceTable.get());
  app.world->SetInputManager(&input);
  app.world->SetSoundManager(app.soundManager.get());
  app.world->SetRenderView(app.renderView.get());

  app.frameClockBase = timeGetTime();
  app.lastElapsed = 0;
  ShowCursor(FALSE);

  if (app.startLevel < 0) app.world->AddLayerAtBottom(std::make_unique<CSplashScreenLogic>(std::move(notices)));
}
