// ParkFontSet: the park's three font files and the sprites the park screens take from them.
#pragma once

#include <memory>

#include "core/services/SpriteSheet.h"

class CSprite;

class ParkFontSet {
 public:
  ParkFontSet();
  ~ParkFontSet();
  ParkFontSet(const ParkFontSet&) = delete;
  ParkFontSet& operator=(const ParkFontSet&) = delete;

  // Loads the three files; a file that does not load (or a build without a sprite library) leaves
  // its sprites null.
  void Load();
  // Re-reads the files when the display depth changed.
  void Reload();

  CSprite* alphabet14 = nullptr;
  CSprite* cursor14 = nullptr;
  CSprite* alphabet16 = nullptr;
  CSprite* alphabet10 = nullptr;

 private:
  std::unique_ptr<CSpriteSheet> m_file14;
  std::unique_ptr<CSpriteSheet> m_file16;
  std::unique_ptr<CSpriteSheet> m_file10;
};
