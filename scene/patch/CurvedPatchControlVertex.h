// CurvedPatchControlVertex: one control point of a bicubic patch grid - position and texture coordinates.
#pragma once

#include "core/math/Vector3.h"

struct CurvedPatchControlVertex {
  Vector3 position;
  float u = 0.0f;
  float v = 0.0f;
};

static_assert(sizeof(CurvedPatchControlVertex) == 20, "five packed floats, as stored in mesh files");
