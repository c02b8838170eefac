// libFuzzer entry for a combat body's creation data: accepted data must write back to the same
// model name and frame.
#include <cstdlib>

#include "combat/BodyCreation.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  const std::vector<uint8_t> bytes = fuzz_input::Bytes(data, size);
  BodyCreation read;
  if (!read.Read(bytes.data(), bytes.size())) return 0;
  uint8_t written[BodyCreation::kDataBytes];
  read.Write(written);
  BodyCreation again;
  if (!again.Read(written, sizeof written) || again.model != read.model || !(again.frame.axes == read.frame.axes) ||
      !(again.frame.position == read.frame.position))
    std::abort();
  return 0;
}
