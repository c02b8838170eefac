// WriteDemoData: every demo writer in the order make_demo_data runs them.
#include "tools/DemoContent.h"

#include <filesystem>

#include "core/data/DebugPrintf.h"
#include "tools/DemoContentBoarder.h"
#include "tools/DemoContentCatalog.h"
#include "tools/DemoContentEffects.h"
#include "tools/DemoContentImages.h"
#include "tools/DemoContentInstantPark.h"
#include "tools/DemoContentLevel.h"
#include "tools/DemoContentLevelArt.h"
#include "tools/DemoContentLevelSkeleton.h"
#include "tools/DemoContentSounds.h"
#include "tools/DemoContentUi.h"

namespace DemoContent {

bool WriteDemoData(const std::string& dataFolder) {
  // Checked before anything is written: the instant-action park, written last, finds the level
  // through the folder's name.
  std::filesystem::path data = std::filesystem::path(dataFolder).lexically_normal();
  if (data.filename().empty()) data = data.parent_path();
  if (data.filename() != "data") {
    DebugPrintf("DemoContent: the demo data goes into a folder named data, not %s\n", dataFolder.c_str());
    return false;
  }
  return WriteAll(dataFolder) && WriteLevel(dataFolder) && WriteImages(dataFolder) && WriteEffectTextures(dataFolder) &&
         WriteSounds(dataFolder) && WriteCatalogs(dataFolder) && WriteBoarder(dataFolder) && WriteUi(dataFolder) &&
         WriteLevelTextures(dataFolder) && WriteSoftwareTextureCache(dataFolder) && WriteLevelSkeleton(dataFolder) &&
         WriteInstantActionPark(dataFolder) && WriteGeneratorStamp(dataFolder);
}

}  // namespace DemoContent
