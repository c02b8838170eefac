#include "render/image/MeshTextureFactory.h"

#include "core/math/DebugPrintf.h"
#include "render/image/Texture.h"

CTextureFactory::Result CMeshTextureFactory::LoadTexture(const char* path, bool loadPixels) const {
  Result result;
  auto texture = std::make_unique<CTexture>();
  if (!path || !texture->Load(path, loadPixels)) return result;
  const bool argb = texture->bytesPerPixel == 4 && texture->alphaMask == kAlpha && texture->redMask == kRed &&
                    texture->greenMask == kGreen && texture->blueMask == kBlue;
  if (texture->dataPresent && texture->pixels && !argb) {
    // A texture that cannot be repacked would be drawn with the wrong channels, so it counts as
    // not loaded.
    if (!texture->ConvertPixelFormat(4, kRed, kGreen, kBlue, kAlpha)) {
      DebugPrintf("CMeshTextureFactory: could not repack \"%s\" to ARGB\n", path);
      return result;
    }
    result.converted = true;
  }
  result.texture = std::move(texture);
  return result;
}
