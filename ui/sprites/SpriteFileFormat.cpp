// SpriteFileFormat: reading and writing the sprite file layout.
#include "ui/sprites/SpriteFileFormat.h"

#include <cstring>

#include "core/data/ByteCursor.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "render/image/Image.h"

namespace SpriteFileFormat {
namespace {

bool IsOwnImage(const std::vector<uint8_t>& image) {
  const ImageFormat format = DetectImageFormat(image.data(), image.size());
  return format == kImageBW || format == kImageB2;
}

bool Fail(std::vector<SpriteRecord>& out, const char* what, uint32_t index) {
  DebugPrintf("CSpriteFile: %s (sprite %u)\n", what, index);
  out.clear();
  return false;
}

bool ReadRecord(CByteCursor& in, SpriteRecord& record) {
  uint8_t nameLength = 0;
  if (!in.ReadU8(nameLength) || nameLength == 0 || nameLength > kMaxNameLength) return false;
  record.name.assign(nameLength, '\0');
  if (!in.ReadBytes(&record.name[0], nameLength)) return false;
  uint32_t imageSize = 0;
  if (!in.ReadU16(record.frameCount) || !in.ReadU16(record.firstCode) || !in.ReadU32(imageSize)) return false;
  if (record.frameCount == 0 || record.frameCount > kMaxFrames) return false;
  // Checked against what is left before anything is allocated for it.
  if (imageSize > in.GetRemaining()) return false;
  record.image.resize(imageSize);
  return in.ReadBytes(record.image.data(), imageSize) && IsOwnImage(record.image);
}

}  // namespace

bool Read(const uint8_t* data, size_t size, std::vector<SpriteRecord>& out) {
  out.clear();
  CByteCursor in(data, size);
  uint8_t magic[4] = {};
  uint32_t version = 0, count = 0;
  if (!in.ReadBytes(magic, 4) || std::memcmp(magic, kMagic, 4) != 0) return Fail(out, "not a sprite file", 0);
  if (!in.ReadU32(version) || version != kVersion) return Fail(out, "unknown version", version);
  if (!in.ReadU32(count) || count > kMaxSprites) return Fail(out, "bad sprite count", count);
  for (uint32_t i = 0; i < count; ++i) {
    SpriteRecord record;
    if (!ReadRecord(in, record)) return Fail(out, "truncated or broken sprite record", i);
    out.push_back(std::move(record));
  }
  if (in.GetRemaining() != 0) return Fail(out, "bytes after the last sprite", count);
  return true;
}

std::vector<uint8_t> Write(const std::vector<SpriteRecord>& records) {
  std::vector<uint8_t> file(kMagic, kMagic + 4);
  if (records.size() > kMaxSprites) {
    DebugPrintf("CSpriteFile: too many sprites to write (%u)\n", static_cast<uint32_t>(records.size()));
    return {};
  }
  le::PutU32(file, kVersion);
  le::PutU32(file, static_cast<uint32_t>(records.size()));
  for (const SpriteRecord& r : records) {
    if (r.name.empty() || r.name.size() > kMaxNameLength || r.frameCount == 0 || r.frameCount > kMaxFrames ||
        r.image.size() > UINT32_MAX || !IsOwnImage(r.image)) {
      DebugPrintf("CSpriteFile: sprite '%s' cannot be written\n", r.name.c_str());
      return {};
    }
    file.push_back(static_cast<uint8_t>(r.name.size()));
    file.insert(file.end(), r.name.begin(), r.name.end());
    uint8_t words[4];
    le::WriteU16(words, r.frameCount);
    le::WriteU16(words + 2, r.firstCode);
    file.insert(file.end(), words, words + 4);
    le::PutU32(file, static_cast<uint32_t>(r.image.size()));
    file.insert(file.end(), r.image.begin(), r.image.end());
  }
  return file;
}

}  // namespace SpriteFileFormat
