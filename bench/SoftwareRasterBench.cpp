// Software back end frame rate: a park-like scene at 640 x 480 (a textured, lit ground of
// 3,200 triangles seen at a slant, 150 textured boxes standing on it, a few debug lines), from
// queueing to the filled frame, on one core. Frames per second = 1 / time per iteration.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "render/image/Texture.h"
#include "render/software/SoftwareRasterizer.h"
#include "render/software/SoftwareTextureStore.h"

namespace {

constexpr int kW = 640, kH = 480;

struct Camera {
  // Camera at (0, -2, 0) height 2 looking along +z, tilted down a little; 90 degree view.
  bool Project(double x, double y, double z, ScreenVertex& out) const {
    const double c = std::cos(0.25), s = std::sin(0.25);
    const double cy = (y - 2.0) * c + z * s, cz = -(y - 2.0) * s + z * c;
    if (cz < 0.3) return false;
    out.x = static_cast<float>(kW / 2 + x / cz * kW / 2);
    out.y = static_cast<float>(kH / 2 - cy / cz * kW / 2);
    out.z = 0.5f;
    out.rhw = static_cast<float>(1.0 / cz);
    return true;
  }
};

std::unique_ptr<CTexture> Noise(const char* name, uint32_t base) {
  std::mt19937 rng(base);
  std::vector<uint32_t> texels(64 * 64);
  for (uint32_t& t : texels) t = 0xFF000000u | (base + (rng() & 0x1F1F1F));
  auto t = std::make_unique<CTexture>();
  t->CreateFromPixels(texels.data(), 4, 64, 64, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, name);
  return t;
}

struct Scene {
  std::vector<ScreenVertex> ground, boxes;
  std::vector<uint16_t> groundIndices, boxIndices;
};

void AddQuad(const Camera& cam, const double p[4][3], uint32_t light[4], std::vector<ScreenVertex>& v,
             std::vector<uint16_t>& idx) {
  ScreenVertex q[4];
  const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int i = 0; i < 4; ++i) {
    if (!cam.Project(p[i][0], p[i][1], p[i][2], q[i])) return;
    q[i].diffuse = light[i];
    q[i].specular = 0xFF000000u;
    q[i].u = uv[i][0] * 2, q[i].v = uv[i][1] * 2;
  }
  const uint16_t first = static_cast<uint16_t>(v.size());
  for (const ScreenVertex& s : q) v.push_back(s);
  for (int i : {0, 1, 2, 0, 2, 3}) idx.push_back(static_cast<uint16_t>(first + i));
}

Scene Build() {
  Scene s;
  Camera cam;
  std::mt19937 rng(5);
  auto grey = [](int level) { return 0xFF000000u | static_cast<uint32_t>(level) * 0x010101u; };
  // Ground: 40 x 40 cells of 2 m, near edge at z = 1; vertices wound clockwise on the screen.
  for (int j = 0; j < 40; ++j)
    for (int i = 0; i < 40; ++i) {
      const double x0 = -40 + i * 2, z0 = 1 + j * 2;
      const double p[4][3] = {{x0, 0, z0 + 2}, {x0 + 2, 0, z0 + 2}, {x0 + 2, 0, z0}, {x0, 0, z0}};
      uint32_t light[4];
      for (uint32_t& l : light) l = grey(120 + static_cast<int>(rng() % 100));
      AddQuad(cam, p, light, s.ground, s.groundIndices);
    }
  // Boxes: the two faces that look at the camera, 1 to 3 m tall.
  for (int b = 0; b < 150; ++b) {
    const double x = -20 + (rng() % 400) / 10.0, z = 4 + (rng() % 500) / 10.0, h = 1 + (rng() % 20) / 10.0;
    const double front[4][3] = {{x - 0.5, h, z}, {x + 0.5, h, z}, {x + 0.5, 0, z}, {x - 0.5, 0, z}};
    const double top[4][3] = {{x - 0.5, h, z + 1}, {x + 0.5, h, z + 1}, {x + 0.5, h, z}, {x - 0.5, h, z}};
    uint32_t lit[4] = {grey(230), grey(230), grey(140), grey(140)}, flat[4] = {grey(250), grey(250), grey(250), grey(250)};
    AddQuad(cam, front, lit, s.boxes, s.boxIndices);
    AddQuad(cam, top, flat, s.boxes, s.boxIndices);
  }
  return s;
}

void BM_SoftwareParkFrame(benchmark::State& state) {
  CSoftwareTextureStore store;
  CSoftwareRasterizer r(&store);
  DisplayMode mode;
  mode.width = kW, mode.height = kH, mode.bits = 16, mode.fullScreen = 1;
  r.Init(nullptr, mode);
  r.SetClipping(true);
  auto grass = Noise("grass", 0x205020), wood = Noise("wood", 0x604020);
  const Scene scene = Build();
  ScreenVertex lines[2] = {{10, 10, 0.5f, 1, 0xFFFF0000, 0, 0, 0, 0, 0}, {600, 400, 0.5f, 1, 0xFFFF0000, 0, 0, 0, 0, 0}};
  const uint16_t lineIndices[2] = {0, 1};
  for (auto _ : state) {
    std::vector<ScreenVertex> ground = scene.ground, boxes = scene.boxes;
    r.Clear(true, true, 0xFF6080C0);
    r.BeginScene(nullptr, 0);
    r.DrawTriangles(boxes.data(), static_cast<uint32_t>(boxes.size()), scene.boxIndices.data(),
                    static_cast<uint32_t>(scene.boxIndices.size() / 3), wood.get(), nullptr, 1.0f);
    r.DrawTriangles(ground.data(), static_cast<uint32_t>(ground.size()), scene.groundIndices.data(),
                    static_cast<uint32_t>(scene.groundIndices.size() / 3), grass.get(), nullptr, 1.0f);
    r.EndScene();
    r.DrawLines(lines, 2, lineIndices, 1);
    r.PresentFrame();
    benchmark::DoNotOptimize(r.GetBackBufferDesc()->pixels);
  }
  const auto& s = r.GetPresentedStatistics();
  state.counters["triangles"] = s.submitted;
  state.counters["tiny"] = s.tiny;
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SoftwareParkFrame)->Unit(benchmark::kMillisecond);

}  // namespace
