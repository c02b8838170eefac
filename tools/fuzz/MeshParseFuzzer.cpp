// libFuzzer entry for the mesh file reader: every input must be refused or parsed cleanly,
// and a parsed mesh must write an image that reads back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/system/Platform.h"
#include "scene/mesh/ShadedMesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (plat::SetDebugSink([](const char*) {}), true);
  (void)quiet;
  for (bool inPlace : {false, true}) {
    std::vector<uint8_t> image(data, data + size);  // in place needs writable memory
    ShadedMesh mesh;
    if (!mesh.Parse(image.data(), image.size(), inPlace)) continue;
    std::vector<uint8_t> again(mesh.GetFileSize());
    if (mesh.Serialize(again.data(), again.size()) != again.size()) std::abort();
    ShadedMesh reread;
    if (!reread.Parse(again.data(), again.size(), false)) std::abort();
  }
  return 0;
}
