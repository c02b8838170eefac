// libFuzzer entry for "visnodes.bin": a refused file keeps the records loaded before it.
#include <cstdlib>

#include "core/spatial/Octree.h"
#include "core/spatial/OctreeNode.h"
#include "core/spatial/VisibilityFile.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  COctree tree(Box(Vector3(0, 0, 0), Vector3(64, 64, 64)));
  const std::vector<uint8_t> first = WriteVisibilityFile({{1, 4, {2}}});
  if (!tree.LoadVisibility(first.data(), first.size())) std::abort();
  const std::vector<uint8_t> file = fuzz_input::Bytes(data, size);
  if (!tree.LoadVisibility(file.data(), file.size()) && tree.FindCellByCode(1, false)->visibility == nullptr) std::abort();
  return 0;
}
