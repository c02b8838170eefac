#include "core/data/LittleEndian.h"
#include "core/spatial/VisibilityFile.h"

using le::PutU32;

std::vector<uint8_t> WriteVisibilityFile(const std::vector<VisibilityFileRecord>& records) {
  std::vector<uint8_t> out;
  PutU32(out, static_cast<uint32_t>(records.size()));
  for (const VisibilityFileRecord& record : records) {
    PutU32(out, record.code);
    PutU32(out, record.flags);
    PutU32(out, static_cast<uint32_t>(record.visible.size()));
    PutU32(out, 0);
    for (uint32_t code : record.visible) PutU32(out, code);
  }
  return out;
}
