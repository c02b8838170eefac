// The application shell: window, start-up order, the fixed-step frame, renderer switches, shutdown.
#include "app/Application.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "combat/VehicleDef.h"
#include "core/AssetPreloader.h"
#include "core/GameWorld.h"
#include "core/GlobalArt.h"
#include "core/InputMan.h"
#include "core/PrecisionTimer.h"
#include "core/SkateSettings.h"
#include "core/WorldAccess.h"
#include "core/math/DebugPrintf.h"
#include "core/math/Params.h"
#include "core/math/ResourceTable.h"
#include "core/math/ViewFrustum.h"
#include "park/VerezIvor.h"
#include "physics/rigid/RigidConst.h"
#include "platform/Platform.h"
#include "render/ColourDepth.h"
#include "render/DisplayMode.h"
#include "render/DriverDialog.h"
#include "render/RenderView.h"
#include "render/SoftwareRasterizer.h"
#include "sound/SoundManager.h"
#include "ui/SplashScreenLogic.h"

namespace {

const char kClassName[] = "Kelvarun";
const char kTitle[] = "Kelvarun";
constexpr float kTickSeconds = 33 * 0.001f;
constexpr int kLevelSwitches = 20;

HWND g_mainWindow = nullptr;
HINSTANCE g_instance = nullptr;
DWORD g_frameClockBase = 0;
DWORD g_lastElapsed = 0;
uint8_t g_active = 0;
uint8_t g_safeMode = 0;
uint8_t g_pvsWindowed = 0;
int g_startLevel = -1;
uint8_t g_rasterizerState = kNoRasterizer;
CRasterizerInterface* g_rasterizer = nullptr;  // owned
CRenderView* g_renderView = nullptr;           // owned
CVerezIvor* g_world = nullptr;                 // owned
CResourceTable* g_resourceTable = nullptr;     // owned
CSoundManager* g_soundManager = nullptr;       // owned
std::unique_ptr<CSkateSettings> g_settings;
uint32_t g_lastKey = 0;
DWORD g_lastKeyTime = 0;
std::string g_commandLine;

// The input manager lives for the whole process: its hooks go when the process ends.
CInputMan& InputManager() {
  static CInputMan input;
  return input;
}

CGameWorld* World() { return GetGameWorld(); }

uint32_t ColourDepthOfRasterizer(CRasterizerInterface* rasterizer) {
  const PixelBufferDesc* desc = rasterizer ? rasterizer->GetBackBufferDesc() : nullptr;
  return desc ? ColourDepthOf(*desc) : GetColourDepth();
}

// Takes over a new back end: binds it to the render view and updates what depends on its pixels.
void AdoptRasterizer(CRasterizerInterface* rasterizer, ViewFrustum* view, uint8_t state) {
  g_rasterizer = rasterizer;
  CGameWorld* world = World();
  g_renderView->Setup(rasterizer, view, world ? world->GetFogState() : nullptr,
                      world ? world->GetLightList() : nullptr, 31);
  SetColourDepth(ColourDepthOfRasterizer(rasterizer));
  if (world && world->GetGlobalArt()) world->GetGlobalArt()->Reload();
  g_rasterizerState = state;
}

CSoftwareRasterizer* CreateSoftwareRasterizer(const DisplayMode& mode) {
  CSoftwareRasterizer* rasterizer = new CSoftwareRasterizer();
  if (!rasterizer->Init(g_mainWindow, mode))
    DebugPrintf("Application: The software renderer could not set up a %ux%u frame\n", mode.width, mode.height);
  return rasterizer;
}

// Dispatches every waiting message. False when the quit message was met (the shell has then
// been shut down).
bool PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
    if (!GetMessageA(&msg, nullptr, 0, 0)) {
      ShutdownApplication();
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

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
  windowClass.lpszMenuName = kClassName;
  windowClass.lpszClassName = kClassName;
  return RegisterClassA(&windowClass) != 0;
}

HWND CreateMainWindow(HINSTANCE instance, int showCommand) {
  const DWORD style = WS_THICKFRAME | WS_SYSMENU;
  RECT rect = {0, 0, kBaseScreenWidth, kBaseScreenHeight};
  AdjustWindowRect(&rect, style, FALSE);
  const int width = rect.right + GetSystemMetrics(SM_CXFRAME);
  const int height = rect.bottom + GetSystemMetrics(SM_CYMENU) + GetSystemMetrics(SM_CYFRAME);
  HWND window = CreateWindowA(kClassName, kTitle, style, 0, 0, width, height, nullptr, nullptr, instance, nullptr);
  if (!window) return nullptr;
  g_mainWindow = window;
  ShowWindow(window, showCommand);
  return window;
}

// Leaves WinMain: the window goes with the program, as it would when the process ends.
int LeaveWinMain() {
  if (g_mainWindow) DestroyWindow(g_mainWindow);
  g_mainWindow = nullptr;
  return 0;
}

void WaitForPauseRelease() {
  // The wait keeps dispatching messages so the window stays alive and can still be closed.
  const DWORD start = timeGetTime();
  while (!(GetAsyncKeyState(VK_PAUSE) & 1)) {
    if (!PumpMessages() || !World()) return;
    Sleep(10);
  }
  g_frameClockBase += timeGetTime() - start;
}

}  // namespace

