#include "render/RenderLoaders.h"

#include "render/Texture.h"

void RegisterRenderLoaders() { CTexture::RegisterResourceLoaders(); }
