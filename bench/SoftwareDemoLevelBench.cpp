// Software back end frame rate on the demo level: the level's terrain, lights and medium fog
// through the world's scene pass and the render view into a 640 x 480 frame, from a camera at
// one corner looking across the park, on one core. Frames per second = 1 / time per iteration.
#include <benchmark/benchmark.h>

#include <memory>

#include "app/EngineRegistration.h"
#include "platform/Platform.h"
#include "render/software/SoftwareRasterizer.h"
#include "render/software/SoftwareTextureStore.h"
#include "tools/DemoContentLevelScene.h"

namespace {

void BM_SoftwareDemoLevelFrame(benchmark::State& state) {
  RegisterEngine();
  plat::SetDebugSink([](const char*) {});
  CSoftwareTextureStore store;
  CSoftwareRasterizer back(&store);
  DemoContent::DemoLevelScene::StartSoftware(back);
  DemoContent::DemoLevelScene scene(&back);
  for (auto _ : state) {
    scene.Draw(back);
    back.PresentFrame();
    benchmark::DoNotOptimize(back.GetBackBufferDesc()->pixels);
  }
  const auto& s = back.GetPresentedStatistics();
  state.counters["triangles"] = s.submitted;
  state.counters["tiny"] = s.tiny;
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SoftwareDemoLevelFrame)->Unit(benchmark::kMillisecond);

}  // namespace
