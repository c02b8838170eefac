#include "effects/EffectsLoaders.h"

#include <memory>

#include "core/data/DebugPrintf.h"
#include "core/data/FileBuffer.h"
#include "core/data/ResourceTable.h"
#include "effects/ParticleSystemDef.h"

namespace {

ResourceOwner LoadParticleSystemDef(const ResourceLoadRequest& request, uint16_t&) {
  char* text = LoadFileToBuffer(request.path);
  if (!text) return ResourceOwner();  // the file functions have logged why
  std::unique_ptr<CParticleSystemDef> def = CParticleSystemDef::Read(text);
  FreeFileBuffer(text);
  if (!def) DebugPrintf("CParticleSystemDef: '%s' defines nothing\n", request.path);
  return MakeResourceOwner(std::move(def));
}

}  // namespace

void RegisterEffectsLoaders() { CResourceTable::RegisterLoader(kResourceParticles, LoadParticleSystemDef); }
