// TriTreeTriangle: one triangle of a curved patch's collision tessellation with its box and normal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/math/Box.h"
#include "core/math/Vector3.h"

struct TriTreeTriangle {
  uint16_t corners[3] = {0, 0, 0};  // vertex indices; the tessellator writes these first
  Box box;                          // of the three corner positions
  Vector3 normal;                   // (p2 - p0) x (p1 - p0), unit unless the triangle is degenerate
};

static_assert(std::is_standard_layout<TriTreeTriangle>::value && offsetof(TriTreeTriangle, corners) == 0,
              "the tessellator writes the three corner indices at the start of each triangle");
