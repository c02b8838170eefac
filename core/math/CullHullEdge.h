// CullHullEdge: one edge of a cull volume's 2-D hull in a coordinate-plane
// projection, stored as a line a.u + b.v + c = 0 with (a, b) pointing out of the hull.
#pragma once

#include <cstdint>

struct CullHullEdge {
  // Rectangle corners of a projected box: 0 (min u, min v), 1 (max u, min v),
  // 2 (min u, max v), 3 (max u, max v).
  uint32_t farCorner;   // corner lying farthest along (a, b)
  uint32_t nearCorner;  // corner lying least far along (a, b)
  float a;
  float b;
  float c;

  float Evaluate(float u, float v) const { return a * u + b * v + c; }
};
