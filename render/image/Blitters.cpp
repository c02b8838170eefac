// Blitters: span converters per destination depth and DIB row converters.
#include "render/image/Blitters.h"

#include <algorithm>
#include <cstring>

namespace {

int Clamp(int v, int hi) { return v < 0 ? 0 : (v > hi ? hi : v); }

BlendTables* BuildTables() {
  auto* t = new BlendTables();
  for (int l = 0; l < 32; ++l)
    for (int s = 0; s < 32; ++s)
      for (int d = 0; d < 32; ++d) t->blend[l][s][d] = static_cast<uint8_t>(Clamp(d + s * l / 32 - d * l / 32, 31));
  for (int l = 0; l < 32; ++l)
    for (int c = 0; c < 32; ++c) t->shade[l][c] = static_cast<uint16_t>((31 - l) * c / 32);
  return t;
}

// --- 5-5-5 channel helpers -------------------------------------------------------------------
uint16_t BlendPixel(const BlendTables& t, uint16_t s, uint16_t d, int level) {
  const auto& b = t.blend[level & 31];
  return static_cast<uint16_t>(b[s >> 10 & 31][d >> 10 & 31] << 10 | b[s >> 5 & 31][d >> 5 & 31] << 5 | b[s & 31][d & 31]);
}
uint16_t ShadePixel(const BlendTables& t, uint16_t d, int level) {
  const uint16_t* s = t.shade[level & 31];
  return static_cast<uint16_t>(s[d >> 10 & 31] << 10 | s[d >> 5 & 31] << 5 | s[d & 31]);
}

uint16_t Load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void Store16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// Destination access per depth, always through 5-5-5.
struct Dst555 {
  static constexpr int kBytes = 2;
  static uint16_t Read(const uint8_t* p) { return Load16(p); }
  static void Write(uint8_t* p, uint16_t c) { Store16(p, c); }
  static uint16_t Colour(uint16_t entry) { return entry; }  // palette already in this format
};
struct Dst565 {
  static constexpr int kBytes = 2;
  static uint16_t Read(const uint8_t* p) { return To555(Load16(p)); }
  static void Write(uint8_t* p, uint16_t c) { Store16(p, To565(c)); }
  static uint16_t Colour(uint16_t entry) { return To555(entry); }
};
template <int kSize>
struct DstWide {
  static constexpr int kBytes = kSize;
  static uint16_t Read(const uint8_t* p) {
    return static_cast<uint16_t>((p[2] >> 3) << 10 | (p[1] >> 3) << 5 | p[0] >> 3);
  }
  static void Write(uint8_t* p, uint16_t c) {
    p[0] = static_cast<uint8_t>((c & 31) << 3);
    p[1] = static_cast<uint8_t>((c >> 5 & 31) << 3);
    p[2] = static_cast<uint8_t>((c >> 10 & 31) << 3);
    if (kSize == 4) p[3] = 0;
  }
  static uint16_t Colour(uint16_t entry) { return entry; }
};

template <class D>
void PaletteRun(uint8_t* dst, const uint8_t* indices, int count, const uint16_t* palette) {
  for (int i = 0; i < count; ++i, dst += D::kBytes) D::Write(dst, D::Colour(palette[indices[i]]));
}
// 16-bit palettes are in the destination's format: the entries go in unchanged.
template <>
void PaletteRun<Dst565>(uint8_t* dst, const uint8_t* indices, int count, const uint16_t* palette) {
  for (int i = 0; i < count; ++i, dst += 2) Store16(dst, palette[indices[i]]);
}
template <class D>
void BlendRun(uint8_t* dst, const uint8_t* pairs, int count, const uint16_t* palette) {
  const BlendTables& t = BlendTables::Get();
  for (int i = 0; i < count; ++i, dst += D::kBytes)
    D::Write(dst, BlendPixel(t, D::Colour(palette[pairs[2 * i]]), D::Read(dst), pairs[2 * i + 1]));
}
template <class D>
void ShadeRun(uint8_t* dst, const uint8_t* levels, int count) {
  const BlendTables& t = BlendTables::Get();
  for (int i = 0; i < count; ++i, dst += D::kBytes) D::Write(dst, ShadePixel(t, D::Read(dst), levels[i]));
}
template <class D>
void Fill(uint8_t* dst, uint16_t colour, int count) {
  const uint16_t c = D::Colour(colour);
  for (int i = 0; i < count; ++i, dst += D::kBytes) D::Write(dst, c);
}
// A 16-bit fill stores the colour as given, two pixels per word where the row allows.
void Fill16(uint8_t* dst, uint16_t colour, int count) {
  const uint32_t pair = static_cast<uint32_t>(colour) * 0x10001u;
  int i = 0;
  for (; i + 1 < count; i += 2, dst += 4) std::memcpy(dst, &pair, 4);
  if (i < count) Store16(dst, colour);
}
template <class D>
void ShadeFill(uint8_t* dst, int level, int count) {
  const BlendTables& t = BlendTables::Get();
  for (int i = 0; i < count; ++i, dst += D::kBytes) D::Write(dst, ShadePixel(t, D::Read(dst), level));
}

template <class D>
constexpr SpanConverters MakeSet(void (*fill)(uint8_t*, uint16_t, int)) {
  return SpanConverters{D::kBytes, PaletteRun<D>, BlendRun<D>, ShadeRun<D>, fill, ShadeFill<D>};
}
const SpanConverters k555 = MakeSet<Dst555>(Fill16);
const SpanConverters k565 = MakeSet<Dst565>(Fill16);
const SpanConverters k24 = MakeSet<DstWide<3>>(Fill<DstWide<3>>);
const SpanConverters k32 = MakeSet<DstWide<4>>(Fill<DstWide<4>>);

// --- DIB rows ---------------------------------------------------------------------------------
bool IsKey(const uint8_t* bgr, uint32_t key) {
  return bgr[0] == (key & 0xFF) && bgr[1] == (key >> 8 & 0xFF) && bgr[2] == (key >> 16 & 0xFF);
}
uint16_t Bgr555(const uint8_t* p) { return static_cast<uint16_t>((p[2] >> 3) << 10 | (p[1] >> 3) << 5 | p[0] >> 3); }
uint16_t Bgr565(const uint8_t* p) {
  return static_cast<uint16_t>((p[2] & 0xF8) << 8 | (p[1] & 0xFC) << 3 | p[0] >> 3);
}

template <uint16_t (*Convert)(uint16_t)>
void Row16To16(const DibRowArgs& a) {
  for (int i = 0; i < a.count; ++i) Store16(a.dst + 2 * i, Convert(Load16(a.src + 2 * i)));
}
uint16_t Same(uint16_t c) { return c; }

template <uint16_t (*Pack)(const uint8_t*)>
void Row24To16(const DibRowArgs& a) {
  for (int i = 0; i < a.count; ++i) Store16(a.dst + 2 * i, Pack(a.src + 3 * i));
}
template <uint16_t (*Pack)(const uint8_t*)>
void Row24To16Keyed(const DibRowArgs& a) {
  for (int i = 0; i < a.count; ++i)
    if (!IsKey(a.src + 3 * i, a.key)) Store16(a.dst + 2 * i, Pack(a.src + 3 * i));
}
template <uint16_t (*Pack)(const uint8_t*), uint16_t (*Mix)(uint16_t, uint16_t, int)>
void Row24To16Blend(const DibRowArgs& a) {
  for (int i = 0; i < a.count; ++i)
    Store16(a.dst + 2 * i, Mix(Load16(a.dst + 2 * i), Pack(a.src + 3 * i), a.alpha[i] >> 3));
}
// Red is cut to its five bits: a wider mask would carry green's top bits into it.
template <uint16_t (*ToFive)(uint16_t)>
void Row16To24(const DibRowArgs& a) {
  for (int i = 0; i < a.count; ++i) {
    const uint16_t c = ToFive(Load16(a.src + 2 * i));
    a.dst[3 * i] = static_cast<uint8_t>(c << 3);
    a.dst[3 * i + 1] = static_cast<uint8_t>((c >> 2) & 0xF8);
    a.dst[3 * i + 2] = static_cast<uint8_t>((c >> 7) & 0xF8);
  }
}
void Row24To24(const DibRowArgs& a) { std::memcpy(a.dst, a.src, static_cast<size_t>(a.count) * 3); }
void Row24To24Keyed(const DibRowArgs& a) {
  for (int i = 0; i < a.count; ++i)
    if (!IsKey(a.src + 3 * i, a.key)) std::memcpy(a.dst + 3 * i, a.src + 3 * i, 3);
}
void Row24To24Mask(const DibRowArgs& a) {
  const uint8_t key[3] = {static_cast<uint8_t>(a.key), static_cast<uint8_t>(a.key >> 8),
                          static_cast<uint8_t>(a.key >> 16)};
  for (int i = 0; i < a.count; ++i) std::memcpy(a.dst + 3 * i, a.alpha[i] > 127 ? a.src + 3 * i : key, 3);
}
void Row24To24Blend(const DibRowArgs& a) {
  for (int i = 0; i < 3 * a.count; ++i) {
    const int alpha = a.alpha[i / 3], s = a.src[i], d = a.dst[i];
    a.dst[i] = static_cast<uint8_t>(std::clamp(d + (s * alpha >> 8) - (d * alpha >> 8), 0, 255));
  }
}
void Row32To24(const DibRowArgs& a) {
  for (int i = 0; i < a.count; ++i) std::memcpy(a.dst + 3 * i, a.src + 4 * i, 3);
}
void Row24To32(const DibRowArgs& a) {
  for (int i = 0; i < a.count; ++i) std::memcpy(a.dst + 4 * i, a.src + 3 * i, 3);
}

}  // namespace

