// libFuzzer entry for the settings image reader.
#include "core/input/SkateSettings.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  const std::vector<uint8_t> image = fuzz_input::Bytes(data, size);
  CSkateSettings settings;
  settings.Parse(reinterpret_cast<const char*>(image.data()), image.size());
  return 0;
}
