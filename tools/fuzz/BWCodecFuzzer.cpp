// libFuzzer entry for the BW bit-stream decoder on its own: the first four bytes give the bit
// length and the next two the expected size, the rest is the stream. Any input decodes to exactly
// the expected size or fails, without reading past the stream.
#include <cstdlib>
#include <vector>

#include "render/image/BWCodec.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  if (size < 6) return 0;
  const uint64_t bits = uint64_t{data[0]} | uint64_t{data[1]} << 8 | uint64_t{data[2]} << 16 | uint64_t{data[3]} << 24;
  const size_t expected = size_t{data[4]} | size_t{data[5]} << 8;
  const std::vector<uint8_t> stream = fuzz_input::Bytes(data + 6, size - 6);
  std::vector<uint8_t> out;
  if (bwcodec::Decode(stream.data(), stream.size(), bits, expected, out) && out.size() != expected) std::abort();
  return 0;
}
