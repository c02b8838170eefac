// CGlobalArt: the font files of the global interface folder.
#include "core/GlobalArt.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/math/FileBuffer.h"
#include "ui/SpriteFile.h"

CGlobalArt::~CGlobalArt() { Free(); }

void CGlobalArt::Free() {
  for (Font& font : m_fonts) delete font.file;
  m_fonts.clear();
}

bool CGlobalArt::Load() { return LoadFrom(kFolder); }

bool CGlobalArt::LoadFrom(const char* folder) {
  Free();  // a second load replaces the fonts instead of appending duplicates
  std::vector<std::string> names;
  ScanDirectoryRecursive(folder, "font*.bin", names, true);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    Font font;
    font.file = new CSpriteFile();
    font.file->Load(name.c_str());
    font.alphabet = font.file->GetSprite("Alphabet");
    font.cursor = font.file->GetSprite("Cursor");
    m_fonts.push_back(font);
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
    if (std::strstr(m_fonts[i].file->GetFileName().c_str(), name)) return static_cast<int>(i);
  return -1;
}
