#include "core/GlobalArt.h"

#include "ui/SpriteFile.h"

CGlobalArt::~CGlobalArt() {
  for (Font& font : m_fonts) delete font.file;
  m_fonts.clear();
}

bool CGlobalArt::Load() {
  // The font folder scan comes with the global-art work; no font is loaded yet.
  return true;
}

void CGlobalArt::Reload() {
  for (Font& font : m_fonts)
    if (font.file != nullptr) font.file->Reload();
}

CSprite* CGlobalArt::GetFontAlphabet(size_t index) const { return index < m_fonts.size() ? m_fonts[index].alphabet : nullptr; }

CSprite* CGlobalArt::GetFontCursor(size_t index) const { return index < m_fonts.size() ? m_fonts[index].cursor : nullptr; }
