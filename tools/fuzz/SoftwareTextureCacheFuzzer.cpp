// libFuzzer entry for the software texture cache file: a refused file leaves the store as it was;
// an accepted one writes an image that reads back to the same image, and every texture is found
// again by its name.
#include <cstdlib>

#include "render/software/SoftwareTextureStore.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  // Made once: a new store builds its default palette's colour tables.
  static CSoftwareTextureStore& store = *new CSoftwareTextureStore;
  static CSoftwareTextureStore& again = *new CSoftwareTextureStore;
  const std::vector<uint8_t> file = fuzz_input::Bytes(data, size);
  const std::vector<uint8_t> before = store.EncodeCache();
  if (!store.ReadCache(file.data(), file.size())) {
    if (store.EncodeCache() != before) std::abort();
    return 0;
  }
  const std::vector<uint8_t> image = store.EncodeCache();
  if (!again.ReadCache(image.data(), image.size()) || again.EncodeCache() != image) std::abort();
  for (size_t i = 0; i < store.GetCount(); ++i)
    if (store.Find(store.GetTexture(i)->GetName()) == nullptr) std::abort();
  return 0;
}
