#include "scene/mesh/TextureFactory.h"

namespace {

const CTextureFactory* g_factory = nullptr;

}  // namespace

void CTextureFactory::Register(const CTextureFactory* factory) { g_factory = factory; }

const CTextureFactory* CTextureFactory::Get() { return g_factory; }
