// The menu and game renderers: which back end draws, and what changes when it does.
#include <memory>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/Application.h"
#include "core/data/DebugPrintf.h"
#include "core/input/SkateSettings.h"
#include "core/math/ViewFrustum.h"
#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/world/GlobalArt.h"
#include "platform/graphics/GLDevice.h"
#include "platform/system/Platform.h"
#include "render/display/DisplayMode.h"
#include "render/display/DisplaySizes.h"
#include "render/hardware/D3DRasterizer.h"
#include "render/image/ColourDepth.h"
#include "render/software/SoftwareRasterizer.h"
#include "render/view/RenderView.h"
#include "ui/screens/NoticeScreen.h"

using namespace app_shell;

namespace {

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

DisplayMode GameDisplayMode(const CSkateSettings& settings) {
  DisplayMode mode;
  mode.width = settings.displayWidth;
  mode.height = settings.displayHeight;
  mode.bits = settings.displayBits;
  mode.fullScreen = settings.IsFullScreen() ? 1 : 0;
  return mode;
}

// The game's back end. The settings come to name the one that runs and a size it can show; the
// line telling the player of a size that fell back goes into fallBack.
std::unique_ptr<CRasterizerInterface> CreateGameRasterizer(CSkateSettings& settings, std::string& fallBack) {
  std::unique_ptr<CRasterizerInterface> rasterizer;
  if (settings.renderer == 0) {
    fallBack = FallBackDisplaySize(settings);
    rasterizer = CreateHardwareRasterizer();
  } else if (settings.renderer != 1) {
    // Never go on with the deleted renderer: any unknown choice gets the software one.
    DebugPrintf("Application: Unknown renderer option %u; using the software renderer\n", settings.renderer);
  }
  if (rasterizer) return rasterizer;
  settings.renderer = 1;
  if (fallBack.empty()) fallBack = FallBackDisplaySize(settings);
  return CreateSoftwareRasterizer(GameDisplayMode(settings));
}

// Puts the window in the mode the settings ask for, so that leaving full screen in the settings
// gives back the framed window and its size, not a borderless one as large as the desktop.
void ShowWindowMode(bool fullScreen) {
  HWND window = App().mainWindow;
  if (window == nullptr) return;
  SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(fullScreen ? WS_POPUP : kMainWindowStyle));
  if (!plat::ShowFullScreen(window, fullScreen))
    DebugPrintf("Application: The window could not be shown %s\n", fullScreen ? "full screen" : "in a frame");
}

}  // namespace

void SwitchToMenuRasterizer() {
  AppState& app = App();
  if (app.rasterizerState == kMenuRasterizer || !app.renderView) return;
  app.rasterizer.reset();
  ShowWindowMode(app.settings && app.settings->IsFullScreen());
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
  ShowWindowMode(app.settings->IsFullScreen());
  std::string fallBack;
  std::unique_ptr<CRasterizerInterface> rasterizer = CreateGameRasterizer(*app.settings, fallBack);
  app.renderView->SetScaleFactor(0.5f);
  ViewFrustum* view = app.renderView->GetView() ? app.renderView->GetView() : &defaultView;
  AdoptRasterizer(std::move(rasterizer), view, kGameRasterizer);
  CGameWorld* world = GetGameWorld();
  if (!fallBack.empty() && world != nullptr)
    world->AddLayerOnTop(std::make_unique<CNoticeScreen>(std::vector<std::string>{fallBack}));
}

void RenewMenuRasterizer() {
  AppState& app = App();
  // A game's renderer is made for it when it starts; only the front end's is made again here.
  if (app.rasterizerState != kMenuRasterizer) return;
  app.rasterizerState = kNoRasterizer;
  SwitchToMenuRasterizer();
}
