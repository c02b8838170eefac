#include "effects/AttachGlowRecord.h"

#include <cmath>

#include "core/data/ByteCursor.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "effects/EffectRecordText.h"

bool AttachGlowRecord::Read(const uint8_t* data, size_t size) {
  if (data == nullptr || size != kSize) {
    DebugPrintf("CAttachGlow: record of %u bytes, not %u\n", static_cast<unsigned>(size), static_cast<unsigned>(kSize));
    return false;
  }
  CByteCursor in(data, size);
  AttachGlowRecord r;
  in.ReadI32(r.intensityIndex), in.ReadU32(r.triggerId), in.ReadF32(r.halfSide), in.ReadU32(r.colour);
  if (!ReadRecordName(in, kNameSize, r.texture)) {
    DebugPrintf("CAttachGlow: texture name without an end\n");
    return false;
  }
  if (!(r.halfSide > 0.0f && r.halfSide <= kLargestSize)) {
    DebugPrintf("CAttachGlow: size out of range\n");
    return false;
  }
  *this = r;
  return true;
}

void AttachGlowRecord::Write(std::vector<uint8_t>& out) const {
  le::PutU32(out, static_cast<uint32_t>(intensityIndex));
  le::PutU32(out, triggerId);
  le::PutF32(out, halfSide);
  le::PutU32(out, colour);
  PutRecordName(out, texture, kNameSize);
}
