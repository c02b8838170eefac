// WriteDemoData: every demo writer in the order make_demo_data runs them.
#include "tools/DemoContent.h"
#include "tools/DemoContentBoarder.h"
#include "tools/DemoContentCatalog.h"
#include "tools/DemoContentEffects.h"
#include "tools/DemoContentImages.h"
#include "tools/DemoContentInstantPark.h"
#include "tools/DemoContentLevel.h"
#include "tools/DemoContentLevelArt.h"
#include "tools/DemoContentSounds.h"
#include "tools/DemoContentUi.h"

namespace DemoContent {

bool WriteDemoData(const std::string& dataFolder) {
  return WriteAll(dataFolder) && WriteLevel(dataFolder) && WriteImages(dataFolder) && WriteEffectTextures(dataFolder) &&
         WriteSounds(dataFolder) && WriteCatalogs(dataFolder) && WriteBoarder(dataFolder) && WriteUi(dataFolder) &&
         WriteLevelTextures(dataFolder) && WriteSoftwareTextureCache(dataFolder) &&
         WriteInstantActionPark(dataFolder) && WriteGeneratorStamp(dataFolder);
}

}  // namespace DemoContent