int WinMain(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int showCommand) {
  // A second copy hands over to the first one.
  if (HWND existing = FindWindowA(kClassName, nullptr)) {
    ShowWindow(existing, SW_RESTORE);
    return 0;
  }
  // The program's own folder, not one cut from the command line: an argument holding a
  // slash would otherwise choose the folder.
  const std::string folder = plat::ExecutableFolder();
  if (!folder.empty()) SetCurrentDirectoryA(folder.c_str());

  // A class stays registered for the life of the process.
  static const bool registered = RegisterMainClass(instance);
  if (!registered) return 0;
  g_instance = instance;
  if (!CreateMainWindow(instance, showCommand)) return 0;
  LoadAcceleratorsA(instance, kClassName);

  SetApplicationCommandLine(commandLine);
  InitApplication(g_mainWindow, instance);
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

LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
    case WM_DISPLAYCHANGE:
    case WM_COMMAND:
    case WM_MOVE:
    case WM_SIZE:
    case WM_CHAR:
      return 0;
    case WM_DESTROY:
      WinHelpA(window, "Kelvarun.HLP", HELP_QUIT, 0);
      ShutdownApplication();
      if (window == g_mainWindow) g_mainWindow = nullptr;
      return 0;
    case WM_ACTIVATE:
      OnActivate(window, wParam);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_CLOSE:
    case WM_QUIT:
      DestroyWindow(window);
      return 0;
    case WM_KEYDOWN:
      OnKeyMessage(static_cast<uint32_t>(wParam), 0);
      return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEWHEEL:
      OnMouseMessage(window, message, wParam, lParam);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void OnActivate(HWND window, WPARAM wParam) {
  g_active = (LOWORD(wParam) != 0 && HIWORD(wParam) == 0) ? 1 : 0;
  CGameWorld* world = World();
  if (world && world->GetRenderView()) {
    OutputDebugStringA("MainLoop: Flushing all textures on window activation!\n");
    if (g_rasterizer) g_rasterizer->ReleaseTextureSurfaces();
  }
}

void OnKeyMessage(uint32_t keyCode, uint32_t character) {
  if (keyCode == 0) return;
  g_lastKey = keyCode;
  g_lastKeyTime = timeGetTime();
}

void OnMouseMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CGameWorld* world = World();
  if (!world) return;
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      // Signed, so a captured position left of or above the window stays negative.
      world->lastButtonX = static_cast<SHORT>(LOWORD(static_cast<uintptr_t>(lParam)));
      world->lastButtonY = static_cast<SHORT>(HIWORD(static_cast<uintptr_t>(lParam)));
      break;
    default:
      break;
  }
  switch (message) {
    case WM_LBUTTONDOWN:
      world->leftDown = 1;
      break;
    case WM_LBUTTONUP:
      world->leftDown = 0;
      world->leftClick = 1;
      break;
    case WM_RBUTTONDOWN:
      world->rightDown = 1;
      break;
    case WM_RBUTTONUP:
      world->rightDown = 0;
      world->rightClick = 1;
      break;
    case WM_MOUSEWHEEL: {
      const short delta = GET_WHEEL_DELTA_WPARAM(wParam);
      if (delta > 0) world->wheelUp = 1;
      if (delta < 0) world->wheelDown = 1;
      break;
    }
    default:
      break;
  }
}

void SetApplicationCommandLine(const char* commandLine) { g_commandLine = commandLine ? commandLine : ""; }

void ReadCommandLine(const char* commandLine) {
  const char* text = commandLine ? commandLine : "";
  g_safeMode = Params::HasFlag(text, "safemode") ? 1 : 0;
  g_pvsWindowed = 0;
  if (Params::HasFlag(text, "pvs") && Params::HasFlag(text, "rays")) {
    // -1 (anything that truncates to it) keeps the mode. Compared as a float: a count past the
    // int range has no int to convert to.
    const float rays = Params::ReadFloat(text, "pvs");
    if (!(rays > -2.0f && rays <= -1.0f)) g_pvsWindowed = 1;
  }
  g_startLevel = FindLevelSwitch(text);
}

