// TinyFont: a built-in 5 x 7 bitmap font of capital letters, digits and the marks the program's texts
// use, for screens that must show text before any font file is loaded. Lower-case letters draw as
// capitals.
#pragma once

#include <cstdint>

#include "ui/sprites/DrawSurface.h"

namespace TinyFont {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kAdvance = 6;  // glyph width plus one column of spacing

// Row bits of a character's glyph, top row first, bit 4 the left column; null when the font
// has no glyph for it (drawn as a space).
const uint8_t* Glyph(char c);

// Width in pixels of a text drawn at the given scale (no trailing spacing).
int TextWidth(const char* text, int scale);

// Packs a 32-bit colour (bytes b, g, r, a) into a pixel of the surface's format.
uint32_t PackColour(const DrawSurface& surface, uint32_t colour);

// Fills the whole surface with one colour.
void Fill(DrawSurface& surface, uint32_t colour);

// Draws the text with its top-left corner at (x, y), each font pixel a scale x scale block;
// whatever falls outside the surface is cut off. Returns the number of pixels written.
int DrawText(DrawSurface& surface, int x, int y, const char* text, int scale, uint32_t colour);

}  // namespace TinyFont
