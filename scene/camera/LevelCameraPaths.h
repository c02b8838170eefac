// Level camera paths: the splines and script cameras a level mesh carries on its attach points.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/spatial/BezierSpline.h"
#include "core/math/Orientation.h"
#include "scene/camera/ScriptCam.h"

class ShadedMesh;

// Attach-point types of a level mesh. A spline point's data is a packed spline record, placed in
// the world by the point's frame; a camera-script point's data is a camera script block, and the
// point's frame is where the camera starts.
constexpr uint32_t kAttachSplineRecord = 10001;
constexpr uint32_t kAttachCameraScript = 10002;

struct LevelCameraPaths {
  std::vector<std::unique_ptr<CBezierSpline>> splines;
  std::vector<std::unique_ptr<CScriptCam>> cameras;
};

// Every spline and camera script of a mesh placed at meshWorld, in attach-point order; a point
// whose data does not read is logged and skipped.
LevelCameraPaths ReadLevelCameraPaths(const ShadedMesh& mesh, const COrientation& meshWorld);
