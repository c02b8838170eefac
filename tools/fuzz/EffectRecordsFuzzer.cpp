// libFuzzer entry for the effects' attach-point records: the first byte picks the script
// trigger's (0), the cloud layer's (1) or the glow's (2) reader for the rest of the input. An
// accepted record is written, the bytes read again, and written again to the same bytes.
#include <cstdlib>

#include "effects/AttachGlowRecord.h"
#include "effects/CloudLayerRecord.h"
#include "effects/ScriptTriggerRecord.h"
#include "tools/fuzz/FuzzInput.h"

namespace {

template <typename Record>
void RoundTrip(const std::vector<uint8_t>& bytes) {
  Record record;
  if (!record.Read(bytes.data(), bytes.size())) return;
  std::vector<uint8_t> written, rewritten;
  record.Write(written);
  Record again;
  if (written.size() != Record::kSize || !again.Read(written.data(), written.size())) std::abort();
  again.Write(rewritten);
  if (rewritten != written) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  if (size == 0) return 0;
  const std::vector<uint8_t> bytes = fuzz_input::Bytes(data + 1, size - 1);
  switch (data[0] % 3) {
    case 0: RoundTrip<ScriptTriggerRecord>(bytes); break;
    case 1: RoundTrip<CloudLayerRecord>(bytes); break;
    default: RoundTrip<AttachGlowRecord>(bytes); break;
  }
  return 0;
}
