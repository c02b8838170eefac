#include "effects/ScriptTriggerRecord.h"

#include <cmath>

#include "core/data/ByteCursor.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"

bool ScriptTriggerRecord::Read(const uint8_t* data, size_t size) {
  if (data == nullptr || size != kSize) {
    DebugPrintf("CScriptTrigger: record of %u bytes, not %u\n", static_cast<unsigned>(size),
                static_cast<unsigned>(kSize));
    return false;
  }
  CByteCursor in(data, size);
  ScriptTriggerRecord r;
  in.ReadU32(r.triggerId), in.ReadU32(r.cameraId), in.ReadF32(r.start), in.ReadF32(r.end);
  if (r.triggerId == 0 || !std::isfinite(r.start) || !std::isfinite(r.end)) {
    DebugPrintf("CScriptTrigger: record with trigger ID 0 or a window that is not a number\n");
    return false;
  }
  *this = r;
  return true;
}

void ScriptTriggerRecord::Write(std::vector<uint8_t>& out) const {
  le::PutU32(out, triggerId);
  le::PutU32(out, cameraId);
  le::PutF32(out, start);
  le::PutF32(out, end);
}
