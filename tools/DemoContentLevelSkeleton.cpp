#include "tools/DemoContentLevelSkeleton.h"

#include <filesystem>
#include <vector>

#include "core/data/DebugPrintf.h"
#include "core/data/ResourceTable.h"
#include "core/spatial/Octree.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/world/VerezIvor.h"
#include "platform/files/FileWrite.h"
#include "tools/DemoContentInstantPark.h"
#include "ui/screens/LevelLoader.h"
#include "ui/screens/LevelSkeleton.h"
#include "ui/screens/NewGame.h"

namespace DemoContent {

bool WriteLevelSkeleton(const std::string& dataFolder) {
  namespace fs = std::filesystem;
  fs::path data = fs::path(dataFolder).lexically_normal();
  if (data.filename().empty()) data = data.parent_path();
  if (data.filename() != "data") {
    DebugPrintf("DemoContent: the level skeleton is built from a folder named data, not %s\n", dataFolder.c_str());
    return false;
  }
  CLevelLoader loader(data.parent_path().string());
  const std::string folder = loader.GetLevelFolder(0);
  const std::string path = folder + kLevelSkeletonFile;
  // The skeleton of an earlier run would shape the tree it is taken from.
  std::error_code ignored;
  fs::remove(path, ignored);
  uint8_t identity[kLevelIdentitySize];
  bool ok = ComputeLevelFileIdentity(folder + CLevelLoader::kTerrainFile, identity);
  CResourceTable table;
  {
    CVerezIvor park(nullptr, nullptr);
    park.SetResourceTable(&table);
    ResetParkRecord(&park, 0, kStartingMoneyEasy, "Instant Action");
    ok = ok && loader.LoadLevel(park, 0) && loader.SetUpGrid(park) && loader.LoadCatalogs(park) &&
         PlaceInstantPark(park);
    if (ok) {
      // Folded as the level load folds its own tree, so that only cells the park fills stay.
      COctree& octree = park.GetOctree();
      for (int pass = 0; pass < 3; ++pass) octree.Coarsen(CLevelLoader::kCoarsenLimit);
      const std::vector<uint8_t> block = octree.SaveSkeleton(identity);
      ok = !block.empty() && plat::ReplaceFileContents(path.c_str(), block.data(), block.size());
    }
    FreeObjectCatalog();
    park.ClearGrid();
    park.ClearWorld();
  }
  if (!ok) DebugPrintf("DemoContent: could not write %s\n", path.c_str());
  return ok;
}

}  // namespace DemoContent
