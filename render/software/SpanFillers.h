// SpanFillers: the state of the triangle being filled and the functions that write one span of
// it into a row of the 15-bit frame.
#pragma once

#include <cstdint>

// A value interpolated linearly over the screen; At(x, y) is its value at the centre of pixel (x, y).
struct ScreenPlane {
  double a = 0.0;
  double dx = 0.0;
  double dy = 0.0;
  double At(double x, double y) const { return a + dx * x + dy * y; }
};

// The selected texture as the fillers address it: power-of-two sides, one index a texel.
struct SpanTexture {
  const uint8_t* pixels = nullptr;
  uint32_t widthMask = 0;
  uint32_t heightMask = 0;
  uint32_t widthShift = 0;
};

struct FillState {
  // 1/w; u/w and v/w in texels; (light level 0..31) / w.
  ScreenPlane rhw, u, v, intensity;
  uint16_t flatColour = 0;
  uint8_t alpha = 255;                    // how much of flatColour covers the frame (BlendedSolid)
  const uint16_t* lightTable = nullptr;   // the triangle's one level (unshaded fillers)
  const uint16_t* lightTables = nullptr;  // all 32 levels of 256 colours (shaded fillers)
  SpanTexture texture;
};

// Writes pixels x0 .. x1 - 1 of row y (row points at pixel 0 of it).
using SpanFiller = void (*)(const FillState& state, uint16_t* row, int y, int x0, int x1);

namespace SpanFillers {

// Perspective is exact every kRun pixels and at the last pixel of a span; texture coordinates
// and light levels run linearly in 16.16 fixed point in between.
constexpr int kRun = 8;

void Solid(const FillState& state, uint16_t* row, int y, int x0, int x1);
// flatColour laid over the frame's pixels at state.alpha, per 5-bit channel.
void BlendedSolid(const FillState& state, uint16_t* row, int y, int x0, int x1);
// One x1r5g5b5 pixel of colour over frame at alpha (0 keeps frame, 255 gives colour).
uint16_t Blend555(uint16_t colour, uint16_t frame, uint32_t alpha);
void Textured(const FillState& state, uint16_t* row, int y, int x0, int x1);
void KeyedTextured(const FillState& state, uint16_t* row, int y, int x0, int x1);
void Shaded(const FillState& state, uint16_t* row, int y, int x0, int x1);
void KeyedShaded(const FillState& state, uint16_t* row, int y, int x0, int x1);
// Shaded, with texel coordinates held to the texture's edges instead of wrapping.
void ClampedShaded(const FillState& state, uint16_t* row, int y, int x0, int x1);
void KeyedClampedShaded(const FillState& state, uint16_t* row, int y, int x0, int x1);

}  // namespace SpanFillers
