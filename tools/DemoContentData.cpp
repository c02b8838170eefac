// WriteDemoData: every demo writer in the order make_demo_data runs them.
#include "tools/DemoContent.h"
#include "tools/DemoContentBoarder.h"
#include "tools/DemoContentCatalog.h"
#include "tools/DemoContentImages.h"
#include "tools/DemoContentInstantPark.h"
#include "tools/DemoContentLevel.h"
#include "tools/DemoContentLevelArt.h"
#include "tools/DemoContentLevelSkeleton.h"
#include "tools/DemoContentSounds.h"
#include "tools/DemoContentUi.h"

namespace DemoContent {

bool WriteDemoData(const std::string& dataFolder) {
  return WriteAll(dataFolder) && WriteLevel(dataFolder) && WriteImages(dataFolder) && WriteSounds(dataFolder) &&
         WriteCatalogs(dataFolder) && WriteBoarder(dataFolder) && WriteUi(dataFolder) &&
         WriteLevelTextures(dataFolder) && WriteSoftwareTextureCache(dataFolder) && WriteLevelSkeleton(dataFolder) &&
         WriteInstantActionPark(dataFolder) && WriteGeneratorStamp(dataFolder);
}

}  // namespace DemoContent
