// libFuzzer entry for "lights.bin", read onto an instance of the demo level's terrain with the
// level's light-map pages beside it.
#include <cstdlib>

#include "scene/lighting/LightMapper.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tools/fuzz/FuzzInput.h"

namespace {

struct Terrain {
  std::string folder;
  ShadedMesh mesh;
  CMeshInstance instance;
};

Terrain& TheTerrain() {
  static Terrain* terrain = [] {
    auto* made = new Terrain;
    made->folder = fuzz_input::DemoRoot() + "data/levels/demo/";
    if (!made->mesh.Load((made->folder + "terrain.mesh").c_str(), nullptr, 0, false, false, false) ||
        !made->instance.SetMesh(&made->mesh, false, false, false, 0, 100, nullptr, true, nullptr))
      std::abort();
    return made;
  }();
  return *terrain;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  Terrain& terrain = TheTerrain();
  const std::vector<uint8_t> file = fuzz_input::Bytes(data, size);
  LightMapper::Load(&terrain.instance, file.data(), file.size(), terrain.folder, true);
  return 0;
}
