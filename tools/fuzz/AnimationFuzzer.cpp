// libFuzzer entry for the animation table and the script compiler: a compiled script must bind,
// and any bound table must be safe to walk.
#include <cstdlib>

#include "scene/animation/AnimationSet.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  const std::vector<uint8_t> table = fuzz_input::Bytes(data, size);
  AnimationSet set;
  if (set.Bind(table.data(), static_cast<uint32_t>(table.size()))) {
    uint32_t index = 0;
    for (uint32_t i = 0; i < set.GetCount() + 1; ++i) set.NextSequence(index);
    set.FindSequenceByName("walk");
  }
  const std::string script = fuzz_input::Text(data, size);
  const std::vector<uint8_t> compiled = AnimationSet::Parse(script.c_str());
  AnimationSet fromScript;
  if (!fromScript.Bind(compiled.data(), static_cast<uint32_t>(compiled.size()))) std::abort();
  return 0;
}
