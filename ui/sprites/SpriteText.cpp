// SpriteText: alphabet sprites with the built-in font as the fallback.
#include "ui/sprites/SpriteText.h"

#include <cstring>

#include "ui/sprites/Sprite.h"
#include "ui/sprites/TinyFont.h"

namespace SpriteText {

bool IsUsable(const CSprite* font) { return font != nullptr && font->HasImage() && font->GetWidth() > 0; }

int Width(const CSprite* font, const char* text) {
  if (!IsUsable(font)) return TinyFont::TextWidth(text, 1);
  return text != nullptr ? static_cast<int>(std::strlen(text)) * font->GetWidth() : 0;
}

int Height(const CSprite* font) { return IsUsable(font) ? font->GetHeight() : TinyFont::kGlyphHeight; }

void Draw(DrawSurface& surface, const CSprite* font, int x, int y, const char* text, uint32_t colour) {
  if (text == nullptr) return;
  if (!IsUsable(font)) {
    TinyFont::DrawText(surface, x, y, text, 1, colour);
    return;
  }
  for (int i = 0; text[i] != '\0'; ++i, x += font->GetWidth()) {
    const int frame = static_cast<unsigned char>(text[i]) - font->GetFirstCode();
    if (frame >= 0 && frame < font->GetFrameCount()) font->DrawFrame(surface, frame, x, y);
  }
}

}  // namespace SpriteText
