// The shell's state and what screens and tests read of it.
#include "app/Application.h"

#include "app/AppState.h"
#include "core/input/InputMan.h"
#include "core/input/SkateSettings.h"
#include "core/data/ResourceTable.h"
#include "core/services/WorldServices.h"
#include "core/world/ObjectFactory.h"
#include "park/controller/GameLogic.h"
#include "park/world/VerezIvor.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"
#include "sound/SoundManager.h"

namespace app_shell {

AppState& App() {
  // The registries the world uses while it is destroyed are made first, so they outlive the state.
  GetWorldServices();
  GetObjectFactory();
  static AppState state;
  return state;
}

CInputMan& InputManager() {
  static CInputMan input;
  return input;
}

}  // namespace app_shell

using app_shell::App;

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
