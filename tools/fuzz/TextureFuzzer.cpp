// libFuzzer entry for the ".texture" reader, raw and JPEG levels, with and without the top level
// dropped: any input is refused or read within its bytes, and an accepted texture holds exactly
// the pixels its level geometry names.
#include <cstdlib>
#include <vector>

#include "render/image/Texture.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  const std::vector<uint8_t> file = fuzz_input::Bytes(data, size);
  for (bool dropTop : {false, true}) {
    CTexture texture;
    if (!texture.Parse(file.data(), file.size(), dropTop, true)) continue;
    uint64_t total = 0;
    for (uint32_t level = 0; level < texture.mipCount; ++level) {
      if (texture.mipOffsets[level] != total) std::abort();
      total += uint64_t{texture.GetLevelWidth(level)} * texture.GetLevelHeight(level) * texture.bytesPerPixel;
    }
    if (!texture.pixels || total != texture.totalSize) std::abort();
    // The last texel of the last level is inside the block.
    volatile uint8_t last = texture.pixels[texture.totalSize - 1];
    (void)last;
  }
  return 0;
}
