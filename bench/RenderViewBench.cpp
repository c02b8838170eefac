// Triangles per second through the render view's mesh path into a back end that draws nothing,
// beside a bare loop that only transforms and projects the same vertices (apart, and in turn for
// their ratio).
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/PairedRatio.h"
#include "core/spatial/Octree.h"
#include "core/math/ViewFrustum.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LightList.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

class NullRasterizer : public CRasterizerInterface {
 public:
  PixelBufferDesc* GetBackBufferDesc() override { return &m_desc; }
  PixelBufferDesc* LockBackBuffer() override { return nullptr; }
  PixelBufferDesc* LockFrontBuffer() override { return nullptr; }
  long GetBackBufferDC(HDC*) override { return -1; }
  long ReleaseBackBufferDC(HDC) override { return -1; }
  long GetFrontBufferDC(HDC*) override { return -1; }
  long ReleaseFrontBufferDC(HDC) override { return -1; }
  void DrawTriangles(ScreenVertex* v, uint32_t, const uint16_t*, uint32_t triangles, CTexture*, CTexture*,
                     float) override {
    benchmark::DoNotOptimize(v);
    drawn += triangles;
  }
  uint64_t drawn = 0;

 private:
  PixelBufferDesc m_desc = [] {
    PixelBufferDesc d{};
    d.width = 1024;
    d.height = 768;
    return d;
  }();
};

// A 225 x 225 vertex grid (100,352 faces) seen from above, wholly in view.
struct BenchScene {
  static constexpr uint32_t kSide = 225;
  BenchScene() {
    mesh.CreateGrid(kSide, nullptr, 1);
    for (uint32_t r = 0; r < kSide; ++r)
      for (uint32_t c = 0; c < kSide; ++c)
        mesh.allPositions[r * kSide + c] = Vector3(float(c) - 112.0f, float(r) - 112.0f, float((r * 7 + c * 3) % 10) * 0.01f);
    mesh.SetFrame(0);
    mesh.ComputeBounds();
    instance.SetMesh(&mesh, false, false, false, 0, 0, nullptr, true, nullptr);
    camera.frame.position = Vector3(0, -10, 200);
    camera.frame.LookAtWithUp(Vector3(0, 0, 0), Vector3(0, 0, 1));
    camera.SetFieldOfView(1.2f);
    view.Setup(&back, &camera, &fog, &lights, 1);
  }
  COctree tree{Box(Vector3(-1000, -1000, -1000), Vector3(1000, 1000, 1000))};
  LightList lights{&tree};
  FogState fog;
  ViewFrustum camera;
  NullRasterizer back;
  CRenderView view;
  ShadedMesh mesh;
  CMeshInstance instance;
};

BenchScene& Scene() {
  static BenchScene* scene = new BenchScene();
  return *scene;
}

void DrawMeshFrame(BenchScene& s) {
  s.view.BeginFrame(&s.camera, CRenderView::FrameViewport::kBackBuffer, CRenderView::FrameBackEnd::kDefault,
                    CRenderView::FrameOutput::kDraw);
  s.view.DrawMesh(&s.instance);
  s.view.EndFrame();
}

void BM_DrawMesh(benchmark::State& state) {
  BenchScene& s = Scene();
  s.back.drawn = 0;
  for (auto _ : state) DrawMeshFrame(s);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * s.mesh.faceCount);
  state.counters["sent"] = static_cast<double>(s.back.drawn) / static_cast<double>(state.iterations());
}

// The same vertices through the model-view transform and the perspective divide, nothing else.
class BareTransform {
 public:
  explicit BareTransform(BenchScene& s) : m_mesh(s.mesh), m_out(s.mesh.vertexCount) {
    s.view.BeginFrame(&s.camera, CRenderView::FrameViewport::kBackBuffer, CRenderView::FrameBackEnd::kDefault,
                      CRenderView::FrameOutput::kDraw);
    m_mv = s.view.GetViewMatrix();
    m_scale = s.view.GetPerspectiveScale();
    m_cx = s.view.GetCentreX();
    m_cy = s.view.GetCentreY();
    s.view.EndFrame();
  }
  void operator()() {
    const Matrix4& mv = m_mv;
    for (uint32_t i = 0; i < m_mesh.vertexCount; ++i) {
      const Vector3& p = m_mesh.positions[i];
      const float x = p.x * mv.m[0][0] + p.y * mv.m[1][0] + p.z * mv.m[2][0] + mv.m[3][0];
      const float y = p.x * mv.m[0][1] + p.y * mv.m[1][1] + p.z * mv.m[2][1] + mv.m[3][1];
      const float z = p.x * mv.m[0][2] + p.y * mv.m[1][2] + p.z * mv.m[2][2] + mv.m[3][2];
      const float rhw = 1.0f / x, k = rhw * m_scale;
      m_out[i] = ScreenVertex{m_cx - y * k, m_cy - z * k, rhw, rhw, 0, 0, 0, 0, 0, 0};
    }
    benchmark::DoNotOptimize(m_out.data());
    benchmark::ClobberMemory();
  }

 private:
  const ShadedMesh& m_mesh;
  std::vector<ScreenVertex> m_out;
  Matrix4 m_mv;
  float m_scale = 0.0f, m_cx = 0.0f, m_cy = 0.0f;
};

void BM_BareTransform(benchmark::State& state) {
  BenchScene& s = Scene();
  BareTransform bare(s);
  for (auto _ : state) bare();
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * s.mesh.faceCount);
}

// Both in turn in every iteration: the counter "ratio" is DrawMesh over the bare loop.
void BM_DrawMeshOverBareTransform(benchmark::State& state) {
  BenchScene& s = Scene();
  BareTransform bare(s);
  RunPaired(
      state, [&] { DrawMeshFrame(s); }, bare);
}

}  // namespace

BENCHMARK(BM_DrawMesh)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareTransform)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawMeshOverBareTransform)->Unit(benchmark::kMillisecond);
