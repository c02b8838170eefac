#include "effects/CloudLayerRecord.h"

#include <cmath>

#include "core/data/ByteCursor.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "effects/EffectRecordText.h"
#include "physics/terrain/FractalTerrain.h"

namespace {
bool Sane(float v) { return std::isfinite(v) && std::fabs(v) <= CloudLayerRecord::kLargestValue; }
}  // namespace

bool CloudLayerRecord::Read(const uint8_t* data, size_t size) {
  if (data == nullptr || size != kSize) {
    DebugPrintf("CCloudLayer: record of %u bytes, not %u\n", static_cast<unsigned>(size), static_cast<unsigned>(kSize));
    return false;
  }
  CByteCursor in(data, size);
  CloudLayerRecord r;
  for (float& v : r.box) in.ReadF32(v);
  in.ReadF32(r.roughness), in.ReadU32(r.levels), in.ReadF32(r.driftU), in.ReadF32(r.driftV);
  if (!ReadRecordName(in, kNameSize, r.texture)) {
    DebugPrintf("CCloudLayer: texture name without an end\n");
    return false;
  }
  bool sane = Sane(r.roughness) && Sane(r.driftU) && Sane(r.driftV);
  for (float v : r.box) sane = sane && Sane(v);
  if (!sane || r.box[0] > r.box[3] || r.box[1] > r.box[4] || r.box[2] > r.box[5] ||
      r.levels > kMaxFractalTerrainLevels) {
    DebugPrintf("CCloudLayer: record with a number out of range, an inside-out box or %u levels\n", r.levels);
    return false;
  }
  *this = r;
  return true;
}

void CloudLayerRecord::Write(std::vector<uint8_t>& out) const {
  for (float v : box) le::PutF32(out, v);
  le::PutF32(out, roughness);
  le::PutU32(out, levels);
  le::PutF32(out, driftU);
  le::PutF32(out, driftV);
  PutRecordName(out, texture, kNameSize);
}
