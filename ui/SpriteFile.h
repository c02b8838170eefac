// CSpriteFile: a screen's sprite and layout file; owns the sprites it names.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/SpriteSheet.h"
#include "ui/Sprite.h"

class CSpriteFile : public CSpriteSheet {
 public:
  CSpriteFile() = default;
  ~CSpriteFile() override = default;

  CSpriteFile(const CSpriteFile&) = delete;
  CSpriteFile& operator=(const CSpriteFile&) = delete;

  // Reads the file; false (logged) when it is missing or holds nothing this build can read,
  // leaving the file empty.
  bool Load(const char* path) override;
  // The sprite of that name, or null.
  CSprite* GetSprite(const char* name) const override;
  // Reads the file again when the program's colour depth changed since it was read.
  void Reload() override;

  const std::string& GetFileName() const override { return m_fileName; }
  bool IsLoaded() const { return m_loaded; }

 private:
  std::string m_fileName;
  std::vector<std::unique_ptr<CSprite>> m_sprites;
  uint32_t m_loadedDepth = 0;
  bool m_loaded = false;
};
