// A level's start as the new-game screen makes it (StartNewGame: the level load with its effects
// and clouds, the catalogs and the build grid), on the demo data the generator writes into a
// temporary folder, each time into a fresh world and resource table as at the game's first start.
// Run under callgrind with --toggle-collect='StartNewGame*' for its instruction count.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/EngineRegistration.h"
#include "core/data/ResourceTable.h"
#include "core/world/WorldAccess.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "tools/DemoContent.h"
#include "ui/screens/NewGame.h"

namespace {

// The generator's whole data set under a folder named "data", which is the working folder's.
struct DemoDataFolder {
  DemoDataFolder() {
    namespace fs = std::filesystem;
    previous = fs::current_path();
    root = fs::temp_directory_path() / "kelvarun-levelstart";
    fs::remove_all(root);
    fs::create_directories(root / "data");
    written = DemoContent::WriteDemoData((root / "data").string());
    fs::current_path(root);
  }
  ~DemoDataFolder() {
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(root);
  }
  DemoDataFolder(const DemoDataFolder&) = delete;
  DemoDataFolder& operator=(const DemoDataFolder&) = delete;

  std::filesystem::path previous, root;
  bool written = false;
};

void BM_StartNewGameOnTheDemoLevel(benchmark::State& state) {
  RegisterEngine();
  DemoDataFolder data;
  if (!data.written) return state.SkipWithError("the demo data could not be written");
  for (auto _ : state) {
    state.PauseTiming();
    auto table = std::make_unique<CResourceTable>();
    auto park = std::make_unique<CVerezIvor>(nullptr, nullptr);
    park->SetResourceTable(table.get());
    SetGameWorld(park.get());
    plat::srand(0);
    state.ResumeTiming();
    const bool started = StartNewGame(park.get(), 0, kStartingMoneyEasy, "Bench", data.root.string() + "/");
    state.PauseTiming();
    ClearRunningGame(*park);
    FreeObjectCatalog();
    park.reset();
    SetGameWorld(nullptr);
    table.reset();
    state.ResumeTiming();
    if (!started) return state.SkipWithError("the demo level did not start");
  }
}
BENCHMARK(BM_StartNewGameOnTheDemoLevel)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
