// libFuzzer entry for the octree skeleton block; the identity is taken from the input itself so
// that the fuzzer can reach past the identity check.
#include "core/spatial/Octree.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  const std::vector<uint8_t> block = fuzz_input::Bytes(data, size);
  uint8_t identity[COctree::kIdentitySize] = {};
  for (size_t i = 0; i < COctree::kIdentitySize && 4 + i < size; ++i) identity[i] = data[4 + i];
  COctree tree(Box(Vector3(0, 0, 0), Vector3(64, 64, 64)));
  tree.LoadSkeleton(block.data(), block.size(), identity);
  return 0;
}
