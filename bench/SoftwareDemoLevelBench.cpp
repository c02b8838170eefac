// Software back end frame rate on the demo level: the level's terrain, lights and medium fog
// through the world's scene pass and the render view into a 640 x 480 frame, from a camera at
// one corner looking across the park, on one core. Frames per second = 1 / time per iteration.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "app/EngineRegistration.h"
#include "core/GameWorld.h"
#include "platform/Platform.h"
#include "render/RenderView.h"
#include "render/SoftwareRasterizer.h"
#include "render/SoftwareTextureStore.h"
#include "render/Texture.h"
#include "scene/camera/ObserverCam.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LevelLights.h"
#include "scene/mesh/ShadedMesh.h"
#include "tools/DemoContentLevel.h"

namespace {

std::unique_ptr<CTexture> Checker(const char* name, int size, int cell, uint32_t a, uint32_t b) {
  std::vector<uint32_t> texels(static_cast<size_t>(size) * size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) texels[static_cast<size_t>(y) * size + x] = ((x / cell) ^ (y / cell)) & 1 ? a : b;
  auto t = std::make_unique<CTexture>();
  t->CreateFromPixels(texels.data(), 4, size, size, 0xFF0000, 0xFF00, 0xFF, 0, 0, name);
  return t;
}

void BM_SoftwareDemoLevelFrame(benchmark::State& state) {
  RegisterEngine();
  plat::SetDebugSink([](const char*) {});
  CSoftwareTextureStore store;
  CSoftwareRasterizer back(&store);
  DisplayMode mode;
  mode.width = 640, mode.height = 480, mode.bits = 16, mode.fullScreen = 1;
  back.Init(nullptr, mode);
  back.SetClipping(true);
  auto ground = Checker("ground", 128, 16, 0xFF5A9646u, 0xFF467832u);
  auto block = Checker("block", 32, 16, 0xFFB4B4B4u, 0xFF8C8C8Cu);
  std::unique_ptr<ShadedMesh> mesh = DemoContent::BuildLevelMesh();
  mesh->SetTextureName(0, ground.get(), "ground.texture");
  mesh->SetTextureName(1, block.get(), "block.texture");
  mesh->ResetSlots();
  {
    CGameWorld world(nullptr, nullptr);
    CRenderView view;
    view.Setup(&back, nullptr, world.GetFogState(), world.GetLightList(),
               CRenderView::kPerspectiveCorrection | CRenderView::kFog);
    world.SetRenderView(&view);
    world.AddTerrainMesh(mesh.get(), nullptr, true, true);
    std::vector<LevelLightSource> sources;
    CollectLevelLightSources(*mesh, COrientation(), sources);
    AddLevelLights(world, sources, DemoContent::LevelWorldBox());
    world.GetFogState()->Set(DemoContent::LevelFogBlocks()[1].settings);
    auto camera = std::make_unique<CObserverCam>();
    camera->GetView().GetFrame().SetPosition(Vector3(8, 8, 18));
    camera->GetView().GetFrame().LookAtWithUp(Vector3(24, 24, 2), Vector3(0, 0, 1));
    camera->GetView().SetFieldOfView(1.2f);
    world.AddCamera(std::move(camera));
    world.SetCurrentCamera(0);
    for (auto _ : state) {
      back.Clear(true, true, 0xFF000000u);
      PixelBufferDesc* locked = nullptr;
      world.RenderScene(&view, &locked);
      back.PresentFrame();
      benchmark::DoNotOptimize(back.GetBackBufferDesc()->pixels);
    }
    const auto& s = back.GetPresentedStatistics();
    state.counters["triangles"] = s.submitted;
    state.counters["tiny"] = s.tiny;
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    world.ClearWorld();
  }
}
BENCHMARK(BM_SoftwareDemoLevelFrame)->Unit(benchmark::kMillisecond);

}  // namespace
