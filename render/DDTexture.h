// CDDTexture: the back end's device-side copy of a texture, as the render view and the back ends see it.
#pragma once

#include <cstdint>

#include "core/math/Color.h"

class CDDTexture {
 public:
  virtual ~CDDTexture() = default;

  // The texel nearest (u, v) of the resident copy.
  virtual Color GetTexelColour(float u, float v) const = 0;
  // Frame stamp of the last draw; the caches evict the longest unused first.
  virtual void SetUseStamp(uint32_t stamp) = 0;
  // Largest on-screen texels-per-pixel scale requested this frame; it picks the mip level kept resident.
  virtual void UpdateMaxScale(float scale) = 0;

 protected:
  CDDTexture() = default;
  CDDTexture(const CDDTexture&) = default;
  CDDTexture& operator=(const CDDTexture&) = default;
};
