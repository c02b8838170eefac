// libFuzzer entry for the start-up switches of the command line.
#include <cstdlib>

#include "app/Application.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  const std::string line = fuzz_input::Text(data, size);
  ReadCommandLine(line.c_str());
  if (GetStartLevel() < -1 || GetStartLevel() >= 20) std::abort();  // switches -l0 to -l19
  return 0;
}
