// CGlobalArt: the fonts every screen shares (a sprite file per font with its glyph and text-cursor sprites).
#pragma once

#include <cstddef>
#include <vector>

class CSpriteFile;
class CSprite;

class CGlobalArt {
 public:
  CGlobalArt() = default;
  ~CGlobalArt();
  CGlobalArt(const CGlobalArt&) = delete;
  CGlobalArt& operator=(const CGlobalArt&) = delete;

  // Loads the "font*.bin" files of the global art folder. The folder scan comes with the file
  // functions; until then no font is loaded and the getters return null.
  bool Load();
  // Each font reloads its images when the colour depth changed (after a renderer switch).
  void Reload();
  CSprite* GetFontAlphabet(size_t index) const;
  CSprite* GetFontCursor(size_t index) const;
  size_t GetFontCount() const { return m_fonts.size(); }

 private:
  struct Font {
    CSpriteFile* file = nullptr;  // owned
    CSprite* alphabet = nullptr;
    CSprite* cursor = nullptr;
  };
  std::vector<Font> m_fonts;
};
