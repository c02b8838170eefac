// libFuzzer entry for the sphere-tree image: an accepted tree writes back to an image of the
// same size.
#include <cstdlib>

#include "physics/collision/SphereTree.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  const std::vector<uint8_t> image = fuzz_input::Bytes(data, size);
  SphereTreeNode tree;
  if (SphereTree::ReadImage(tree, image.data(), image.size()) && SphereTree::ImageSize(tree) != size) std::abort();
  return 0;
}
