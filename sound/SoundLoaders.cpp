// RegisterSoundLoaders: WAVE files load as CSoundSample objects.
#include "sound/SoundLoaders.h"

#include <memory>

#include "core/math/DebugPrintf.h"
#include "core/math/FileBuffer.h"
#include "core/math/ResourceTable.h"
#include "sound/SoundSample.h"

namespace {

void* LoadSound(const ResourceLoadRequest& request, uint16_t&) {
  uint32_t size = 0;
  char* bytes = LoadFileToBuffer(request.path, &size);
  if (!bytes) return nullptr;
  auto sample = std::make_unique<CSoundSample>();
  const bool ok = sample->Copy(bytes, size);
  FreeFileBuffer(bytes);
  if (!ok) {
    DebugPrintf("CResourceTable: '%s' is not a usable sound\n", request.path);
    return nullptr;
  }
  return sample.release();  // the table owns it from here and frees it through FreeSound
}

void FreeSound(void* object) { delete static_cast<CSoundSample*>(object); }

}  // namespace

void RegisterSoundLoaders() { CResourceTable::RegisterLoader(kResourceSound, LoadSound, FreeSound); }
