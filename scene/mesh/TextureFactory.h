// CTextureFactory: loads the texture files a mesh names; the renderer, which owns the texture format, supplies it.
#pragma once

#include <memory>

#include "scene/mesh/TextureProperties.h"

// Meshes load their textures through this so that the scene needs nothing of the renderer's
// texture objects. Without a registered factory meshes keep null textures.
class CTextureFactory {
 public:
  struct Result {
    std::unique_ptr<CTextureProperties> texture;  // null when the file did not load
    bool converted = false;  // the pixels were repacked to 32-bit ARGB, so the mesh file is stale
  };

  virtual ~CTextureFactory() = default;

  // The texture at path, its pixels read when loadPixels is set. Pixels in memory come back as
  // 4 bytes per pixel with alpha 0xFF000000, red 0xFF0000, green 0xFF00 and blue 0xFF.
  virtual Result LoadTexture(const char* path, bool loadPixels) const = 0;

  // The factory meshes use from now on (null for none); not owned, so it must outlive every load.
  static void Register(const CTextureFactory* factory);
  static const CTextureFactory* Get();

 protected:
  CTextureFactory() = default;
  CTextureFactory(const CTextureFactory&) = default;
  CTextureFactory& operator=(const CTextureFactory&) = default;
};
