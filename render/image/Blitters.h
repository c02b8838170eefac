// Blitters: the blend and shade tables, the span converters that draw palette rows into raw
// pixel buffers of each depth, the 16-bit blend rules and the row converters between DIB depths.
#pragma once

#include <cstdint>

// Inclusive rectangle: width is x1 - x0 + 1.
struct ImageRect {
  int x0, y0, x1, y1;
  int Width() const { return x1 - x0 + 1; }
  int Height() const { return y1 - y0 + 1; }
};

// A raw destination: a locked surface or a DIB's bits.
struct RawSurface {
  uint8_t* pixels;
  int width;
  int height;
  int pitch;  // bytes
  int depth;  // 15, 16, 24 or 32
};

// Blend table [level][source][destination] of 5-bit channels and shade table [level][channel].
struct BlendTables {
  uint8_t blend[32][32][32];
  uint16_t shade[32][32];
  // Built on first use and never changed after.
  static const BlendTables& Get();
};

// Draws runs of one row into a destination row of one depth. Every function starts at the
// destination pointer it is given (already advanced to the first pixel).
struct SpanConverters {
  int bytesPerPixel;
  void (*paletteRun)(uint8_t* dst, const uint8_t* indices, int count, const uint16_t* palette);
  void (*blendRun)(uint8_t* dst, const uint8_t* pairs, int count, const uint16_t* palette);
  void (*shadeRun)(uint8_t* dst, const uint8_t* levels, int count);
  void (*fill)(uint8_t* dst, uint16_t colour, int count);
  void (*shadeFill)(uint8_t* dst, int level, int count);
};

// The converters for a destination depth of 15, 16, 24 or 32; null for any other (8-bit
// destinations have no palette-free form these converters could write).
const SpanConverters* SelectSpanConverters(int depth);

// d + (s * a >> 5) - (a * d >> 5) per channel, clamped; a is 0-31.
uint16_t Blend555(uint16_t destination, uint16_t source, int alpha);
uint16_t Blend565(uint16_t destination, uint16_t source, int alpha);

inline uint16_t To555(uint16_t c565) { return static_cast<uint16_t>(((c565 >> 1) & 0x7FE0) + (c565 & 31)); }
inline uint16_t To565(uint16_t c555) { return static_cast<uint16_t>((c555 & 0xFFE0) * 2 + (c555 & 31)); }

// Clips a 1:1 copy against both images. False when nothing is left.
bool ClipOneToOne(ImageRect& src, ImageRect& dst, int srcWidth, int srcHeight, int dstWidth, int dstHeight);

// One row of a DIB-to-DIB copy. Pointers are at the first pixel of the row span; alpha (may be
// null) is the source's alpha plane at the same pixel; key is 0x00RRGGBB.
struct DibRowArgs {
  const uint8_t* src;
  uint8_t* dst;
  int count;
  const uint8_t* alpha;
  uint32_t key;
};
typedef void (*DibRowConverter)(const DibRowArgs& row);

enum class DibRowKind { kPlain, kKeyed, kAlphaBlend, kAlphaMask };

// The converter for a destination and source depth and kind, null when the pair has none.
// kPlain is the straight conversion (or copy); the others need a 24-bit source.
DibRowConverter SelectDibRowConverter(int dstDepth, int srcDepth, DibRowKind kind);

// Widens a 16-bit row into 32-bit words that hold each pixel twice (for 2x wide copies).
void WidenRow16Doubled(const uint16_t* src, uint32_t* dst, int count);
