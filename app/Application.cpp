// The application shell: window, start-up order, the fixed-step frame, renderer switches, shutdown.
#include "app/Application.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/EngineRegistration.h"
#include "core/AssetPreloader.h"
#include "core/GameActionLayer.h"
#include "core/GameWorld.h"
#include "core/GlobalArt.h"
#include "core/InputMan.h"
#include "core/ObjectFactory.h"
#include "core/PrecisionTimer.h"
#include "core/SkateSettings.h"
#include "core/WorldAccess.h"
#include "core/WorldServices.h"
#include "core/math/DebugPrintf.h"
#include "core/math/Params.h"
#include "core/math/ResourceTable.h"
#include "core/math/ViewFrustum.h"
#include "park/controller/GameLogic.h"
#include "park/controller/ParkPopupFactory.h"
#include "park/pieces/SkatableSection.h"
#include "park/world/VerezIvor.h"
#include "platform/GLDevice.h"
#include "platform/Platform.h"
#include "render/display/DisplayDrivers.h"
#include "render/display/DisplayMode.h"
#include "render/hardware/D3DRasterizer.h"
#include "render/image/ColourDepth.h"
#include "render/image/Texture.h"
#include "render/software/SoftwareRasterizer.h"
#include "render/view/RenderView.h"
#include "sound/SoundManager.h"
#include "ui/GameHooks.h"
#include "ui/SplashScreenLogic.h"
#include "ui/UIPopupFactory.h"

