// libFuzzer entry for saved games, tick-state block included, loaded over the demo level's park
// as the game loads them. A refused file leaves the park as it was; an accepted one runs a few
// ticks and saves to a file that loads again; the level's own park is loaded back after it, so
// that every input meets the same park.
#include <cstdlib>
#include <string>

#include "core/input/SkateSettings.h"
#include "core/data/ResourceTable.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/pieces/SkatableSection.h"
#include "park/runner/ParkRunner.h"
#include "park/saved/SavedGame.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "tools/fuzz/FuzzInput.h"
#include "ui/screens/LevelLoader.h"

namespace {

struct DemoPark {
  CSkateSettings settings;
  CResourceTable table;
  std::unique_ptr<CVerezIvor> park;
  std::vector<uint8_t> fresh;  // the park as the level left it, loaded back after every accepted file
};

DemoPark& TheDemo() {
  static DemoPark* demo = [] {
    auto* made = new DemoPark;
    SetSettings(&made->settings);
    made->park = std::make_unique<CVerezIvor>(nullptr, nullptr);
    made->park->SetResourceTable(&made->table);
    CLevelLoader loader;
    if (!loader.LoadLevel(*made->park, 0) || !loader.SetUpGrid(*made->park) || !loader.LoadCatalogs(*made->park))
      std::abort();
    ControllerSaveFields controller;
    if (!CSavedGame::Save(*made->park, controller, made->fresh)) std::abort();
    return made;
  }();
  return *demo;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzz_input::KeepArtifactsWhereStarted(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  // The level, the catalogs and the assets a tick loads are named below the demo root.
  const fuzz_input::InDemoRoot inRoot;
  DemoPark& demo = TheDemo();
  CVerezIvor& park = *demo.park;
  plat::srand(1);
  const std::vector<uint8_t> file = fuzz_input::Bytes(data, size);
  ControllerSaveFields controller;
  // The check without a park passes whatever the park takes: it is the park's reading less what
  // depends on the running terrain, with the level's catalog, meshes and square count.
  const bool checked =
      CSavedGame::Check(file.data(), file.size(), CSkatableSection::GetSources(), park.GetGrid()->GetSquareCount());
  if (!CSavedGame::Load(park, controller, file.data(), file.size())) return 0;
  if (!checked) std::abort();
  CParkRunner runner(park);
  runner.RunTicks(3);
  std::vector<uint8_t> again;
  if (!CSavedGame::Save(park, controller, again) || !CSavedGame::Load(park, controller, again.data(), again.size()))
    std::abort();
  if (!CSavedGame::Load(park, controller, demo.fresh.data(), demo.fresh.size())) std::abort();
  return 0;
}
