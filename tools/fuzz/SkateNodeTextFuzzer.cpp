// libFuzzer entry for the "skatenode" text of a piece's attach point, and the words it names.
#include "park/pieces/SkateNodeText.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  const std::vector<uint8_t> text = fuzz_input::Bytes(data, size);
  SkateNodeText node;
  ParseSkateNodeText(reinterpret_cast<const char*>(text.data()), text.size(), node);
  const std::string word = fuzz_input::Text(data, size);
  SkateNodeKindFromWord(word);
  SkateLinkTypeFromWord(word);
  return 0;
}
