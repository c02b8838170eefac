// TinyFont: glyph table, colour packing and clipped block drawing.
#include "ui/TinyFont.h"

#include <cstring>

namespace TinyFont {
namespace {

const uint8_t kLetters[26][7] = {
    {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},  // A
    {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E},  // B
    {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E},  // C
    {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E},  // D
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F},  // E
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10},  // F
    {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F},  // G
    {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},  // H
    {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E},  // I
    {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C},  // J
    {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11},  // K
    {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F},  // L
    {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11},  // M
    {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11},  // N
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E},  // O
    {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10},  // P
    {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D},  // Q
    {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11},  // R
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E},  // S
    {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},  // T
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E},  // U
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04},  // V
    {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A},  // W
    {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11},  // X
    {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04},  // Y
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F},  // Z
};

const uint8_t kDigits[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},  // 0
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},  // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},  // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},  // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},  // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},  // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},  // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},  // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},  // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},  // 9
};

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

const uint8_t* Glyph(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return kLetters[c - 'A'];
  if (c >= '0' && c <= '9') return kDigits[c - '0'];
  return nullptr;
}

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
