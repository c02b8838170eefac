// CSpriteFile: loading, lookup and reloading of a sprite file.
#include "ui/SpriteFile.h"

#include <cstring>
#include <string>

#include "platform/FileSystem.h"
#include "platform/Win32.h"
#include "render/ColourDepth.h"

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

bool CSpriteFile::Load(const char* path) {
  m_sprites.clear();
  m_loaded = false;
  m_fileName = path ? path : "";
  if (!path || !*path || !plat::FileExists(path)) {
    LogMissingFile(path ? path : "");
    return false;
  }
  // The picture formats of sprite files arrive with the image library; until then a present
  // file is refused rather than half read.
  std::string text = "CSpriteFile: No reader for the sprite data of '" + m_fileName + "'\n";
  OutputDebugStringA(text.c_str());
  return false;
}

CSprite* CSpriteFile::GetSprite(const char* name) const {
  if (!name) return nullptr;
  for (const auto& sprite : m_sprites)
    if (sprite->GetName() == name) return sprite.get();
  return nullptr;
}

void CSpriteFile::Reload() {
  if (!m_loaded || m_loadedDepth == GetColourDepth()) return;
  const std::string path = m_fileName;
  Load(path.c_str());
}
