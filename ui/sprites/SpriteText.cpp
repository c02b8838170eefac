// SpriteText: alphabet sprites with the built-in font as the fallback.
#include "ui/sprites/SpriteText.h"

#include <cstring>
#include <vector>

#include "ui/sprites/Sprite.h"
#include "ui/sprites/TinyFont.h"

namespace SpriteText {

bool IsUsable(const CSprite* font) { return font != nullptr && font->HasImage() && font->GetWidth() > 0; }

int Width(const CSprite* font, const char* text) {
  if (!IsUsable(font)) return TinyFont::TextWidth(text, 1);
  return text != nullptr ? static_cast<int>(std::strlen(text)) * font->GetWidth() : 0;
}

int Height(const CSprite* font) { return IsUsable(font) ? font->GetHeight() : TinyFont::kGlyphHeight; }

bool CanDraw(const CSprite* font, char c) {
  if (c == ' ') return true;
  if (!IsUsable(font)) return TinyFont::Glyph(c) != nullptr;
  const int frame = static_cast<unsigned char>(c) - font->GetFirstCode();
  if (frame < 0 || frame >= font->GetFrameCount()) return false;
  // An alphabet may hold a frame for every code and leave some of them blank: draw the frame on a
  // surface of a colour no glyph uses and look for a pixel it changed. The picture's own depth
  // (when it is one of the sprite depths) spares it a conversion.
  const int pictureDepth = font->GetImage()->depth;
  const uint32_t depth = pictureDepth == 15 || pictureDepth == 16 ? static_cast<uint32_t>(pictureDepth) : 16;
  constexpr uint16_t kUntouched = 0x5A5A;
  std::vector<uint16_t> pixels(static_cast<size_t>(font->GetWidth()) * static_cast<size_t>(font->GetHeight()),
                               kUntouched);
  DrawSurface cell;
  cell.pixels = pixels.data();
  cell.width = static_cast<uint32_t>(font->GetWidth());
  cell.height = static_cast<uint32_t>(font->GetHeight());
  cell.pitch = font->GetWidth() * 2;
  cell.bitsPerPixel = depth;
  if (!font->DrawFrame(cell, frame, 0, 0)) return false;
  for (const uint16_t pixel : pixels)
    if (pixel != kUntouched) return true;
  return false;
}

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
