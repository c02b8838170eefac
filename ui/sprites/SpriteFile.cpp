// CSpriteFile: loading, lookup and reloading of a sprite file.
#include "ui/sprites/SpriteFile.h"

#include <cstring>
#include <string>

#include "core/data/DebugPrintf.h"
#include "core/data/FileBuffer.h"
#include "platform/files/FileSystem.h"
#include "platform/system/Win32.h"
#include "render/image/ColourDepth.h"

namespace {

void LogMissingFile(const char* path) {
  std::string text = "Error Loading File: '";
  text += path;
  text += "' - Check Path and File Exists!\n";
  OutputDebugStringA(text.c_str());
  char dir[1024] = {};
  GetCurrentDirectoryA(sizeof(dir), dir);
  text = "Current Working Directory: ";
  text += dir;
  text += "\n";
  OutputDebugStringA(text.c_str());
}

}  // namespace

bool CSpriteFile::BuildSprites(const std::vector<SpriteFileFormat::SpriteRecord>& records, uint32_t depth,
                               std::vector<std::unique_ptr<CSprite>>& out) {
  out.clear();
  for (const SpriteFileFormat::SpriteRecord& record : records) {
    CImageRef image = LoadImageFromMemory(record.image.data(), record.image.size());
    if (image.IsNull() || image->width <= 0 || image->width % record.frameCount != 0) {
      DebugPrintf("CSpriteFile: the picture of sprite '%s' cannot be used\n", record.name.c_str());
      out.clear();
      return false;
    }
    if (depth == 15 || depth == 16) image->SetBitDepth(static_cast<int>(depth));
    auto sprite = std::make_unique<CSprite>(record.name, image->width / record.frameCount, image->height,
                                            record.frameCount);
    sprite->SetImage(image);
    sprite->SetFirstCode(record.firstCode);
    out.push_back(std::move(sprite));
  }
  return true;
}

bool CSpriteFile::ReadFile(const char* path, std::vector<std::unique_ptr<CSprite>>& out) const {
  uint32_t size = 0;
  char* data = LoadFileToBuffer(path, &size);
  if (data == nullptr) return false;
  std::vector<SpriteFileFormat::SpriteRecord> records;
  const bool read = SpriteFileFormat::Read(reinterpret_cast<const uint8_t*>(data), size, records);
  FreeFileBuffer(data);
  if (!read) return false;  // the reader logged why
  return BuildSprites(records, GetColourDepth(), out);
}

bool CSpriteFile::Load(const char* path) {
  m_sprites.clear();
  m_loaded = false;
  m_fileName = path ? path : "";
  if (!path || !*path || !plat::FileExists(path)) {
    LogMissingFile(path ? path : "");
    return false;
  }
  m_loaded = ReadFile(path, m_sprites);
  m_loadedDepth = GetColourDepth();
  return m_loaded;
}

bool CSpriteFile::LoadFromMemory(const uint8_t* data, size_t size, const char* name) {
  m_sprites.clear();
  m_fileName = name ? name : "";
  std::vector<SpriteFileFormat::SpriteRecord> records;
  m_loadedDepth = GetColourDepth();
  m_loaded = SpriteFileFormat::Read(data, size, records) && BuildSprites(records, m_loadedDepth, m_sprites);
  return m_loaded;
}

CSprite* CSpriteFile::GetSprite(const char* name) const {
  if (!name) return nullptr;
  for (const auto& sprite : m_sprites)
    if (sprite->GetName() == name) return sprite.get();
  return nullptr;
}

void CSpriteFile::Reload() {
  if (!m_loaded || m_loadedDepth == GetColourDepth()) return;
  std::vector<std::unique_ptr<CSprite>> fresh;
  m_loadedDepth = GetColourDepth();
  if (!ReadFile(m_fileName.c_str(), fresh)) {
    // The old pictures convert just as well; keep them rather than leave holes.
    for (auto& sprite : m_sprites)
      if (sprite->HasImage() && (m_loadedDepth == 15 || m_loadedDepth == 16))
        sprite->GetImage()->SetBitDepth(static_cast<int>(m_loadedDepth));
    return;
  }
  for (auto& sprite : fresh) {
    CSprite* existing = GetSprite(sprite->GetName().c_str());
    if (existing != nullptr && existing->SetImage(sprite->GetImage())) continue;
    if (existing == nullptr) m_sprites.push_back(std::move(sprite));
  }
}
