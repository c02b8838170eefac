#include "scene/patch/MeshFilePatches.h"

#include "scene/patch/CurvedPatch.h"

namespace MeshFilePatches {

CurvedPatch* Read(const uint8_t* data, size_t size, size_t& used) {
  used = 0;
  CurvedPatch* patches = new CurvedPatch();
  if (!patches->Read(data, size, &used) || used > size) {
    delete patches;
    used = 0;
    return nullptr;
  }
  return patches;
}

size_t GetFileSize(const CurvedPatch* patches) { return patches ? patches->GetFileSize() : 0; }

bool Write(const CurvedPatch* patches, uint8_t* out) {
  if (!patches) return true;
  const size_t size = patches->GetFileSize();
  return patches->Write(out, size) == size;
}

void Delete(CurvedPatch* patches) { delete patches; }

}  // namespace MeshFilePatches
