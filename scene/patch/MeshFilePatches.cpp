#include "scene/patch/MeshFilePatches.h"

#include "scene/patch/CurvedPatch.h"

namespace MeshFilePatches {

std::unique_ptr<CurvedPatch> Read(const uint8_t* data, size_t size, size_t& used) {
  used = 0;
  auto patches = std::make_unique<CurvedPatch>();
  if (!patches->Read(data, size, &used) || used > size) {
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

}  // namespace MeshFilePatches
