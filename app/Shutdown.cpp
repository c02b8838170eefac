// Shutdown: the world goes first, then what it used, then the quit message.
#include "app/AppState.h"
#include "app/Application.h"
#include "core/data/ResourceTable.h"
#include "core/services/WorldServices.h"
#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"
#include "sound/SoundManager.h"

using namespace app_shell;

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
