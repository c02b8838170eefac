// TinyFont: colour packing and clipped block drawing of the built-in font.
#include "ui/sprites/TinyFont.h"

#include <cstring>

#include "platform/system/Platform.h"

namespace TinyFont {
namespace {

// Shift that moves a channel's top bit from bit 7 to the mask's top bit, and the mask width.
void MaskShape(uint32_t mask, int& top, int& width) {
  top = -1;
  width = 0;
  for (int bit = 31; bit >= 0; --bit) {
    if (mask & (1u << bit)) {
      if (top < 0) top = bit;
      ++width;
    }
  }
}

uint32_t PackChannel(uint32_t value8, uint32_t mask) {
  int top = 0, width = 0;
  MaskShape(mask, top, width);
  if (width == 0) return 0;
  const int shift = top - 7;
  const uint32_t placed = shift >= 0 ? value8 << shift : value8 >> -shift;
  return placed & mask;
}

void PutPixel(DrawSurface& s, int x, int y, uint32_t pixel) {
  uint8_t* row = static_cast<uint8_t*>(s.pixels) + static_cast<intptr_t>(s.pitch) * y;
  if (s.bitsPerPixel == 15 || s.bitsPerPixel == 16)
    reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(pixel);
  else if (s.bitsPerPixel == 32)
    reinterpret_cast<uint32_t*>(row)[x] = pixel;
  else if (s.bitsPerPixel == 24)
    std::memcpy(row + x * 3, &pixel, 3);
}

bool Drawable(const DrawSurface& s) {
  return s.pixels && s.width && s.height &&
         (s.bitsPerPixel == 15 || s.bitsPerPixel == 16 || s.bitsPerPixel == 24 || s.bitsPerPixel == 32);
}

}  // namespace

// The platform's built-in font, so the interface and the back end's statistics line look alike.
const uint8_t* Glyph(char c) { return plat::TinyGlyph(c); }

int TextWidth(const char* text, int scale) {
  const int n = text ? static_cast<int>(std::strlen(text)) : 0;
  return n == 0 ? 0 : (n * kAdvance - 1) * scale;
}

uint32_t PackColour(const DrawSurface& surface, uint32_t colour) {
  const uint32_t r = (colour >> 16) & 0xFF, g = (colour >> 8) & 0xFF, b = colour & 0xFF;
  switch (surface.bitsPerPixel) {
    case 15:
      return PackChannel(r, 0x7C00) | PackChannel(g, 0x3E0) | PackChannel(b, 0x1F);
    case 16:
      return PackChannel(r, 0xF800) | PackChannel(g, 0x7E0) | PackChannel(b, 0x1F);
    default:
      return colour & 0xFFFFFF;
  }
}

void Fill(DrawSurface& surface, uint32_t colour) {
  if (!Drawable(surface)) return;
  const uint32_t pixel = PackColour(surface, colour);
  for (uint32_t y = 0; y < surface.height; ++y)
    for (uint32_t x = 0; x < surface.width; ++x) PutPixel(surface, static_cast<int>(x), static_cast<int>(y), pixel);
}

int DrawText(DrawSurface& surface, int x, int y, const char* text, int scale, uint32_t colour) {
  if (!Drawable(surface) || !text || scale < 1) return 0;
  const uint32_t pixel = PackColour(surface, colour);
  const int w = static_cast<int>(surface.width), h = static_cast<int>(surface.height);
  int written = 0;
  for (int i = 0; text[i]; ++i) {
    const uint8_t* glyph = Glyph(text[i]);
    if (!glyph) continue;
    const int left = x + i * kAdvance * scale;
    for (int row = 0; row < kGlyphHeight; ++row) {
      for (int col = 0; col < kGlyphWidth; ++col) {
        if (!(glyph[row] & (0x10 >> col))) continue;
        for (int py = y + row * scale; py < y + (row + 1) * scale; ++py) {
          if (py < 0 || py >= h) continue;
          for (int px = left + col * scale; px < left + (col + 1) * scale; ++px) {
            if (px < 0 || px >= w) continue;
            PutPixel(surface, px, py, pixel);
            ++written;
          }
        }
      }
    }
  }
  return written;
}

}  // namespace TinyFont
