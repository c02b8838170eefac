#include "render/image/RenderLoaders.h"

#include "render/image/MeshTextureFactory.h"
#include "render/image/Texture.h"

void RegisterRenderLoaders() {
  CTexture::RegisterResourceLoaders();
  static const CMeshTextureFactory meshTextures;
  CTextureFactory::Register(&meshTextures);
}
