// CGlobalArt: the fonts every screen shares (a sprite file per font with its glyph and text-cursor sprites).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "core/services/SpriteSheet.h"

class CSprite;

class CGlobalArt {
 public:
  CGlobalArt() = default;
  virtual ~CGlobalArt();
  CGlobalArt(const CGlobalArt&) = delete;
  CGlobalArt& operator=(const CGlobalArt&) = delete;

  // Loads every "font*.bin" below the global art folder. Font indices follow the byte-wise order
  // of the file paths, so they do not depend on the order a file system lists its folders in.
  // A file that fails to load still takes its index (its sprites are null), as does every file
  // when no sprite library is registered. Returns true when at least one font file was found.
  virtual bool Load();
  // Each font reloads its images when the colour depth changed (after a renderer switch).
  virtual void Reload();

  // The glyph sprite or text-cursor sprite of font index; null when index is not below the
  // font count or the font lacks that sprite.
  CSprite* GetFontAlphabet(size_t index) const;
  CSprite* GetFontCursor(size_t index) const;
  size_t GetFontCount() const { return m_fonts.size(); }
  // The first font whose file name contains name; -1 when none does.
  int FindFont(const char* name) const;

  // The folder Load scans; tests point it elsewhere.
  static constexpr const char* kFolder = "data\\ui\\global\\";
  bool LoadFrom(const char* folder);

 private:
  struct Font {
    std::string path;
    std::unique_ptr<CSpriteSheet> file;
    CSprite* alphabet = nullptr;
    CSprite* cursor = nullptr;
  };
  void Free();
  static const std::string& FileName(const Font& font);
  std::vector<Font> m_fonts;
};
