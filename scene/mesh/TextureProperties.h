// CTextureProperties: what the scene and the collision code read of a face's texture - its flag word.
#pragma once

#include <cstdint>

#include "core/math/Color.h"

// Meshes hold their textures through this so that choosing sections, surfaces and collision
// flags needs nothing of the renderer's texture objects, which implement it.
class CTextureProperties {
 public:
  // Flag bits the lighting and the ray tests read: the translucent kinds (pixels with alpha 0 or
  // in between) get no light map and let rays that do not look at texels through; unlit faces keep
  // their mesh colours; an alpha channel makes faint texels stop no alpha-testing ray.
  static constexpr uint32_t kTranslucentKinds = 0x4 | 0x8;
  static constexpr uint32_t kUnlit = 0x200;
  static constexpr uint32_t kAlphaChannel = 0x4000;

  virtual ~CTextureProperties() = default;

  virtual uint32_t GetFlags() const = 0;
  bool HasAnyFlag(uint32_t mask) const { return (GetFlags() & mask) != 0; }
  // The texel at the texture coordinate (u, v), wrapping both ways; a texture whose pixels are not
  // in memory reads them first. False when there is no picture to sample, as for a texture that
  // is only its flag word, and at a coordinate that is not finite.
  virtual bool SampleTexel(float u, float v, Color& out) { return false; }

 protected:
  CTextureProperties() = default;
  CTextureProperties(const CTextureProperties&) = default;
  CTextureProperties& operator=(const CTextureProperties&) = default;
};