namespace {

const char kClassName[] = "Kelvarun";
const char kTitle[] = "Kelvarun";
constexpr float kTickSeconds = 33 * 0.001f;
constexpr int kLevelSwitches = 20;

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

AppState& App() {
  // The registries the world uses while it is destroyed are made first, so they outlive the state.
  GetWorldServices();
  GetObjectFactory();
  static AppState state;
  return state;
}

// The input manager lives for the whole process: its hooks go when the process ends.
CInputMan& InputManager() {
  static CInputMan input;
  return input;
}

uint32_t ColourDepthOfRasterizer(CRasterizerInterface* rasterizer) {
  const PixelBufferDesc* desc = rasterizer ? rasterizer->GetBackBufferDesc() : nullptr;
  return desc ? ColourDepthOf(*desc) : GetColourDepth();
}

// Takes over a new back end: binds it to the render view and updates what depends on its pixels.
void AdoptRasterizer(std::unique_ptr<CRasterizerInterface> adopted, ViewFrustum* view, uint8_t state) {
  AppState& app = App();
  app.rasterizer = std::move(adopted);
  CRasterizerInterface* rasterizer = app.rasterizer.get();
  CGameWorld* world = GetGameWorld();
  app.renderView->Setup(rasterizer, view, world ? world->GetFogState() : nullptr,
                      world ? world->GetLightList() : nullptr, 31);
  SetColourDepth(ColourDepthOfRasterizer(rasterizer));
  if (world && world->GetGlobalArt()) world->GetGlobalArt()->Reload();
  app.rasterizerState = state;
}

std::unique_ptr<CRasterizerInterface> CreateSoftwareRasterizer(const DisplayMode& mode) {
  auto rasterizer = std::make_unique<CSoftwareRasterizer>();
  if (!rasterizer->Init(App().mainWindow, mode))
    DebugPrintf("Application: The software renderer could not set up a %ux%u frame\n", mode.width, mode.height);
  return rasterizer;
}

// The hardware back end on the OpenGL device; null (logged) when there is no usable OpenGL
// or the device does not start, so the caller falls back to the software one.
std::unique_ptr<CRasterizerInterface> CreateHardwareRasterizer() {
  if (!CGLDevice::Install()) {
    OutputDebugStringA("Application: No usable OpenGL for the hardware renderer; using the software renderer\n");
    return nullptr;
  }
  auto rasterizer = std::make_unique<CD3DRasterizer>();
  if (!rasterizer->Create(App().mainWindow, *App().settings, IsSafeMode())) {
    OutputDebugStringA("Application: The hardware renderer did not start; using the software renderer\n");
    return nullptr;
  }
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
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = COLOR_WINDOW + 1;
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

// The single place the in-game controller is wired in (see ui/GameHooks.h): it makes the
// controller layer for the park and registers it as the park's controller.
std::unique_ptr<CGameActionLayer> CreateGameController(CVerezIvor& park) {
  auto logic = std::make_unique<CGameLogic>();
  park.SetController(logic.get());
  return logic;
}

// What the interface asks of the controller, answered by the park's current one.
uint32_t BuyThroughController(CVerezIvor& park, const ObjectDefinition& definition, int sponsorSlot) {
  CGameLogic* logic = park.GetController();
  if (logic == nullptr) return 0;
  COrientation frame;
  frame.SetPosition(logic->GetFocus());
  const uint32_t id = logic->BuyObject(definition, frame);
  if (id == CGameLogic::kNone) return 0;
  // Any slot outside the park's four is an ordinary piece, as the purchase without a controller
  // treats it: a stray slot would keep the piece from ever being cloned.
  const bool sponsor = sponsorSlot >= 0 && sponsorSlot < ParkState::kSponsorshipSlots;
  if (auto* piece = dynamic_cast<CSkatableSection*>(park.GetObjectByID(id))) piece->SetSponsorshipIndex(sponsor ? sponsorSlot : -1);
  return id;
}

uint32_t HeldByController(const CVerezIvor& park) {
  const CGameLogic* logic = park.GetController();
  return logic != nullptr && logic->GetHeldObjectId() != CGameLogic::kNone ? logic->GetHeldObjectId() : 0;
}

void SellThroughController(CVerezIvor& park, uint32_t id) {
  if (CGameLogic* logic = park.GetController()) logic->SellObject(id);
}

void ControlThroughController(CVerezIvor& park, uint32_t skaterId) {
  CGameLogic* logic = park.GetController();
  if (logic == nullptr) return;
  logic->SetSelectedSkater(skaterId);
  logic->SetSkaterControl(true);
}

void LeaveThroughController(CVerezIvor& park) {
  CGameLogic* logic = park.GetController();
  if (logic == nullptr) return;
  if (logic->IsControllingSkater())
    logic->SetSkaterControl(false);
  else
    logic->SetPerspectiveView(false, nullptr);
}

void ReleaseThroughController(CVerezIvor& park, uint32_t objectId) {
  if (CGameLogic* logic = park.GetController()) logic->ReleaseSelection(objectId);
}

bool SaveThroughController(CVerezIvor& park, const char* path) {
  return park.GetController() != nullptr && park.GetController()->SaveGame(path);
}

bool LoadThroughController(CVerezIvor& park, const char* path) {
  return park.GetController() != nullptr && park.GetController()->LoadGame(path);
}

// What the interface asks of the shell and the controller, and the layers the controller opens.
void RegisterGameHooks() {
  GameHooks& hooks = GetGameHooks();
  hooks.createController = CreateGameController;
  hooks.switchToGameRenderer = SwitchToGameRasterizer;
  hooks.switchToMenuRenderer = SwitchToMenuRasterizer;
  hooks.buyPiece = BuyThroughController;
  hooks.sellPiece = SellThroughController;
  hooks.heldPiece = HeldByController;
  hooks.takeSkaterControl = ControlThroughController;
  hooks.leavePerspective = LeaveThroughController;
  hooks.releaseSelection = ReleaseThroughController;
  hooks.saveGame = SaveThroughController;
  hooks.loadGame = LoadThroughController;
  SetParkPopupFactory(std::make_unique<CUIPopupFactory>());
}

void WaitForPauseRelease() {
  // The wait keeps dispatching messages so the window stays alive and can still be closed.
  const DWORD start = timeGetTime();
  while (!(GetAsyncKeyState(VK_PAUSE) & 1)) {
    if (!PumpMessages() || !GetGameWorld()) return;
    Sleep(10);
  }
  App().frameClockBase += timeGetTime() - start;
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
      if (window == App().mainWindow) App().mainWindow = nullptr;
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
  App().active = (LOWORD(wParam) != 0 && HIWORD(wParam) == 0) ? 1 : 0;
  CGameWorld* world = GetGameWorld();
  if (world && world->GetRenderView()) {
    OutputDebugStringA("MainLoop: Flushing all textures on window activation!\n");
    if (App().rasterizer) App().rasterizer->ReleaseTextureSurfaces();
  }
}

void OnKeyMessage(uint32_t keyCode, uint32_t character) {
  if (keyCode == 0) return;
  App().lastKey = keyCode;
  App().lastKeyTime = timeGetTime();
}

void OnMouseMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CGameWorld* world = GetGameWorld();
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

  if (app.startLevel < 0) app.world->AddLayerAtBottom(std::make_unique<CSplashScreenLogic>());
}

int RunFrame() {
  CGameWorld* world = GetGameWorld();
  if (!world) return 0;
  if (!world->HasLayers()) {
    ShutdownApplication();
    return 0;
  }

  const DWORD now = timeGetTime();
  if (!App().active) {
    // Time stands still while the window is inactive.
    App().frameClockBase = now - App().lastElapsed;
    return 1;
  }
  const DWORD elapsed = now - App().frameClockBase;
  // Signed: a clock base set ahead of now (by a screen or the pause) means nothing is due yet.
  const int32_t signedElapsed = static_cast<int32_t>(elapsed);
  const int due = signedElapsed / static_cast<int32_t>(kTickMilliseconds);
  App().lastElapsed = elapsed;
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
    if (App().world) App().world->SetStatusText(nullptr);
    world->Tick(kTickSeconds);
    ++ran;
    PumpMessages();
    world = GetGameWorld();
    if (!world) return 0;
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    ScreenToClient(App().mainWindow, &cursor);
    world->cursorX = cursor.x;
    world->cursorY = cursor.y;
    world->leftClick = 0;
    world->rightClick = 0;
  }
  const double tickSeconds = tickTimer.Elapsed();

