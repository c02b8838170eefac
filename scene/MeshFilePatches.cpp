// The curved-patch reader is not part of the engine yet: a file that carries patches is
// refused rather than read past its patch section with a guessed size.
#include "scene/MeshFilePatches.h"

#include "platform/Win32.h"

namespace MeshFilePatches {

CCurvedPatches* Read(const uint8_t*, size_t, size_t& used) {
  used = 0;
  OutputDebugStringA("ShadedMesh: curved-patch sections cannot be read by this build\n");
  return nullptr;
}

size_t GetFileSize(const CCurvedPatches*) { return 0; }

void Write(const CCurvedPatches*, uint8_t*) {}

// No patch object can exist without the patch code, so there is nothing to free.
void Delete(CCurvedPatches*) {}

}  // namespace MeshFilePatches
