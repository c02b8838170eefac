#include "scene/lighting/LightRecord.h"

#include <cmath>
#include <cstring>

#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"

using le::ReadF32;
using le::ReadI32;
using le::WriteF32;
using le::WriteU32;

namespace {

Vector3 ReadVec(const uint8_t* p) { return Vector3(ReadF32(p), ReadF32(p + 4), ReadF32(p + 8)); }

void WriteVec(uint8_t* p, const Vector3& v) {
  WriteF32(p, v.x);
  WriteF32(p + 4, v.y);
  WriteF32(p + 8, v.z);
}

}  // namespace

bool LightRecord::Read(const uint8_t* data, size_t size) {
  if (data == nullptr || size < kSize) {
    DebugPrintf("LightRecord: %u bytes is too short for a light\n", static_cast<unsigned>(size));
    return false;
  }
  // Every float at offsets 8..119 except the unread word and the falloff mode.
  for (size_t off = 8; off < kSize; off += 4) {
    if (off == 68 || off == 100) continue;
    // Squares and products of larger values overflow to infinities and then NaNs.
    const float v = ReadF32(data + off);
    if (!std::isfinite(v) || std::fabs(v) > kLargestValue) {
      DebugPrintf("LightRecord: value at byte %u is out of range\n", static_cast<unsigned>(off));
      return false;
    }
  }
  type = ReadI32(data);
  flags = static_cast<uint32_t>(ReadI32(data + 4));
  color = ReadVec(data + 8);
  for (int row = 0; row < 3; ++row) frame.SetRow(row, ReadVec(data + kFrameOffset + 12 * row));
  frame.SetPosition(ReadVec(data + 56));
  range = ReadF32(data + 72);
  region = Box(ReadVec(data + kBoxOffset), ReadVec(data + kBoxOffset + 12));
  falloff = ReadI32(data + 100);
  innerRadius = ReadF32(data + 104);
  outerAngle = ReadF32(data + 108);
  innerAngle = ReadF32(data + 112);
  priority = ReadF32(data + 116);
  return true;
}

void LightRecord::Write(uint8_t* out) const {
  std::memset(out, 0, kSize);
  WriteU32(out, static_cast<uint32_t>(type));
  WriteU32(out + 4, flags);
  WriteVec(out + 8, color);
  for (int row = 0; row < 3; ++row) WriteVec(out + kFrameOffset + 12 * row, frame.GetMatrix().m[row]);
  WriteVec(out + 56, frame.GetPosition());
  WriteF32(out + 72, range);
  WriteVec(out + kBoxOffset, region.min);
  WriteVec(out + kBoxOffset + 12, region.max);
  WriteU32(out + 100, static_cast<uint32_t>(falloff));
  WriteF32(out + 104, innerRadius);
  WriteF32(out + 108, outerAngle);
  WriteF32(out + 112, innerAngle);
  WriteF32(out + 116, priority);
}
