// LevelPaths: a level's path records become paths in the park's octree.
#include "ui/screens/LevelPaths.h"

#include <memory>

#include "core/data/DebugPrintf.h"
#include "core/math/Orientation.h"
#include "park/grid/Path3D.h"
#include "park/world/VerezIvor.h"
#include "scene/mesh/ShadedMesh.h"

size_t AddLevelPaths(CVerezIvor& park, const ShadedMesh& mesh, const COrientation& meshWorld) {
  size_t made = 0;
  for (size_t i = 0; i < mesh.attachPoints.size(); ++i) {
    const AttachPoint& point = mesh.attachPoints[i];
    if (point.type != C3DPath::kAttachType) continue;
    auto path = std::make_unique<C3DPath>();
    if (!path->LoadFromData(point.GetData(), point.GetLength())) {
      DebugPrintf("LevelPaths: the path record of attach point %u is skipped\n", static_cast<unsigned>(i));
      continue;
    }
    // Records hold their nodes about the point they hang on.
    path->Translate(meshWorld.LocalToWorldPoint(point.transform.GetPosition()));
    park.AddPath(std::move(path));
    ++made;
  }
  return made;
}
