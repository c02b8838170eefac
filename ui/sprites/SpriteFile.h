// CSpriteFile: a screen's sprite file (see ui/sprites/SpriteFileFormat.h); owns the sprites it names.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/services/SpriteSheet.h"
#include "ui/sprites/Sprite.h"
#include "ui/sprites/SpriteFileFormat.h"

class CSpriteFile : public CSpriteSheet {
 public:
  CSpriteFile() = default;
  ~CSpriteFile() override = default;

  CSpriteFile(const CSpriteFile&) = delete;
  CSpriteFile& operator=(const CSpriteFile&) = delete;

  // Reads the file; false (logged) when it is missing or broken, leaving the file empty.
  bool Load(const char* path) override;
  // Reads a file image already in memory; name is what GetFileName reports.
  bool LoadFromMemory(const uint8_t* data, size_t size, const char* name);
  // The sprite of that name, or null.
  CSprite* GetSprite(const char* name) const override;
  // Reads the file again when the program's colour depth changed since it was read. The sprite
  // objects stay where they are (callers keep pointers to them); only their pictures are replaced.
  void Reload() override;

  const std::string& GetFileName() const override { return m_fileName; }
  bool IsLoaded() const { return m_loaded; }
  size_t GetSpriteCount() const { return m_sprites.size(); }

 private:
  // Decodes every record's picture; false (logged) when one cannot be used.
  static bool BuildSprites(const std::vector<SpriteFileFormat::SpriteRecord>& records, uint32_t depth,
                           std::vector<std::unique_ptr<CSprite>>& out);
  bool ReadFile(const char* path, std::vector<std::unique_ptr<CSprite>>& out) const;

  std::string m_fileName;
  std::vector<std::unique_ptr<CSprite>> m_sprites;
  uint32_t m_loadedDepth = 0;
  bool m_loaded = false;
};
