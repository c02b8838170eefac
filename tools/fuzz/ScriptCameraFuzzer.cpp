// libFuzzer entry for the script camera: an even first byte reads the rest as the text form, an
// odd one as the level data's block. An accepted script writes a block that reads back to the
// same block, and plays through without leaving its segments.
#include <cstdlib>

#include "scene/camera/ScriptCam.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  if (size == 0) return 0;
  CScriptCam camera;
  const std::vector<uint8_t> block = fuzz_input::Bytes(data + 1, size - 1);
  const bool read = data[0] % 2 == 0 ? camera.ParseScript(fuzz_input::Text(data + 1, size - 1).c_str())
                                     : camera.SetSegments(block.data(), block.size());
  if (!read) return 0;
  std::vector<uint8_t> written(camera.GetBlockSize());
  if (!camera.WriteBlock(written.data(), written.size())) std::abort();
  CScriptCam again;
  std::vector<uint8_t> rewritten(written.size());
  if (!again.SetSegments(written.data(), written.size()) || !again.WriteBlock(rewritten.data(), rewritten.size()) ||
      rewritten != written)
    std::abort();
  camera.Play();
  for (int frame = 0; frame < 8 && camera.IsPlaying(); ++frame) {
    camera.Update(0.75f);
    if (camera.GetCurrentSegment() > camera.GetSegmentCount()) std::abort();
  }
  return 0;
}
