// The frame's draw pass: the shared back-buffer lock of interface layers, the overlay, the 3D scene
// pass with the weather behind it, and interface layers' input.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/world/GameWorld.h"
#include "core/input/InputMan.h"
#include "core/services/WorldEffects.h"
#include "core/services/WorldServices.h"
#include "core/spatial/BoundedObject.h"
#include "core/spatial/VisibilityFile.h"
#include "platform/system/Platform.h"
#include "render/view/RenderView.h"
#include "scene/camera/ObserverCam.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LightList.h"
#include "tests/support/RecordingRasterizer.h"
#include "tests/support/TempFolder.h"
#include "ui/widgets/UIActionLayer.h"
#include "ui/widgets/UIManager.h"

namespace {

using testing_support::DebugCapture;

// The in-game layer's draw: the 3D scene through the world.
class SceneLayer : public CGameActionLayer {
 public:
  explicit SceneLayer(CGameWorld* world) : m_world(world) {}
  void Draw(CRenderView* view, PixelBufferDesc** locked) override { m_world->RenderScene(view, locked); }

 private:
  CGameWorld* m_world;
};

class Drawable : public CBoundedObject {
 public:
  explicit Drawable(uint32_t flags) { SetBoundFlags(flags); }
  void Render(CSceneDrawInterface*) override { ++renders; }
  int renders = 0;
};

// Notes for each draw whether the view picked levels of detail while drawing it.
class LodWatcher : public CBoundedObject {
 public:
  explicit LodWatcher(const CRenderView* view) : m_view(view) {
    SetBoundFlags(kRenderable);
    SetBounds(Box(Vector3(-10, -10, -10), Vector3(10, 10, 10)));
  }
  void Render(CSceneDrawInterface*) override { lodOn.push_back((m_view->GetFlags() & CRenderView::kLODOff) == 0); }
  std::vector<bool> lodOn;

