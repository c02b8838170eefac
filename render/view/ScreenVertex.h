// ScreenVertex: the pre-transformed 40-byte vertex the render view hands to every back end.
#pragma once

#include <cstdint>

struct ScreenVertex {
  float x;          // back-buffer pixels
  float y;          // back-buffer pixels, downward
  float z;          // depth 0..1
  float rhw;        // reciprocal of the view-space depth
  uint32_t diffuse;   // bytes b, g, r, a in memory
  uint32_t specular;  // same byte order; the top byte carries the fog factor (255 = no fog)
  float u;
  float v;
  float u2;         // light-map coordinates
  float v2;
};

static_assert(sizeof(ScreenVertex) == 40, "back ends rely on the 40-byte vertex layout");
