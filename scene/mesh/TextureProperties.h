// CTextureProperties: what the scene and the collision code read of a face's texture - its flag word.
#pragma once

#include <cstdint>

// Meshes hold their textures through this so that choosing sections, surfaces and collision
// flags needs nothing of the renderer's texture objects, which implement it.
class CTextureProperties {
 public:
  // Flag bits the baked lighting reads: the translucent kinds get no light map; unlit faces keep
  // their mesh colours.
  static constexpr uint32_t kTranslucentKinds = 0x4 | 0x8;
  static constexpr uint32_t kUnlit = 0x200;

  virtual ~CTextureProperties() = default;

  virtual uint32_t GetFlags() const = 0;
  bool HasAnyFlag(uint32_t mask) const { return (GetFlags() & mask) != 0; }

 protected:
  CTextureProperties() = default;
  CTextureProperties(const CTextureProperties&) = default;
  CTextureProperties& operator=(const CTextureProperties&) = default;
};
