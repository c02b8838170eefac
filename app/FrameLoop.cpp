// The fixed-step frame and the window's messages: ticks the world at a fixed rate, renders once
// a frame and keeps the mouse, keys and activation of the window.
#include <cstdio>

#include "app/AppState.h"
#include "app/Application.h"
#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/world/PrecisionTimer.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"

using namespace app_shell;

namespace {

constexpr float kTickSeconds = 33 * 0.001f;

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

namespace app_shell {

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

}  // namespace app_shell

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
