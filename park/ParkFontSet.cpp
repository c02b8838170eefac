#include "park/ParkFontSet.h"

#include "ui/Sprite.h"

ParkFontSet::ParkFontSet()
    : m_file14(new CSpriteFile()), m_file16(new CSpriteFile()), m_file10(new CSpriteFile()) {}

ParkFontSet::~ParkFontSet() = default;

void ParkFontSet::Load() {
  if (m_file14->Load("data/ui/fonts/14point_bold_orange/14point_bold_orange.bin")) {
    alphabet14 = m_file14->GetSprite("Alphabet");
    cursor14 = m_file14->GetSprite("cursor");
  }
  if (m_file16->Load("data/ui/fonts/16point_bold_orange/16point_bold_orange.bin"))
    alphabet16 = m_file16->GetSprite("Alphabet");
  if (m_file10->Load("data/ui/fonts/10point_bold_orange/10point_bold_orange.bin"))
    alphabet10 = m_file10->GetSprite("Alphabet");
}

void ParkFontSet::Reload() {
  m_file14->Reload();
  m_file16->Reload();
  m_file10->Reload();
  // A re-read file may hold new sprite objects; take them again rather than keep stale pointers.
  alphabet14 = m_file14->GetSprite("Alphabet");
  cursor14 = m_file14->GetSprite("cursor");
  alphabet16 = m_file16->GetSprite("Alphabet");
  alphabet10 = m_file10->GetSprite("Alphabet");
}
