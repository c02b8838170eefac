// make_demo_data: writes the demo data folder (meshes, pictures, sounds, catalogs and the demo level) with the engine's own writers.
// Usage: make_demo_data <data folder>. A missing folder is built under its own name inside a
// "<name>.partial" folder beside it and moved into place at the end, so an interrupted run never
// leaves a half-filled folder; the instant-action park is built by loading the written level the
// way the game does, which finds the data by its folder's name ("data").
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/EngineRegistration.h"
#include "tools/DemoContent.h"
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
  fs::path target = fs::path(argv[1]).lexically_normal();
  if (target.filename().empty()) target = target.parent_path();  // "data/" names the folder "data"
  std::error_code error;
  const bool fresh = !fs::exists(target, error);
  const fs::path partial = target.string() + ".partial";
  const fs::path work = fresh ? partial / target.filename() : target;
  if (fresh) fs::remove_all(partial, error);
  fs::create_directories(work, error);
  if (!DemoContent::WriteDemoData(work.string())) {
    std::fprintf(stderr, "make_demo_data: writing %s failed\n", work.string().c_str());
    if (fresh) fs::remove_all(partial, error);  // nothing half-written is left for the next run to meet
    return 1;
  }
  if (fresh) {
    fs::rename(work, target, error);
    if (!error) fs::remove(partial, error);
    if (error) {
      std::fprintf(stderr, "make_demo_data: cannot move %s into place\n", work.string().c_str());
      return 1;
    }
  }
  return 0;
}
