#include "render/RenderLoaders.h"

#include "render/MeshTextureFactory.h"
#include "render/Texture.h"

void RegisterRenderLoaders() {
  CTexture::RegisterResourceLoaders();
  static const CMeshTextureFactory meshTextures;
  CTextureFactory::Register(&meshTextures);
}
