// Ray queries against a mesh instance of a 100,000-face grid, against a plain loop over world triangles.
#include <benchmark/benchmark.h>

#include <cfloat>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "core/math/RayInfo.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

constexpr uint32_t kGridSide = 225;  // 2 x 224 x 224 = 100,352 faces
constexpr float kCell = 0.5f;

struct Scene {
  std::unique_ptr<ShadedMesh> mesh;
  CMeshInstance moved;
  CMeshInstance fixed;
  std::vector<Vector3> world;  // the moved instance's vertices in world space
  std::vector<RayInfo> rays;

  Scene() : mesh(new ShadedMesh()) {
    mesh->CreateGrid(kGridSide, nullptr, 0);
    const float half = 0.5f * kCell * (kGridSide - 1);
    for (uint32_t r = 0; r < kGridSide; ++r) {
      for (uint32_t c = 0; c < kGridSide; ++c) {
        const float x = c * kCell - half, y = r * kCell - half;
        mesh->allPositions[r * kGridSide + c] = Vector3(x, y, std::sin(0.3f * x) * std::cos(0.2f * y));
      }
    }
    mesh->SetFrame(0);
    mesh->ComputeAllFaceNormals();
    mesh->ComputeBounds();
    COrientation place;
    place.RotateZ(0.4f);
    place.RotateX(0.1f);
    place.position = Vector3(10.0f, -4.0f, 2.0f);
    const Matrix4 m = place.ToMatrix4();
    moved.SetMesh(mesh.get(), false, false, false, 0, 0, &m, true, nullptr);
    fixed.SetMesh(mesh.get(), false, false, false, 0, 0, nullptr, true, nullptr);
    const COrientation& w = moved.GetWorldMatrix();
    for (uint32_t v = 0; v < mesh->vertexCount; ++v) world.push_back(w.LocalToWorldPoint(mesh->allPositions[v]));
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> u(-half, half);
    for (int i = 0; i < 256; ++i) {
      // Steep rays from above; about a quarter start outside the grid's extent and miss.
      const Vector3 a = w.LocalToWorldPoint(Vector3(1.3f * u(rng), 1.3f * u(rng), 20.0f));
      const Vector3 b = w.LocalToWorldPoint(Vector3(1.3f * u(rng), 1.3f * u(rng), -20.0f));
      rays.emplace_back(a, b);
    }
  }
};

Scene& GetScene() {
  static Scene scene;
  return scene;
}

void BM_MovedInstanceRay(benchmark::State& state) {
  Scene& s = GetScene();
  size_t i = 0, hits = 0;
  for (auto _ : state) {
    RayInfo q = s.rays[i++ % s.rays.size()];
    CMeshInstance* hit = nullptr;
    int32_t face = -1;
    hits += s.moved.IntersectRay(q, &hit, &face);
    benchmark::DoNotOptimize(face);
  }
  state.counters["hit_rate"] = double(hits) / double(state.iterations());
  state.counters["faces_per_s"] = benchmark::Counter(double(state.iterations()) * s.mesh->faceCount, benchmark::Counter::kIsRate);
}

void BM_UnmovedInstanceRay(benchmark::State& state) {
  Scene& s = GetScene();
  const COrientation& w = s.moved.GetWorldMatrix();
  std::vector<RayInfo> local;
  for (const RayInfo& r : s.rays) local.emplace_back(w.WorldToLocalPoint(r.start), w.WorldToLocalPoint(r.end));
  size_t i = 0;
  for (auto _ : state) {
    RayInfo q = local[i++ % local.size()];
    int32_t face = -1;
    s.fixed.IntersectRay(q, nullptr, &face);
    benchmark::DoNotOptimize(face);
  }
  state.counters["faces_per_s"] = benchmark::Counter(double(state.iterations()) * s.mesh->faceCount, benchmark::Counter::kIsRate);
}

// The reference: every world triangle through the segment's own triangle test, nearest kept.
void BM_BruteForceWorldTriangles(benchmark::State& state) {
  Scene& s = GetScene();
  const uint16_t* tri = s.mesh->indices;
  size_t i = 0;
  for (auto _ : state) {
    RayInfo q = s.rays[i++ % s.rays.size()];
    float best = FLT_MAX;
    int face = -1;
    for (uint32_t f = 0; f < s.mesh->faceCount; ++f) {
      const Vector3& p0 = s.world[tri[3 * f]];
      const Vector3& p1 = s.world[tri[3 * f + 1]];
      const Vector3& p2 = s.world[tri[3 * f + 2]];
      if (q.IntersectTriangle(p0, p1, p2, TriMesh::FaceNormal(p0, p1, p2), false, nullptr) && q.result.time < best) {
        best = q.result.time;
        face = int(f);
      }
    }
    benchmark::DoNotOptimize(face);
  }
  state.counters["faces_per_s"] = benchmark::Counter(double(state.iterations()) * s.mesh->faceCount, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_MovedInstanceRay)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UnmovedInstanceRay)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BruteForceWorldTriangles)->Unit(benchmark::kMicrosecond);
