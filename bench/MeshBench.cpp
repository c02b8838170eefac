// Loading a 100,000-face mesh file mapped and copied, against a plain read of the same file;
// encoding normals into the normal table by its lookup, against the scan over every entry.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/data/FileBuffer.h"
#include "platform/files/FileSystem.h"
#include "platform/system/Platform.h"
#include "scene/mesh/NormalTable.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

// A 225 x 225 vertex grid: 100,352 faces, written once per run into the temporary folder.
const std::string& BenchFile() {
  static const std::string path = [] {
    const std::string file = (std::filesystem::temp_directory_path() / "kelvarun_mesh_bench.mesh").string();
    ShadedMesh mesh;
    constexpr uint32_t n = 225;
    mesh.CreateGrid(n, nullptr, 1);
    plat::srand(3);
    for (uint32_t r = 0; r < n; ++r) {
      for (uint32_t c = 0; c < n; ++c) {
        mesh.allPositions[r * n + c] = Vector3(float(c), float(r), (plat::rand() % 100) * 0.01f);
      }
    }
    mesh.ComputeAllFaceNormals();
    mesh.ComputeNormalsAndBounds(1.0471976f);
    mesh.ComputeVertexNormals();
    mesh.ResolveTextures();
    mesh.Save(file.c_str(), nullptr);
    return file;
  }();
  return path;
}

void SetBytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(std::filesystem::file_size(BenchFile())));
}

void BM_PlainRead(benchmark::State& state) {
  const std::string& path = BenchFile();
  std::vector<char> buffer(std::filesystem::file_size(path));
  for (auto _ : state) {
    plat::CReadFile file;
    file.Open(path.c_str());
    benchmark::DoNotOptimize(file.Read(buffer.data(), buffer.size()));
    benchmark::ClobberMemory();
  }
  SetBytes(state);
}

void BM_LoadFileToBuffer(benchmark::State& state) {
  const std::string& path = BenchFile();
  for (auto _ : state) {
    char* bytes = LoadFileToBuffer(path.c_str());
    benchmark::DoNotOptimize(bytes);
    FreeFileBuffer(bytes);
  }
  SetBytes(state);
}

void LoadMesh(benchmark::State& state, bool mapped) {
  const std::string& path = BenchFile();
  for (auto _ : state) {
    ShadedMesh mesh;
    if (!mesh.Load(path.c_str(), nullptr, 0, mapped, false, false) || mesh.faceCount != 100352) {
      state.SkipWithError("load failed");
      break;
    }
    benchmark::DoNotOptimize(mesh.positions);
  }
  SetBytes(state);
}

void BM_LoadMapped(benchmark::State& state) { LoadMesh(state, true); }
void BM_LoadCopied(benchmark::State& state) { LoadMesh(state, false); }

}  // namespace

// 4096 directions spread over the sphere, off the table's own entries, encoded per iteration.
template <uint16_t (*encode)(const Vector3&)>
void BM_EncodeNormals(benchmark::State& state) {
  std::vector<Vector3> directions;
  plat::srand(5);
  while (directions.size() < 4096) {
    Vector3 v(plat::rand() / 16383.5f - 1.0f, plat::rand() / 16383.5f - 1.0f, plat::rand() / 16383.5f - 1.0f);
    const float length = v.Length();
    if (length > 0.1f && length <= 1.0f) directions.push_back(v * (1.0f / length));
  }
  for (auto _ : state)
    for (const Vector3& d : directions) benchmark::DoNotOptimize(encode(d));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(directions.size()));
}

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFileToBuffer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMapped)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadCopied)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeNormals<NormalTable::Encode>)->Name("BM_EncodeNormals/lookup");
BENCHMARK(BM_EncodeNormals<NormalTable::EncodeByScan>)->Name("BM_EncodeNormals/scan")->Unit(benchmark::kMillisecond);