 private:
  const CRenderView* m_view;
};

class RenderWorld : public ::testing::Test {
 protected:
  explicit RenderWorld(RasterizerKind kind = kRasterizerHardware)
      : rasterizer(640, 480, kind), world(nullptr, nullptr) {
    view.Setup(&rasterizer, nullptr, world.GetFogState(), world.GetLightList(), 31);
    world.SetRenderView(&view);
    world.SetInputManager(&input);
    rasterizer.Forget();
  }
  DebugCapture quiet;
  RecordingRasterizer rasterizer;
  CRenderView view;
  CInputMan input;
  CGameWorld world;
};

TEST_F(RenderWorld, InterfaceLayersShareOneLockAndThe3DLayerUnlocksIt) {
  world.AddLayerOnTop(std::make_unique<CUIActionLayer>());
  world.AddLayerOnTop(std::make_unique<CUIActionLayer>());
  world.AddLayerOnTop(std::make_unique<SceneLayer>(&world));
  world.AddLayerOnTop(std::make_unique<CUIActionLayer>());
  world.Render(&view);
  EXPECT_EQ(rasterizer.Count("LockBackBuffer"), 2);
  EXPECT_EQ(rasterizer.lockDepth, 0);
  const int firstLock = rasterizer.IndexOf("LockBackBuffer");
  const int begin = rasterizer.IndexOf("BeginScene");
  EXPECT_LT(firstLock, rasterizer.IndexOf("UnlockBackBuffer"));
  EXPECT_LT(rasterizer.IndexOf("UnlockBackBuffer"), begin);
  EXPECT_LT(begin, rasterizer.IndexOf("LockBackBuffer", firstLock + 1));
  EXPECT_EQ(rasterizer.calls.back(), "PresentFrame");
}

TEST_F(RenderWorld, ClearingLayerUnlocksBeforeItClears) {
  world.AddLayerOnTop(std::make_unique<CUIActionLayer>());
  CUIActionLayer* clearing = new CUIActionLayer();
  clearing->SetClearScreen(true);
  world.AddLayerOnTop(std::unique_ptr<CGameActionLayer>(clearing));
  world.Render(&view);
  const int unlock = rasterizer.IndexOf("UnlockBackBuffer");
  ASSERT_GE(unlock, 0);
  EXPECT_LT(unlock, rasterizer.IndexOf("Clear(1,1,0x00000000)"));
  EXPECT_EQ(rasterizer.lockDepth, 0);
}

TEST_F(RenderWorld, ScenePassDrawsRenderableObjectsOnceAndClearsTheOverview) {
  Drawable* shown = new Drawable(CBoundedObject::kRenderable);
  Drawable* hidden = new Drawable(0);
  // Both around the camera, so that the view's culling keeps them and only the flags decide.
  shown->SetBounds(Box(Vector3(-10, -10, -10), Vector3(10, 10, 10)));
  hidden->SetBounds(shown->GetBounds());
  world.GetOctree().InsertObject(shown);
  world.GetOctree().InsertObject(hidden);
  auto owned = std::make_unique<CObserverCam>();
  CObserverCam* camera = owned.get();
  world.AddCamera(std::move(owned));
  world.SetCurrentCamera(0);
  PixelBufferDesc* locked = nullptr;
  world.RenderScene(&view, &locked);
  EXPECT_EQ(shown->renders, 1);
  EXPECT_EQ(hidden->renders, 0);
  EXPECT_EQ(rasterizer.Count("EndScene"), 1);

  world.SetOverview(true);
  rasterizer.Forget();
  world.RenderScene(&view, &locked);
  EXPECT_FALSE(world.GetOverview());
  EXPECT_EQ(view.GetView(), &camera->GetView());  // the camera's view is back after the overview
  EXPECT_EQ(rasterizer.calls.back(), "SetClipping(1)");

  // A frame that cannot begin draws nothing: the one draw since the first frame is the overview's.
  rasterizer.beginSceneResult = false;
  world.RenderScene(&view, &locked);
  EXPECT_EQ(shown->renders, 2);
  for (Drawable* d : {shown, hidden}) {
    world.GetOctree().RemoveObject(d);
    delete d;
  }
}

TEST_F(RenderWorld, TheOverviewDrawsWithoutLevelsOfDetailAndTheNextFrameHasThemBack) {
  LodWatcher watcher(&view);
  world.GetOctree().InsertObject(&watcher);
  world.AddCamera(std::make_unique<CObserverCam>());
  world.SetCurrentCamera(0);
  PixelBufferDesc* locked = nullptr;
  world.RenderScene(&view, &locked);
  world.SetOverview(true);
  world.RenderScene(&view, &locked);
  world.RenderScene(&view, &locked);
  EXPECT_EQ(watcher.lodOn, (std::vector<bool>{true, false, true}));
  world.GetOctree().RemoveObject(&watcher);
}

TEST_F(RenderWorld, VisibilityModeChoosesWhatTheScenePassDraws) {
  world.GetOctree().Reset(Box(Vector3(-200, -200, -200), Vector3(200, 200, 200)));
  // The camera sits at the origin looking along +x: one object ahead of it, one behind it.
  auto ahead = std::make_unique<Drawable>(CBoundedObject::kRenderable);
  auto behind = std::make_unique<Drawable>(CBoundedObject::kRenderable);
  ahead->SetBounds(Box(Vector3(40, -5, -5), Vector3(60, 5, 5)));
  behind->SetBounds(Box(Vector3(-60, -5, -5), Vector3(-40, 5, 5)));
  world.GetOctree().InsertObject(ahead.get());
  world.GetOctree().InsertObject(behind.get());
  world.AddCamera(std::make_unique<CObserverCam>());
  world.SetCurrentCamera(0);
  PixelBufferDesc* locked = nullptr;
  const auto drawnWith = [&](VisibilityMode mode) {
    ahead->renders = behind->renders = 0;
    world.SetVisibilityMode(mode);
    world.RenderScene(&view, &locked);
    return std::vector<int>{ahead->renders, behind->renders};
  };

  EXPECT_EQ(world.GetVisibilityMode(), VisibilityMode::kCulled);
  EXPECT_EQ(drawnWith(VisibilityMode::kCulled), (std::vector<int>{1, 0}));
  EXPECT_EQ(drawnWith(VisibilityMode::kCoarseCulled), (std::vector<int>{1, 0}));
  EXPECT_EQ(drawnWith(VisibilityMode::kAll), (std::vector<int>{1, 1}));
  EXPECT_EQ(drawnWith(static_cast<VisibilityMode>(9)), (std::vector<int>{1, 1})) << "an unknown word draws all";
  // The recorded cells are taken whole, without the view's volume: none recorded draws nothing,
  // a root that lists itself draws everything.
  EXPECT_EQ(drawnWith(VisibilityMode::kRecordedCells), (std::vector<int>{0, 0}));
  const std::vector<uint8_t> records = WriteVisibilityFile({{0, OctreeVisibilityRecord::kSeesSky, {0}}});
  ASSERT_TRUE(world.GetOctree().LoadVisibility(records.data(), records.size()));
  EXPECT_EQ(drawnWith(VisibilityMode::kRecordedCells), (std::vector<int>{1, 1}));

  world.GetOctree().RemoveObject(ahead.get());
  world.GetOctree().RemoveObject(behind.get());
}

TEST_F(RenderWorld, InterfaceLayerInputFollowsTheWorldsMouseState) {
  CUIActionLayer* layer = new CUIActionLayer();
  world.AddLayerOnTop(std::unique_ptr<CGameActionLayer>(layer));
  CUIManager* ui = layer->GetUIManager();
  InputEvent press;
  press.code = InputEvent::kButtonPress;
  press.x = 12.7f;
  press.y = 30.2f;
  layer->HandleInputEvent(press);
  EXPECT_EQ(ui->GetMouseY(), 30);
  EXPECT_EQ(ui->GetButtonState(), 1);  // the left button
  InputEvent release = press;
  release.code = InputEvent::kButtonRelease;
  release.x = 1e30f;  // absurd positions are clamped, not converted with undefined results
  layer->HandleInputEvent(release);
  EXPECT_EQ(ui->GetButtonState(), 0);
  EXPECT_EQ(ui->GetMouseX(), INT32_MAX);

  // A layer above that has the mouse this tick, or a modal layer above, keeps it from this one.
  world.mouseOverUI = 1;
  press.x = 99.0f;
  layer->HandleInputEvent(press);
  EXPECT_EQ(ui->GetMouseX(), INT32_MAX);
  world.mouseOverUI = 0;
}

// A camera that records the events the world hands it.
class RecordingCam : public CObserverCam {
 public:
  void HandleInputEvent(const InputEvent& event) override { codes.push_back(event.code); }
  std::vector<uint32_t> codes;
};

TEST_F(RenderWorld, TickHandsTheEventsToTheLayersAndTheCurrentCamera) {
  auto owned = std::make_unique<RecordingCam>();
  RecordingCam* camera = owned.get();
  world.AddCamera(std::move(owned));
  world.SetCurrentCamera(0);
  InputEvent e;
  e.code = 7;
  input.QueueEvent(e);
  e.code = InputEvent::kKey;
  input.QueueEvent(e);
  world.Tick(0.05f);
  EXPECT_EQ(camera->codes, (std::vector<uint32_t>{7, InputEvent::kKey}));
  // Queued events beyond the limit are dropped instead of piling up.
  for (uint32_t i = 0; i < CInputMan::kPendingLimit + 50; ++i) input.QueueEvent(e);
  EXPECT_EQ(input.GetQueuedCount(), CInputMan::kPendingLimit);
  // Clearing the world deletes the cameras; the render view stops pointing at their projection.
  world.ResetWorld();
  EXPECT_EQ(view.GetView(), nullptr);
  world.Tick(0.05f);
}

}  // namespace

