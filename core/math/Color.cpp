// Color: float conversion, saturating add, rounded 15-bit packing and random colours.
#include "core/math/Color.h"

#include <cmath>

#include "platform/system/Platform.h"

namespace {

uint8_t ChannelFromFloat(float v) {
  // Scale, truncate toward zero, then clamp. The clamp happens in float space
  // first so that huge or NaN inputs cannot overflow the integer conversion.
  float scaled = v * 255.0f;
  if (!(scaled > 0.0f)) return 0;  // also catches NaN
  if (scaled >= 255.0f) return 255;
  return uint8_t(int(scaled));
}

uint8_t AddClamped(uint8_t x, uint8_t y) {
  const int sum = int(x) + int(y);
  return uint8_t(sum > 255 ? 255 : sum);
}

uint8_t MovedToward(uint8_t from, uint8_t to, float t) {
  // The step is truncated toward zero before it is added; the clamp in float space keeps large
  // or NaN factors from overflowing the conversion.
  const float moved = float(from) + std::trunc(float(int(to) - int(from)) * t);
  if (!(moved > 0.0f)) return 0;
  return moved >= 255.0f ? 255 : uint8_t(moved);
}

// Rounds a channel to its top five bits: bit 2 set means the dropped part is at
// least half a step, so one step (8) is added, saturating at 255.
uint8_t RoundTo5Bits(uint8_t c) { return (c & 4) ? AddClamped(c, 8) : c; }

}  // namespace

void Color::SetRGB(float red, float green, float blue) {
  r = ChannelFromFloat(red);
  g = ChannelFromFloat(green);
  b = ChannelFromFloat(blue);
  a = 255;
}

void Color::AddSaturate(const Color& c) {
  r = AddClamped(r, c.r);
  g = AddClamped(g, c.g);
  b = AddClamped(b, c.b);
}

void Color::LerpTo(const Color& target, float t) {
  r = MovedToward(r, target.r, t);
  g = MovedToward(g, target.g, t);
  b = MovedToward(b, target.b, t);
}

uint16_t Color::ToRGB555Rounded() const {
  const uint8_t rr = RoundTo5Bits(r), gg = RoundTo5Bits(g), bb = RoundTo5Bits(b);
  return uint16_t(((rr >> 3) << 10) | ((gg >> 3) << 5) | (bb >> 3));
}

void RandomColor(Color& out) {
  // Dividing by 32768 (not the generator's maximum 32767) keeps the top draw at
  // 255; the other divisor turns a full-bright draw into 256, which wraps to 0.
  out.b = ColorChannelFromRand(plat::rand());
  out.g = ColorChannelFromRand(plat::rand());
  out.r = ColorChannelFromRand(plat::rand());
  out.a = 255;
}
