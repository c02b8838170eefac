// CGlobalArt: the font files of the global interface folder.
#include "core/world/GlobalArt.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/data/FileBuffer.h"

CGlobalArt::~CGlobalArt() { Free(); }

// The name the sprite file read the font under, or the path it was found at when it has none.
const std::string& CGlobalArt::FileName(const Font& font) {
  return font.file != nullptr ? font.file->GetFileName() : font.path;
}

void CGlobalArt::Free() { m_fonts.clear(); }

bool CGlobalArt::Load() { return LoadFrom(kFolder); }

bool CGlobalArt::LoadFrom(const char* folder) {
  Free();  // a second load replaces the fonts instead of appending duplicates
  std::vector<std::string> names;
  ScanDirectoryRecursive(folder, "font*.bin", names, true);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    Font font;
    font.path = name;
    font.file = CreateSpriteSheet();
    if (font.file != nullptr) {
      font.file->Load(name.c_str());
      font.alphabet = font.file->GetSprite("Alphabet");
      font.cursor = font.file->GetSprite("Cursor");
    }
    m_fonts.push_back(std::move(font));
  }
  return !m_fonts.empty();
}

void CGlobalArt::Reload() {
  for (Font& font : m_fonts)
    if (font.file != nullptr) font.file->Reload();
}

CSprite* CGlobalArt::GetFontAlphabet(size_t index) const { return index < m_fonts.size() ? m_fonts[index].alphabet : nullptr; }

CSprite* CGlobalArt::GetFontCursor(size_t index) const { return index < m_fonts.size() ? m_fonts[index].cursor : nullptr; }

int CGlobalArt::FindFont(const char* name) const {
  if (!name) return -1;
  for (size_t i = 0; i < m_fonts.size(); ++i)
    if (std::strstr(FileName(m_fonts[i]).c_str(), name)) return static_cast<int>(i);
  return -1;
}
