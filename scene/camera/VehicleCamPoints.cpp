#include "scene/camera/VehicleCamPoints.h"

#include <cstring>
#include <vector>

#include "scene/mesh/ShadedMesh.h"

bool FindVehicleCamPoint(const ShadedMesh* mesh, uint32_t kind, COrientation* frame, float* word1) {
  if (mesh == nullptr) return false;
  std::vector<int> points;
  mesh->CollectAttachPoints(kAttachCameraFrame, points);
  for (int i : points) {
    if (i < 0 || static_cast<size_t>(i) >= mesh->attachPoints.size()) continue;
    const AttachPoint& point = mesh->attachPoints[static_cast<size_t>(i)];
    // The data is the mesh file's: check the length before reading a word of it.
    if (point.GetData() == nullptr || point.GetLength() < 4) continue;
    uint32_t first = 0;
    std::memcpy(&first, point.GetData(), 4);
    if (first != kind) continue;
    if (frame != nullptr) *frame = point.transform;
    if (word1 != nullptr) {
      *word1 = 0.0f;
      if (point.GetLength() >= 8) std::memcpy(word1, point.GetData() + 4, 4);
    }
    return true;
  }
  return false;
}
