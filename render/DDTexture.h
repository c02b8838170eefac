// CDDTexture: a back end's own copy of a CTexture (the device texture a CTexture points at).
#pragma once

#include <cstdint>

#include "core/math/Color.h"

class CDDTexture {
 public:
  virtual ~CDDTexture() = default;
  // The colour at texture coordinates (u, v), for textures that keep no pixels of their own.
  virtual void GetTexelColour(Color& out, float u, float v) const = 0;
  virtual void SetUseStamp(int32_t stamp) = 0;
  virtual void UpdateMaxScale(float scale) = 0;
};
