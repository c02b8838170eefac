// libFuzzer entry for the level loader on the demo level: the first byte picks one file of the
// level folder (the terrain mesh, the grid cache, the fog INI, the baked light files or the
// visibility), the rest of the input replaces it, and a fresh park loads the level (and sets up
// its grid when the file was the terrain or the grid cache). The file is put back afterwards.
#include "core/world/AssetPreloader.h"
#include "core/input/SkateSettings.h"
#include "core/data/ResourceTable.h"
#include "park/world/VerezIvor.h"
#include "tools/fuzz/FuzzInput.h"
#include "ui/screens/LevelLoader.h"

namespace {

const char* const kFiles[] = {"terrain.mesh", "grid_data.bin", "terrain.ini", "lights.bin",
                              "vlights.bin",  "visnodes.bin",  "LtMap_00.lit"};
constexpr size_t kFileCount = sizeof(kFiles) / sizeof(kFiles[0]);

struct Level {
  std::string folder;
  std::vector<std::vector<uint8_t>> originals;
  CSkateSettings settings;
};

Level& TheLevel() {
  static Level* level = [] {
    auto* made = new Level;
    made->settings.detailFlags = 1;                         // baked light is read
    SetSettings(&made->settings);
    made->folder = CLevelLoader().GetLevelFolder(0);
    for (const char* name : kFiles) {
      std::ifstream in(made->folder + name, std::ios::binary);
      made->originals.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return made;
  }();
  return *level;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzz_input::KeepArtifactsWhereStarted(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  if (size == 0) return 0;
  const fuzz_input::InDemoRoot inRoot;  // the preloader scans "data/", the level is named below it
  Level& level = TheLevel();
  const size_t file = data[0] % kFileCount;
  const std::string path = level.folder + kFiles[file];
  fuzz_input::WriteFile(path, data + 1, size - 1);
  {
    CResourceTable table;
    PreloadAssets(&table);
    CVerezIvor park(nullptr, nullptr);
    park.SetResourceTable(&table);
    CLevelLoader loader;
    // The grid is made from the terrain and its cache alone.
    if (loader.LoadLevel(park, 0) && file < 2) loader.SetUpGrid(park);
    park.ClearGrid();
    park.ClearWorld();
  }
  fuzz_input::WriteFile(path, level.originals[file].data(), level.originals[file].size());
  return 0;
}
