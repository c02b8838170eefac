// Skinning one frame: a 10,000-vertex grid on a 30-bone chain, every bone re-posed and every
// vertex's position and normal blended through the instance's vertex fetch; the rigid fetch
// of the same grid is the baseline.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/animation/SkeletonNodeInstance.h"
#include "scene/animation/Skin.h"
#include "scene/mesh/VertexFetchInterface.h"

namespace {

constexpr uint32_t kSide = 100;  // 100 x 100 = 10,000 vertices
constexpr uint32_t kBones = 30;
constexpr float kBoneStep = static_cast<float>(kSide) / kBones;

// Bone b sits at x = b x step on a chain along x; a vertex is shared by the two bones
// around it (three weights where it is close to a joint).
std::unique_ptr<ShadedMesh> SkinnedGrid(bool skinned) {
  auto mesh = std::make_unique<ShadedMesh>();
  if (!mesh->CreateGrid(kSide, nullptr, 1)) return nullptr;
  for (uint32_t r = 0; r < kSide; ++r)
    for (uint32_t c = 0; c < kSide; ++c) mesh->allPositions[r * kSide + c] = Vector3(float(c), float(r) - 50.0f, 0.0f);
  if (!skinned) return mesh;
  auto skin = std::make_unique<Skin>();
  skin->bones.resize(kBones);
  for (uint32_t b = 0; b < kBones; ++b) {
    std::memset(skin->bones[b].name, 0, sizeof(skin->bones[b].name));
    skin->bones[b].name[0] = static_cast<char>('A' + b);
    skin->bones[b].parent = b == 0 ? Skin::kNoParent : b - 1;
    skin->bones[b].bind.position = Vector3(b == 0 ? 0.0f : kBoneStep, 0, 0);
  }
  skin->offsets.push_back(0);
  for (uint32_t v = 0; v < mesh->vertexCount; ++v) {
    const Vector3 p = mesh->allPositions[v];
    const float at = p.x / kBoneStep;
    const uint32_t lo = std::min<uint32_t>(static_cast<uint32_t>(at), kBones - 1);
    const float t = std::min(1.0f, at - lo);
    const bool three = t > 0.4f && t < 0.6f && lo + 2 < kBones;
    const uint32_t used[3] = {lo, std::min(lo + 1, kBones - 1), lo + 2};
    const float weight[3] = {three ? 0.4f * (1 - t) : 1 - t, three ? 0.4f * t + 0.3f : t, 0.3f};
    for (uint32_t k = 0; k < (three ? 3u : 2u); ++k) {
      const Vector3 bone(used[k] * kBoneStep, 0, 0);
      skin->weights.push_back({static_cast<uint16_t>(used[k]), 2560, p - bone, weight[k]});
    }
    skin->offsets.push_back(static_cast<uint16_t>(skin->weights.size()));
  }
  mesh->SetSkin(std::move(skin));
  return mesh;
}

void RunFrames(benchmark::State& state, bool skinned) {
  std::unique_ptr<ShadedMesh> mesh = SkinnedGrid(skinned);
  CMeshInstance instance;
  if (!mesh || !instance.SetMesh(mesh.get(), false, false, false, 0, 0, nullptr, true, nullptr) ||
      (skinned && instance.GetSkeletonNodeCount() != kBones)) {
    state.SkipWithError("grid not built");
    return;
  }
  const CVertexFetchInterface& fetch = *instance.GetVertexFetch();
  float angle = 0.0f, sum = 0.0f;
  for (auto _ : state) {
    angle += 0.01f;
    for (uint32_t b = 0; skinned && b < kBones; ++b) {
      COrientation local;
      local.RotateZ(0.05f * std::sin(angle + 0.3f * b));
      instance.GetSkeletonNodes()[b].SetTransform(&local, false);
    }
    float p[3], n[3];
    for (uint32_t v = 0; v < mesh->vertexCount; ++v) {
      fetch.GetPosition(v, p);
      fetch.GetVertexNormal(v, n);
      sum += p[0] + n[2];
    }
  }
  benchmark::DoNotOptimize(sum);
  state.counters["vertices"] = mesh->vertexCount;
  state.counters["weights"] = skinned ? static_cast<double>(mesh->skin->weights.size()) : 0.0;
  state.counters["vertices/s"] = benchmark::Counter(double(mesh->vertexCount) * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_SkinnedFrame(benchmark::State& state) { RunFrames(state, true); }
void BM_RigidFrame(benchmark::State& state) { RunFrames(state, false); }

}  // namespace

BENCHMARK(BM_SkinnedFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RigidFrame)->Unit(benchmark::kMillisecond);
