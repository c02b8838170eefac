// libFuzzer entry for the light files: the first byte picks the light record, the static-light
// file or the light-map page image; the rest is that file.
#include "core/spatial/Octree.h"
#include "scene/lighting/LightMapFaceRecord.h"
#include "scene/lighting/LightMapPageFile.h"
#include "scene/lighting/LightRecord.h"
#include "scene/lighting/StaticLighting.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  if (size == 0) return 0;
  const std::vector<uint8_t> file = fuzz_input::Bytes(data + 1, size - 1);
  switch (data[0] % 3) {
    case 0: {
      LightRecord record;
      record.Read(file.data(), file.size());
      break;
    }
    case 1: {
      COctree tree(Box(Vector3(0, 0, 0), Vector3(64, 64, 64)));
      StaticLighting::LoadFromBuffer(tree, file.data(), file.size());
      break;
    }
    default: {
      LightMapPage page;
      LightMapPageFile::Decode(file.data(), file.size(), page);
      break;
    }
  }
  return 0;
}
