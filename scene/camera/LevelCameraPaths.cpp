// Level camera paths: splines moved into the world and script cameras placed at their points.
#include "scene/camera/LevelCameraPaths.h"

#include "core/data/DebugPrintf.h"
#include "scene/mesh/ShadedMesh.h"

LevelCameraPaths ReadLevelCameraPaths(const ShadedMesh& mesh, const COrientation& meshWorld) {
  LevelCameraPaths paths;
  for (size_t i = 0; i < mesh.attachPoints.size(); ++i) {
    const AttachPoint& point = mesh.attachPoints[i];
    const COrientation frame = meshWorld.LocalToWorldOrientation(point.transform);
    if (point.type == kAttachSplineRecord) {
      auto spline = std::make_unique<CBezierSpline>();
      if (!spline->LoadFromBuffer(point.GetData(), point.GetLength())) {
        DebugPrintf("LevelCameraPaths: spline of attach point %u skipped\n", static_cast<unsigned>(i));
        continue;
      }
      spline->TransformToWorld(frame);
      paths.splines.push_back(std::move(spline));
    } else if (point.type == kAttachCameraScript) {
      auto camera = std::make_unique<CScriptCam>();
      if (!camera->SetSegments(point.GetData(), point.GetLength())) {
        DebugPrintf("LevelCameraPaths: camera script of attach point %u skipped\n", static_cast<unsigned>(i));
        continue;
      }
      camera->GetFrame() = frame;
      paths.cameras.push_back(std::move(camera));
    }
  }
  return paths;
}
