// DemoLevelPark: the demo level with the instant-action layout placed, built as the generator
// builds it, in a temporary folder that is also the working folder while it lasts. For the
// benchmarks that run the real park grid.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/world/WorldAccess.h"
#include "core/data/ResourceTable.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentCatalog.h"
#include "tools/DemoContentInstantPark.h"
#include "tools/DemoContentLevel.h"
#include "ui/screens/LevelLoader.h"
#include "ui/screens/NewGame.h"

struct DemoLevelPark {
  explicit DemoLevelPark(uint32_t seed) : park(nullptr, nullptr) {
    namespace fs = std::filesystem;
    previous = fs::current_path();
    root = fs::temp_directory_path() / ("kelvarun-levelpark-" + std::to_string(seed));
    fs::remove_all(root);
    fs::create_directories(root / "data");
    const std::string data = (root / "data").string();
    built = DemoContent::WriteAll(data) && DemoContent::WriteLevel(data) && DemoContent::WriteCatalogs(data);
    fs::current_path(root);
    park.SetResourceTable(&table);
    SetGameWorld(&park);
    plat::srand(seed);
    CLevelLoader loader(root.string() + "/");
    ResetParkRecord(&park, 0, kStartingMoneyEasy, "Bench");
    built = built && loader.LoadLevel(park, 0) && loader.SetUpGrid(park) && loader.LoadCatalogs(park) &&
            DemoContent::PlaceInstantPark(park);
  }
  ~DemoLevelPark() {
    FreeObjectCatalog();
    park.ClearGrid();
    park.ClearWorld();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(root);
  }
  DemoLevelPark(const DemoLevelPark&) = delete;
  DemoLevelPark& operator=(const DemoLevelPark&) = delete;

  std::filesystem::path previous, root;
  CResourceTable table;
  CVerezIvor park;
  bool built = false;
};
