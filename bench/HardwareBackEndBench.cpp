// Hardware back end on the demo level at 640 x 480: frames per second through the OpenGL device
// (llvmpipe here; run once more with LP_NUM_THREADS=1 for one rasteriser thread) beside the
// software back end on one core (with the triangles it was given and the tiny ones it skipped),
// and the processor cost per frame of the back end itself, replaying the level's captured draw
// calls into it over the recording device.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "app/EngineRegistration.h"
#include "core/math/ViewFrustum.h"
#include "platform/graphics/GLDevice.h"
#include "platform/system/Platform.h"
#include "platform/graphics/RecordingDevice.h"
#include "render/hardware/D3DRasterizer.h"
#include "render/image/Texture.h"
#include "render/software/SoftwareRasterizer.h"
#include "render/software/SoftwareTextureStore.h"
#include "tools/DemoContentLevelScene.h"

namespace {

constexpr uint32_t kW = DemoContent::DemoLevelScene::kWidth, kH = DemoContent::DemoLevelScene::kHeight;

HWND BenchWindow() {
  static HWND window = [] {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "KelvarunHardwareBench";
    RegisterClassA(&windowClass);
    return CreateWindowA("KelvarunHardwareBench", "bench", 0, 0, 0, kW, kH, nullptr, nullptr, nullptr, nullptr);
  }();
  return window;
}

void BM_OpenGLDemoLevelFrame(benchmark::State& state) {
  RegisterEngine();
  plat::SetDebugSink([](const char*) {});
  ResetDisplayMachine();
  if (!CGLDevice::Install()) return state.SkipWithError("no OpenGL");
  {
    CD3DRasterizer back;
    if (!DemoContent::DemoLevelScene::StartHardware(back, BenchWindow())) return state.SkipWithError("the device did not start");
    DemoContent::DemoLevelScene demo(&back);
    for (auto _ : state) {
      demo.Draw(back);
      back.PresentFrame();
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  }
  ResetDisplayMachine();
}
BENCHMARK(BM_OpenGLDemoLevelFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SoftwareDemoLevelFrame(benchmark::State& state) {
  RegisterEngine();
  plat::SetDebugSink([](const char*) {});
  CSoftwareTextureStore store;
  CSoftwareRasterizer back(&store);
  DemoContent::DemoLevelScene::StartSoftware(back);
  DemoContent::DemoLevelScene demo(&back);
  for (auto _ : state) {
    demo.Draw(back);
    back.PresentFrame();
  }
  const auto& s = back.GetPresentedStatistics();
  state.counters["triangles"] = s.submitted;
  state.counters["tiny"] = s.tiny;
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SoftwareDemoLevelFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps the view's draw calls of one frame, with copies of their vertices and indices.
class CaptureBackEnd : public CRasterizerInterface {
 public:
  struct Draw {
    std::vector<ScreenVertex> vertices;
    std::vector<uint16_t> indices;
    uint32_t triangles;
    CTexture* texture;
    CTexture* second;
  };
  CaptureBackEnd() { m_desc = DescribePacked555(nullptr, kW, kH); }
  PixelBufferDesc* GetBackBufferDesc() override { return &m_desc; }
  PixelBufferDesc* LockBackBuffer() override { return nullptr; }
  PixelBufferDesc* LockFrontBuffer() override { return nullptr; }
  long GetBackBufferDC(HDC* dc) override { return -1; }
  long ReleaseBackBufferDC(HDC dc) override { return -1; }
  long GetFrontBufferDC(HDC* dc) override { return -1; }
  long ReleaseFrontBufferDC(HDC dc) override { return -1; }
  void DrawTriangles(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices, uint32_t triangleCount,
                     CTexture* texture, CTexture* second, float) override {
    draws.push_back({std::vector<ScreenVertex>(vertices, vertices + vertexCount),
                     std::vector<uint16_t>(indices, indices + 3 * triangleCount), triangleCount, texture, second});
  }
  std::vector<Draw> draws;

 private:
  PixelBufferDesc m_desc;
};

void BM_BackEndCostOnRecordingDevice(benchmark::State& state) {
  RegisterEngine();
  plat::SetDebugSink([](const char*) {});
  ResetDisplayMachine();  // the recording device
  CaptureBackEnd capture;
  {
    DemoContent::DemoLevelScene demo(&capture);
    demo.Draw(capture);
    capture.PresentFrame();
    CD3DRasterizer back;
    if (!DemoContent::DemoLevelScene::StartHardware(back, BenchWindow())) return state.SkipWithError("the device did not start");
    auto* device = dynamic_cast<CRecordingDevice*>(back.Framework().Device());
    ViewFrustum camera;
    uint64_t triangles = 0;
    for (const CaptureBackEnd::Draw& d : capture.draws) triangles += d.triangles;
    for (auto _ : state) {
      back.BeginScene(&camera, 0);
      for (CaptureBackEnd::Draw& d : capture.draws)
        back.DrawTriangles(d.vertices.data(), static_cast<uint32_t>(d.vertices.size()), d.indices.data(), d.triangles,
                           d.texture, d.second, 1.0f);
      back.EndScene();
      device->ClearLog();
    }
    state.counters["draws"] = static_cast<double>(capture.draws.size());
    state.counters["triangles"] = static_cast<double>(triangles);
  }
  ResetDisplayMachine();
}
BENCHMARK(BM_BackEndCostOnRecordingDevice)->Unit(benchmark::kMicrosecond);

}  // namespace
