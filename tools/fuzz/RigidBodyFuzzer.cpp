// libFuzzer entry for building a rigid-body model from a mesh file: its constants, point masses,
// collision spheres and convex pieces (hulls through qhull).
#include <memory>

#include "physics/rigid/RigidConst.h"
#include "scene/mesh/ShadedMesh.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  std::vector<uint8_t> file = fuzz_input::Bytes(data, size);
  auto mesh = std::make_unique<ShadedMesh>();
  if (!mesh->Parse(file.data(), file.size(), false)) return 0;
  RigidConst model;
  model.BuildFromMesh(std::move(mesh));
  return 0;
}
