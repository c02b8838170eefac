// VisibilityFile: builds the image of a "visnodes.bin" file from per-cell records. The game only
// reads such files; tests and the demo-content generator write them with this.
#pragma once

#include <cstdint>
#include <vector>

// One record: the cell (by path code) and the codes of the cells visible from it.
struct VisibilityFileRecord {
  uint32_t code = 0;
  uint32_t flags = 0;  // the bits of OctreeVisibilityRecord::Flag
  std::vector<uint32_t> visible;
};

// Little-endian u32 words: the record count, then per record code, flags, count, a spare 0, codes.
std::vector<uint8_t> WriteVisibilityFile(const std::vector<VisibilityFileRecord>& records);
