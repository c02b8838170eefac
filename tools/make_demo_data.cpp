// make_demo_data: writes the demo data folder (meshes, pictures, sounds, catalogs and the demo level) with the engine's own writers.
// Usage: make_demo_data <data folder>. A missing folder is built beside its final name and
// renamed into place at the end, so an interrupted run never leaves a half-filled folder.
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/EngineRegistration.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentBoarder.h"
#include "tools/DemoContentCatalog.h"
#include "tools/DemoContentImages.h"
#include "tools/DemoContentLevel.h"
#include "tools/DemoContentLevelArt.h"
#include "tools/DemoContentSounds.h"
#include "tools/DemoContentUi.h"

int main(int argc, char** argv) {
  // ./run.sh compares this with the stamp of an existing data folder.
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("%u\n", DemoContent::kGeneratorVersion);
    return 0;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <data folder>\n", argv[0]);
    return 2;
  }
  // The level's lighting bake builds a world, which needs its scene side.
  RegisterEngine();
  namespace fs = std::filesystem;
  const fs::path target = argv[1];
  std::error_code error;
  const bool fresh = !fs::exists(target, error);
  const fs::path work = fresh ? fs::path(target.string() + ".partial") : target;
  if (fresh) fs::remove_all(work, error);
  fs::create_directories(work, error);
  if (!DemoContent::WriteAll(work.string()) || !DemoContent::WriteLevel(work.string()) ||
      !DemoContent::WriteImages(work.string()) || !DemoContent::WriteSounds(work.string()) ||
      !DemoContent::WriteCatalogs(work.string()) || !DemoContent::WriteBoarder(work.string()) ||
      !DemoContent::WriteUi(work.string()) || !DemoContent::WriteLevelTextures(work.string()) ||
      !DemoContent::WriteGeneratorStamp(work.string())) {
    std::fprintf(stderr, "make_demo_data: writing %s failed\n", work.string().c_str());
    return 1;
  }
  if (fresh) {
    fs::rename(work, target, error);
    if (error) {
      std::fprintf(stderr, "make_demo_data: cannot move %s into place\n", work.string().c_str());
      return 1;
    }
  }
  return 0;
}
