// TriTreeVertex: one vertex of a curved patch's collision tessellation - patch parameters and world position.
#pragma once

#include <cstddef>
#include <type_traits>

#include "core/math/Vector3.h"

struct TriTreeVertex {
  float u = 0.0f;  // patch parameters; the tessellator writes these two floats first
  float v = 0.0f;
  Vector3 position;  // world space as of the tree's build
};

static_assert(std::is_standard_layout<TriTreeVertex>::value && offsetof(TriTreeVertex, u) == 0 &&
                  offsetof(TriTreeVertex, v) == sizeof(float),
              "the tessellator writes (u, v) at the start of each vertex");
