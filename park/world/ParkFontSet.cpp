#include "park/world/ParkFontSet.h"

namespace {
CSprite* SpriteOf(const std::unique_ptr<CSpriteSheet>& file, const char* name) {
  return file != nullptr ? file->GetSprite(name) : nullptr;
}

bool LoadFile(const std::unique_ptr<CSpriteSheet>& file, const char* path) {
  return file != nullptr && file->Load(path);
}
}  // namespace

ParkFontSet::ParkFontSet() : m_file14(CreateSpriteSheet()), m_file16(CreateSpriteSheet()), m_file10(CreateSpriteSheet()) {}

ParkFontSet::~ParkFontSet() = default;

void ParkFontSet::Load() {
  if (LoadFile(m_file14, "data/ui/fonts/14point_bold_orange/14point_bold_orange.bin")) {
    alphabet14 = SpriteOf(m_file14, "Alphabet");
    cursor14 = SpriteOf(m_file14, "cursor");
  }
  if (LoadFile(m_file16, "data/ui/fonts/16point_bold_orange/16point_bold_orange.bin"))
    alphabet16 = SpriteOf(m_file16, "Alphabet");
  if (LoadFile(m_file10, "data/ui/fonts/10point_bold_orange/10point_bold_orange.bin"))
    alphabet10 = SpriteOf(m_file10, "Alphabet");
}

void ParkFontSet::Reload() {
  for (const std::unique_ptr<CSpriteSheet>* file : {&m_file14, &m_file16, &m_file10})
    if (*file != nullptr) (*file)->Reload();
  // A re-read file may hold new sprite objects; take them again rather than keep stale pointers.
  alphabet14 = SpriteOf(m_file14, "Alphabet");
  cursor14 = SpriteOf(m_file14, "cursor");
  alphabet16 = SpriteOf(m_file16, "Alphabet");
  alphabet10 = SpriteOf(m_file10, "Alphabet");
}
