// Cutting a level mesh into world mesh sections: a gently rolling n x n-vertex grid at three sizes
// (200 x 200 is the size a level asks for), with the level's face limit of 1500.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshSection.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

std::unique_ptr<ShadedMesh> RollingGrid(uint32_t n) {
  auto mesh = std::make_unique<ShadedMesh>();
  if (!mesh->CreateGrid(n, nullptr, 1)) return nullptr;
  for (uint32_t r = 0; r < n; ++r)
    for (uint32_t c = 0; c < n; ++c)
      mesh->positions[r * n + c] = Vector3(c * 2.0f, r * 2.0f, 3.0f * std::sin(c * 0.1f) * std::cos(r * 0.13f));
  return mesh;
}

void BM_BuildSections(benchmark::State& state) {
  const uint32_t n = static_cast<uint32_t>(state.range(0));
  std::unique_ptr<ShadedMesh> mesh = RollingGrid(n);
  CMeshInstance instance;
  if (!mesh || !instance.SetMesh(mesh.get(), false, false, true, 0, 0, nullptr, true, nullptr)) {
    state.SkipWithError("grid not built");
    return;
  }
  size_t sections = 0;
  for (auto _ : state) {
    std::vector<std::unique_ptr<CMeshSection>> out;
    CMeshSection::Build(&instance, out, CMeshSection::kWorldFaceLimit);
    sections = out.size();
  }
  state.counters["faces"] = mesh->faceCount;
  state.counters["sections"] = static_cast<double>(sections);
}

}  // namespace

BENCHMARK(BM_BuildSections)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);
