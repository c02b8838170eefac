// Resource lookups by name over a start-up-sized table, and definition-text parsing measured
// against a plain read of the same file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/data/FileBuffer.h"
#include "core/data/Params.h"
#include "core/data/ResourceTable.h"
#include "core/data/Tokenizer.h"
#include "platform/system/Platform.h"

namespace {

constexpr int kAssets = 5000;

std::string AssetPath(int i) {
  // No digits right before the extension, so every path is a plain entry.
  return "data/assets/group" + std::to_string(i % 40) + "/item" + std::to_string(i) + "_x.mesh";
}

CResourceTable& Table() {
  static CResourceTable* table = [] {
    auto* t = new CResourceTable();
    for (int i = 0; i < kAssets; ++i) t->Add(AssetPath(i).c_str());
    return t;
  }();
  return *table;
}

std::vector<std::string> Queries(bool wholePath) {
  std::mt19937 random(5);
  std::vector<std::string> names;
  for (int i = 0; i < 256; ++i) {
    const std::string path = AssetPath(static_cast<int>(random() % kAssets));
    names.push_back(wholePath ? "C:\\Game\\" + path : path.substr(path.rfind('/') + 1));
  }
  return names;
}

void BM_FindByNameWholePath(benchmark::State& state) {
  CResourceTable& table = Table();
  const std::vector<std::string> names = Queries(true);
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(table.FindByName(names[i++ & 255].c_str()));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindByNameWholePath);

void BM_FindByNameFileNameOnly(benchmark::State& state) {
  CResourceTable& table = Table();
  const std::vector<std::string> names = Queries(false);
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(table.FindByName(names[i++ & 255].c_str()));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindByNameFileNameOnly);

void BM_FindByNameMissing(benchmark::State& state) {
  CResourceTable& table = Table();
  for (auto _ : state) benchmark::DoNotOptimize(table.FindByName("data/assets/group7/nothing.mesh"));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindByNameMissing);

// A definition text of about 2 MB: many blocks with numbers, colours, vectors, quoted strings and comments.
const std::string& DefinitionFile() {
  static const std::string path = [] {
    std::string text;
    std::mt19937 random(11);
    for (int block = 0; text.size() < (2u << 20); ++block) {
      text += "object_" + std::to_string(block) + " = {  // block " + std::to_string(block) + "\r\n";
      text += "  mass = " + std::to_string(random() % 1000) + "." + std::to_string(random() % 100) + "\r\n";
      text += "  colour = " + std::to_string(random() % 256) + ", " + std::to_string(random() % 256) + ", 0, 255\r\n";
      text += "  position = 1.5, -2.25, " + std::to_string(random() % 50) + "\r\n";
      text += "  name = \"thing number " + std::to_string(block) + "\"\r\n  solid\r\n}\r\n";
    }
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("resource_bench_" + std::to_string(std::random_device{}()) + ".txt");
    std::FILE* f = std::fopen(file.string().c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return file.string();
  }();
  return path;
}

struct RemoveFileAtExit {
  ~RemoveFileAtExit() {
    std::error_code ignored;
    std::filesystem::remove(DefinitionFile(), ignored);
  }
} g_removeFile;

void BM_PlainRead(benchmark::State& state) {
  uint32_t size = 0;
  for (auto _ : state) {
    char* text = LoadFileToBuffer(DefinitionFile().c_str(), &size);
    benchmark::DoNotOptimize(text);
    FreeFileBuffer(text);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

void BM_ReadAndTokenize(benchmark::State& state) {
  uint32_t size = 0;
  for (auto _ : state) {
    char* text = LoadFileToBuffer(DefinitionFile().c_str(), &size);
    CTokenizer tokens(text, "=,{}", "//", 256);
    size_t count = 0;
    while (*tokens.NextToken()) ++count;
    benchmark::DoNotOptimize(count);
    FreeFileBuffer(text);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
}
BENCHMARK(BM_ReadAndTokenize)->Unit(benchmark::kMillisecond);

// The key/value readers scan the text from its start on every call; a key near the end of a
// 64 KB text measures that scan rate.
void BM_ParamsReaders(benchmark::State& state) {
  uint32_t size = 0;
  char* whole = LoadFileToBuffer(DefinitionFile().c_str(), &size);
  std::string text(whole, 64 * 1024);
  FreeFileBuffer(whole);
  text += "\r\nlast_mass = 3.5\r\nlast_colour = 1, 2, 3, 4\r\nlast_position = 1, 2, 3\r\nlast_name = \"end\"\r\n";
  for (auto _ : state) {
    Color colour;
    std::string name;
    benchmark::DoNotOptimize(Params::ReadFloat(text.c_str(), "last_mass"));
    Params::ReadColor(colour, text.c_str(), "last_colour");
    benchmark::DoNotOptimize(Params::ReadVector(text.c_str(), "last_position"));
    Params::ReadString(text.c_str(), "last_name", name);
    benchmark::DoNotOptimize(name);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 4 * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParamsReaders)->Unit(benchmark::kMicrosecond);

}  // namespace
