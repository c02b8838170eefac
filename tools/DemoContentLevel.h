// DemoContentLevel: the demo level folder - the level mesh with its light records, the fog blocks
// of "terrain.ini", the visibility records and the baked vertex and light-map lighting, all written
// with the engine's own writers so that the level loader's readers can be tried on real files.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/math/Box.h"
#include "scene/mesh/ShadedMesh.h"
#include "core/spatial/VisibilityFile.h"
#include "scene/lighting/FogSettings.h"

class ShadedMesh;

namespace DemoContent {

// Below the data folder, '/' separated.
constexpr const char* kLevelFolder = "levels/demo";
constexpr const char* kLevelMeshFile = "terrain.mesh";
// The demo level's script camera and the IDs of the two splines it flies along and looks at.
constexpr uint32_t kDemoScriptCamera = 1;
constexpr int32_t kDemoCameraPathSpline = 1;
constexpr int32_t kDemoCameraLookSpline = 2;
// Light-map texels per world unit (one texel per unit keeps the demo pages small).
constexpr float kLevelTexelSize = 1.0f;

// The box the level lives in. Levels sit in positive coordinates above z = 1, because the level
// loader raises light regions to 1.0 and cuts negative light boxes at 0.
Box LevelWorldBox();

// The regions of the park's build grid: a gate strip near the middle of the south and of the
// north edge (one row in, since a square on the edge row has no moves), a lawn on the west side, an
// unbuildable east edge and the unbuildable ground of every raised block. Boxes in world coordinates.
struct LevelRegion {
  const char* word;
  Box box;
};
std::vector<LevelRegion> LevelRegions();

// A ground grid with a few raised blocks, the build grid's origin and regions, one light attach point per light kind (a
// 120-byte light record each), the camera paths (two spline records and a camera script), the path graphs of
// DemoContentLevelPaths, a mesh key and a vertex-sharing table (so the terrain's polygons are drawn and take part in
// static lighting). Null (logged) when building failed; the caller owns the result.
std::unique_ptr<ShadedMesh> BuildLevelMesh();

// One fog block of "terrain.ini" and the settings it holds.
struct LevelFogBlock {
  const char* name;  // "lowfog", "medfog" or "fog"
  FogSettings settings;
};
std::vector<LevelFogBlock> LevelFogBlocks();
// The "terrain.ini" text holding every block of LevelFogBlocks.
std::string LevelTerrainText();

// Visibility records of the level's octree cells, by cell code.
std::vector<VisibilityFileRecord> LevelVisibilityRecords();

// Writes the level folder (dataFolder/levels/demo/): the level mesh, "terrain.ini",
// "visnodes.bin", the build grid's "grid_data.bin", and the lighting that a world built from the written mesh computes:
// "vlights.bin", "lights.bin" and its light-map pages. The lighting is baked in a world of its
// own, which is the world singleton while it lasts, so no other world may be in use meanwhile.
// False (logged) when any file failed.
bool WriteLevel(const std::string& dataFolder);

}  // namespace DemoContent