const BlendTables& BlendTables::Get() {
  static const BlendTables* tables = BuildTables();
  return *tables;
}

const SpanConverters* SelectSpanConverters(int depth) {
  switch (depth) {
    case 15: return &k555;
    case 16: return &k565;
    case 24: return &k24;
    case 32: return &k32;
    default: return nullptr;
  }
}

uint16_t Blend555(uint16_t d, uint16_t s, int a) {
  uint16_t out = 0;
  for (int shift : {10, 5, 0}) {
    const int dc = d >> shift & 31, sc = s >> shift & 31;
    out = static_cast<uint16_t>(out | Clamp(dc + (sc * a >> 5) - (a * dc >> 5), 31) << shift);
  }
  return out;
}

uint16_t Blend565(uint16_t d, uint16_t s, int a) {
  uint16_t out = 0;
  const int shifts[3] = {11, 5, 0}, maxima[3] = {31, 63, 31};
  for (int k = 0; k < 3; ++k) {
    const int dc = d >> shifts[k] & maxima[k], sc = s >> shifts[k] & maxima[k];
    out = static_cast<uint16_t>(out | Clamp(dc + (sc * a >> 5) - (a * dc >> 5), maxima[k]) << shifts[k]);
  }
  return out;
}

bool ClipOneToOne(ImageRect& s, ImageRect& d, int sw, int sh, int dw, int dh) {
  auto clipAxis = [](int& s0, int& s1, int& d0, int& d1, int sMax, int dMax) {
    if (s0 < 0) { d0 -= s0; s0 = 0; }
    if (d0 < 0) { s0 -= d0; d0 = 0; }
    // The spans are drawn 1:1, so the shorter one decides before the far edges are clipped.
    const int len = std::min(s1 - s0, d1 - d0);
    s1 = s0 + len;
    d1 = d0 + len;
    if (s1 > sMax - 1) { d1 -= s1 - (sMax - 1); s1 = sMax - 1; }
    if (d1 > dMax - 1) { s1 -= d1 - (dMax - 1); d1 = dMax - 1; }
    return s1 >= s0 && d1 >= d0;
  };
  const bool x = clipAxis(s.x0, s.x1, d.x0, d.x1, sw, dw);
  const bool y = clipAxis(s.y0, s.y1, d.y0, d.y1, sh, dh);
  return x && y;
}