  if (ran > 0 && App().active) {
    CPrecisionTimer::ResetCalibration();
    CPrecisionTimer renderTimer;
    renderTimer.Start();
    world->Render(App().renderView.get());
    const double renderSeconds = renderTimer.Elapsed();
    const double perTick = tickSeconds / ran;
    if (App().rasterizer && App().rasterizer->IsWindowed()) {
      char title[160];
      std::snprintf(title, sizeof(title), "Render Time = %fms, Ticks Per Frame = %d, Time Per Tick = %fms",
                    renderSeconds * 1000.0, ran, perTick * 1000.0);
      SetWindowTextA(App().mainWindow, title);
    }
  }

  if (due > ticks)
    App().frameClockBase = timeGetTime() - kTickMilliseconds;  // drop the backlog rather than spiral
  else
    App().frameClockBase += kTickMilliseconds * static_cast<DWORD>(ticks);

  if (IsDebugMode() && (GetAsyncKeyState(VK_PAUSE) & 1)) {
    WaitForPauseRelease();
    if (!GetGameWorld()) return 0;
  }
  return 1;
}

void ShutdownApplication() {
  CGameWorld* world = GetGameWorld();
  if (!world) return;
  AppState& app = App();
  world->RemoveAllLayers();
  if (app.world) app.world->ClearGrid();
  if (app.soundManager) app.soundManager->Release();

  // The world first (it clears itself against the renderer and the resources), then what it used.
  app.world.reset();
  app.resourceTable.reset();
  app.rasterizer.reset();
  app.renderView.reset();
  SetGameWorld(nullptr);
  app.soundManager.reset();

  OutputDebugStringA("Program should quit normally now...\n");
  ShowCursor(TRUE);
  PostQuitMessage(0);
}

void SwitchToMenuRasterizer() {
  AppState& app = App();
  if (app.rasterizerState == kMenuRasterizer || !app.renderView) return;
  app.rasterizer.reset();
  DisplayMode mode;
  mode.width = kBaseScreenWidth;
  mode.height = kBaseScreenHeight;
  mode.bits = kFrontEndBits;
  mode.fullScreen = app.settings && app.settings->IsFullScreen() ? 1 : 0;
  std::unique_ptr<CRasterizerInterface> rasterizer = CreateSoftwareRasterizer(mode);
  app.renderView->SetScaleFactor(1.0f);
  AdoptRasterizer(std::move(rasterizer), nullptr, kMenuRasterizer);
}

void SwitchToGameRasterizer() {
  static ViewFrustum defaultView;
  AppState& app = App();
  if (!app.rasterizer || app.rasterizerState != kMenuRasterizer || !app.renderView || !app.settings) return;
  app.rasterizer.reset();
  DisplayMode mode;
  mode.width = app.settings->displayWidth;
  mode.height = app.settings->displayHeight;
  mode.bits = app.settings->displayBits;
  mode.fullScreen = app.settings->IsFullScreen() ? 1 : 0;
  std::unique_ptr<CRasterizerInterface> rasterizer;
  if (app.settings->renderer == 0) {
    rasterizer = CreateHardwareRasterizer();
  } else if (app.settings->renderer != 1) {
    // Never go on with the deleted renderer: any unknown choice gets the software one.
    DebugPrintf("Application: Unknown renderer option %u; using the software renderer\n", app.settings->renderer);
  }
  if (!rasterizer) rasterizer = CreateSoftwareRasterizer(mode);
  app.renderView->SetScaleFactor(0.5f);
  ViewFrustum* view = app.renderView->GetView() ? app.renderView->GetView() : &defaultView;
  AdoptRasterizer(std::move(rasterizer), view, kGameRasterizer);
}

HWND GetMainWindow() { return App().mainWindow; }
CRenderView* GetRenderView() { return App().renderView.get(); }
CRasterizerInterface* GetRasterizer() { return App().rasterizer.get(); }
uint8_t GetRasterizerState() { return App().rasterizerState; }
DWORD GetFrameClockBase() { return App().frameClockBase; }
void SetFrameClockBase(DWORD milliseconds) { App().frameClockBase = milliseconds; }
bool IsApplicationActive() { return App().active != 0; }
uint32_t GetLastKey() { return App().lastKey; }
DWORD GetLastKeyTime() { return App().lastKeyTime; }
bool IsSafeMode() { return App().safeMode != 0; }
bool IsPvsWindowed() { return App().pvsWindowed != 0; }
int GetStartLevel() { return App().startLevel; }
// The park's debug keys are the program's debug mode.
void SetDebugMode(bool on) { SetDebugKeysEnabled(on); }
bool IsDebugMode() { return AreDebugKeysEnabled(); }