void InitApplication(HWND window, HINSTANCE instance) {
  g_mainWindow = window;
  g_instance = instance;

  // Settings first; key bindings never survive a restart.
  std::unique_ptr<CSkateSettings> settings(new CSkateSettings());
  settings->LoadDefault();
  settings->SetDefaultBindings();
  SetSettings(settings.get());
  g_settings = std::move(settings);

  RunDriverDialog(window, instance);
  ReadCommandLine(g_commandLine.c_str());
  CoInitialize(nullptr);

  g_renderView = new CRenderView();
  g_rasterizerState = kNoRasterizer;
  g_world = new CVerezIvor(window, instance);
  SetGameWorld(g_world);
  g_world->SetRenderView(g_renderView);
  plat::srand(0);  // every run draws the same sequence

  if (GetAsyncKeyState(VK_F12) & 0x8000) g_settings->SetFullScreen(!g_settings->IsFullScreen());
  if (g_pvsWindowed) g_settings->SetFullScreen(false);
  if (g_settings->IsFullScreen()) SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(WS_POPUP));
  g_settings->Save();

  SwitchToMenuRasterizer();

  // Meshes with rigid-body constants or a vehicle definition load as those assets.
  RigidConst::RegisterResourceLoaders();
  CVehicleDef::RegisterResourceLoader();
  g_resourceTable = new CResourceTable();
  g_resourceTable->SetWorld(g_world);
  PreloadAssets(g_resourceTable);

  CInputMan& input = InputManager();
  input.Init(instance, window);
  input.SetFrontEndMode(true);

  g_soundManager = new CSoundManager();
  g_soundManager->Init(g_resourceTable, window, g_settings.get());
  g_settings->ApplyBindings(&input);

  uint32_t detailWord = 0;
  static_assert(sizeof(detailWord) == sizeof(g_settings->textureDetail), "the option is one word");
  std::memcpy(&detailWord, &g_settings->textureDetail, sizeof(detailWord));
  g_renderView->SetTextureDetail(detailWord);

  g_world->SetResourceTable(g_resourceTable);
  g_world->SetInputManager(&input);
  g_world->SetSoundManager(g_soundManager);
  g_world->SetRenderView(g_renderView);

  g_frameClockBase = timeGetTime();
  g_lastElapsed = 0;
  ShowCursor(FALSE);

  if (g_startLevel < 0) g_world->AddLayerAtBottom(new CSplashScreenLogic());
}

int RunFrame() {
  CGameWorld* world = World();
  if (!world) return 0;
  if (!world->HasLayers()) {
    ShutdownApplication();
    return 0;
  }

  const DWORD now = timeGetTime();
  if (!g_active) {
    // Time stands still while the window is inactive.
    g_frameClockBase = now - g_lastElapsed;
    return 1;
  }
  const DWORD elapsed = now - g_frameClockBase;
  // Signed: a clock base set ahead of now (by a screen or the pause) means nothing is due yet.
  const int32_t signedElapsed = static_cast<int32_t>(elapsed);
  const int due = signedElapsed / static_cast<int32_t>(kTickMilliseconds);
  g_lastElapsed = elapsed;
  const int ticks = due < kMaxTicksPerFrame ? due : kMaxTicksPerFrame;
  if (due < 1) {
    // Unsigned arithmetic here would turn a base ahead of now into a sleep of weeks.
    int32_t rest = static_cast<int32_t>(kTickMilliseconds) - signedElapsed;
    if (rest < 0) rest = 0;
    if (rest > static_cast<int32_t>(kTickMilliseconds)) rest = kTickMilliseconds;
    Sleep(static_cast<DWORD>(rest));
    return 1;
  }

  CPrecisionTimer::ResetCalibration();
  CPrecisionTimer tickTimer;
  tickTimer.Start();
  int ran = 0;
  for (int i = 0; i < ticks; ++i) {
    if (g_world) g_world->SetStatusText(nullptr);
    world->Tick(kTickSeconds);
    ++ran;
    PumpMessages();
    world = World();
    if (!world) return 0;
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    ScreenToClient(g_mainWindow, &cursor);
    world->cursorX = cursor.x;
    world->cursorY = cursor.y;
    world->leftClick = 0;
    world->rightClick = 0;
  }
  const double tickSeconds = tickTimer.Elapsed();

  if (ran > 0 && g_active) {
    CPrecisionTimer::ResetCalibration();
    CPrecisionTimer renderTimer;
    renderTimer.Start();
    world->Render(g_renderView);
    const double renderSeconds = renderTimer.Elapsed();
    const double perTick = tickSeconds / ran;
    if (g_rasterizer && g_rasterizer->IsWindowed()) {
      char title[160];
      std::snprintf(title, sizeof(title), "Render Time = %fms, Ticks Per Frame = %d, Time Per Tick = %fms",
                    renderSeconds * 1000.0, ran, perTick * 1000.0);
      SetWindowTextA(g_mainWindow, title);
    }
  }

  if (due > ticks)
    g_frameClockBase = timeGetTime() - kTickMilliseconds;  // drop the backlog rather than spiral
  else
    g_frameClockBase += kTickMilliseconds * static_cast<DWORD>(ticks);

  if (IsDebugMode() && (GetAsyncKeyState(VK_PAUSE) & 1)) {
    WaitForPauseRelease();
    if (!World()) return 0;
  }
  return 1;
}

