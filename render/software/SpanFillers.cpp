// SpanFillers: solid spans, and textured spans corrected for perspective every eight pixels.
#include "render/software/SpanFillers.h"

#include <algorithm>
#include <cmath>

namespace {

int32_t ToFixed(double t) {
  const double scaled = t * 65536.0;
  if (!(scaled > -2147483000.0)) return -2147483000;  // also NaN
  if (scaled > 2147483000.0) return 2147483000;
  return static_cast<int32_t>(std::floor(scaled));
}

// Texture coordinates and light level at one pixel, in 16.16.
struct Sample {
  int32_t u, v, level;
};

template <bool kShaded>
Sample SampleAt(const FillState& s, int x, int y, double uShift, double vShift) {
  const double w = 1.0 / s.rhw.At(x, y);
  Sample out;
  out.u = ToFixed(s.u.At(x, y) * w - uShift);
  out.v = ToFixed(s.v.At(x, y) * w - vShift);
  out.level = kShaded ? ToFixed(s.intensity.At(x, y) * w) : 0;
  return out;
}

inline int32_t Clamp(int64_t value, int32_t high) {
  return value < 0 ? 0 : value > high ? high : static_cast<int32_t>(value);
}

template <bool kKeyed, bool kShaded, bool kClamped>
void FillTexels(const FillState& s, uint16_t* row, int y, int x0, int x1) {
  if (x0 >= x1) return;
  const SpanTexture& t = s.texture;
  // Wrapped coordinates move by whole turns of the texture so that 16.16 never overflows.
  double uShift = 0.0, vShift = 0.0;
  if (!kClamped) {
    const double w = 1.0 / s.rhw.At(x0, y);
    const double width = t.widthMask + 1.0, height = t.heightMask + 1.0;
    const double u = s.u.At(x0, y) * w, v = s.v.At(x0, y) * w;
    if (std::isfinite(u) && std::isfinite(v)) {
      uShift = std::floor(u / width) * width;
      vShift = std::floor(v / height) * height;
    }
  }
  Sample start = SampleAt<kShaded>(s, x0, y, uShift, vShift);
  for (int x = x0; x < x1;) {
    const int n = std::min(SpanFillers::kRun, x1 - x);
    // The run ends at the next run's first pixel, or for the last run at the span's last pixel,
    // so a one-pixel run needs no step at all.
    const int steps = x + n < x1 ? n : n - 1;
    const Sample end = steps ? SampleAt<kShaded>(s, x + steps, y, uShift, vShift) : start;
    // 64 bits: a run may cross most of the 16.16 range on absurdly slanted triangles.
    const int64_t du = steps ? (int64_t{end.u} - start.u) / steps : 0;
    const int64_t dv = steps ? (int64_t{end.v} - start.v) / steps : 0;
    const int64_t dl = steps ? (int64_t{end.level} - start.level) / steps : 0;
    int64_t u = start.u, v = start.v, level = start.level;
    const uint16_t* table = s.lightTable;
    const bool oneLevel = !kShaded || (start.level >> 16) == (end.level >> 16);
    if (kShaded && oneLevel) table = s.lightTables + Clamp(start.level >> 16, 31) * 256;
    for (int i = 0; i < n; ++i, u += du, v += dv, level += dl) {
      uint32_t column, line;
      if (kClamped) {
        column = static_cast<uint32_t>(Clamp(u >> 16, static_cast<int32_t>(t.widthMask)));
        line = static_cast<uint32_t>(Clamp(v >> 16, static_cast<int32_t>(t.heightMask)));
      } else {
        column = static_cast<uint32_t>(u >> 16) & t.widthMask;
        line = static_cast<uint32_t>(v >> 16) & t.heightMask;
      }
      const uint8_t index = t.pixels[(line << t.widthShift) + column];
      if (kKeyed && index == 0) continue;
      if (kShaded && !oneLevel) table = s.lightTables + Clamp(level >> 16, 31) * 256;
      row[x + i] = table[index];
    }
    x += n;
    start = end;
  }
}

}  // namespace

namespace SpanFillers {

void Solid(const FillState& state, uint16_t* row, int y, int x0, int x1) {
  if (x0 < x1) std::fill(row + x0, row + x1, state.flatColour);
}

uint16_t Blend555(uint16_t colour, uint16_t frame, uint32_t alpha) {
  uint32_t out = 0;
  for (const uint32_t shift : {0u, 5u, 10u}) {
    const uint32_t a = (colour >> shift) & 0x1F, b = (frame >> shift) & 0x1F;
    out |= ((a * alpha + b * (255 - alpha) + 127) / 255) << shift;
  }
  return static_cast<uint16_t>(out);
}

void BlendedSolid(const FillState& state, uint16_t* row, int y, int x0, int x1) {
  for (int x = x0; x < x1; ++x) row[x] = Blend555(state.flatColour, row[x], state.alpha);
}

void Textured(const FillState& s, uint16_t* row, int y, int x0, int x1) { FillTexels<false, false, false>(s, row, y, x0, x1); }
void KeyedTextured(const FillState& s, uint16_t* row, int y, int x0, int x1) {
  FillTexels<true, false, false>(s, row, y, x0, x1);
}
void Shaded(const FillState& s, uint16_t* row, int y, int x0, int x1) { FillTexels<false, true, false>(s, row, y, x0, x1); }
void KeyedShaded(const FillState& s, uint16_t* row, int y, int x0, int x1) { FillTexels<true, true, false>(s, row, y, x0, x1); }
void ClampedShaded(const FillState& s, uint16_t* row, int y, int x0, int x1) {
  FillTexels<false, true, true>(s, row, y, x0, x1);
}
void KeyedClampedShaded(const FillState& s, uint16_t* row, int y, int x0, int x1) {
  FillTexels<true, true, true>(s, row, y, x0, x1);
}

}  // namespace SpanFillers
