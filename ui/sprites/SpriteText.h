// SpriteText: lines of text drawn with an alphabet sprite (one frame per character, from the
// sprite's first code on), or with the built-in bitmap font when there is no usable sprite.
#pragma once

#include <cstdint>

#include "ui/sprites/DrawSurface.h"

class CSprite;

namespace SpriteText {

// Whether the sprite can draw text (it has a picture).
bool IsUsable(const CSprite* font);
// Width in pixels of the text (no trailing spacing for the built-in font).
int Width(const CSprite* font, const char* text);
int Height(const CSprite* font);
// Whether the character shows when drawn: a space, or a glyph with at least one pixel of its own.
bool CanDraw(const CSprite* font, char c);
// Draws the text with its top-left corner at (x, y), clipped to the surface. Characters the
// alphabet lacks leave a gap of one cell. colour is used only by the built-in font.
void Draw(DrawSurface& surface, const CSprite* font, int x, int y, const char* text, uint32_t colour);

}  // namespace SpriteText
