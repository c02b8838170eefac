// libFuzzer entry for the WAVE reader: any input is refused or read within its bytes, and an
// accepted sample holds no more data than the file did.
#include <cstdlib>

#include "sound/SoundSample.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  const std::vector<uint8_t> file = fuzz_input::Bytes(data, size);
  CSoundSample sample;
  if (sample.Copy(file.data(), file.size()) && sample.GetDataSize() + 20 > file.size()) std::abort();
  return 0;
}