void ShutdownApplication() {
  CGameWorld* world = World();
  if (!world) return;
  world->RemoveAllLayers();
  if (g_world) g_world->ClearGrid();
  if (g_soundManager) g_soundManager->Release();

  delete world;
  g_world = nullptr;
  delete g_resourceTable;
  g_resourceTable = nullptr;
  delete g_rasterizer;
  g_rasterizer = nullptr;
  delete g_renderView;
  g_renderView = nullptr;
  SetGameWorld(nullptr);
  delete g_soundManager;
  g_soundManager = nullptr;

  OutputDebugStringA("Program should quit normally now...\n");
  ShowCursor(TRUE);
  PostQuitMessage(0);
}

void SwitchToMenuRasterizer() {
  if (g_rasterizerState == kMenuRasterizer || !g_renderView) return;
  delete g_rasterizer;
  g_rasterizer = nullptr;
  DisplayMode mode;
  mode.width = kBaseScreenWidth;
  mode.height = kBaseScreenHeight;
  mode.bits = kFrontEndBits;
  mode.fullScreen = g_settings && g_settings->IsFullScreen() ? 1 : 0;
  CSoftwareRasterizer* rasterizer = CreateSoftwareRasterizer(mode);
  g_renderView->SetScaleFactor(1.0f);
  AdoptRasterizer(rasterizer, nullptr, kMenuRasterizer);
}

void SwitchToGameRasterizer() {
  static ViewFrustum defaultView;
  if (!g_rasterizer || g_rasterizerState != kMenuRasterizer || !g_renderView || !g_settings) return;
  delete g_rasterizer;
  g_rasterizer = nullptr;
  DisplayMode mode;
  mode.width = g_settings->displayWidth;
  mode.height = g_settings->displayHeight;
  mode.bits = g_settings->displayBits;
  mode.fullScreen = g_settings->IsFullScreen() ? 1 : 0;
  if (g_settings->renderer == 0) {
    OutputDebugStringA("Application: No hardware renderer in this build; using the software renderer\n");
  } else if (g_settings->renderer != 1) {
    // Never go on with the deleted renderer: any unknown choice gets the software one.
    DebugPrintf("Application: Unknown renderer option %u; using the software renderer\n", g_settings->renderer);
  }
  CSoftwareRasterizer* rasterizer = CreateSoftwareRasterizer(mode);
  g_renderView->SetScaleFactor(0.5f);
  ViewFrustum* view = g_renderView->GetView() ? g_renderView->GetView() : &defaultView;
  AdoptRasterizer(rasterizer, view, kGameRasterizer);
}

HWND GetMainWindow() { return g_mainWindow; }
CRenderView* GetRenderView() { return g_renderView; }
CRasterizerInterface* GetRasterizer() { return g_rasterizer; }
uint8_t GetRasterizerState() { return g_rasterizerState; }
DWORD GetFrameClockBase() { return g_frameClockBase; }
void SetFrameClockBase(DWORD milliseconds) { g_frameClockBase = milliseconds; }
bool IsApplicationActive() { return g_active != 0; }
uint32_t GetLastKey() { return g_lastKey; }
DWORD GetLastKeyTime() { return g_lastKeyTime; }
bool IsSafeMode() { return g_safeMode != 0; }
bool IsPvsWindowed() { return g_pvsWindowed != 0; }
int GetStartLevel() { return g_startLevel; }
// The park's debug keys are the program's debug mode.
void SetDebugMode(bool on) { SetDebugKeysEnabled(on); }
bool IsDebugMode() { return AreDebugKeysEnabled(); }
