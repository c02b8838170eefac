// RegisterSoundLoaders: WAVE files load as CSoundSample objects.
#include "sound/SoundLoaders.h"

#include <memory>

#include "core/data/DebugPrintf.h"
#include "core/data/FileBuffer.h"
#include "core/data/ResourceTable.h"
#include "sound/SoundSample.h"

namespace {

ResourceOwner LoadSound(const ResourceLoadRequest& request, uint16_t&) {
  uint32_t size = 0;
  char* bytes = LoadFileToBuffer(request.path, &size);
  if (!bytes) return ResourceOwner();
  auto sample = std::make_unique<CSoundSample>();
  const bool ok = sample->Copy(bytes, size);
  FreeFileBuffer(bytes);
  if (!ok) {
    DebugPrintf("CResourceTable: '%s' is not a usable sound\n", request.path);
    return ResourceOwner();
  }
  return MakeResourceOwner(std::move(sample));
}

}  // namespace

void RegisterSoundLoaders() { CResourceTable::RegisterLoader(kResourceSound, LoadSound); }
