// libFuzzer entry for the sprite file: the reader, then the sprites cut from an accepted file's
// pictures. An accepted file writes back byte for byte.
#include <cstdlib>

#include "tools/fuzz/FuzzInput.h"
#include "ui/sprites/SpriteFile.h"
#include "ui/sprites/SpriteFileFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  const std::vector<uint8_t> file = fuzz_input::Bytes(data, size);
  std::vector<SpriteFileFormat::SpriteRecord> records;
  if (SpriteFileFormat::Read(file.data(), file.size(), records) && SpriteFileFormat::Write(records) != file)
    std::abort();
  CSpriteFile sprites;
  sprites.LoadFromMemory(file.data(), file.size(), "fuzz");
  return 0;
}