namespace {

// What the scene pass drew, in order: "weather" for the weather, "object" for a scene object.
std::vector<std::string> g_drawn;

class WeatherRecorder : public CWorldEffects {
 public:
  void ResetEffectManager() override {}
  void StartLevel(CResourceTable*) override {}
  void AddLevelEffects(const ShadedMesh&, const COrientation&) override {}
  void Clear() override {}
  void UpdateParticles(float) override {}
  void UpdateWeather(float) override {}
  void Render(CRenderView*) override {}
  void RenderWeather(CRenderView*) override { g_drawn.push_back("weather"); }
  CEffectManager* GetEffectManager() const override { return nullptr; }
  CWeatherManager* GetWeatherManager() const override { return nullptr; }
};

class DrawnObject : public CBoundedObject {
 public:
  DrawnObject() {
    SetBoundFlags(kRenderable);
    SetBounds(Box(Vector3(-10, -10, -10), Vector3(10, 10, 10)));
  }
  void Render(CSceneDrawInterface*) override { g_drawn.push_back("object"); }
};

}  // namespace

// The sky is the weather's: both renderers draw it behind the scene of a perspective view; neither
// the orthographic park view nor the overview from above the clouds has it.
TEST(RenderWorldWeather, TheWeatherIsDrawnBehindPerspectiveScenesByBothRenderers) {
  for (const RasterizerKind kind : {kRasterizerHardware, kRasterizerSoftware}) {
    DebugCapture quiet;
    RecordingRasterizer rasterizer(640, 480, kind);
    CRenderView view;
    WorldServices saved = GetWorldServices();
    GetWorldServices().createEffects = []() -> std::unique_ptr<CWorldEffects> {
      return std::make_unique<WeatherRecorder>();
    };
    CGameWorld world(nullptr, nullptr);
    GetWorldServices() = std::move(saved);
    view.Setup(&rasterizer, nullptr, world.GetFogState(), world.GetLightList(), 31);
    world.SetRenderView(&view);
    DrawnObject object;
    world.GetOctree().InsertObject(&object);
    auto camera = std::make_unique<CObserverCam>();
    ViewFrustum& frustum = camera->GetView();
    world.AddCamera(std::move(camera));
    world.SetCurrentCamera(0);
    PixelBufferDesc* locked = nullptr;
    g_drawn.clear();
    world.RenderScene(&view, &locked);
    EXPECT_EQ(g_drawn, (std::vector<std::string>{"weather", "object"})) << kind;
    world.SetOverview(true);
    g_drawn.clear();
    world.RenderScene(&view, &locked);
    EXPECT_EQ(g_drawn, std::vector<std::string>{"object"}) << kind;
    frustum.SetOrthographic();
    g_drawn.clear();
    world.RenderScene(&view, &locked);
    EXPECT_EQ(g_drawn, std::vector<std::string>{"object"}) << kind;
    world.GetOctree().RemoveObject(&object);
  }
}
