// CDDTexture: a back end's own copy of a CTexture (the device texture a CTexture points at).
#pragma once

#include <cstdint>

#include "core/math/Color.h"

class CDDTexture {
 public:
  virtual ~CDDTexture() = default;

  // The texel nearest (u, v) of the resident copy, for textures that keep no pixels of their own.
  virtual void GetTexelColour(Color& out, float u, float v) const = 0;
  // Frame stamp of the last draw.
  virtual void SetUseStamp(int32_t stamp) = 0;
  // Largest on-screen texels-per-pixel scale requested this frame; it picks the mip level kept resident.
  virtual void UpdateMaxScale(float scale) = 0;

 protected:
  CDDTexture() = default;
  CDDTexture(const CDDTexture&) = default;
  CDDTexture& operator=(const CDDTexture&) = default;
};
