// DemoContentLevelArt: the level folder's copies of the ground and block textures, and the
// software renderer's texture caches of the level.
#include "tools/DemoContentLevelArt.h"

#include <cstdint>
#include <memory>

#include "core/data/DebugPrintf.h"
#include "core/data/FileBuffer.h"
#include "platform/files/FileWrite.h"
#include "render/image/Texture.h"
#include "render/software/SoftwareTextureStore.h"
#include "tools/DemoContentBoarder.h"
#include "tools/DemoContentEffects.h"
#include "tools/DemoContentImages.h"
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

namespace {

// The textures a game on the demo level draws, below the data folder.
std::vector<std::string> ParkTextureFiles() {
  std::vector<std::string> files;
  for (const std::string& name : LevelTextureFiles()) files.push_back(std::string(kLevelFolder) + "/" + name);
  // The pieces read theirs from the meshes' folder; the copies under "textures/" are the same.
  auto endsWith = [](const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
  };
  for (const std::string& file : ImageFiles())
    if ((file.rfind("meshes/", 0) == 0 && endsWith(file, ".texture")) || file.rfind("textures/thoughtbubbles/", 0) == 0)
      files.push_back(file);
  for (const std::string& file : BoarderTextureFiles()) files.push_back(file);
  for (const std::string& file : EffectTextureFiles()) files.push_back(file);
  return files;
}

}  // namespace

bool WriteSoftwareTextureCache(const std::string& dataFolder) {
  std::vector<std::unique_ptr<CTexture>> textures;
  std::vector<CTexture*> list;
  for (const std::string& file : ParkTextureFiles()) {
    const std::string path = dataFolder + "/" + file;
    auto texture = std::make_unique<CTexture>();
    // Loaded as the game loads them: the bubbles as the resource table loads a Targa file, with
    // mip levels at power-of-two sides.
    const bool targa = file.size() > 4 && file.compare(file.size() - 4, 4, ".tga") == 0;
    const uint32_t targaFlags = CTexture::kMipMapped | CTexture::kPowerOfTwo;
    if (!(targa ? texture->LoadTarga(path.c_str(), targaFlags) : texture->Load(path.c_str(), true))) {
      DebugPrintf("DemoContent: could not read %s for the software texture cache\n", path.c_str());
      return false;
    }
    list.push_back(texture.get());
    textures.push_back(std::move(texture));
  }
  CSoftwareTextureStore store;
  const std::string prefix = dataFolder + "/" + kLevelFolder + "/";
  if (store.CacheSoftwareTextures(list, prefix.c_str())) return true;
  DebugPrintf("DemoContent: could not write the software texture caches in %s\n", prefix.c_str());
  return false;
}

}  // namespace DemoContent
