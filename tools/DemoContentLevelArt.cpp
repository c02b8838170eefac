// DemoContentLevelArt: the level folder's copies of the ground and block textures.
#include "tools/DemoContentLevelArt.h"

#include <cstdint>

#include "core/data/DebugPrintf.h"
#include "core/data/FileBuffer.h"
#include "platform/files/FileWrite.h"
#include "tools/DemoContentLevel.h"

namespace DemoContent {

std::vector<std::string> LevelTextureFiles() { return {"ground.texture", "block.texture"}; }

bool WriteLevelTextures(const std::string& dataFolder) {
  bool ok = true;
  for (const std::string& name : LevelTextureFiles()) {
    const std::string from = dataFolder + "/textures/" + name;
    const std::string to = dataFolder + "/" + kLevelFolder + "/" + name;
    uint32_t size = 0;
    char* bytes = LoadFileToBuffer(from.c_str(), &size);
    const bool copied = bytes != nullptr && plat::ReplaceFileContents(to.c_str(), bytes, size);
    FreeFileBuffer(bytes);
    if (!copied) {
      DebugPrintf("DemoContent: could not write %s\n", to.c_str());
      ok = false;
    }
  }
  return ok;
}

}  // namespace DemoContent