DibRowConverter SelectDibRowConverter(int dstDepth, int srcDepth, DibRowKind kind) {
  const bool plain = kind == DibRowKind::kPlain;
  if (dstDepth == 15) {
    if (srcDepth == 16 && plain) return Row16To16<To555>;
    if (srcDepth == 15 && plain) return Row16To16<Same>;
    if (srcDepth == 24 && plain) return Row24To16<Bgr555>;
    if (srcDepth == 24 && kind == DibRowKind::kKeyed) return Row24To16Keyed<Bgr555>;
    if (srcDepth == 24 && kind == DibRowKind::kAlphaBlend) return Row24To16Blend<Bgr555, Blend555>;
  } else if (dstDepth == 16) {
    if (srcDepth == 15 && plain) return Row16To16<To565>;
    if (srcDepth == 16 && plain) return Row16To16<Same>;
    if (srcDepth == 24 && plain) return Row24To16<Bgr565>;
    if (srcDepth == 24 && kind == DibRowKind::kKeyed) return Row24To16Keyed<Bgr565>;
    if (srcDepth == 24 && kind == DibRowKind::kAlphaBlend) return Row24To16Blend<Bgr565, Blend565>;
  } else if (dstDepth == 24) {
    if (srcDepth == 15 && plain) return Row16To24<Same>;
    if (srcDepth == 16 && plain) return Row16To24<To555>;
    if (srcDepth == 24 && plain) return Row24To24;
    if (srcDepth == 24 && kind == DibRowKind::kKeyed) return Row24To24Keyed;
    if (srcDepth == 24 && kind == DibRowKind::kAlphaMask) return Row24To24Mask;
    if (srcDepth == 24 && kind == DibRowKind::kAlphaBlend) return Row24To24Blend;
    if (srcDepth == 32 && plain) return Row32To24;
  } else if (dstDepth == 32) {
    if (srcDepth == 24 && plain) return Row24To32;
  }
  return nullptr;
}

void WidenRow16Doubled(const uint16_t* src, uint32_t* dst, int count) {
  for (int i = 0; i < count; ++i) dst[i] = static_cast<uint32_t>(src[i]) * 0x10001u;
}
