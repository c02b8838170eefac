// Color: 32-bit colour stored as bytes b, g, r, a (reads 0xAARRGGBB as a little-endian word).
#pragma once

#include <cstdint>

struct Color {
  uint8_t b, g, r, a;

  Color() : b(0), g(0), r(0), a(0) {}
  static Color FromRGBA(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha = 255) {
    Color c;
    c.r = red;
    c.g = green;
    c.b = blue;
    c.a = alpha;
    return c;
  }
  // The word form the renderers and the file formats use: 0xAARRGGBB.
  static Color FromWord(uint32_t argb) {
    return FromRGBA(uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb), uint8_t(argb >> 24));
  }
  uint32_t ToWord() const {
    return (uint32_t(a) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
  }
  bool operator==(const Color& o) const { return b == o.b && g == o.g && r == o.r && a == o.a; }
  bool operator!=(const Color& o) const { return !(*this == o); }

  // Channels from floats nominally 0..1: * 255, truncated toward zero, clamped; alpha 255.
  void SetRGB(float red, float green, float blue);
  // Adds r, g and b of c, each saturating at 255; alpha unchanged.
  void AddSaturate(const Color& c);
  // Moves r, g and b toward the target's: each channel c becomes c + trunc((target - c) * t),
  // clamped to 0..255 (t outside 0..1 overshoots); alpha unchanged.
  void LerpTo(const Color& target, float t);

  uint16_t ToRGB555() const { return uint16_t(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)); }
  uint16_t ToRGB555Rounded() const;
  uint16_t ToRGB565() const { return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)); }
};

static_assert(sizeof(Color) == 4, "Color is one 32-bit word");

// Maps a plat::rand() value (0..32767) onto a colour byte 0..255 with every byte
// value equally likely.
inline uint8_t ColorChannelFromRand(int randValue) { return uint8_t((randValue * 256) / 32768); }

// Random opaque colour: b, then g, then r each drawn from plat::rand(); alpha 255.
void RandomColor(Color& out);
