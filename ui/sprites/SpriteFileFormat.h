// SpriteFileFormat: the byte layout of sprite files ("*.bin" under data/ui/), its bounded reader and
// its writer.
//
// All numbers are little-endian.
//   offset 0   4 bytes  magic "KSPR"
//   offset 4   u32      version (kVersion; a reader refuses any other)
//   offset 8   u32      sprite count, at most kMaxSprites
//   then, per sprite:
//     u8       name length, 1 to kMaxNameLength
//     bytes    the name (no terminator)
//     u16      frame count, 1 to kMaxFrames; the frames lie side by side, left to right, so the
//              image's width must be a multiple of it
//     u16      first code: the character of frame 0 for an alphabet (0 for any other sprite)
//     u32      image size in bytes
//     bytes    the image: a whole "BW" or "B2" file image, as those formats' savers write it
// Nothing may follow the last sprite.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace SpriteFileFormat {

constexpr uint8_t kMagic[4] = {'K', 'S', 'P', 'R'};
constexpr uint32_t kVersion = 1;
constexpr uint32_t kMaxSprites = 1024;
constexpr size_t kMaxNameLength = 63;
constexpr uint32_t kMaxFrames = 1024;
constexpr size_t kHeaderBytes = 12;

struct SpriteRecord {
  std::string name;
  uint16_t frameCount = 1;
  uint16_t firstCode = 0;
  std::vector<uint8_t> image;  // BW or B2 file image
};

// Reads every record. False (one logged line, `out` emptied) when anything is out of bounds,
// a count or length is out of range, an image is not a BW or B2 image, or bytes are left over.
// Pictures are not decoded here; the sprite file does that.
bool Read(const uint8_t* data, size_t size, std::vector<SpriteRecord>& out);

// The file image of the records; empty (logged) when a record breaks the limits above.
std::vector<uint8_t> Write(const std::vector<SpriteRecord>& records);

}  // namespace SpriteFileFormat
